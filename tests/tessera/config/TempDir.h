#pragma once
// Temporary folders and small file helpers for the configuration tests.
#include <gtest/gtest.h>

#include "qrplatform/Utf8Path.h"
#include "support/TempDir.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tessera::testing {

using TempDir = qrtest::TempDir;

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(qrplatform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream f(qrplatform::PathFromUtf8(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Names in a folder (no "." / "..").
inline std::vector<std::string> Listing(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(qrplatform::Utf8FromPath(e.path().filename()));
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace tessera::testing
