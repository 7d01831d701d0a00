#include "cli/TerminalView.h"

#include <string>

namespace kestrel {

TerminalView::TerminalView(std::FILE* out, bool interactive) : out_(out), interactive_(interactive) {}

const char* TerminalView::ResultText(SlotResult result) {
  switch (result) {
    case SlotResult::kDone: return "done";
    case SlotResult::kImageOpenFailed: return "the image file cannot be opened or its next address cannot be saved";
    case SlotResult::kOutOfMemory: return "out of memory";
    case SlotResult::kAdapterUnusable: return "adapter unusable or not answering (check the cable, press USB reset)";
    case SlotResult::kVerifyFailed: return "verification found a byte that differs";
    case SlotResult::kReadbackFileFailed: return "the read-back file cannot be created (check --readback-dir)";
    case SlotResult::kNotConfirmed: return "the adapter did not confirm the connection (check the board)";
  }
  return "unknown result";
}

void TerminalView::ProgressRange(int slot, uint32_t maximum) {
  if (slot < 0 || slot >= kSlotCount) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t i = static_cast<size_t>(slot);
  maximum_[i] = maximum;
  position_[i] = 0;
  active_[i] = true;
  Draw();
}

void TerminalView::ProgressPosition(int slot, uint32_t position) {
  if (slot < 0 || slot >= kSlotCount) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t i = static_cast<size_t>(slot);
  // Position 0 after the end of a phase would redraw an empty bar; keep the high mark.
  if (position == 0 && position_[i] != 0) return;
  position_[i] = position;
  Draw();
}

void TerminalView::SlotFinished(int slot, Operation, SlotResult result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!interactive_) return;  // the summary after the operation says it all
  if (drawn_) std::fputs("\r\033[K", out_);
  std::fprintf(out_, "slot %d: %s%s\n", slot, result == SlotResult::kDone ? "" : "FAILED: ", ResultText(result));
  if (slot >= 0 && slot < kSlotCount) active_[static_cast<size_t>(slot)] = false;
  drawn_ = false;
  Draw();
}

void TerminalView::Draw() {
  bool changed = false;
  for (size_t i = 0; i < kSlotCount; ++i) {
    const int percent = maximum_[i] == 0 ? 0 : static_cast<int>(uint64_t{position_[i]} * 100 / maximum_[i]);
    if (percent != shownPercent_[i]) changed = true;
    shownPercent_[i] = percent;
  }
  if (!interactive_ || !changed) return;
  std::string line = "\r\033[K";
  for (size_t i = 0; i < kSlotCount; ++i) {
    if (!active_[i]) continue;
    const int filled = shownPercent_[i] / 5;
    line += "slot " + std::to_string(i) + " [" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(20 - filled), '.') + "] " + std::to_string(shownPercent_[i]) + "%  ";
  }
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  drawn_ = true;
}

void TerminalView::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (interactive_ && drawn_) std::fputs("\r\033[K", out_);
  drawn_ = false;
  std::fflush(out_);
}

}  // namespace kestrel
