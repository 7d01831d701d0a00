#pragma once
// Whole-file reads and atomic whole-file writes for the command line's own files
// (JSON documents and imported configurations).
#include <cstdint>
#include <string>
#include <vector>

namespace tessera::cli {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tessera::cli
