#pragma once
// What the engine tells a front end. Progress and slot results come from the slot
// workers, ViewChanged and OperationFinished from whichever thread changed the view,
// AdaptersChanged from the transport's watching thread, ImageLoaded from the loading
// thread. Every call may come from a thread other than the window's: a window queues them
// to its own thread (Qt: QMetaObject::invokeMethod(..., Qt::QueuedConnection)) and reads
// ProductionEngine::View() there. Progress can be frequent (one position per 2 KiB per
// slot): a window keeps the last position per slot and repaints on a timer. A handler
// must not call back into the engine directly (Start from OperationFinished would wait
// for the very thread it runs on): queue the call to the window's thread.
#include <cstdint>
#include <string>

#include "core/BtAddress.h"
#include "core/ImageFile.h"
#include "core/SlotResult.h"
#include "core/Transport.h"

namespace kestrel {

enum class Operation { kBurn, kRead, kErase };

// What a slot's progress bar is showing. A burn goes kErase, kProgram, kVerify; a read
// is kRead; a chip erase is kErase. kErase has no positions (maximum 0): the adapter only
// answers when it is done, so a window shows a busy bar.
enum class ProgressPhase { kProgram, kVerify, kRead, kErase };

const char* OperationName(Operation op);    // "burn", "read", "erase"
const char* PhaseName(ProgressPhase phase); // "program", "verify", "read", "erase"

// One slot's sequence has ended: what the row and the production log show.
struct SlotReport {
  int slot = 0;
  Operation op = Operation::kBurn;
  SlotResult result = SlotResult::kDone;
  AdapterId adapterId;        // the adapter's identity when its slot was opened
  bool hasAddress = false;    // burn of an image with a record that got as far as an address
  BtAddress address;          // the address programmed into this board (new or a retry's)
  // A failed burn's address reached no board: it is kept for this adapter's next burn.
  // Otherwise a failed burn's address is given up (the board may hold it).
  bool addressKept = false;
  double seconds = 0;         // the sequence's duration on the engine's clock
};

class EngineEvents {
 public:
  virtual ~EngineEvents() = default;
  // A phase starts; positions up to maximum follow (none for kErase).
  virtual void ProgressRange(int /*slot*/, ProgressPhase /*phase*/, uint32_t /*maximum*/) {}
  virtual void ProgressPosition(int /*slot*/, ProgressPhase /*phase*/, uint32_t /*position*/) {}
  // A slot's sequence ended (not called for slots that were not ticked). The text of the
  // result is SlotResultText / SlotResultTextZh.
  virtual void SlotFinished(const SlotReport& /*report*/) {}
  // Texts, buttons, rows or icons changed: redisplay.
  virtual void ViewChanged() {}
  // The last worker of an operation has run the final step.
  virtual void OperationFinished(Operation /*op*/) {}
  // An adapter was plugged in or pulled out and RefreshSlots has run: rows, ticks and
  // buttons in View() are new. deviceCount is the new count.
  virtual void AdaptersChanged(int /*deviceCount*/) {}
  // LoadImageAsync finished; View() already shows the new image (or the failure text).
  virtual void ImageLoaded(ImageError /*error*/) {}
  // A Close() that answered kPending has now run: the operation ended and the next
  // address was stored (written: true) or could not be (false). The window may now end.
  virtual void Closed(bool /*written*/) {}
};

}  // namespace kestrel
