#include <gtest/gtest.h>

#include "tessera/FakePageHost.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/pages/CPageButton.h"

namespace tessera {
namespace {

using testing::FakePageHost;
using testing::Typed;
using Texts = std::vector<std::string>;

KeyEventEntry Key(int32_t event, uint32_t mask, int32_t type, int32_t state) {
  KeyEventEntry e;
  e.event = event;
  e.gpioMask = mask;
  e.type = type;
  e.state = state;
  return e;
}


TEST(KeyPage, DefaultsBeforeAndAfterInitialisation) {
  CPageButton page;
  EXPECT_EQ(page.clickMs, 30u);
  EXPECT_EQ(page.repeatMs, 100u);
  EXPECT_EQ(page.longPressMs, 1100u);
  EXPECT_EQ(page.extraLongPressMs, 3300u);
  EXPECT_EQ(page.doubleClickMs, 0u);
  EXPECT_EQ(page.keyTable[0], KeyEventEntry{});

  page.OnInitialize();
  EXPECT_EQ(page.keyTable[0], Key(1, 1u << 18, 0, 1));
  EXPECT_EQ(page.keyTable[3], Key(4, 1u << 3, 2, 1));
  EXPECT_EQ(page.keyTable[7], Key(6, 1u << 4, 5, 0));
  EXPECT_EQ(page.keyTable[10], Key(10, 1u << 18, 4, 0));
  EXPECT_EQ(page.keyTable[12], Key(12, 1u << 18, 2, 2));
  for (size_t i = 13; i < 32; ++i) EXPECT_EQ(page.keyTable[i], KeyEventEntry{}) << i;
  EXPECT_EQ(page.RowTexts(0), (Texts{"PLAY/PAUSE", " GPIO18", "单击", "A2DP"}));
  EXPECT_EQ(page.RowTexts(11), (Texts{"CALL ACK/HUNGUP", " GPIO18", "单击", "Hands-free"}));
  EXPECT_EQ(page.RowTexts(31), CPageButton::EmptyRowTexts());
  EXPECT_TRUE(page.RowTexts(32).empty());
}

TEST(KeyPage, ListColumnsMatchTheRowTexts) {
  CPageButton page;
  page.OnInitialize();
  for (int row : {0, 20}) EXPECT_EQ(page.RowTexts(row).size(), CPageButton::ColumnTitles().size()) << row;
  EXPECT_EQ(CPageButton::EmptyRowTexts().size(), CPageButton::ColumnTitles().size());
}

TEST(KeyPage, RowTexts) {
  CPageButton page;
  // An empty entry shows the fixed texts whatever else it holds.
  page.keyTable[4] = Key(0, 0xFF, 3, 3);
  EXPECT_EQ(page.RowTexts(4), (Texts{"Invalid", "GPIO0", "单击", "A2DP"}));
  // Pins in ascending order, each with a leading space; only GPIO0..21 are listed.
  page.keyTable[5] = Key(27, (1u << 18) | (1u << 2) | (1u << 22), 4, 3);
  EXPECT_EQ(page.RowTexts(5), (Texts{"STEREO M/S", " GPIO2 GPIO18", "超长按", "Three Way Call"}));
  // Indexes outside the name tables (a damaged file) show nothing instead of reading past them.
  page.keyTable[6] = Key(99, 1, 9, -1);
  EXPECT_EQ(page.RowTexts(6), (Texts{"", " GPIO0", "", ""}));
}

TEST(KeyPage, TimingValidation) {
  CPageButton page;
  auto err = page.ReadBack(Typed({{CPageButton::kClickId, "65536"}}, page));
  ASSERT_TRUE(err);
  EXPECT_EQ(*err, (FieldError{1068, "“请填入一个在0和65535之间的整数。”"}));

  err = page.ReadBack(Typed({{CPageButton::kClickId, "65535"}, {CPageButton::kLongPressId, "-1"}}, page));
  ASSERT_TRUE(err);
  EXPECT_EQ(*err, (FieldError{1072, "“请填入一个正整数。”"}));
  EXPECT_EQ(page.clickMs, 65535u);  // read before the failure: kept

  err = page.ReadBack(Typed({{CPageButton::kRepeatId, "1x"}, {CPageButton::kDoubleClickId, "50"}}, page));
  ASSERT_TRUE(err);
  EXPECT_EQ(*err, (FieldError{1071, "“请填入一个正整数。”"}));
  EXPECT_EQ(page.doubleClickMs, 0u);  // after the failure: not read

  EXPECT_FALSE(page.ReadBack(Typed({{CPageButton::kExtraLongId, "0"}, {CPageButton::kDoubleClickId, "250"}}, page)));
  EXPECT_EQ(page.extraLongPressMs, 0u);
  EXPECT_EQ(page.doubleClickMs, 250u);
}

TEST(KeyDialog, OpensOnTheEntryWithOnlyFreePinsTicked) {
  FakePageHost host;
  CPageButton page(&host);
  page.OnInitialize();
  host.availableMask = 0x7FFFFF;

  auto dlg = page.BeginEdit(0);
  ASSERT_TRUE(dlg);
  EXPECT_EQ(dlg->event.Text(), "PLAY/PAUSE");
  EXPECT_EQ(dlg->type.Text(), "CLICK");
  EXPECT_EQ(dlg->state.Text(), "A2DP ");
  for (int n = 0; n < 22; ++n) EXPECT_EQ(dlg->GpioChecked(n), n == 18) << n;

  // GPIO18 taken since the entry was made: it opens unticked and disabled, and OK drops it.
  page.keyTable[1] = Key(2, (1u << 2) | (1u << 18), 0, 1);
  host.availableMask = 0x7FFFFF & ~(1u << 18);
  dlg = page.BeginEdit(1);
  ASSERT_TRUE(dlg);
  EXPECT_EQ(page.availableGpioMask, host.availableMask);
  EXPECT_TRUE(dlg->GpioChecked(2));
  EXPECT_FALSE(dlg->GpioChecked(18));
  EXPECT_FALSE(dlg->GpioEnabled(18));
  EXPECT_FALSE(dlg->SetGpioChecked(18, true));
  dlg->OnEventChanged(3);
  EXPECT_FALSE(dlg->GpioEnabled(18));
  EXPECT_TRUE(dlg->GpioEnabled(21));
  ASSERT_TRUE(page.CommitEdit(1, *dlg));
  EXPECT_EQ(page.keyTable[1], Key(3, 1u << 2, 0, 1));

  // No selected row: nothing opens.
  EXPECT_FALSE(page.BeginEdit(-1));
  EXPECT_FALSE(page.BeginEdit(32));
}

TEST(KeyDialog, OkRebuildsTheWholeEntry) {
  CKeyEventDlg dlg(Key(5, 1u << 7, 1, 2), 0x3FFFFF);
  EXPECT_EQ(CKeyEventDlg::GpioCheckId(0), 1135);
  EXPECT_EQ(CKeyEventDlg::GpioCheckId(14), 1149);
  EXPECT_EQ(CKeyEventDlg::GpioCheckId(15), 1157);
  EXPECT_EQ(CKeyEventDlg::GpioCheckId(21), 1163);
  EXPECT_TRUE(dlg.SetGpioChecked(7, false));
  EXPECT_TRUE(dlg.SetGpioChecked(0, true));
  EXPECT_TRUE(dlg.SetGpioChecked(21, true));
  EXPECT_FALSE(dlg.SetGpioChecked(22, true));  // keys reach GPIO21 at most
  dlg.event.Select(24);
  dlg.type.Select(5);
  dlg.state.Select(0);
  EXPECT_EQ(dlg.event.Text(), "TWC-HOLD & ACCEPT");
  EXPECT_EQ(dlg.Ok(), Key(24, 1u | (1u << 21), 5, 0));
}

TEST(KeyPage, DropUnavailableKeysKeepsEntriesWithAnyFreePin) {
  FakePageHost host;
  CPageButton page(&host);
  page.OnInitialize();
  host.keys = &page;
  page.keyTable[13] = Key(19, 1u << 1, 0, 0);
  page.keyTable[14] = Key(20, (1u << 1) | (1u << 2), 0, 0);

  // DebugPort checked on the System page: GPIO0 and GPIO1 reserved.
  host.reservedMask = 0x3;
  host.RefreshGpioAvailability();
  EXPECT_EQ(page.keyTable[13], KeyEventEntry{});
  EXPECT_EQ(page.keyTable[14], Key(20, (1u << 1) | (1u << 2), 0, 0));
  EXPECT_EQ(page.RowTexts(14)[1], " GPIO1 GPIO2");
  EXPECT_EQ(page.RowTexts(13), CPageButton::EmptyRowTexts());
  EXPECT_EQ(page.keyTable[0].event, 1);

  // A package without GPIO2..5: the next/previous and volume keys go, GPIO18 keys stay.
  host.packageMask = 0x3C0803;
  host.RefreshGpioAvailability();
  for (size_t i : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 14u}) EXPECT_EQ(page.keyTable[i], KeyEventEntry{}) << i;
  for (size_t i : {0u, 9u, 10u, 11u, 12u}) EXPECT_EQ(page.keyTable[i].gpioMask, 1u << 18) << i;
}

TEST(KeyPage, CollectBuildsTimingsAndEventWords) {
  CPageButton page;
  page.keyTable[0] = Key(1, 1u << 2, 0, 0);  // click on GPIO2, all states
  page.keyTable[1] = Key(1, 1u << 3, 2, 0);  // long press on GPIO3, all states
  page.keyTable[2] = Key(27, (1u << 21) | (1u << 22) | (1u << 31), 3, 1);  // only GPIO0..21 reach the word
  page.keyTable[3] = Key(12, 1u << 4, 4, 2);
  page.keyTable[4] = Key(13, 1u << 5, 5, 3);
  page.keyTable[5] = Key(14, 1u << 6, 1, 7);  // unknown state: no state bits
  page.keyTable[6] = Key(15, 1u << 7, 6, 1);  // unknown type: no type bit
  page.keyTable[7] = Key(28, 0xFFFF, 0, 0);   // no word for event 28: skipped
  page.keyTable[8] = Key(0, 0xFF, 0, 0);      // empty entry
  page.clickMs = 35;
  page.repeatMs = 100;
  page.longPressMs = 1109;
  page.extraLongPressMs = 3300;
  page.doubleClickMs = 65535;

  ConfigRecord rec;
  rec.bytes.fill(0xEE);
  page.CollectInto(rec);
  const uint8_t* r = rec.data();
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(1)), 0xA1C0000Cu);
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(27)), 0x02600000u);
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(12)), (1u << 4) | (1u << 23) | (1u << 26));
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(13)), (1u << 5) | (1u << 24) | (1u << 27));
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(14)), (1u << 6) | (1u << 30));
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(15)), (1u << 7) | (1u << 22));
  EXPECT_EQ(GetU32(r, rec::KeyEventOffset(2)), 0u);  // unused events are written as zero
  EXPECT_EQ(r[rec::eq_bands], 0xEE);                 // nothing written past the word table
  EXPECT_EQ(r[rec::key_events_base], 0xEE);  // the word of event 0 stays as the caller left it
  EXPECT_EQ(GetU16(r, rec::key_click_time), 3);
  EXPECT_EQ(GetU16(r, rec::key_repeat_time), 10);
  EXPECT_EQ(GetU16(r, rec::key_long_press_time), 110);
  EXPECT_EQ(GetU16(r, rec::key_extra_long_delta), 220);
  EXPECT_EQ(GetU16(r, rec::key_double_click_gap), 6553);

  // An extra-long press set below the long press wraps around in 16 bits.
  page.extraLongPressMs = 500;
  page.CollectInto(rec);
  EXPECT_EQ(GetU16(r, rec::key_extra_long_delta), static_cast<uint16_t>(50 - 110));
}

TEST(KeyPage, TimingsSurviveCollectAndRestore) {
  CPageButton page;
  page.clickMs = 40;
  page.repeatMs = 120;
  page.longPressMs = 65530;
  page.extraLongPressMs = 65530;
  page.doubleClickMs = 300;
  ConfigRecord rec;
  page.CollectInto(rec);
  CPageButton back;
  back.RestoreFrom(rec);
  EXPECT_EQ(back.clickMs, 40u);
  EXPECT_EQ(back.repeatMs, 120u);
  EXPECT_EQ(back.longPressMs, 65530u);
  EXPECT_EQ(back.extraLongPressMs, 65530u);
  EXPECT_EQ(back.doubleClickMs, 300u);

  // An extra-long press below the long press comes back as written, not as a value
  // the page would refuse on its next read-back.
  page.longPressMs = 1100;
  page.extraLongPressMs = 500;
  page.CollectInto(rec);
  back.RestoreFrom(rec);
  EXPECT_EQ(back.extraLongPressMs, 500u);
  EXPECT_EQ(back.longPressMs, 1100u);
}

}  // namespace
}  // namespace tessera
