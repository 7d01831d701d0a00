#pragma once
// Fixed-layout entries kept by the key, LED, sound-effect, equalizer and echo pages.
// The configuration file stores the tables byte for byte and the record copies or
// derives its table parts from them. Each entry is a plain struct holding every byte
// of its layout (reserved and padding included, so a file read and written again is
// unchanged) with an explicit little-endian Encode/Decode.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tessera {

struct KeyEventEntry {
  static constexpr size_t kSize = 16;
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtEvent = 0, kAtGpioMask = 4, kAtType = 8, kAtState = 12;
  int32_t event = 0;      // key event 0..27; 0 = empty entry
  uint32_t gpioMask = 0;  // bit n = GPIOn (n = 0..21)
  int32_t type = 0;       // press type 0..5
  int32_t state = 0;      // device state 0..3

  void Encode(uint8_t* out) const;
  static KeyEventEntry Decode(const uint8_t* in);
  bool operator==(const KeyEventEntry&) const = default;
};

struct LedEventEntry {
  static constexpr size_t kSize = 28;
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtEvent = 0, kAtLed = 4, kAtReserved = 8, kAtOnMs = 12, kAtOffMs = 16, kAtRepeatS = 20, kAtFlashCount = 21, kAtPadding = 22, kAtTimeoutMs = 24;
  int32_t event = 0;       // LED event 0..22; 0 = empty entry
  int32_t led = 0;         // 0 LED0, 1 LED1, 2 LED_LP, 3 ALTER(N), 4 BOTH
  int32_t reserved = 0;    // always 0 when written by this tool
  uint32_t onMs = 0;
  uint32_t offMs = 0;
  uint8_t repeatS = 0;
  uint8_t flashCount = 0;
  uint16_t padding = 0;    // always 0 when written by this tool
  int32_t timeoutMs = 0;   // -1 = no timeout

  void Encode(uint8_t* out) const;
  static LedEventEntry Decode(const uint8_t* in);
  bool operator==(const LedEventEntry&) const = default;
};

struct SoundEffectEntry {
  static constexpr size_t kSize = 312;
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtEnabled = 0, kAtEvent = 4, kAtKind = 8, kAtPath = 12, kAtFileSize = 268, kAtPattern = 272, kAtMode = 276, kAtDuration = 280, kAtPause = 284, kAtF1Gain = 288, kAtF1Step = 292, kAtF1Enable = 296, kAtF2Gain = 300, kAtF2Step = 304, kAtF2Enable = 308;
  static constexpr size_t kPathSize = 256;
  int32_t enabled = 0;  // 1 "Enable", 0 "Disable"
  int32_t event = 0;    // prompt event 0..43; 0 = empty entry
  int32_t kind = 0;     // 0 custom wave file, 1 DTMF tone
  std::array<char, kPathSize> path{};  // zero-terminated, zero-filled
  int32_t fileSize = 0;
  int32_t pattern = 0;
  int32_t mode = 0;       // 0 "BURST", 1 "CONTINEOUS"
  uint32_t duration = 0;  // 0..15
  uint32_t pause = 0;     // 0..15
  int32_t f1Gain = 0;     // attenuation 0..15
  uint32_t f1Step = 0;
  int32_t f1Enable = 0;
  int32_t f2Gain = 0;
  uint32_t f2Step = 0;
  int32_t f2Enable = 0;

  // The path up to its terminator (all 256 bytes if there is none).
  std::string PathText() const;
  // Stores text zero-filled; a text of 256 bytes or more is cut to 255 so the
  // terminator always fits.
  void SetPath(const std::string& text);

  void Encode(uint8_t* out) const;
  static SoundEffectEntry Decode(const uint8_t* in);
  bool operator==(const SoundEffectEntry&) const = default;
};

struct EqBandParams {
  static constexpr size_t kSize = 28;
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtEnabled = 0, kAtType = 4, kAtHighLow = 8, kAtGainDb = 12, kAtCenterHz = 16, kAtSampleHz = 20, kAtBandwidthHz = 24;
  int32_t enabled = 0;
  int32_t type = 0;     // 0 Shelving, 1 Peak
  int32_t highLow = 0;  // 0 low, 1 high
  float gainDb = 0;
  int32_t centerHz = 0;
  int32_t sampleHz = 0;
  int32_t bandwidthHz = 0;

  void Encode(uint8_t* out) const;
  static EqBandParams Decode(const uint8_t* in);
  bool operator==(const EqBandParams&) const = default;
};

struct EqBandCoeffs {
  static constexpr size_t kSize = 21;  // packed
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtEnabled = 0, kAtA1 = 1, kAtA2 = 5, kAtB0 = 9, kAtB1 = 13, kAtB2 = 17;
  uint8_t enabled = 0;
  int32_t a1 = 0, a2 = 0, b0 = 0, b1 = 0, b2 = 0;

  void Encode(uint8_t* out) const;
  static EqBandCoeffs Decode(const uint8_t* in);
  bool operator==(const EqBandCoeffs&) const = default;
};

struct VoiceEqParams {
  static constexpr size_t kSize = 20;
  // Byte offsets of the members in the stored entry.
  static constexpr size_t kAtType = 0, kAtHighLow = 1, kAtPadding = 2, kAtGainDb = 4, kAtCenterHz = 8, kAtSampleHz = 12, kAtBandwidthHz = 16;
  uint8_t type = 0;     // 0 Shelving, 1 Peak
  uint8_t highLow = 0;  // 0 low, 1 high
  uint16_t padding = 0;
  int32_t gainDb = 0;   // whole dB
  int32_t centerHz = 0;
  int32_t sampleHz = 0;
  int32_t bandwidthHz = 0;

  void Encode(uint8_t* out) const;
  static VoiceEqParams Decode(const uint8_t* in);
  bool operator==(const VoiceEqParams&) const = default;
};

// Table sizes in the configuration file.
constexpr int kKeyEntries = 32, kLedEntries = 32, kSoundEntries = 42, kEqBands = 5, kVoiceEqs = 2;
constexpr size_t kKeyTableSize = kKeyEntries * KeyEventEntry::kSize;          // 512
constexpr size_t kLedTableSize = kLedEntries * LedEventEntry::kSize;          // 896
constexpr size_t kSoundTableSize = kSoundEntries * SoundEffectEntry::kSize;   // 13104
constexpr size_t kEqParamsTableSize = kEqBands * EqBandParams::kSize;         // 140
constexpr size_t kEqCoeffsTableSize = kEqBands * EqBandCoeffs::kSize;         // 105
constexpr size_t kVoiceEqTableSize = kVoiceEqs * VoiceEqParams::kSize;        // 40

// Whole tables, entry 0 first.
template <typename Entry, size_t N>
void EncodeTable(const std::array<Entry, N>& table, uint8_t* out) {
  for (size_t i = 0; i < N; ++i) table[i].Encode(out + i * Entry::kSize);
}
template <typename Entry, size_t N>
void DecodeTable(std::array<Entry, N>& table, const uint8_t* in) {
  for (size_t i = 0; i < N; ++i) table[i] = Entry::Decode(in + i * Entry::kSize);
}

}  // namespace tessera
