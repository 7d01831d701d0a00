#pragma once
// The configuration file and record layout as one table: every field's name, kind,
// offset (the named offsets of ConfigRecord.h, TableEntries.h and ConfigFile.h),
// length, bit fields and the name tables of its index values. The core's encoders
// write at the same named offsets; the JSON form and the show command of tessera-cli
// walk this table, so no offset, bit position or name exists twice.
#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "tessera/core/config/ChipPackage.h"
#include "tessera/core/config/EventNames.h"
#include "tessera/core/config/FlashLayout.h"

namespace tessera {

struct NameTable {
  const char* const* names;
  int count;

  // Index of the first entry equal to text; -1 when none.
  int Find(const std::string& text) const {
    for (int i = 0; i < count; ++i)
      if (names[i] && text == names[i]) return i;
    return -1;
  }
  std::string Name(long long i) const {
    return i >= 0 && i < count && names[i] ? std::string(names[i]) : std::to_string(i);
  }
  std::string List() const {
    std::string s;
    for (int i = 0; i < count; ++i)
      if (names[i]) s += (s.empty() ? "\"" : ", \"") + std::string(names[i]) + "\"";
    return s;
  }
};

template <size_t N>
constexpr NameTable MakeNameTable(const char* const (&names)[N]) {
  return {names, static_cast<int>(N)};
}

// Names of the index values the layout's fields hold. An index without a name (outside
// the table, or a hole) is shown as its number.
inline constexpr const char* kDebugPortNameList[] = {"off", "UART", "IIC"};
inline constexpr const char* kMicBiasNameList[] = {"2.6V", "2.4V", "2.1V", "1.8V"};
// Minor device classes of the audio/video major class, by record value.
inline constexpr const char* kDeviceClassNameList[] = {
    nullptr,       "WEARABLE HEADSET", "HANDSFREE",      nullptr,    nullptr,
    "LOUDSPEAKER", "HEADPHONES",       "PORTABLE AUDIO", "CAR AUDIO"};
inline constexpr const char* kEqTypeNameList[] = {"Shelving", "Peak"};
inline constexpr const char* kEqSideNameList[] = {"low", "high"};

inline constexpr NameTable kDebugPortNames = MakeNameTable(kDebugPortNameList);
inline constexpr NameTable kMicBiasNames = MakeNameTable(kMicBiasNameList);
inline constexpr NameTable kDeviceClassNames = MakeNameTable(kDeviceClassNameList);
inline constexpr NameTable kEqTypeNames = MakeNameTable(kEqTypeNameList);
inline constexpr NameTable kEqSideNames = MakeNameTable(kEqSideNameList);
inline constexpr NameTable kFlashTypeNameTable{kFlashTypeNames.data(), kFlashTypeCount};
inline constexpr NameTable kChipTypeNameTable{kChipTypeNames.data(), kChipTypeCount};

// The pages' texts, as their entry dialogs offer them.
template <size_t N>
NameTable PageNames(const std::array<const char*, N>& table) {
  return {table.data(), static_cast<int>(N)};
}
inline const NameTable kSoundKindNames = PageNames(names::kPromptKindDialog);
inline const NameTable kDtmfPatternNames = PageNames(names::kDtmfPatternDialog);
inline const NameTable kDtmfModeNames = PageNames(names::kDtmfModeDialog);
inline const NameTable kLedOutputNames = PageNames(names::kLedOutputDialog);
inline const NameTable kKeyTypeNames = PageNames(names::kKeyTypeDialog);
inline const NameTable kKeyStateNames = PageNames(names::kKeyStateDialog);
inline const NameTable kPromptEventNames = PageNames(names::kPromptEventDialog);
inline const NameTable kLedEventNames = PageNames(names::kLedEventDialog);
inline const NameTable kKeyEventNames = PageNames(names::kKeyEventDialog);


namespace layout {

enum class Kind {
  U8,
  U16,
  U32,
  I8,
  I16,
  I32,
  Hex32,      // u32 shown as "0x%08X"
  F32,        // single precision
  Gpio,       // u8: "GPIO%02d", 0xFF "UNUSED"
  GpioMask,   // u32: one "GPIO%02d" for every set bit
  Bytes,      // len raw bytes (reserved space)
  Text,       // char[len], zero-terminated and zero-filled
  BtAddress,  // u8[6], least significant first
  NamedU8,    // u8 index into a name table
  NamedI32,   // i32 index into a name table
  Flags,      // u32 split into named bit fields
  Array,      // count sub-records of stride bytes
};

struct BitField {
  const char* name;
  int shift;
  int width;               // 1 = a flag
  const NameTable* names;  // for width > 1: name table, or null for a number
};

struct Field;
struct ArraySpec {
  size_t stride;
  int count;
  std::span<const Field> fields;
  const NameTable* labels;  // "event" label per element, or null
  int labelBase;            // label of element 0
  bool nullWhenZero;        // an all-zero element is an empty entry
};

struct Field {
  const char* name;
  Kind kind;
  size_t off;
  size_t len = 0;
  const NameTable* names = nullptr;
  std::span<const BitField> bits = {};
  const ArraySpec* array = nullptr;
};

// The record's fields in offset order, covering all of its bytes.
std::span<const Field> RecordFields();
// The configuration file's blocks after the record: the four tables and the two
// selection indexes (the bin path follows at cfgfile::kPath).
std::span<const Field> FileFields();

}  // namespace layout
}  // namespace tessera
