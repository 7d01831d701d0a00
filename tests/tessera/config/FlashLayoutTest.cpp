#include <gtest/gtest.h>

#include <string>

#include "tessera/core/config/FlashLayout.h"

namespace tessera {
namespace {

struct Row {
  int index;
  const char* name;
  int flashKb, codeKb;
  uint32_t record, prompt;
  int freePlain, freeCrc, bufferKb;
};

// The flash-type table, every column.
constexpr Row kRows[] = {
    {0, "GD_4Mbit", 512, 448, 0x70000, 0x71000, 48, 19, 500},
    {1, "GD_8Mbit", 1024, 512, 0x80000, 0x81000, 496, 463, 1012},
    {2, "GD_16Mbit", 2048, 512, 0x80000, 0x81000, 1520, 1487, 2036},
    {3, "GD_32Mbit", 4096, 512, 0x80000, 0x81000, 3568, 3535, 4084},
};

TEST(FlashLayout, TableRowsEveryColumn) {
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(std::string(kFlashTypeNames[r.index]), r.name);
    const FlashLayout l = FlashLayoutFor(r.index);
    EXPECT_EQ(l.flashKb, r.flashKb);
    EXPECT_EQ(l.codeAreaKb, r.codeKb);
    EXPECT_EQ(l.recordOffset, r.record);
    EXPECT_EQ(l.promptAreaOffset, r.prompt);
    EXPECT_EQ(l.freePlainKb, r.freePlain);
    EXPECT_EQ(l.freeCrcKb, r.freeCrc);
    EXPECT_EQ(l.bufferSize, static_cast<size_t>(r.bufferKb) * 1024);
    EXPECT_EQ(l.bufferSize, static_cast<size_t>(r.flashKb - 12) * 1024);
    EXPECT_EQ(FreePromptSpaceKb(r.index, false), r.freePlain);
    EXPECT_EQ(FreePromptSpaceKb(r.index, true), r.freeCrc);
  }
}

TEST(FlashLayout, OutOfRangeIndexFollowsTheFormulas) {
  // F = 512 outside 1..3, C = 512 for any index but 0.
  for (int index : {-1, 4, 99}) {
    const FlashLayout l = FlashLayoutFor(index);
    EXPECT_EQ(l.flashKb, 512);
    EXPECT_EQ(l.codeAreaKb, 512);
    EXPECT_EQ(l.recordOffset, 0x80000u);
    EXPECT_EQ(l.promptAreaOffset, 0x81000u);
    EXPECT_EQ(l.freePlainKb, 512 - 528);
    EXPECT_EQ(l.freeCrcKb, 512 - 561);
    EXPECT_EQ(l.bufferSize, 500u * 1024);
  }
}

}  // namespace
}  // namespace tessera
