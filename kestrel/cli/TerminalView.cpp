#include "cli/TerminalView.h"

namespace kestrel {

namespace {

constexpr int kBarWidth = 30;  // a line stays well inside 80 columns

const char* PhaseText(ProgressPhase phase) {
  switch (phase) {
    case ProgressPhase::kProgram: return "writing";
    case ProgressPhase::kVerify: return "verifying";
    case ProgressPhase::kRead: return "reading";
    case ProgressPhase::kErase: return "erasing";
  }
  return "";
}

}  // namespace

TerminalView::TerminalView(std::FILE* out, bool interactive) : out_(out), interactive_(interactive) {}

void TerminalView::ProgressRange(int slot, ProgressPhase phase, uint32_t maximum) {
  if (slot < 0 || slot >= kSlotCount) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t i = static_cast<size_t>(slot);
  maximum_[i] = maximum;
  position_[i] = 0;
  phase_[i] = phase;
  active_[i] = true;
  Draw(true);
}

void TerminalView::ProgressPosition(int slot, ProgressPhase, uint32_t position) {
  if (slot < 0 || slot >= kSlotCount) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t i = static_cast<size_t>(slot);
  // Position 0 after the end of a phase would redraw an empty bar; keep the high mark.
  if (position == 0 && position_[i] != 0) return;
  position_[i] = position;
  Draw(false);
}

void TerminalView::SlotFinished(const SlotReport& report) {
  const int slot = report.slot;
  const SlotResult result = report.result;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!interactive_) return;  // the summary after the operation says it all
  std::string text = EraseBars();
  text += "slot " + std::to_string(slot) + ": " + (result == SlotResult::kDone ? "" : "FAILED: ") +
          SlotResultText(result) + "\n";
  std::fputs(text.c_str(), out_);
  if (slot >= 0 && slot < kSlotCount) active_[static_cast<size_t>(slot)] = false;
  Draw(true);
}

std::string TerminalView::EraseBars() {
  if (linesShown_ == 0) return {};
  // Up to the first bar line, then clear from there to the end of the screen.
  std::string text = "\033[" + std::to_string(linesShown_) + "A\r\033[J";
  linesShown_ = 0;
  return text;
}

void TerminalView::Draw(bool force) {
  bool changed = force;
  for (size_t i = 0; i < kSlotCount; ++i) {
    const int percent = maximum_[i] == 0 ? 0 : static_cast<int>(uint64_t{position_[i]} * 100 / maximum_[i]);
    if (percent != shownPercent_[i]) changed = true;
    shownPercent_[i] = percent;
  }
  if (!interactive_ || !changed) return;
  std::string text = EraseBars();
  int lines = 0;
  for (size_t i = 0; i < kSlotCount; ++i) {
    if (!active_[i]) continue;
    const int filled = shownPercent_[i] * kBarWidth / 100;
    const char* phase = PhaseText(phase_[i]);
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", shownPercent_[i]);
    text += "slot " + std::to_string(i) + " [" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " + percent + "  " + phase + "\n";
    ++lines;
  }
  std::fputs(text.c_str(), out_);
  std::fflush(out_);
  linesShown_ = lines;
}

void TerminalView::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (interactive_) std::fputs(EraseBars().c_str(), out_);
  std::fflush(out_);
}

}  // namespace kestrel
