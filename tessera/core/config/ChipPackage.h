#pragma once
// The "Chip type" entries and the GPIOs each package brings out. Bit n = GPIOn.
#include <array>
#include <cstdint>

namespace tessera {

inline constexpr std::array<const char*, 3> kChipTypeNames = {"QFN40_5X5", "QFN48_6X6",
                                                              "QFN56_7X7"};
inline constexpr int kChipTypeCount = static_cast<int>(kChipTypeNames.size());

// GPIO set of each package: QFN40_5X5 has GPIO0, 1, 11 and 18 to 21; QFN48_6X6
// GPIO0 to 22; QFN56_7X7 GPIO0 to 14 and 18 to 21. No selection (or an index outside
// the list) gives no GPIOs at all.
constexpr uint32_t PackageGpioMask(int chipTypeIndex) {
  constexpr std::array<uint32_t, 3> masks = {0x3C0803u, 0x7FFFFFu, 0x3C7FFFu};
  return chipTypeIndex >= 0 && chipTypeIndex < kChipTypeCount
             ? masks[static_cast<size_t>(chipTypeIndex)]
             : 0u;
}

// The package whose pins include the SPI flash interface (GPIO6 to GPIO9).
inline constexpr int kSpiCapableChipIndex = 2;

}  // namespace tessera
