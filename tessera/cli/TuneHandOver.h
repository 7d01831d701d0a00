#pragma once
// tessera-cli hands the live-tuning commands to tessera-tune, the program beside it that
// links Qt's serial port, so the file commands start without loading Qt.

namespace tessera::cli {

// Runs tessera-tune with the same arguments and returns its exit status. On POSIX the
// process is replaced (the call returns only on failure). tessera-tune is looked for in
// tessera-cli's own folder, then on the PATH; when it is found in neither, a message says
// so and the result is 1.
int RunTuneProgram(int argc, char** argv);

}  // namespace tessera::cli
