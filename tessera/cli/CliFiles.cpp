#include "tessera/cli/CliFiles.h"

#include "tessera/core/common/AtomicFile.h"

namespace tessera::cli {

// JSON documents and configurations are small; anything above this is not one.
constexpr size_t kMaxInputBytes = 64u * 1024 * 1024;

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out) {
  return ReadWholeFile(path, out, kMaxInputBytes, nullptr);
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  return WriteFileAtomically(path, bytes, error);
}

}  // namespace tessera::cli
