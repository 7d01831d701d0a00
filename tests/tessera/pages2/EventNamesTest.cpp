#include "tessera/core/config/EventNames.h"

#include <gtest/gtest.h>

#include <string>

namespace tessera {
namespace {

// A missing comma in a table concatenates two names and leaves the last slot null,
// which would shift every later index the firmware relies on.
template <std::size_t N>
void ExpectFull(const std::array<const char*, N>& t, const char* name) {
  for (std::size_t i = 0; i < N; ++i) {
    ASSERT_NE(t[i], nullptr) << name << " index " << i;
    EXPECT_NE(std::string(t[i]), "") << name << " index " << i;
  }
}

TEST(EventNames, EveryTableIsFullyPopulated) {
  ExpectFull(names::kKeyEventList, "kKeyEventList");
  ExpectFull(names::kKeyEventDialog, "kKeyEventDialog");
  ExpectFull(names::kKeyTypeList, "kKeyTypeList");
  ExpectFull(names::kKeyTypeDialog, "kKeyTypeDialog");
  ExpectFull(names::kKeyStateList, "kKeyStateList");
  ExpectFull(names::kKeyStateDialog, "kKeyStateDialog");
  ExpectFull(names::kLedEventList, "kLedEventList");
  ExpectFull(names::kLedEventDialog, "kLedEventDialog");
  ExpectFull(names::kLedOutputList, "kLedOutputList");
  ExpectFull(names::kLedOutputDialog, "kLedOutputDialog");
  ExpectFull(names::kPromptEventList, "kPromptEventList");
  ExpectFull(names::kPromptEventDialog, "kPromptEventDialog");
}

TEST(EventNames, IndexesLineUpWithFirmwareValues) {
  // Spot checks at the ends and around the places where list and dialog texts differ.
  EXPECT_STREQ(names::kKeyEventList[8], "ADUIO MUTE");
  EXPECT_STREQ(names::kKeyEventDialog[17], "VOICE DIAL INITAIL");
  EXPECT_STREQ(names::kKeyEventList[27], "STEREO M/S");
  EXPECT_STREQ(names::kKeyStateDialog[1], "A2DP ");
  EXPECT_STREQ(names::kLedEventList[22], "TEST MODE");
  EXPECT_STREQ(names::kLedEventDialog[17], "FM_PLAY");
  EXPECT_STREQ(names::kPromptEventList[33], "SDCARD MODE");
  EXPECT_STREQ(names::kPromptEventList[34], "RESERVED 0");
  EXPECT_STREQ(names::kPromptEventDialog[43], "RESERVED9");
  EXPECT_STREQ(names::kPromptEventList[28], "VOICE NUM 9");
}

TEST(EventNames, NameAtOutsideTableIsEmpty) {
  EXPECT_STREQ(names::NameAt(names::kLedOutputList, 4), "BOTH");
  EXPECT_STREQ(names::NameAt(names::kLedOutputList, 5), "");
  EXPECT_STREQ(names::NameAt(names::kLedOutputList, -1), "");
  EXPECT_EQ(names::NameList(names::kKeyTypeDialog).size(), 6u);
}

}  // namespace
}  // namespace tessera
