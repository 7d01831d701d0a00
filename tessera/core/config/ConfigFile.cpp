#include "tessera/core/config/ConfigFile.h"

#include <cstring>

#include "tessera/core/common/AtomicFile.h"
#include "tessera/core/common/ByteIo.h"

namespace tessera {

std::vector<uint8_t> EncodeConfigFile(const ConfigFileData& data) {
  std::vector<uint8_t> out(cfgfile::kFixedSize + data.binPath.size(), 0);
  std::memcpy(out.data() + cfgfile::kRecord, data.record.data(), rec::kSize);
  EncodeTable(data.sound, out.data() + cfgfile::kSound);
  EncodeTable(data.led, out.data() + cfgfile::kLed);
  EncodeTable(data.keys, out.data() + cfgfile::kKeys);
  EncodeTable(data.eq, out.data() + cfgfile::kEq);
  PutI32(out.data(), cfgfile::kFlashIndex, data.flashIndex);
  PutI32(out.data(), cfgfile::kChipIndex, data.chipIndex);
  if (!data.binPath.empty()) std::memcpy(out.data() + cfgfile::kPath, data.binPath.data(), data.binPath.size());
  return out;
}

bool DecodeConfigFile(const uint8_t* data, size_t n, ConfigFileData& out, std::string* error) {
  if (n < cfgfile::kFixedSize) {
    if (error)
      *error = "configuration file too short: " + std::to_string(n) + " bytes, at least " +
               std::to_string(cfgfile::kFixedSize) + " expected";
    return false;
  }
  ConfigFileData d;
  std::memcpy(d.record.data(), data + cfgfile::kRecord, rec::kSize);
  DecodeTable(d.sound, data + cfgfile::kSound);
  DecodeTable(d.led, data + cfgfile::kLed);
  DecodeTable(d.keys, data + cfgfile::kKeys);
  DecodeTable(d.eq, data + cfgfile::kEq);
  d.flashIndex = GetI32(data, cfgfile::kFlashIndex);
  d.chipIndex = GetI32(data, cfgfile::kChipIndex);
  // At most 255 bytes into a zero-filled buffer: the text ends at the first zero byte.
  const size_t avail = std::min(n - cfgfile::kPath, cfgfile::kMaxPathRead);
  const char* p = reinterpret_cast<const char*>(data + cfgfile::kPath);
  const void* nul = std::memchr(p, 0, avail);
  d.binPath.assign(p, nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : avail);
  out = std::move(d);
  return true;
}

bool ReadConfigFile(const std::string& path, ConfigFileData& out, std::string* error) {
  std::vector<uint8_t> bytes;
  if (!ReadFilePrefix(path, bytes, cfgfile::kFixedSize + cfgfile::kMaxPathRead, error)) return false;
  return DecodeConfigFile(bytes.data(), bytes.size(), out, error);
}

bool WriteConfigFile(const std::string& path, const ConfigFileData& data, std::string* error) {
  const std::vector<uint8_t> bytes = EncodeConfigFile(data);
  return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}

}  // namespace tessera
