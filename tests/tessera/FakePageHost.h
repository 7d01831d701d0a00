#pragma once
// A view stand-in for the page tests: the GPIO pool refreshed by the document's own
// allocation (each page only when a test hands it over), the free prompt space, and a
// recording message sink.
#include <cstdint>
#include <map>
#include <string>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/GpioPool.h"
#include "tessera/core/pages/CPageButton.h"
#include "tessera/core/pages/CPageLED.h"
#include "tessera/core/pages/CPageSystem.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera::testing {

class FakePageHost : public PageHost {
 public:
  uint32_t ReservedGpioMask() const override { return reservedMask; }
  void SetReservedGpioMask(uint32_t mask) override { reservedMask = mask; }
  uint32_t AvailableGpioMask() const override { return availableMask; }
  void SetAvailableGpioMask(uint32_t mask) override { availableMask = mask; }
  // The document's own allocation, over the pages a test handed over.
  void RefreshGpioAvailability() override {
    ++refreshCount;
    AllocateGpioPool(*this, packageMask, system, led && led->Initialized() ? led : nullptr,
                     keys && keys->Initialized() ? keys : nullptr);
  }
  int FreePromptSpaceKb(bool withCrcGrowth) const override { return withCrcGrowth ? freeWithGrowthKb : freePlainKb; }
  MessageSink& Sink() override { return sink; }

  uint32_t packageMask = 0x7FFFFF;  // GPIO0..GPIO22
  uint32_t reservedMask = 0;
  uint32_t availableMask = 0;
  int freeWithGrowthKb = 463;  // 8 Mbit flash
  int freePlainKb = 496;
  int refreshCount = 0;
  CPageSystem* system = nullptr;
  CPageLED* led = nullptr;
  CPageButton* keys = nullptr;
  RecordingSink sink;
};

// Control texts as the user left them: the typed ones from edits, every other control
// showing what the model last moved to it.
template <typename Model>
ControlTextFn Typed(std::map<int, std::string> edits, const Model& model) {
  return [edits, &model](int id) {
    auto it = edits.find(id);
    return it != edits.end() ? it->second : model.ControlText(id);
  };
}

}  // namespace tessera::testing
