#pragma once
// Whole-file reads and atomic whole-file writes for the command line's own files
// (JSON documents and imported configurations).
#include <cstdint>
#include <string>
#include <vector>

namespace tessera::cli {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);
// On failure *error (when given) names the cause: "cannot write PATH: No space left on device".
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error = nullptr);

}  // namespace tessera::cli
