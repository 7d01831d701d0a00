#include <gtest/gtest.h>

#include "tessera/FakePageHost.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/Gpio.h"
#include "tessera/core/pages/CPageButton.h"
#include "tessera/core/pages/CPageLED.h"
#include "tessera/core/pages/CPageSystem.h"

namespace tessera {
namespace {

using testing::FakePageHost;
using testing::Typed;
using Texts = std::vector<std::string>;

LedEventEntry Led(int32_t event, int32_t led, uint32_t on, uint32_t off, uint8_t repeat, uint8_t flashes,
                  int32_t timeout) {
  LedEventEntry e;
  e.event = event;
  e.led = led;
  e.onMs = on;
  e.offMs = off;
  e.repeatS = repeat;
  e.flashCount = flashes;
  e.timeoutMs = timeout;
  return e;
}

// A view with an LED page and a key page after start-up (pages created, one refresh).
struct Pages {
  FakePageHost host;
  CPageLED led{&host};
  CPageButton keys{&host};
  Pages() {
    host.led = &led;
    host.keys = &keys;
    led.OnInitialize();
    keys.OnInitialize();
    host.RefreshGpioAvailability();
  }
  void Choose(int id, const std::string& text) {
    Selector* s = led.SelectorFor(id);
    led.OnSelectorChanged(id, s->FindPrefix(text));
  }
};

TEST(LedPage, DefaultsAndRows) {
  CPageLED page;
  EXPECT_EQ(page.polarityReversed, 1);
  page.ledTable[31] = Led(5, 1, 1, 1, 1, 1, 1);
  page.OnInitialize();
  EXPECT_EQ(page.led1Gpio, 20);
  EXPECT_EQ(page.led0Gpio, 11);
  EXPECT_EQ(page.lowPowerLedGpio, 11);
  EXPECT_EQ(page.ledTable[0], Led(1, 1, 100, 0, 0, 1, -1));
  EXPECT_EQ(page.ledTable[1], Led(3, 1, 300, 300, 0, 1, -1));
  EXPECT_EQ(page.ledTable[2], Led(2, 1, 300, 300, 0, 1, -1));
  EXPECT_EQ(page.ledTable[3], Led(4, 3, 1000, 1000, 0, 1, -1));
  EXPECT_EQ(page.ledTable[4], Led(10, 0, 100, 0, 0, 1, -1));
  EXPECT_EQ(page.ledTable[30], Led(0, 0, 0, 0, 0, 1, -1));
  EXPECT_EQ(page.ledTable[31], LedEventEntry{});  // cleared and left all zero

  EXPECT_EQ(page.RowTexts(0), (Texts{"AUTO CONNECTION", "LED1", "100", "0", "0", "1", "-1"}));
  EXPECT_EQ(page.RowTexts(3), (Texts{"CONNECTTED", "ALTER", "1000", "1000", "0", "1", "-1"}));
  // An empty entry shows the fixed texts whatever it holds.
  page.ledTable[6] = Led(0, 4, 5, 5, 5, 5, 5);
  EXPECT_EQ(page.RowTexts(6), (Texts{"Invalid", "LED0", "100", "100", "0", "1", "-1"}));
  page.ledTable[7] = Led(22, 4, 0xFFFFFFFF, 7, 255, 200, 123456);
  EXPECT_EQ(page.RowTexts(7), (Texts{"TEST MODE", "BOTH", "-1", "7", "255", "200", "123456"}));
  // Entry 31 has no row.
  EXPECT_TRUE(page.RowTexts(30).size() == 7);
  EXPECT_TRUE(page.RowTexts(31).empty());
  EXPECT_FALSE(page.BeginEdit(31));
  EXPECT_FALSE(page.CommitEdit(31, Led(1, 0, 1, 1, 1, 1, 1)));
  EXPECT_FALSE(page.BeginEdit(-1));
}

TEST(LedPage, ListColumnsMatchTheRowTexts) {
  CPageLED page;
  page.OnInitialize();
  for (int row : {0, 30}) EXPECT_EQ(page.RowTexts(row).size(), CPageLED::ColumnTitles().size()) << row;
  EXPECT_EQ(CPageLED::EmptyRowTexts().size(), CPageLED::ColumnTitles().size());
}

TEST(LedPage, GpioAllocationHandsLed0PinOnToKeys) {
  Pages p;
  // Low-power LED and LED0 share GPIO11; the low-power LED takes it from the keys.
  EXPECT_EQ(p.led.led0Sel.Text(), "GPIO11");
  EXPECT_EQ(p.led.lowPowerLedSel.Text(), "GPIO11");
  EXPECT_EQ(p.led.led1Sel.Text(), "GPIO20");
  EXPECT_EQ(p.led.led1Sel.entries.back(), "UNUSED");
  EXPECT_EQ(p.led.led1Sel.Count(), 24);
  EXPECT_EQ(p.host.availableMask, 0x7FFFFFu & ~((1u << 11) | (1u << 20)));

  // LED0 on GPIO3: GPIO3 stays available to keys and the GPIO3 keys stay.
  p.Choose(CPageLED::kLed0Id, "GPIO03");
  EXPECT_EQ(p.led.led0Gpio, 3);
  EXPECT_TRUE(p.host.availableMask & (1u << 3));
  EXPECT_EQ(p.keys.keyTable[2].event, 3);

  // LED1 on GPIO3: GPIO3 leaves the pool, the keys using only GPIO3 are cleared, and
  // GPIO20 comes back.
  const int before = p.host.refreshCount;
  p.Choose(CPageLED::kLed1Id, "GPIO03");
  EXPECT_EQ(p.host.refreshCount, before + 1);
  EXPECT_EQ(p.led.led1Gpio, 3);
  EXPECT_FALSE(p.host.availableMask & (1u << 3));
  EXPECT_TRUE(p.host.availableMask & (1u << 20));
  EXPECT_EQ(p.keys.keyTable[2], KeyEventEntry{});
  EXPECT_EQ(p.keys.keyTable[3], KeyEventEntry{});
  EXPECT_EQ(p.keys.keyTable[1].event, 2);  // GPIO2 key untouched
  auto dlg = p.keys.BeginEdit(1);
  ASSERT_TRUE(dlg);
  EXPECT_FALSE(dlg->GpioEnabled(3));

  // LED1 unused: every pin but the low-power LED's stays available.
  p.Choose(CPageLED::kLed1Id, "UNUSED");
  EXPECT_EQ(p.led.led1Gpio, 0xFF);
  EXPECT_EQ(p.host.availableMask, 0x7FFFFFu & ~(1u << 11));
  p.Choose(CPageLED::kLowPowerLedId, "UNUSED");
  EXPECT_EQ(p.host.availableMask, 0x7FFFFFu);
}

// The pool goes round in priority order: a pin the System page takes is gone from the
// LED selectors, and a pin an LED takes from the keys.
TEST(LedPage, SystemPinsComeBeforeLedPinsBeforeKeys) {
  FakePageHost host;
  CPageSystem system{&host};
  CPageLED led{&host};
  CPageButton keys{&host};
  host.system = &system;
  host.led = &led;
  host.keys = &keys;
  led.OnInitialize();
  keys.OnInitialize();
  system.OnInitialize();
  led.OnSelectorChanged(CPageLED::kLed1Id, led.led1Sel.FindPrefix("GPIO03"));
  ASSERT_EQ(led.led1Gpio, 3);
  ASSERT_EQ(keys.keyTable[2], KeyEventEntry{});  // the GPIO3 key went to the LED
  system.paMuteEnable = 1;
  system.OnPaMuteEnable();
  system.OnPaMuteSelected(system.paMuteCombo.FindPrefix("GPIO03"));
  EXPECT_EQ(system.paMuteGpio, 3);
  EXPECT_EQ(system.paMuteCombo.Text(), "GPIO03");
  EXPECT_NE(led.led1Gpio, 3);
  EXPECT_EQ(led.led1Sel.FindPrefix("GPIO03"), -1);
  EXPECT_EQ(host.availableMask & (1u << 3), 0u);
}

TEST(LedPage, AllocationKeepsOrMovesEachMember) {
  CPageLED page;
  page.led0Gpio = 0xFF;
  page.led1Gpio = 30;  // not in any mask
  page.lowPowerLedGpio = 4;
  const uint32_t left = page.AllocateGpios((1u << 2) | (1u << 4) | (1u << 9));
  EXPECT_EQ(page.led0Sel.Text(), "UNUSED");
  EXPECT_EQ(page.led1Sel.Text(), "GPIO02");
  EXPECT_EQ(page.led1Gpio, 2);  // moved to the first pin offered
  EXPECT_EQ(page.lowPowerLedSel.Text(), "GPIO04");
  EXPECT_EQ(left, 1u << 9);

  // No pins at all: the only choice is "UNUSED" and the members say so, so no
  // phantom GPIO0 reaches the record or the pool.
  page.lowPowerLedGpio = 5;
  EXPECT_EQ(page.AllocateGpios(0), 0u);
  EXPECT_EQ(page.lowPowerLedSel.entries, (std::vector<std::string>{"UNUSED"}));
  EXPECT_EQ(page.lowPowerLedGpio, 0xFF);
  EXPECT_EQ(page.led1Gpio, 0xFF);
}

TEST(LedPage, CollectGpioFieldsFromSelectorTexts) {
  CPageLED page;
  ConfigRecord rec;
  page.led0Sel = Selector({"GPIO05", "UNUSED"}, 1);
  page.led1Sel = Selector({"GPIO20", "UNUSED"}, 0);
  page.lowPowerLedSel = Selector({"GPIO11", "UNUSED"}, 0);
  page.led0Gpio = 7;  // the members are not what the record reads
  page.CollectInto(rec);
  const uint8_t* r = rec.data();
  EXPECT_EQ(r[rec::led0_gpio], 0xFF);
  EXPECT_EQ(r[rec::led1_gpio], 20);
  EXPECT_EQ(r[rec::low_power_led_gpio], 11);
  EXPECT_EQ(r[rec::status_led_gpio], 20);

  page.led0Sel.Select(0);
  page.CollectInto(rec);
  EXPECT_EQ(r[rec::status_led_gpio], 5);

  page.led0Sel.Select(1);
  page.led1Sel.Select(1);
  page.lowPowerLedSel.Select(1);
  page.CollectInto(rec);
  EXPECT_EQ(r[rec::led0_gpio], 0xFF);
  EXPECT_EQ(r[rec::status_led_gpio], 0xFF);  // the low-power LED is never the status LED
  EXPECT_EQ(r[rec::low_power_led_gpio], 0xFF);

  // An empty selector has an empty text and stands for GPIO 0.
  page.led0Sel.Clear();
  page.CollectInto(rec);
  EXPECT_EQ(r[rec::led0_gpio], 0);
  EXPECT_EQ(r[rec::status_led_gpio], 0);
}

TEST(LedPage, CollectPatternsByEvent) {
  CPageLED page;
  page.OnInitialize();
  page.ledTable[5] = Led(10, 2, 0x12345, 200, 7, 3, 5000);  // same event as entry 4: wins
  page.ledTable[31] = Led(22, 4, 1, 2, 3, 4, -1);           // no row, but stored
  page.ledTable[6] = Led(23, 4, 1, 2, 3, 4, 5);             // beyond the pattern table
  ConfigRecord rec;
  rec.bytes.fill(0xEE);
  page.CollectInto(rec);
  const uint8_t* r = rec.data();
  size_t o = rec::LedPatternOffset(1);
  EXPECT_EQ(o, 0x293u);
  EXPECT_EQ(r[o], 1);
  EXPECT_EQ(GetU16(r, o + 1), 100);
  EXPECT_EQ(GetU16(r, o + 3), 0);
  EXPECT_EQ(r[o + 5], 0);
  EXPECT_EQ(r[o + 6], 1);
  EXPECT_EQ(GetU32(r, o + 7), 0xFFFFFFFFu);
  o = rec::LedPatternOffset(10);
  EXPECT_EQ(r[o], 2);
  EXPECT_EQ(GetU16(r, o + 1), 0x2345);  // low 16 bits
  EXPECT_EQ(GetU16(r, o + 3), 200);
  EXPECT_EQ(r[o + 5], 7);
  EXPECT_EQ(r[o + 6], 3);
  EXPECT_EQ(GetI32(r, o + 7), 5000);
  o = rec::LedPatternOffset(22);
  EXPECT_EQ(r[o + 6], 4);
  EXPECT_EQ(r[rec::LedPatternOffset(5)], 0);     // events without an entry are zero
  EXPECT_EQ(r[rec::key_click_time], 0xEE);        // nothing past the pattern table
}

TEST(LedPage, RestoreSelectsTheStoredPins) {
  Pages p;
  ConfigRecord rec;
  rec.bytes[rec::led0_gpio] = 2;
  rec.bytes[rec::led1_gpio] = 0xFF;
  rec.bytes[rec::low_power_led_gpio] = 21;
  p.led.RestoreFrom(rec);
  EXPECT_EQ(p.led.led0Gpio, 2);
  EXPECT_EQ(p.led.led1Gpio, 0xFF);
  EXPECT_EQ(p.led.lowPowerLedGpio, 21);
  // GPIO2 must not be taken for GPIO20, which a plain "GPIO2" prefix would find first.
  EXPECT_EQ(p.led.led0Sel.Text(), "GPIO02");
  EXPECT_EQ(p.led.led1Sel.Text(), "UNUSED");
  EXPECT_EQ(p.led.lowPowerLedSel.Text(), "GPIO21");

  // The re-read after the load keeps them and re-runs the allocation.
  const int before = p.host.refreshCount;
  p.led.ReReadSelectors();
  EXPECT_EQ(p.host.refreshCount, before + 3);
  EXPECT_EQ(p.led.led0Gpio, 2);
  EXPECT_EQ(p.led.led1Gpio, 0xFF);
  EXPECT_EQ(p.led.lowPowerLedGpio, 21);
  EXPECT_EQ(p.host.availableMask, 0x7FFFFFu & ~(1u << 21));

  // A pin the list does not offer is added and selected as it stands.
  CPageLED bare;
  rec.bytes[rec::led0_gpio] = 30;
  bare.RestoreFrom(rec);
  EXPECT_EQ(bare.led0Sel.Text(), "GPIO30");
  EXPECT_EQ(bare.led0Gpio, 30);
}

TEST(LedPage, PinsAndPatternsSurviveCollectAndRestore) {
  Pages p;
  p.Choose(CPageLED::kLed0Id, "GPIO01");
  p.Choose(CPageLED::kLed1Id, "GPIO15");
  p.Choose(CPageLED::kLowPowerLedId, "UNUSED");
  ConfigRecord rec;
  p.led.CollectInto(rec);

  Pages q;
  q.led.RestoreFrom(rec);
  q.led.ReReadSelectors();
  EXPECT_EQ(q.led.led0Gpio, 1);
  EXPECT_EQ(q.led.led1Gpio, 15);
  EXPECT_EQ(q.led.lowPowerLedGpio, 0xFF);
  ConfigRecord again;
  q.led.CollectInto(again);
  EXPECT_EQ(again.bytes, rec.bytes);
}

TEST(LedPage, PolarityComesBackFromTheSystemFlags) {
  ConfigRecord rec;
  CPageLED off;
  ASSERT_EQ(off.polarityReversed, 1);
  PutU32(rec.data(), rec::sys_flags, ~(1u << sysbit::kLedPolarity));
  rec.bytes[rec::led_polarity_reversed] = 1;  // only the flag bit is read back
  off.RestoreFrom(rec);
  EXPECT_EQ(off.polarityReversed, 0);

  CPageLED on;
  on.polarityReversed = 0;
  PutU32(rec.data(), rec::sys_flags, 1u << sysbit::kLedPolarity);
  rec.bytes[rec::led_polarity_reversed] = 0;
  on.RestoreFrom(rec);
  EXPECT_EQ(on.polarityReversed, 1);
}

TEST(LedDialog, OkBuildsTheEntry) {
  LedEventEntry start = Led(4, 3, 1000, 1000, 0, 1, -1);
  start.reserved = 9;
  CLedEventDlg dlg(start);
  EXPECT_EQ(dlg.event.Text(), "CONNECTED");
  EXPECT_EQ(dlg.led.Text(), "ALTERN");
  dlg.event.Select(17);
  EXPECT_EQ(dlg.event.Text(), "FM_PLAY");
  LedEventEntry out;
  ASSERT_FALSE(dlg.Ok(Typed({{CLedEventDlg::kOnId, "0"}, {CLedEventDlg::kOffId, "0"},
                              {CLedEventDlg::kRepeatId, "255"}, {CLedEventDlg::kFlashId, "255"},
                              {CLedEventDlg::kTimeoutId, "-1"}},
                             dlg),
                      out));
  // Never on and never off: the off time becomes 100 ms; the reserved word is cleared.
  EXPECT_EQ(out, Led(17, 3, 0, 100, 255, 255, -1));

  CPageLED page;
  page.OnInitialize();
  ASSERT_TRUE(page.CommitEdit(30, out));
  EXPECT_EQ(page.RowTexts(30), (Texts{"FM PLAY", "ALTER", "0", "100", "255", "255", "-1"}));
}

TEST(LedDialog, FieldLimits) {
  CLedEventDlg dlg(Led(1, 0, 10, 20, 1, 1, 0));
  LedEventEntry out = Led(9, 9, 9, 9, 9, 9, 9);
  const LedEventEntry untouched = out;
  auto err = dlg.Ok(Typed({{CLedEventDlg::kFlashId, "0"}}, dlg), out);
  ASSERT_TRUE(err);
  EXPECT_EQ(*err, (FieldError{1129, "“请填入一个在1和255之间的整数。”"}));
  EXPECT_EQ(out, untouched);
  err = dlg.Ok(Typed({{CLedEventDlg::kFlashId, "x"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1129, "“请填入一个在0和255之间的整数。”"}));
  err = dlg.Ok(Typed({{CLedEventDlg::kRepeatId, "256"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1128, "“请填入一个在0和255之间的整数。”"}));
  err = dlg.Ok(Typed({{CLedEventDlg::kOnId, "-1"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1126, "“请填入一个正整数。”"}));
  err = dlg.Ok(Typed({{CLedEventDlg::kOffId, "ten"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1127, "“请填入一个正整数。”"}));
  err = dlg.Ok(Typed({{CLedEventDlg::kTimeoutId, "1.5"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1130, "请键入一个整数。"}));
  EXPECT_EQ(out, untouched);
  // Fields before the failing one keep what was typed.
  err = dlg.Ok(Typed({{CLedEventDlg::kOnId, "4000000000"}, {CLedEventDlg::kRepeatId, "-3"}}, dlg), out);
  EXPECT_EQ(err->controlId, 1128);
  EXPECT_EQ(dlg.onMs, 4000000000u);
}

}  // namespace
}  // namespace tessera
