#pragma once
// Shows a running operation on a terminal: one progress bar per slot, each on its own
// line and redrawn in place when stderr is a terminal, and a line per slot when its
// sequence ends. Engine events arrive on the workers' threads; everything here is
// guarded by one lock.
#include <array>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/EngineEvents.h"
#include "core/ProductionState.h"

namespace kestrel {

class TerminalView : public EngineEvents {
 public:
  TerminalView(std::FILE* out, bool interactive);

  void ProgressRange(int slot, ProgressPhase phase, uint32_t maximum) override;
  void ProgressPosition(int slot, ProgressPhase phase, uint32_t position) override;
  void SlotFinished(const SlotReport& report) override;

  // Ends the progress display before other output follows.
  void Finish();

 private:
  void Draw(bool force);       // mutex_ held
  std::string EraseBars();     // mutex_ held: the text that removes the bars drawn last

  std::FILE* out_;
  bool interactive_;
  std::mutex mutex_;
  std::array<uint32_t, kSlotCount> maximum_{};
  std::array<uint32_t, kSlotCount> position_{};
  std::array<int, kSlotCount> shownPercent_ = NoResults();
  std::array<ProgressPhase, kSlotCount> phase_{};
  std::array<bool, kSlotCount> active_{};
  int linesShown_ = 0;  // bar lines on the screen above the cursor
};

}  // namespace kestrel
