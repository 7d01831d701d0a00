#pragma once
// tessera-cli's live-tuning commands: a configuration's equalizer or echo settings, or
// one RF test mode, sent to a board over a serial port; and a monitor of the link.
// They run only where Qt's serial port is available; a build without it still declares
// them, and each one then says that it is not in this build.
#include <CLI/CLI.hpp>
#include <string>

namespace tessera::cli {

// Thrown by a command marked unavailable; what() is the message for standard error.
struct UnavailableError : CLI::RuntimeError {
  explicit UnavailableError(const std::string& command);
};

class TuningCommands {
 public:
  explicit TuningCommands(CLI::App& app);
  bool Parsed() const;
  // For a build without the serial link: naming any of the commands stops the parse at
  // once (before its options are checked) with UnavailableError.
  void MarkUnavailable();
  // Exit status: 0 when every command was answered "CMD+OK"; 1 on "CMD+FAIL", on
  // silence past the time-out, or when the port does not open.
  int Run(int argc, char** argv);

 private:
  CLI::App* eq_;
  CLI::App* echo_;
  CLI::App* rf_;
  CLI::App* monitor_;
  std::string config_, port_, rfMode_, data_ = "Sing", packet_ = "NULL";
  int timeoutMs_ = 2000, band_ = -1, channel_ = 0, seconds_ = 0;
  bool rx_ = false;
};

}  // namespace tessera::cli
