// libFuzzer target: the JSON import of configuration files on arbitrary text. Whatever
// it accepts is a configuration file (at least the fixed part, readable by the decoder)
// whose export imports back to the same bytes; whatever it refuses comes with a message.
// A thrown exception or a crash is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tessera/cli/ConfigJson.h"
#include "tessera/core/config/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const tessera::OrderedJson doc = tessera::OrderedJson::parse(data, data + size, nullptr, false);
  if (doc.is_discarded()) return 0;
  std::vector<uint8_t> file;
  std::string error;
  if (!tessera::ImportConfigJson(doc, file, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (file.size() < tessera::cfgfile::kFixedSize) std::abort();
  tessera::ConfigFileData decoded;
  if (!tessera::DecodeConfigFile(file.data(), file.size(), decoded, &error)) std::abort();
  tessera::OrderedJson exported;
  if (!tessera::ExportConfigJson(file, exported, error)) std::abort();
  // Through the text, as a user's file travels.
  const tessera::OrderedJson reparsed = tessera::OrderedJson::parse(exported.dump(2));
  std::vector<uint8_t> again;
  if (!tessera::ImportConfigJson(reparsed, again, error)) std::abort();
  if (again != file) std::abort();
  return 0;
}
