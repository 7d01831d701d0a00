#pragma once
// What the engine tells a front end. Progress and slot results come from the slot
// workers, ViewChanged and OperationFinished from whichever thread changed the view; a
// front end queues them to its own thread and reads ProductionEngine::View() there.
#include <cstdint>

#include "core/SlotResult.h"

namespace kestrel {

enum class Operation { kBurn, kRead, kErase };

class EngineEvents {
 public:
  virtual ~EngineEvents() = default;
  virtual void ProgressRange(int /*slot*/, uint32_t /*maximum*/) {}
  virtual void ProgressPosition(int /*slot*/, uint32_t /*position*/) {}
  // A slot's sequence ended (not called for slots that were not ticked).
  virtual void SlotFinished(int /*slot*/, Operation /*op*/, SlotResult /*result*/) {}
  // Texts, buttons, rows or icons changed: redisplay.
  virtual void ViewChanged() {}
  // The last worker of an operation has run the final step.
  virtual void OperationFinished(Operation /*op*/) {}
};

}  // namespace kestrel
