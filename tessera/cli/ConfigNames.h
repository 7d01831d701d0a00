#pragma once
// Name tables the JSON form and the show command use for index fields. An index
// without a name (outside the table, or a hole) is written as its number.
#include <string>

#include "config/FlashLayout.h"
#include "document/ChipPackage.h"
#include "pages/EventNames.h"

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

}  // namespace tessera
