// kestrel-cli's progress display, replayed on a small terminal model: what an operator
// sees on an 80-column screen while four slots burn.
#include <gtest/gtest.h>

#ifdef KESTREL_TERMINAL_VIEW
#include <cstdio>
#include <string>
#include <vector>

#include "cli/TerminalView.h"

namespace kestrel {
namespace {

// Plays the bytes a program wrote to a terminal of the given width: printable ASCII,
// CR, LF, automatic wrap at the right edge, and the escapes ESC[nA (cursor up),
// ESC[K (clear to end of line) and ESC[J (clear to end of screen).
std::vector<std::string> Screen(const std::string& bytes, size_t width) {
  std::vector<std::string> rows(1);
  size_t row = 0, col = 0;
  auto at = [&](size_t r) -> std::string& {
    if (rows.size() <= r) rows.resize(r + 1);
    return rows[r];
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      ++row;
      col = 0;
    } else if (c == '\r') {
      col = 0;
    } else if (c == '\033' && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      size_t j = i + 2;
      int n = 0;
      while (j < bytes.size() && bytes[j] >= '0' && bytes[j] <= '9') n = n * 10 + (bytes[j++] - '0');
      if (j >= bytes.size()) break;
      if (bytes[j] == 'A') row -= std::min<size_t>(row, static_cast<size_t>(n == 0 ? 1 : n));
      if (bytes[j] == 'K' || bytes[j] == 'J') at(row).resize(std::min(at(row).size(), col));
      if (bytes[j] == 'J') rows.resize(std::min(rows.size(), row + 1));
      i = j;
    } else {
      if (col == width) {
        ++row;
        col = 0;
      }
      std::string& line = at(row);
      if (line.size() <= col) line.resize(col + 1, ' ');
      line[col++] = c;
    }
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}

std::string Written(std::FILE* f) {
  std::fflush(f);
  std::string text;
  std::rewind(f);
  char buf[4096];
  while (size_t n = std::fread(buf, 1, sizeof buf, f)) text.append(buf, n);
  return text;
}

TEST(TerminalProgress, FourSlotsFitAnEightyColumnScreenAndLeaveOnlyTheirResults) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  TerminalView view(f, true);
  for (int n = 0; n < 4; ++n) view.ProgressRange(n, ProgressPhase::kProgram, 0x81000);
  for (uint32_t pos = 0; pos <= 0x81000; pos += 0x4000)
    for (int n = 0; n < 4; ++n) view.ProgressPosition(n, ProgressPhase::kProgram, pos);

  std::vector<std::string> screen = Screen(Written(f), 80);
  ASSERT_EQ(screen.size(), 4u) << "one bar line per slot, nothing left behind";
  for (size_t n = 0; n < 4; ++n) {
    EXPECT_EQ(screen[n].rfind("slot " + std::to_string(n) + " [", 0), 0u) << screen[n];
    EXPECT_NE(screen[n].find("writing"), std::string::npos) << screen[n];
  }
  // The read-back starts a second phase for slot 1.
  view.ProgressRange(1, ProgressPhase::kVerify, 0x81000);
  view.ProgressPosition(1, ProgressPhase::kVerify, 0x40800);
  screen = Screen(Written(f), 80);
  ASSERT_EQ(screen.size(), 4u);
  EXPECT_NE(screen[1].find(" 50%  verifying"), std::string::npos) << screen[1];

  view.SlotFinished(SlotReport{2, Operation::kBurn, SlotResult::kDone, {}, false, {}, 0});
  view.SlotFinished(SlotReport{0, Operation::kBurn, SlotResult::kVerifyFailed, {}, false, {}, 0});
  screen = Screen(Written(f), 80);
  ASSERT_EQ(screen.size(), 4u);
  EXPECT_EQ(screen[0], "slot 2: done");
  EXPECT_EQ(screen[1], "slot 0: FAILED: verification found a byte that differs");
  EXPECT_EQ(screen[2].rfind("slot 1 [", 0), 0u);
  EXPECT_EQ(screen[3].rfind("slot 3 [", 0), 0u);

  view.Finish();
  screen = Screen(Written(f), 80);
  EXPECT_EQ(screen, (std::vector<std::string>{"slot 2: done", "slot 0: FAILED: verification found a byte that differs"}));
  std::fclose(f);
}

TEST(TerminalProgress, NothingButTheSummaryWhenNotATerminal) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  TerminalView view(f, false);
  view.ProgressRange(0, ProgressPhase::kRead, 100);
  view.ProgressPosition(0, ProgressPhase::kRead, 50);
  view.SlotFinished(SlotReport{0, Operation::kRead, SlotResult::kDone, {}, false, {}, 0});
  view.Finish();
  EXPECT_EQ(Written(f), "");
  std::fclose(f);
}

}  // namespace
}  // namespace kestrel
#endif
