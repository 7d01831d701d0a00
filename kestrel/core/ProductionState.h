#pragma once
// What the production dialog edits and the slot workers read: the loaded image, the
// address sequence and the per-slot address memory.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/BtAddress.h"

namespace kestrel {

constexpr int kSlotCount = 4;

struct ProductionState {
  std::string imagePath;
  uint32_t imageLength = 0;  // 0: no image
  bool hasRecord = false;    // the image holds a configuration record (see ImageFile)
  uint32_t recordOffset = 0; // where that record starts: 0x80000 or 0x70000
  std::string deviceName;    // at most 32 characters
  BtAddress currentAddress;  // next address to hand out (guarded by mutex while workers run)
  uint32_t successCount = 0; // guarded by mutex while workers run
  std::array<BtAddress, kSlotCount> savedAddress{};
  std::array<uint8_t, kSlotCount> retryMark{};  // 1: the slot's last burn failed after it took an address
  // Created anew for each operation; guards the current address, the success count and
  // the running-worker count (and the address write-back into the image file).
  std::unique_ptr<std::mutex> mutex = std::make_unique<std::mutex>();
  int runningWorkers = 0;
};

}  // namespace kestrel
