#include <gtest/gtest.h>

#include "tessera/core/common/Gpio.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"

namespace tessera {
namespace {

TEST(Gpio, FillComboListsSetBitsAscendingAndClearsSelection) {
  Selector s({"x", "y"}, 1);
  FillGpioCombo(s, (1u << 5) | (1u << 0) | (1u << 24) | (1u << 25));
  ASSERT_EQ(s.Count(), 3);  // bit 25 lies beyond GPIO24
  EXPECT_EQ(s.entries[0], "GPIO00");
  EXPECT_EQ(s.entries[1], "GPIO05");
  EXPECT_EQ(s.entries[2], "GPIO24");
  EXPECT_EQ(s.selected, -1);
}

TEST(Gpio, NumberFromTextReadsDigitsAfterFourCharacters) {
  EXPECT_EQ(GpioNumberFromText("GPIO12"), 12);
  EXPECT_EQ(GpioNumberFromText("GPIO05"), 5);
  EXPECT_EQ(GpioNumberFromText("GPIO7x9"), 7);
  EXPECT_EQ(GpioNumberFromText(""), 0);  // no selection yields GPIO 0
  EXPECT_EQ(GpioNumberFromText("UNUSED"), 0);
}

TEST(Selector, SelectOrAddMatchesPrefixIgnoringCase) {
  Selector s({"GPIO02", "GPIO13"}, 0);
  s.SelectOrAdd("gpio1");
  EXPECT_EQ(s.selected, 1);
  s.SelectOrAdd("GPIO30");
  EXPECT_EQ(s.Count(), 3);
  EXPECT_EQ(s.Text(), "GPIO30");
  s.Select(7);
  EXPECT_EQ(s.Text(), "");
}

TEST(Validation, IntegerFieldsGiveTheSharedMessages) {
  FieldValue v;
  FieldSpec retries{1049, FieldKind::Int, true, -1, 127};
  EXPECT_FALSE(ReadField(retries, "-1", v));
  EXPECT_EQ(v.i, -1);
  EXPECT_EQ(*ReadField(retries, "128", v), "“请填入一个在-1和127之间的整数。”");
  EXPECT_EQ(*ReadField(retries, "1a", v), "请键入一个整数。");
  EXPECT_EQ(*ReadField(retries, "", v), "请键入一个整数。");

  FieldSpec interval{1052, FieldKind::UInt, true, 0, 32767};
  EXPECT_EQ(*ReadField(interval, "-5", v), "“请填入一个正整数。”");
  EXPECT_EQ(*ReadField(interval, "32768", v), "“请填入一个在0和32767之间的整数。”");

  FieldSpec count{1051, FieldKind::Byte};
  EXPECT_EQ(*ReadField(count, "256", v), "“请填入一个在0和255之间的整数。”");
  EXPECT_FALSE(ReadField(count, " 255 ", v));
  EXPECT_EQ(v.i, 255);
}

TEST(Validation, TextAndNumberFields) {
  FieldValue v;
  FieldSpec name{1042, FieldKind::Text, false, 0, 0, 32};
  EXPECT_FALSE(ReadField(name, std::string(32, 'a'), v));
  EXPECT_EQ(*ReadField(name, std::string(33, 'a'), v), "“请填入不多于32个的字符。”");
  FieldSpec gain{1, FieldKind::Float, true, -12, 12};
  EXPECT_EQ(*ReadField(gain, "abc", v), "请键入一个数。");
  EXPECT_EQ(*ReadField(gain, "12.5", v), "“请填入一个在-12和12之间的数字。”");
  EXPECT_FALSE(ReadField(gain, "-3.5", v));
  EXPECT_DOUBLE_EQ(v.f, -3.5);
}

}  // namespace
}  // namespace tessera
