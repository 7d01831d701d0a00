#pragma once
// The texts and control states of the production dialog, as data: what a window shows
// and what the command line prints. Each label comes as its text (shown exactly as it
// is) and what it means, so a window can colour or format it without parsing the text.
#include <array>
#include <cstdint>
#include <string>

#include "core/BtAddress.h"
#include "core/ProductionState.h"
#include "core/Transport.h"

namespace kestrel {

enum class SlotIcon { kHidden, kSuccess, kFailure };

// What the current-address label (1008) says.
enum class AddressLabelMeaning {
  kNextAddress,         // "当前地址:\t..." with labelAddress
  kImageOpenFailed,     // "烧录bin文件打开失败\r\n"
  kImageTooLarge,       // the image is 16 MiB or more
  kAddressFormatError,  // "地址格式错误!\r\n"
  kSequenceProblem,     // the address sequence refused (held, read-only, replaced, used up): its message
  kDamagedRecord,       // the image's configuration record is damaged: nothing is burned
};

// What the count label (1007) says.
enum class CountLabelMeaning {
  kSuccessCount,   // "烧录数量：%d" with labelCount
  kUsbOpenFailed,  // "USB打开失败\r\n"
};

// Boards passed and failed by burning since the image was loaded (reset by loading).
struct Yield {
  std::array<uint32_t, kSlotCount> passed{};
  std::array<uint32_t, kSlotCount> failed{};
  uint32_t totalPassed = 0;
  uint32_t totalFailed = 0;
};

struct DialogView {
  std::array<std::string, 6> addressBoxes{"00", "00", "00", "00", "00", "00"};  // box i = byte i
  std::string imagePath;
  std::string deviceName;
  std::string currentAddressLabel = "当前地址:\t00:00:00:00:00:00";
  AddressLabelMeaning addressLabelMeaning = AddressLabelMeaning::kNextAddress;
  BtAddress labelAddress;  // with kNextAddress
  std::string countLabel = "烧录数量：0";
  CountLabelMeaning countLabelMeaning = CountLabelMeaning::kSuccessCount;
  uint32_t labelCount = 0;  // with kSuccessCount
  std::string checksumLabel = "CRC_SUM: 0";
  bool hasChecksum = false;  // checksumLabel shows the loaded image's checksum
  uint16_t checksum = 0;
  bool burnEnabled = false;   // "烧录&&测试"
  bool readEnabled = false;   // "Read 512K"
  bool eraseEnabled = false;  // "Chip Erase"
  bool busy = false;          // an operation runs (its buttons are disabled)
  bool loading = false;       // LoadImageAsync is reading a file
  std::array<bool, kSlotCount> rowVisible{};
  std::array<bool, kSlotCount> ticked{};
  std::array<SlotIcon, kSlotCount> icon{};
  std::array<int, kSlotCount> lastResult = NoResults();  // SlotResult of the last sequence, -1 none
  // The address programmed by the slot's last burn, when it had one (for its row).
  std::array<bool, kSlotCount> slotHasAddress{};
  std::array<BtAddress, kSlotCount> slotAddress{};
  std::array<bool, kSlotCount> slotAddressKept{};  // see SlotReport::addressKept
  // Rows are keyed by adapter: the adapter whose result row n shows, and whether it has
  // been pulled out since. Such a row stays (icon, result, address) below the present
  // adapters' rows until the next operation starts; it cannot be ticked.
  std::array<AdapterId, kSlotCount> rowAdapter{};
  std::array<bool, kSlotCount> rowGone{};
  Yield yield;
  std::string logPath;        // production log in use, empty: none
  bool logFailed = false;     // a row could not be written to it
  std::string readbackFolder; // where the read-back files go (ProductionEngine::ReadbackFolder)
  // A row could not be written (or the log's disk is full): no new board starts until a
  // log is set again. Boards already running finish.
  bool logStopped = false;
  // The address sequence in use: its one-line description, how many addresses remain,
  // and whether that is below the warning threshold. Empty / false without one.
  std::string sequenceText;
  bool hasSequence = false;
  uint64_t remaining = 0;
  bool fewLeft = false;
  std::string sequenceMessage;  // the sequence's last word (why it refused, what it decided)
};

}  // namespace kestrel
