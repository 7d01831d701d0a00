#pragma once
// One slot wired to a ModelAdapter, with the state a worker would see, for tests that
// drive the protocol directly on the test thread.
#include "core/AdapterSlot.h"
#include "core/DownloadProtocol.h"
#include "core/EngineEvents.h"
#include "core/ProductionState.h"
#include "ModelAdapter.h"
#include "FakeClock.h"
#include "TestFiles.h"

namespace kestrel::test {

struct SlotRig {
  FakeClock clock;
  ModelAdapter adapter{clock};
  AdapterSlot slot;
  ProductionState state;
  EngineEvents events;
  ReadLimits limits;
  TempDir dir;

  SlotRig() {
    slot.SetDevice(adapter.MakeEndpoint());
    slot.SetOutPipe(adapter.MakeEndpoint());
    slot.SetInPipe(adapter.MakeEndpoint());
  }
  int handedOut = 0;  // addresses the protocol asked for
  // A protocol whose address source counts up from state.currentAddress (in memory: the
  // engine's sequences are tested with the engine).
  DownloadProtocol Protocol(int n = 0) {
    DownloadProtocol p(n, slot, state, clock, events, limits, dir.File("readback"));
    p.SetAddressSource([this](BtAddress* a) {
      ++handedOut;
      *a = state.currentAddress;
      state.currentAddress = state.currentAddress.Next();
      return SlotResult::kDone;
    });
    return p;
  }
  // Loads an image file the way the dialog would, without the dialog.
  void UseImage(const std::vector<uint8_t>& image, bool hasRecord = false, uint32_t recordOffset = 0x80000) {
    const std::string path = dir.File("image.bin");
    WriteFile(path, image);
    state.imagePath = path;
    state.imageLength = static_cast<uint32_t>(image.size());
    state.image = std::make_shared<const std::vector<uint8_t>>(image);
    state.hasRecord = hasRecord;
    state.recordOffset = recordOffset;
  }
  // The writes after the start packet that carry program data (until the first A2).
  std::vector<std::vector<uint8_t>> DataWrites() const {
    std::vector<std::vector<uint8_t>> out;
    bool started = false;
    for (const auto& w : adapter.writes) {
      if (!started) {
        started = w.size() == 64 && w[0] == 0xA9;
        continue;
      }
      if (w[0] == 0xA2) break;
      out.push_back(w);
    }
    return out;
  }
};

}  // namespace kestrel::test
