#pragma once
// The configuration file ("cfg"): no header, magic, version or checksum; a
// fixed sequence of blocks followed by the bin path, all integers little-endian.
//
//   offset  size   content
//        0  1178   ConfigRecord as built by the collect step
//     1178 13104   sound-effect table: 42 SoundEffectEntry of 312 bytes
//    14282   896   LED table: 32 LedEventEntry of 28 bytes
//    15178   512   key table: 32 KeyEventEntry of 16 bytes
//    15690   140   equalizer settings: 5 EqBandParams of 28 bytes
//    15830     4   "Type of FLASH" index (-1 when nothing is selected)
//    15834     4   "Chip type" index (-1 when nothing is selected)
//    15838     n   bin path, n bytes, no terminator (n = 0 for an empty path)
//
// Reading: a file shorter than 15838 bytes is refused (the caller shows its message and
// changes nothing); the path is read as at most 255 bytes and ends at the first zero
// byte among them; the selection indexes are reported as read, the caller judges them.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {

namespace cfgfile {
constexpr size_t kRecord = 0;
constexpr size_t kSound = kRecord + rec::kSize;          // 1178
constexpr size_t kLed = kSound + kSoundTableSize;        // 14282
constexpr size_t kKeys = kLed + kLedTableSize;           // 15178
constexpr size_t kEq = kKeys + kKeyTableSize;            // 15690
constexpr size_t kFlashIndex = kEq + kEqParamsTableSize; // 15830
constexpr size_t kChipIndex = kFlashIndex + 4;           // 15834
constexpr size_t kPath = kChipIndex + 4;                 // 15838
constexpr size_t kFixedSize = kPath;                     // 15838
constexpr size_t kMaxPathRead = 255;
static_assert(kSound == 0x049A && kLed == 0x37CA && kKeys == 0x3B4A && kEq == 0x3D4A);
static_assert(kFlashIndex == 0x3DD6 && kChipIndex == 0x3DDA && kPath == 0x3DDE);
}  // namespace cfgfile

struct ConfigFileData {
  ConfigRecord record;
  std::array<SoundEffectEntry, kSoundEntries> sound{};
  std::array<LedEventEntry, kLedEntries> led{};
  std::array<KeyEventEntry, kKeyEntries> keys{};
  std::array<EqBandParams, kEqBands> eq{};
  int32_t flashIndex = 0;
  int32_t chipIndex = 0;
  std::string binPath;

  bool operator==(const ConfigFileData& o) const {
    return record.bytes == o.record.bytes && sound == o.sound && led == o.led && keys == o.keys && eq == o.eq &&
           flashIndex == o.flashIndex && chipIndex == o.chipIndex && binPath == o.binPath;
  }
};

// 15838 bytes plus the whole path (the writer does not cut it).
std::vector<uint8_t> EncodeConfigFile(const ConfigFileData& data);

// False (with a reason in *error, `out` untouched) for a file shorter than 15838 bytes.
bool DecodeConfigFile(const uint8_t* data, size_t n, ConfigFileData& out, std::string* error);

// File helpers. Reading reads at most 15838 + 255 bytes; writing goes through
// WriteFileAtomically, so a failed write leaves an existing file untouched.
bool ReadConfigFile(const std::string& path, ConfigFileData& out, std::string* error);
bool WriteConfigFile(const std::string& path, const ConfigFileData& data, std::string* error);

}  // namespace tessera
