#pragma once
// JSON form of a whole configuration file, for keeping configurations in version
// control. Every byte of the file is carried: named fields for everything the tool
// knows, hex for reserved bytes and for texts that are not clean UTF-8, so
// ImportConfigJson(ExportConfigJson(file)) gives the file back byte for byte.
// The format is described in docs/config-json.md.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace tessera {

using OrderedJson = nlohmann::ordered_json;

inline constexpr const char* kConfigJsonFormat = "tessera-config/1";

// Converts the bytes of a configuration file. Fails (with a message in error) only
// when the file is shorter than its fixed part.
bool ExportConfigJson(const std::vector<uint8_t>& file, OrderedJson& out, std::string& error);

// Builds the configuration file bytes. Fails with a message naming the offending
// member when the document does not describe a configuration file.
bool ImportConfigJson(const OrderedJson& in, std::vector<uint8_t>& file, std::string& error);

}  // namespace tessera
