// tessera-tune: the live-tuning commands (tune-eq, tune-echo, tune-rf, monitor) over a
// serial port. tessera-cli hands these commands here unchanged, so both accept the same
// command lines; this program is the one that loads Qt.
#include <CLI/CLI.hpp>
#include <string>

#include "tessera/cli/CliTuning.h"

int main(int argc, char** argv) {
  CLI::App app{"tessera-tune: a configuration's equalizer or echo settings, or an RF test mode, "
               "sent to a QR5830 board over a serial port"};
  app.set_version_flag("--version", std::string("tessera-tune ") + QR_VERSION);
  app.require_subcommand(1);
  tessera::cli::TuningCommands tuning(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }
  return tuning.Run(argc, argv);
}
