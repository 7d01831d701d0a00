#pragma once
// The texts and control states of the production dialog, as data: what a window shows
// and what the command line prints.
#include <array>
#include <string>

#include "core/ProductionState.h"

namespace kestrel {

enum class SlotIcon { kHidden, kSuccess, kFailure };

struct DialogView {
  std::array<std::string, 6> addressBoxes{"00", "00", "00", "00", "00", "00"};  // box i = byte i
  std::string imagePath;
  std::string deviceName;
  std::string currentAddressLabel = "当前地址:\t00:00:00:00:00:00";
  std::string countLabel = "烧录数量：0";
  std::string checksumLabel = "CRC_SUM: 0";
  bool burnEnabled = false;   // "烧录&&测试"
  bool readEnabled = false;   // "Read 512K"
  bool eraseEnabled = false;  // "Chip Erase"
  std::array<bool, kSlotCount> rowVisible{};
  std::array<bool, kSlotCount> ticked{};
  std::array<SlotIcon, kSlotCount> icon{};
  std::array<int, kSlotCount> lastResult{-1, -1, -1, -1};  // SlotResult of the last sequence, -1 none
};

}  // namespace kestrel
