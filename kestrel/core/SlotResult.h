#pragma once
// Outcome of one slot's sequence; the numbers are the ones the production line knows.
namespace kestrel {

enum class SlotResult : int {
  kDone = 0,            // burn: programmed and verified
  kImageOpenFailed = 1, // the image file cannot be opened (or its address cannot be saved)
  kOutOfMemory = 2,
  kAdapterUnusable = 3, // adapter unusable, gone, or a command packet not sent in full
  kVerifyFailed = 4,
  kReadbackFileFailed = 5,
  kNotConfirmed = 9,    // Connect got no 0x03 confirmation
};

inline int ToInt(SlotResult r) { return static_cast<int>(r); }

}  // namespace kestrel
