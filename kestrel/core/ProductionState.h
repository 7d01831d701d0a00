#pragma once
// What the production dialog edits and the slot workers read: the loaded image and the
// counters. The addresses themselves come from an AddressSequence held by the engine.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/BtAddress.h"

namespace kestrel {

// Slots a station drives at once: one adapter and its board each. A window shows four
// rows always and a row more for each further adapter.
constexpr int kSlotCount = 16;

// -1 for every slot: no result yet.
inline std::array<int, kSlotCount> NoResults() {
  std::array<int, kSlotCount> r{};
  r.fill(-1);
  return r;
}

struct ProductionState {
  std::string imagePath;
  uint32_t imageLength = 0;  // 0: no image
  // The image as it was read when it was loaded: every slot programs (a patched copy of)
  // these bytes and verifies against them, whatever happens to the file meanwhile.
  std::shared_ptr<const std::vector<uint8_t>> image;
  uint16_t imageChecksum = 0;
  bool hasRecord = false;    // the image holds a configuration record (see ImageFile)
  uint32_t recordOffset = 0; // where that record starts: 0x80000 or 0x70000
  std::string deviceName;    // at most 32 characters
  BtAddress currentAddress;  // next address to hand out as shown (guarded by mutex while workers run)
  uint32_t successCount = 0; // guarded by mutex while workers run
  // Guards the current address, the success count and the running-worker count (and
  // the address write-back into the image file). One for the engine's life: the adapter
  // watcher may look at the running-worker count at any time.
  std::unique_ptr<std::mutex> mutex = std::make_unique<std::mutex>();
  int runningWorkers = 0;
};

}  // namespace kestrel
