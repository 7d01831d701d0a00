#pragma once
// Flash layout per flash type.
//
// The "Type of FLASH" selection picks one of four entries. The code area is 448 KiB
// for the first entry and 512 KiB for every other index; the configuration sector
// is the 4 KiB right after the code area and the prompt area follows it.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tessera {

inline constexpr std::array<const char*, 4> kFlashTypeNames = {"GD_4Mbit", "GD_8Mbit", "GD_16Mbit",
                                                              "GD_32Mbit"};
inline constexpr int kFlashTypeCount = static_cast<int>(kFlashTypeNames.size());

struct FlashLayout {
  int flashKb = 0;                // F: 512, 1024, 2048 or 4096 (512 for an index outside 1..3)
  int codeAreaKb = 0;             // C: 448 for index 0, 512 otherwise
  uint32_t recordOffset = 0;      // C x 1024: start of the configuration sector / ConfigRecord
  uint32_t promptAreaOffset = 0;  // (C + 4) x 1024
  int freePlainKb = 0;            // F - (C + 16)
  int freeCrcKb = 0;              // F - ceil((C + 16) x 34 / 32)
  size_t bufferSize = 0;          // (freePlain + C + 4) x 1024 = (F - 12) KiB; each image buffer

  bool operator==(const FlashLayout&) const = default;
};

// The layout for a "Type of FLASH" index, computed from the flash size F and the code
// area C: free plain = F - (C + 16), free CRC = F - ceil((C + 16) x 34 / 32), buffer =
// (F - 12) KiB.
// An index outside 1..3 gives a 512 KiB flash; the code area is 448 for index 0 and
// 512 for every other index (so an out-of-range index yields negative free space,
// exactly as the formulas say; the document keeps its selection valid).
FlashLayout FlashLayoutFor(int flashTypeIndex);

// Free prompt space in KiB, without CRC growth (what the sound-effect page is told on
// a flash-type change) or with it (the wave-file fit check and, x 1024, the limit of
// LoadPromptFile).
int FreePromptSpaceKb(int flashTypeIndex, bool withCrcGrowth);

}  // namespace tessera
