#pragma once
// What a page may ask of the main view (the document). The document implements this;
// page tests use a small fake. Pages never hold the document's concrete type, so each
// page compiles and tests on its own.
#include <cstdint>

#include "tessera/core/common/MessageSink.h"

namespace tessera {

class PageHost {
 public:
  virtual ~PageHost() = default;
  // GPIOs taken by fixed System page functions (debug port bits 0-1, SPI bits 6-9).
  virtual uint32_t ReservedGpioMask() const = 0;
  virtual void SetReservedGpioMask(uint32_t mask) = 0;
  // GPIOs still free; pages reduce it as they take pins during a refresh.
  virtual uint32_t AvailableGpioMask() const = 0;
  virtual void SetAvailableGpioMask(uint32_t mask) = 0;
  // Re-runs the allocation in the order System, LED, Key.
  virtual void RefreshGpioAvailability() = 0;
  // Free flash space for prompts in KiB, with or without the CRC image's 34/32 growth.
  virtual int FreePromptSpaceKb(bool withCrcGrowth) const = 0;
  // Message boxes.
  virtual MessageSink& Sink() = 0;
};

}  // namespace tessera
