#pragma once
// The tessera-cli commands. Each returns the process exit code: 0 success, 1 failure
// (with the reason on standard error and no file written).
#include <string>

namespace tessera::cli {

struct Options {
  std::string out, config, bin, json;
  std::string flash = "GD_8Mbit", chip = "QFN48_6X6";
  std::string eqType, eqSide, eqGain;
  int eqCenter = 0, eqRate = 0, eqBandwidth = 0;
  bool recollect = false;
  bool allowMissingPrompts = false;
};

int RunNew(const Options& o);
int RunBuild(const Options& o);
int RunEq(const Options& o);
int RunShow(const Options& o);
int RunExport(const Options& o);
int RunImport(const Options& o);

}  // namespace tessera::cli
