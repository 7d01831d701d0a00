// libFuzzer target: DecodeConfigFile on arbitrary bytes, then re-encode and decode
// again. A decoded file must encode to its first 15838 bytes (the fixed part is kept
// byte for byte) followed by the path as read, and decode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tessera/core/config/ConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessera::ConfigFileData d;
  std::string error;
  if (!tessera::DecodeConfigFile(data, size, d, &error)) {
    if (size >= tessera::cfgfile::kFixedSize || error.empty()) std::abort();
    return 0;
  }
  if (d.binPath.size() > tessera::cfgfile::kMaxPathRead) std::abort();
  if (d.binPath.find('\0') != std::string::npos) std::abort();
  const auto bytes = tessera::EncodeConfigFile(d);
  if (bytes.size() != tessera::cfgfile::kFixedSize + d.binPath.size()) std::abort();
  if (std::memcmp(bytes.data(), data, tessera::cfgfile::kFixedSize) != 0) std::abort();
  if (std::memcmp(bytes.data() + tessera::cfgfile::kFixedSize, data + tessera::cfgfile::kFixedSize,
                  d.binPath.size()) != 0)
    std::abort();
  tessera::ConfigFileData again;
  if (!tessera::DecodeConfigFile(bytes.data(), bytes.size(), again, &error)) std::abort();
  // Compared as bytes: a NaN gain is kept bit for bit but never equals itself.
  if (tessera::EncodeConfigFile(again) != bytes) std::abort();
  return 0;
}
