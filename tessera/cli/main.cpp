// tessera-cli: the configuration tool's commands without the window. Every command
// goes through the same document object the window uses, so a configuration file or
// image made here is byte for byte what the window makes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "qrplatform/Utf8Path.h"
#include "tessera/cli/CliCommands.h"
#include "tessera/cli/CliTuning.h"
#ifdef TESSERA_CLI_TUNING
#include "tessera/cli/TuneHandOver.h"
#endif

int main(int argc, char** argv) {
  qrplatform::StartCommandLine(argc, argv);
  CLI::App app{
      "tessera-cli: configuration files and flash images for the QR5830 without the window"};
  app.set_version_flag("--version", std::string("tessera-cli ") + QR_VERSION);
  app.require_subcommand(1);
  // Options start with "-" on every system: a file name such as /tmp/a.cfg is a file name.
  app.allow_windows_style_options(false);
  app.allow_extras(false);
  tessera::cli::Options o;

  auto* cmdNew = app.add_subcommand("new", "Write the configuration a freshly started tool writes");
  cmdNew->add_option("OUT", o.out, "configuration file to write")->required();
  cmdNew->add_option("--flash", o.flash, "flash type: GD_4Mbit, GD_8Mbit, GD_16Mbit or GD_32Mbit");
  cmdNew->add_option("--chip", o.chip, "chip package: QFN40_5X5, QFN48_6X6 or QFN56_7X7");
  cmdNew->add_option("--bin", o.bin, "firmware bin path stored in the configuration");

  auto* cmdBuild =
      app.add_subcommand("build", "Read a configuration and generate the flash images");
  cmdBuild->add_option("CONFIG", o.config, "configuration file")->required();
  cmdBuild
      ->add_option("--out", o.out,
                   "plain image to write (the CRC image and its copies go beside it)")
      ->required();
  cmdBuild->add_option("--bin", o.bin,
                       "firmware bin file, replacing the path stored in the configuration");
  cmdBuild->add_flag("--allow-missing-prompts", o.allowMissingPrompts,
                     "build even when a prompt file is missing or cannot be read (its blocks "
                     "stay erased); a prompt that is too long or has outgrown its place is "
                     "still refused");

  auto* cmdEq =
      app.add_subcommand("eq", "Print the fixed-point coefficients a1 a2 b0 b1 b2 of one band");
  cmdEq->add_option("--type", o.eqType, "shelving or peak")
      ->required()
      ->check(CLI::IsMember({"shelving", "peak"}));
  cmdEq->add_option("--side", o.eqSide, "low or high")
      ->required()
      ->check(CLI::IsMember({"low", "high"}));
  cmdEq->add_option("--gain", o.eqGain, "gain in dB, read as a single-precision number")
      ->required();
  cmdEq->add_option("--center", o.eqCenter, "centre frequency in Hz")->required();
  cmdEq->add_option("--rate", o.eqRate, "sample rate in Hz")->required();
  cmdEq->add_option("--bandwidth", o.eqBandwidth, "bandwidth in Hz")->required();

  auto* cmdShow = app.add_subcommand("show", "Print every page value of a configuration");
  cmdShow->add_option("CONFIG", o.config, "configuration file")->required();

  auto* cmdExport =
      app.add_subcommand("export", "Write a configuration as JSON (docs/config-json.md)");
  cmdExport->add_option("CONFIG", o.config, "configuration file")->required();
  cmdExport->add_option("--out", o.out, "JSON file to write; standard output when absent");

  auto* cmdImport = app.add_subcommand("import", "Write a configuration from its JSON form");
  cmdImport->add_option("JSON", o.json, "JSON file")->required();
  cmdImport->add_option("--out", o.out, "configuration file to write")->required();
  cmdImport->add_flag(
      "--recollect", o.recollect,
      "read the result as Read Config does and write it as Write Config does, so the record's "
      "prompt slots, LED patterns, key words and EQ coefficients follow the edited tables");

  // Without the serial link (no tessera-tune to hand them to) the live-tuning commands
  // are still listed, and say so when named.
  tessera::cli::TuningCommands tuning(app);
#ifndef TESSERA_CLI_TUNING
  tuning.MarkUnavailable();
#endif

  try {
    app.parse(argc, argv);
  } catch (const tessera::cli::UnavailableError& e) {  // before ParseError, its base
    std::cerr << e.what() << "\n";
    return e.get_exit_code();
  } catch (const CLI::ParseError& e) {
    return app.exit(e);
  }

#ifdef TESSERA_CLI_TUNING
  if (tuning.Parsed()) return tessera::cli::RunTuneProgram(argc, argv);
#endif
  if (cmdNew->parsed()) return tessera::cli::RunNew(o);
  if (cmdBuild->parsed()) return tessera::cli::RunBuild(o);
  if (cmdEq->parsed()) return tessera::cli::RunEq(o);
  if (cmdShow->parsed()) return tessera::cli::RunShow(o);
  if (cmdExport->parsed()) return tessera::cli::RunExport(o);
  if (cmdImport->parsed()) return tessera::cli::RunImport(o);
  return 2;
}
