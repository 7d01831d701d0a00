// The live-tuning commands' arguments. Both tessera-cli and tessera-tune declare them:
// tessera-cli for its help and to check a command line before handing it over, and
// tessera-tune, which runs them with Qt's serial port.
#include "tessera/cli/CliTuning.h"
#include "tessera/core/link/CPageTest.h"

namespace tessera::cli {

TuningCommands::TuningCommands(CLI::App& app) {
  eq_ = app.add_subcommand("tune-eq",
                           "Send a configuration's equalizer bands and their enables to a board");
  eq_->add_option("CONFIG", config_, "configuration file")->required();
  eq_->add_option("--band", band_, "only this band (0-4)")->check(CLI::Range(0, 4));

  echo_ = app.add_subcommand(
      "tune-echo", "Send a configuration's echo page: suppression levels, gains, voice equalizers");
  echo_->add_option("CONFIG", config_, "configuration file")->required();

  rf_ = app.add_subcommand("tune-rf", "Put a board's radio into one test mode");
  rf_->add_option("MODE", rfMode_, "dut-on, dut-off, sinwave-on, sinwave-off or conf")
      ->required()
      ->check(CLI::IsMember({"dut-on", "dut-off", "sinwave-on", "sinwave-off", "conf"}));
  rf_->add_option("--channel", channel_, "conf: channel 0-80")->check(CLI::Range(0, 80));
  rf_->add_option("--data", data_, "conf: data type")->check(CLI::IsMember({"Sing", "Pn9"}));
  rf_->add_option("--packet", packet_, "conf: packet type, NULL to 3-DH5")
      ->check(CLI::IsMember(link::CPageTest::PacketTypes()));
  rf_->add_flag("--rx", rx_, "conf: receive instead of transmit");

  monitor_ = app.add_subcommand(
      "monitor", "Answer a board's link checks and print everything it sends, as the log shows it");
  monitor_->add_option("--seconds", seconds_, "stop after this many seconds (default: Ctrl-C)")
      ->check(CLI::NonNegativeNumber);

  for (auto* c : {eq_, echo_, rf_, monitor_}) {
    c->add_option("--port", port_, "serial port: a listed name or a path such as /dev/pts/3")
        ->required();
    if (c != monitor_)
      c->add_option("--timeout", timeoutMs_, "milliseconds to wait for each answer")
          ->capture_default_str()
          ->check(CLI::NonNegativeNumber);
  }
}

UnavailableError::UnavailableError(const std::string& command)
    : CLI::RuntimeError("tessera-cli: " + command +
                            " is not in this build. The live-tuning commands (tune-eq, tune-echo, tune-rf, "
                            "monitor) need the serial-port library of the window build, and this tessera-cli "
                            "was built without it; use a build made with the windows (Qt 6 SerialPort).",
                        1) {}

void TuningCommands::MarkUnavailable() {
  for (auto* c : {eq_, echo_, rf_, monitor_}) {
    c->description(c->get_description() + " (not in this build)");
    const std::string name = c->get_name();
    c->preparse_callback([name](std::size_t) { throw UnavailableError(name); });
  }
}

bool TuningCommands::Parsed() const {
  return eq_->parsed() || echo_->parsed() || rf_->parsed() || monitor_->parsed();
}

}  // namespace tessera::cli
