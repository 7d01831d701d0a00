#pragma once
// Temporary folders and flash images for the engine tests.
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/BtAddress.h"
#include "qrplatform/Utf8Path.h"
#include "support/TempDir.h"

namespace kestrel::test {

using TempDir = qrtest::TempDir;

// Image bytes that differ from place to place, so a shifted or lost packet shows.
inline std::vector<uint8_t> PatternImage(size_t length) {
  std::vector<uint8_t> d(length);
  for (size_t i = 0; i < length; ++i) d[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  return d;
}

// Puts a configuration record at offset as the configuration tool builds it: the record
// zero-filled with config_valid 1, name and address set, the rest of its 4 KiB sector
// 0xFF (as far as the image reaches).
inline void PutRecord(std::vector<uint8_t>& d, size_t offset, const std::string& name, const BtAddress& address) {
  for (size_t i = offset; i < offset + 4096 && i < d.size(); ++i) d[i] = i < offset + 1178 ? 0 : 0xFF;
  // An image cut inside the record keeps only the fields' bytes that fit.
  auto put = [&d, offset](size_t at, uint8_t value) {
    if (offset + at < d.size()) d[offset + at] = value;
  };
  put(0, 1);
  put(0x33, 5);
  put(0x6B, 0x98);  // some non-zero fields after the address
  for (size_t i = 0; i < name.size() && i < 32; ++i) put(0x34 + i, static_cast<uint8_t>(name[i]));
  for (size_t i = 0; i < 6; ++i) put(0x64 + i, address.bytes[i]);
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& d) {
  std::ofstream out(qrplatform::PathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(qrplatform::PathFromUtf8(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline BtAddress Addr(const char* text) { return *BtAddress::FromDisplayText(text); }

// The first four slots' entries of a per-slot array (the rows a four-adapter station shows).
template <typename T, size_t N>
std::array<T, 4> First4(const std::array<T, N>& a) {
  return {a[0], a[1], a[2], a[3]};
}

}  // namespace kestrel::test
