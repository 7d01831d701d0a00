#pragma once
// Whole-file writes that either replace the target completely or leave it as it was.
//
// WriteFileAtomically writes into a new temporary file in the target's folder, flushes
// it to the disk (fsync / _commit) and renames it over the target. On any failure the
// temporary is removed and the old file, if any, is untouched; a reader never sees a
// truncated file. An existing target keeps its permission bits (POSIX).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessera {

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, std::string* error);
inline bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
  return WriteFileAtomically(path, data.data(), data.size(), error);
}

// Copies `from` to `to` (replacing `to`) through the same temporary-and-rename path.
bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error = nullptr);

// Reads a whole regular file. Fails (out cleared) when it cannot be opened or read or
// when it is longer than maxBytes.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error);

// Reads at most maxBytes from the start of a file (a longer file is not an error).
bool ReadFilePrefix(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error);

// Size of a regular file in bytes; false when it cannot be examined.
bool FileSize(const std::string& path, uint64_t& size, std::string* error);

}  // namespace tessera
