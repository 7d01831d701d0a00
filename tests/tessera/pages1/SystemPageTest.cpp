#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "tessera/FakePageHost.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/Gpio.h"
#include "tessera/core/pages/CPageSystem.h"

namespace tessera {
namespace {

using FakeHost = testing::FakePageHost;

constexpr uint32_t kQfn48 = 0x7FFFFF;  // GPIO0 to GPIO22

bool Lists(const Selector& s, const std::string& text) {
  return std::find(s.entries.begin(), s.entries.end(), text) != s.entries.end();
}

struct Fixture {
  explicit Fixture(uint32_t package = kQfn48) : page(&host) {
    host.packageMask = package;
    host.system = &page;
    page.OnInitialize();
  }
  FakeHost host;
  CPageSystem page;
};

ConfigRecord Collect(const CPageSystem& p, bool polarity = false) {
  ConfigRecord r;
  RecordingSink sink;
  EXPECT_TRUE(p.CollectInto(r, polarity, sink));
  EXPECT_TRUE(sink.messages.empty());
  return r;
}

TEST(SystemPage, DefaultsAfterInitialisation) {
  Fixture f;
  CPageSystem& p = f.page;
  EXPECT_EQ(p.debugPort, 1);
  EXPECT_EQ(p.debugIface, 0);
  EXPECT_EQ(p.paMuteGpio, 19);
  EXPECT_EQ(p.lineInGpio, 21);
  EXPECT_EQ(p.sdDetectGpio, 12);
  EXPECT_EQ(p.a2dpVolume, 12);
  EXPECT_EQ(p.promptVolume, 10);
  EXPECT_EQ(p.hfpVolume, 11);
  EXPECT_EQ(p.micVolume, 54);
  EXPECT_EQ(p.outputMode, 1);
  EXPECT_EQ(p.roadSelect, 0);
  EXPECT_EQ(p.detectIntervalS, 30u);
  EXPECT_EQ(p.sleepTimeoutS, 8u);
  EXPECT_EQ(p.shutdownTimeoutS, -1);
  EXPECT_EQ(p.powerKeyGpio, 255);
  EXPECT_EQ(p.channel.Text(), "VBAT");
  EXPECT_EQ(p.alarmThreshold.Count(), 13);
  EXPECT_EQ(p.alarmThreshold.Text(), "3.3V");
  EXPECT_EQ(p.shutdownThreshold.entries, (std::vector<std::string>{"2.8V", "2.9V", "3.0V", "3.1V"}));
  EXPECT_EQ(p.shutdownThreshold.Text(), "3.1V");
  EXPECT_EQ(p.highCurrentThreshold.Text(), "2.7V");
  EXPECT_EQ(p.powerFullThreshold.Text(), "4.2V");
  EXPECT_EQ(p.micBias.Text(), "2.1V");
  // Enable state: debug radios on, dependent controls off, N/P radios off (differential).
  EXPECT_TRUE(p.DebugIfaceEnabled());
  EXPECT_FALSE(p.PaMuteControlsEnabled());
  EXPECT_FALSE(p.LineInControlsEnabled());
  EXPECT_FALSE(p.SdSeparatePinEnabled());
  EXPECT_FALSE(p.SdDetectSelectorEnabled());
  EXPECT_FALSE(p.RoadRadiosEnabled());
  // The debug port holds GPIO0 and GPIO1.
  EXPECT_EQ(f.host.reservedMask, 0x3u);
  EXPECT_FALSE(Lists(p.paMuteCombo, "GPIO00"));
  EXPECT_FALSE(Lists(p.lineInCombo, "GPIO01"));
  EXPECT_EQ(p.paMuteCombo.Text(), "GPIO02");
  EXPECT_EQ(f.host.availableMask, kQfn48 & ~0x3u);  // nothing enabled takes a pin
}

TEST(SystemPageGpio, DebugPortAndSpiReserveAndReleasePins) {
  Fixture f;
  CPageSystem& p = f.page;
  p.debugPort = 0;
  p.OnDebugPort();
  EXPECT_FALSE(p.DebugIfaceEnabled());
  EXPECT_EQ(f.host.reservedMask, 0u);
  EXPECT_TRUE(Lists(p.sdDetectCombo, "GPIO00"));
  EXPECT_TRUE(Lists(p.paMuteCombo, "GPIO01"));
  p.spi = 1;
  p.OnSpi();
  EXPECT_EQ(f.host.reservedMask, 0x3C0u);
  for (const char* g : {"GPIO06", "GPIO07", "GPIO08", "GPIO09"}) EXPECT_FALSE(Lists(p.lineInCombo, g));
  EXPECT_TRUE(Lists(p.lineInCombo, "GPIO05"));
  EXPECT_TRUE(Lists(p.lineInCombo, "GPIO10"));
  p.spi = 0;
  p.OnSpi();
  EXPECT_EQ(f.host.reservedMask, 0u);
  EXPECT_TRUE(Lists(p.lineInCombo, "GPIO07"));
}

TEST(SystemPageGpio, EnabledFunctionsTakeTheirPinsInOrder) {
  Fixture f;
  CPageSystem& p = f.page;
  p.paMuteEnable = 1;
  p.OnPaMuteEnable();
  EXPECT_TRUE(p.PaMuteControlsEnabled());
  EXPECT_EQ(p.paMuteCombo.Text(), "GPIO19");
  EXPECT_FALSE(Lists(p.lineInCombo, "GPIO19"));
  EXPECT_FALSE(Lists(p.sdDetectCombo, "GPIO19"));
  EXPECT_EQ(f.host.availableMask & (1u << 19), 0u);

  p.lineInEnable = 1;
  p.OnLineInEnable();
  EXPECT_EQ(p.lineInCombo.Text(), "GPIO21");
  EXPECT_FALSE(Lists(p.sdDetectCombo, "GPIO21"));
  EXPECT_EQ(f.host.availableMask, kQfn48 & ~0x3u & ~(1u << 19) & ~(1u << 21));

  // Line-in detection by ADC needs no pin, whatever "Line in Enable" says.
  p.lineInAdc = 1;
  p.OnLineInAdc();
  EXPECT_FALSE(p.LineInControlsEnabled());
  EXPECT_NE(f.host.availableMask & (1u << 21), 0u);
  EXPECT_EQ(p.lineInGpio, 21);  // remembered
}

TEST(SystemPageGpio, RememberedPinThatIsGoneFallsBackToTheFirstFree) {
  Fixture f;
  CPageSystem& p = f.page;
  p.paMuteEnable = 1;
  p.paMuteGpio = 1;  // held by the debug port
  p.OnPaMuteEnable();
  EXPECT_EQ(p.paMuteGpio, 2);
  EXPECT_EQ(p.paMuteCombo.Text(), "GPIO02");
  EXPECT_FALSE(Lists(p.lineInCombo, "GPIO02"));

  // A pin beyond the package (QFN40 has GPIO0, 1, 11, 18-21).
  Fixture g(0x3C0803);
  g.page.lineInEnable = 1;
  g.page.lineInGpio = 5;
  g.page.OnLineInEnable();
  EXPECT_EQ(g.page.lineInGpio, 11);
}

TEST(SystemPageGpio, SdDetectIsForcedToGpio12WithoutASeparatePin) {
  Fixture f;
  CPageSystem& p = f.page;
  p.sdDetectGpio = 15;
  p.sdEnable = 1;
  p.OnSdEnable();
  EXPECT_TRUE(p.SdSeparatePinEnabled());
  EXPECT_FALSE(p.SdDetectSelectorEnabled());
  EXPECT_EQ(p.sdDetectGpio, 12);
  EXPECT_EQ(p.sdDetectCombo.Text(), "GPIO12");
  EXPECT_EQ(f.host.availableMask & (1u << 12), 0u);

  p.sdSeparatePin = 1;
  p.OnSdSeparatePin();
  EXPECT_TRUE(p.SdDetectSelectorEnabled());
  p.OnSdDetectSelected(p.sdDetectCombo.FindPrefix("GPIO15"));
  EXPECT_EQ(p.sdDetectGpio, 15);
  EXPECT_EQ(p.sdDetectCombo.Text(), "GPIO15");
  EXPECT_NE(f.host.availableMask & (1u << 12), 0u);
  EXPECT_EQ(f.host.availableMask & (1u << 15), 0u);
}

TEST(SystemPageGpio, EmptyPoolLeavesEmptySelectorsAndGpioZero) {
  Fixture f(0);
  CPageSystem& p = f.page;
  p.paMuteEnable = 1;
  p.OnPaMuteEnable();
  EXPECT_EQ(p.paMuteCombo.Count(), 0);
  EXPECT_EQ(p.paMuteCombo.selected, -1);
  EXPECT_EQ(p.paMuteGpio, 0);
  EXPECT_EQ(f.host.availableMask, 0u);
  // An empty selector's text gives GPIO 0 in the record, not 0xFF.
  const ConfigRecord r = Collect(p);
  EXPECT_EQ(r.data()[rec::pa_mute_gpio], 0);
  EXPECT_EQ(r.data()[rec::linein_detect_gpio], 0);
}

TEST(SystemPageGpio, SelectorChangeRemembersThePinAndRefreshes) {
  Fixture f;
  CPageSystem& p = f.page;
  p.paMuteEnable = 1;
  p.OnPaMuteEnable();
  const int before = f.host.refreshCount;
  p.OnPaMuteSelected(p.paMuteCombo.FindPrefix("GPIO07"));
  EXPECT_EQ(f.host.refreshCount, before + 1);
  EXPECT_EQ(p.paMuteGpio, 7);
  EXPECT_EQ(p.paMuteCombo.Text(), "GPIO07");
  EXPECT_NE(f.host.availableMask & (1u << 19), 0u);
  EXPECT_EQ(f.host.availableMask & (1u << 7), 0u);
}

TEST(SystemPageGpio, WorksWithoutAHost) {
  CPageSystem p;
  p.OnInitialize();
  p.AllocateGpios(0x30);
  EXPECT_EQ(p.paMuteCombo.entries, (std::vector<std::string>{"GPIO04", "GPIO05"}));
}

TEST(SystemPageBattery, ShutdownListStaysTwoStepsBelowTheAlarm) {
  CPageSystem p;
  p.OnAlarmChanged(0);  // "2.8V"
  EXPECT_EQ(p.shutdownThreshold.Count(), 0);
  EXPECT_EQ(p.shutdownThreshold.selected, -1);
  p.OnAlarmChanged(1);  // "2.9V"
  EXPECT_EQ(p.shutdownThreshold.Count(), 0);
  p.OnAlarmChanged(2);  // "3.0V"
  EXPECT_EQ(p.shutdownThreshold.entries, (std::vector<std::string>{"2.8V"}));
  EXPECT_EQ(p.shutdownThreshold.Text(), "2.8V");
  p.OnAlarmChanged(12);  // "4.0V"
  EXPECT_EQ(p.shutdownThreshold.Count(), 11);
  EXPECT_EQ(p.shutdownThreshold.Text(), "3.8V");

  p.OnChannelChanged(0);
  EXPECT_EQ(p.alarmThreshold.Text(), "3.3V");
  EXPECT_EQ(p.shutdownThreshold.Text(), "3.1V");
}

TEST(SystemPageBattery, LevelFormulasBothWays) {
  EXPECT_EQ(CPageSystem::BatteryLevel(0, 0), 551);   // "2.8V"
  EXPECT_EQ(CPageSystem::BatteryLevel(0, 12), 787);  // "4.0V"
  EXPECT_EQ(CPageSystem::BatteryLevel(1, 0), 73);    // "0.1V"
  EXPECT_EQ(CPageSystem::BatterySelection(0, 551), 0);
  EXPECT_EQ(CPageSystem::BatterySelection(0, 787), 12);
  for (int s = 0; s < 13; ++s) {
    EXPECT_EQ(CPageSystem::BatterySelection(0, static_cast<unsigned>(CPageSystem::BatteryLevel(0, s))), s);
    EXPECT_EQ(CPageSystem::BatterySelection(1, static_cast<unsigned>(CPageSystem::BatteryLevel(1, s))), s);
  }
  // Only the low ten bits carry the ADC count.
  EXPECT_EQ(CPageSystem::BatterySelection(0, 0x400 + 551), 0);

  CPageSystem p;
  ConfigRecord r;
  PutU16(r.data(), rec::low_battery_alarm_level, 787);
  PutU16(r.data(), rec::low_battery_shutdown_level, 551);
  p.RestoreFrom(r);
  EXPECT_EQ(p.alarmThreshold.Text(), "4.0V");
  EXPECT_EQ(p.shutdownThreshold.Text(), "2.8V");
  EXPECT_EQ(p.highCurrentThreshold.selected, -1);
  EXPECT_EQ(p.powerFullThreshold.selected, -1);
  PutU16(r.data(), rec::low_battery_alarm_level, 551);
  p.RestoreFrom(r);
  EXPECT_EQ(p.alarmThreshold.Text(), "2.8V");
  EXPECT_EQ(p.shutdownThreshold.Count(), 0);
}

TEST(SystemPage, ReadBackMessagesAtTheLimits) {
  CPageSystem p;
  auto with = [&p](int id, std::string text) {
    return [&p, id, text](int c) { return c == id ? text : p.ControlText(c); };
  };
  auto err = p.ReadBack(with(CPageSystem::kIdA2dpVolume, "16"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageSystem::kIdA2dpVolume);
  EXPECT_EQ(err->message, "“请填入一个在0和15之间的整数。”");
  EXPECT_FALSE(p.ReadBack(with(CPageSystem::kIdHfpVolume, "15")));
  EXPECT_EQ(p.hfpVolume, 15);
  err = p.ReadBack(with(CPageSystem::kIdPromptVolume, "abc"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和255之间的整数。”");
  err = p.ReadBack(with(CPageSystem::kIdHfpVolume, "256"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和255之间的整数。”");
  err = p.ReadBack(with(CPageSystem::kIdMicVolume, "96"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和95之间的整数。”");
  EXPECT_FALSE(p.ReadBack(with(CPageSystem::kIdMicVolume, "95")));
  err = p.ReadBack(with(CPageSystem::kIdDetectInterval, "-1"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个正整数。”");
  err = p.ReadBack(with(CPageSystem::kIdSleepTimeout, "x"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个正整数。”");
  // The record holds the timeout x 100 in 16 bits: 656 s and above are refused.
  err = p.ReadBack(with(CPageSystem::kIdSleepTimeout, "656"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和655之间的整数。”");
  EXPECT_FALSE(p.ReadBack(with(CPageSystem::kIdSleepTimeout, "655")));
  EXPECT_EQ(p.sleepTimeoutS, 655u);
  err = p.ReadBack(with(CPageSystem::kIdShutdownTimeout, "-"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "请键入一个整数。");
  err = p.ReadBack(with(CPageSystem::kIdPowerKeyGpio, "300"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageSystem::kIdPowerKeyGpio);
}

TEST(SystemPageCollect, DefaultFlagsAndFields) {
  Fixture f;
  const ConfigRecord r = Collect(f.page);
  const uint8_t* b = r.data();
  // UART debug port, differential output, N road, mic bias index 2.
  EXPECT_EQ(GetU32(b, rec::sys_flags), 0x1u | 0x80u | 0x100u | (2u << 13));
  EXPECT_EQ(b[rec::pa_mute_gpio], 2);  // the selector's text: first free pin
  EXPECT_EQ(b[rec::linein_detect_gpio], 2);
  EXPECT_EQ(b[rec::sd_detect_gpio], 0xFF);  // SD card off
  EXPECT_EQ(b[rec::a2dp_volume], 12);
  EXPECT_EQ(b[rec::hfp_volume], 11);
  EXPECT_EQ(b[rec::prompt_volume], 10);
  EXPECT_EQ(b[rec::mic_volume], 54);
  EXPECT_EQ(b[rec::battery_channel], 0);
  EXPECT_EQ(GetU32(b, rec::battery_check_interval), 3000u);
  EXPECT_EQ(GetU16(b, rec::low_battery_alarm_level), CPageSystem::BatteryLevel(0, 5));
  EXPECT_EQ(GetU16(b, rec::low_battery_shutdown_level), CPageSystem::BatteryLevel(0, 3));
  EXPECT_EQ(GetU16(b, rec::sleep_timeout), 800);
  EXPECT_EQ(GetU32(b, rec::shutdown_timeout), static_cast<uint32_t>(-100));
  EXPECT_EQ(b[rec::power_key_gpio], 255);
  EXPECT_EQ(b[rec::power_switch_mode], 0);
  EXPECT_EQ(b[rec::led_polarity_reversed], 0);
  for (size_t i = 0x024; i <= 0x02E; ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST(SystemPageCollect, EachSwitchSetsItsBit) {
  struct Case {
    int CPageSystem::*member;
    int value;
    int bit;
  };
  const Case cases[] = {
      {&CPageSystem::spi, 1, 2},           {&CPageSystem::lineInEnable, 1, 3}, {&CPageSystem::lineInHigh, 1, 4},
      {&CPageSystem::paMuteEnable, 1, 5},  {&CPageSystem::paMuteHigh, 1, 6},   {&CPageSystem::fadeIn, 1, 10},
      {&CPageSystem::sdEnable, 1, 17},     {&CPageSystem::lineInAdc, 1, 18},  {&CPageSystem::sdSeparatePin, 1, 19},
      {&CPageSystem::noSpeakerphone, 1, 20},
  };
  CPageSystem base;
  const uint32_t baseFlags = GetU32(Collect(base).data(), rec::sys_flags);
  for (const Case& c : cases) {
    CPageSystem p;
    p.*c.member = c.value;
    EXPECT_EQ(GetU32(Collect(p).data(), rec::sys_flags) ^ baseFlags, 1u << c.bit) << c.bit;
  }
  CPageSystem p;
  p.debugIface = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::sys_flags) & 3u, 2u);
  p.debugPort = 0;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::sys_flags) & 3u, 0u);
  p.outputMode = 0;
  p.roadSelect = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::sys_flags) & 0x180u, 0u);
  const ConfigRecord led = Collect(p, true);
  EXPECT_NE(GetU32(led.data(), rec::sys_flags) & (1u << 9), 0u);
  EXPECT_EQ(led.data()[rec::led_polarity_reversed], 1);
  p.micBias.Select(3);
  EXPECT_EQ((GetU32(Collect(p).data(), rec::sys_flags) >> 13) & 3u, 3u);
}

TEST(SystemPageCollect, PowerSwitchRules) {
  CPageSystem p;
  ConfigRecord r;
  RecordingSink sink;
  p.softBoot = 1;
  p.externalMos = 1;
  p.powerKeyGpio = 30;
  EXPECT_FALSE(p.CollectInto(r, false, sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "不能同时选中外部MOS开关机和软关机");  // soft boot is checked first

  p.softBoot = 0;
  sink.messages.clear();
  EXPECT_FALSE(p.CollectInto(r, false, sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "外部MOS开关机控制脚无效");
  p.powerKeyGpio = 23;
  EXPECT_FALSE(p.CollectInto(r, false, sink));

  p.powerKeyGpio = 22;
  r = Collect(p);
  EXPECT_EQ(r.data()[rec::power_switch_mode], 0x55);
  EXPECT_NE(GetU32(r.data(), rec::sys_flags) & (1u << 15), 0u);
  EXPECT_EQ(r.data()[rec::power_key_gpio], 22);

  p.externalMos = 0;
  p.softBoot = 1;
  p.powerKeyGpio = 200;  // any pin will do for soft boot
  r = Collect(p);
  EXPECT_EQ(r.data()[rec::power_switch_mode], 0xAA);
  EXPECT_NE(GetU32(r.data(), rec::sys_flags) & (1u << 12), 0u);
}

TEST(SystemPageCollect, TimeoutsAreHundredthsInTheFieldWidth) {
  CPageSystem p;
  p.sleepTimeoutS = 655;
  p.shutdownTimeoutS = 600;
  p.detectIntervalS = 7;
  ConfigRecord r = Collect(p);
  EXPECT_EQ(GetU16(r.data(), rec::sleep_timeout), 65500);
  EXPECT_EQ(GetU32(r.data(), rec::shutdown_timeout), 60000u);
  EXPECT_EQ(GetU32(r.data(), rec::battery_check_interval), 700u);
  // 656 s would be stored as 65600 & 0xFFFF = 64 (0.64 s): the collect refuses it.
  p.sleepTimeoutS = 656;
  RecordingSink sink;
  EXPECT_FALSE(p.CollectInto(r, false, sink));
  EXPECT_EQ(sink.messages, std::vector<std::string>{"“请填入一个在0和655之间的整数。”"});
}

TEST(SystemPageCollect, GpioFieldsComeFromTheSelectorTexts) {
  CPageSystem p;
  p.paMuteCombo = Selector({"GPIO05"}, 0);
  p.lineInCombo = Selector({"GPIO17"}, 0);
  p.sdDetectCombo = Selector({"GPIO13"}, 0);
  p.paMuteGpio = 9;  // the member is not what is stored
  ConfigRecord r = Collect(p);
  EXPECT_EQ(r.data()[rec::pa_mute_gpio], 5);
  EXPECT_EQ(r.data()[rec::linein_detect_gpio], 17);
  EXPECT_EQ(r.data()[rec::sd_detect_gpio], 0xFF);
  p.sdEnable = 1;
  r = Collect(p);
  EXPECT_EQ(r.data()[rec::sd_detect_gpio], 13);
}

TEST(SystemPageRestore, FlagsAndGpios) {
  ConfigRecord r;
  uint8_t* b = r.data();
  PutU32(b, rec::sys_flags, 2u | (1u << 2) | (1u << 5) | (1u << 12) | (3u << 13) | (1u << 19));
  b[rec::pa_mute_gpio] = 3;
  b[rec::linein_detect_gpio] = 14;
  b[rec::sd_detect_gpio] = 0xFF;
  PutU16(b, rec::sleep_timeout, 34464);
  PutU32(b, rec::shutdown_timeout, static_cast<uint32_t>(-100));
  CPageSystem p;
  p.RestoreFrom(r);
  EXPECT_EQ(p.debugPort, 1);
  EXPECT_EQ(p.debugIface, 1);  // IIC
  EXPECT_EQ(p.spi, 1);
  EXPECT_EQ(p.paMuteEnable, 1);
  EXPECT_EQ(p.softBoot, 1);
  EXPECT_EQ(p.sdSeparatePin, 1);
  EXPECT_EQ(p.micBias.Text(), "1.8V");
  EXPECT_EQ(p.outputMode, 0);
  EXPECT_EQ(p.roadSelect, 1);
  EXPECT_EQ(p.paMuteGpio, 3);
  EXPECT_EQ(p.sdDetectGpio, 0xFF);
  EXPECT_EQ(p.sleepTimeoutS, 344u);
  EXPECT_EQ(p.shutdownTimeoutS, -1);
  EXPECT_EQ(p.paMuteCombo.Text(), "GPIO03");  // added until the pool refresh rebuilds the list
  EXPECT_EQ(p.sdDetectCombo.Text(), "GPIO255");

  PutU32(b, rec::sys_flags, 0);
  p.RestoreFrom(r);
  EXPECT_EQ(p.debugPort, 0);
  EXPECT_EQ(p.debugIface, -1);
}

TEST(SystemPageRestore, LoadedPinsSelectTheirOwnEntriesNotLongerNumbers) {
  // Every function off: the lists hold GPIO02 to GPIO22, so GPIO20 to GPIO22 are there
  // to be mistaken for GPIO2.
  Fixture f;
  ASSERT_TRUE(Lists(f.page.paMuteCombo, "GPIO20"));
  ConfigRecord r;
  uint8_t* b = r.data();
  PutU32(b, rec::sys_flags, 1u);
  b[rec::pa_mute_gpio] = 2;
  b[rec::linein_detect_gpio] = 2;
  b[rec::sd_detect_gpio] = 1;
  f.page.RestoreFrom(r);
  EXPECT_EQ(f.page.paMuteCombo.Text(), "GPIO02");
  EXPECT_EQ(f.page.lineInCombo.Text(), "GPIO02");
  // GPIO1 is reserved for the debug port, so "GPIO1" would find GPIO10.
  EXPECT_EQ(f.page.sdDetectCombo.Text(), "GPIO01");
  EXPECT_EQ(f.page.sdDetectCombo.entries.back(), "GPIO01");  // added, not in the pool
}

TEST(SystemPageRestore, ReapplyRestoresEnableStateAndPool) {
  Fixture f;
  CPageSystem& p = f.page;
  p.debugPort = 0;
  p.OnDebugPort();
  p.spi = 1;
  p.OnSpi();
  p.paMuteEnable = 1;
  p.paMuteGpio = 4;
  p.OnPaMuteEnable();
  p.lineInEnable = 1;
  p.lineInGpio = 20;
  p.OnLineInEnable();
  p.sdEnable = 1;
  p.OnSdEnable();
  p.outputMode = 0;
  p.OnOutputMode();
  p.alarmThreshold.Select(9);
  p.RebuildShutdownList();
  p.shutdownThreshold.Select(4);
  p.sleepTimeoutS = 120;
  const ConfigRecord first = Collect(p, true);

  Fixture g;
  g.page.RestoreFrom(first);
  g.page.Reapply();
  EXPECT_EQ(g.host.reservedMask, 0x3C0u);
  EXPECT_FALSE(g.page.DebugIfaceEnabled());
  EXPECT_TRUE(g.page.PaMuteControlsEnabled());
  EXPECT_TRUE(g.page.LineInControlsEnabled());
  EXPECT_TRUE(g.page.RoadRadiosEnabled());
  EXPECT_EQ(g.page.paMuteCombo.Text(), "GPIO04");
  EXPECT_EQ(g.page.lineInCombo.Text(), "GPIO20");
  EXPECT_EQ(g.page.sdDetectCombo.Text(), "GPIO12");
  EXPECT_EQ(g.host.availableMask, kQfn48 & ~0x3C0u & ~((1u << 4) | (1u << 20) | (1u << 12)));
  EXPECT_EQ(g.page.alarmThreshold.Text(), "3.7V");
  EXPECT_EQ(g.page.shutdownThreshold.Text(), "3.2V");

  ConfigRecord again;
  RecordingSink sink;
  ASSERT_TRUE(g.page.CollectInto(again, true, sink));
  EXPECT_EQ(again.bytes, first.bytes);
}

}  // namespace
}  // namespace tessera
