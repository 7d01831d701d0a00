#pragma once
// Outcome of one slot's sequence; the numbers are the ones the production line knows.
// Every text that describes a result comes from the one table in SlotResult.cpp: the
// command line prints the English text, a window's row shows the Chinese one, the
// production log records the number and the English text.
#include <array>

namespace kestrel {

enum class SlotResult : int {
  kDone = 0,            // burn: programmed and verified
  kImageOpenFailed = 1, // the image file cannot be opened (or its address cannot be saved)
  kOutOfMemory = 2,
  kAdapterUnusable = 3, // adapter unusable, gone, or a command packet not sent in full
  kVerifyFailed = 4,
  kReadbackFileFailed = 5,
  kNotConfirmed = 9,    // Connect got no 0x03 confirmation
  kNoAddress = 10,      // the address sequence handed out no address: the board was not erased
  kLogUnwritable = 11,  // the production log cannot take a row: the station stops before this board
  kAddressWasted = 12,  // production log only: an address kept for a retry was given up unused
  kEraseUnconfirmed = 13,  // chip erase: no adapter answer confirmed that the flash was erased
};

inline int ToInt(SlotResult r) { return static_cast<int>(r); }

struct SlotResultEntry {
  SlotResult value;
  const char* text;    // English: terminal and production log
  const char* textZh;  // Simplified Chinese: the window's slot row
};

// One entry per SlotResult value, in the order of the values.
const std::array<SlotResultEntry, 11>& SlotResultTable();
// The entry's texts; a number outside the table gives "unknown result" / "未知结果".
const char* SlotResultText(SlotResult result);
const char* SlotResultTextZh(SlotResult result);

}  // namespace kestrel
