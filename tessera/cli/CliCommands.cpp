#include "CliCommands.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "CliFiles.h"
#include "ConfigJson.h"
#include "ConfigShow.h"

namespace tessera::cli {

int RunExport(const Options& o) {
  std::vector<uint8_t> file;
  if (!ReadFileBytes(o.config, file)) {
    std::cerr << "Can not read " << o.config << ": check the path and its permissions.\n";
    return 1;
  }
  OrderedJson j;
  std::string error;
  if (!ExportConfigJson(file, j, error)) {
    std::cerr << o.config << ": " << error << "\n";
    return 1;
  }
  std::string text = j.dump(2) + "\n";
  if (o.out.empty()) {
    std::cout << text;
    return 0;
  }
  if (!WriteFileBytes(o.out, std::vector<uint8_t>(text.begin(), text.end()))) {
    std::cerr << "Can not write " << o.out << ": check that its folder exists and is writable.\n";
    return 1;
  }
  return 0;
}

int RunShow(const Options& o) {
  std::vector<uint8_t> file;
  if (!ReadFileBytes(o.config, file)) {
    std::cerr << "Can not read " << o.config << ": check the path and its permissions.\n";
    return 1;
  }
  std::string text, error;
  if (!ShowConfig(file, text, error)) {
    std::cerr << o.config << ": " << error << "\n";
    return 1;
  }
  std::cout << text;
  return 0;
}

int RunImport(const Options& o) {
  std::vector<uint8_t> text;
  if (!ReadFileBytes(o.json, text)) {
    std::cerr << "Can not read " << o.json << ": check the path and its permissions.\n";
    return 1;
  }
  OrderedJson j = OrderedJson::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) {
    std::cerr << o.json << ": not valid JSON.\n";
    return 1;
  }
  std::vector<uint8_t> file;
  std::string error;
  if (!ImportConfigJson(j, file, error)) {
    std::cerr << o.json << ": " << error << "\n";
    return 1;
  }
  if (!WriteFileBytes(o.out, file)) {
    std::cerr << "Can not write " << o.out << ": check that its folder exists and is writable.\n";
    return 1;
  }
  return 0;
}

}  // namespace tessera::cli

namespace tessera::cli {
int RunNew(const Options&) { return 1; }
int RunBuild(const Options&) { return 1; }
int RunEq(const Options&) { return 1; }
}  // namespace tessera::cli
