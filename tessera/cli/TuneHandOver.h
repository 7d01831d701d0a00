#pragma once
// tessera-cli hands the live-tuning commands to tessera-tune, the program beside it that
// links Qt's serial port, so the file commands start without loading Qt.
#include <string>
#include <vector>

namespace tessera::cli {

// Runs tessera-tune with the same arguments and returns its exit status. On POSIX the
// process is replaced (the call returns only on failure). tessera-tune is looked for in
// tessera-cli's own folder, then on the PATH; when it is found in neither, a message says
// so and the result is 1.
int RunTuneProgram(int argc, char** argv);

// A Windows command line that the C runtime splits back into exactly these arguments:
// an argument with a blank or a quote in it (or an empty one) is quoted, and backslashes
// are doubled only where they come before a quote.
std::string WindowsCommandLine(const std::vector<std::string>& args);

}  // namespace tessera::cli
