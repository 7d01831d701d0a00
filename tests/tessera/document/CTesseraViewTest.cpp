// The main view's document: start-up state, the GPIO pool, the flash type, the record
// a default collect builds, configuration files and the flash image.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "../config/TempDir.h"
#include "DocumentFixture.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/Gpio.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ImageBuilder.h"
#include "tessera/core/document/CTesseraView.h"

namespace tessera::testing {
namespace {

bool Lists(const Selector& s, int gpio) { return s.FindPrefix(GpioText(gpio)) >= 0; }

// ---- start-up ----------------------------------------------------------------

TEST_F(DocumentTest, StartUpSelectsTheDefaultsAndSizesTheBuffers) {
  EXPECT_EQ(view.flashType.Text(), "GD_8Mbit");
  EXPECT_EQ(view.chipType.Text(), "QFN48_6X6");
  EXPECT_EQ(view.CodeAreaKb(), 512);
  EXPECT_EQ(view.ImageBufferBytes(), 1012u * 1024);
  // "DebugPort" is on by default, so GPIO0 and GPIO1 are reserved.
  EXPECT_EQ(view.ReservedGpioMask(), 0x3u);
  EXPECT_EQ(view.FreePromptSpaceKb(false), 496);
  EXPECT_EQ(view.FreePromptSpaceKb(true), 463);
  EXPECT_EQ(WaveFreeKb(), 496);
  EXPECT_EQ(view.wave.remainingSpaceText, "496KB");
  EXPECT_TRUE(sink.messages.empty());
  // The LED pins (low-power LED and LED1; LED0 shares GPIO11) are gone from the pool
  // the keys see; the functions that are off take no pin.
  EXPECT_EQ(view.AvailableGpioMask(), 0x7FFFFCu & ~(1u << 11) & ~(1u << 20));
}

TEST_F(DocumentTest, StartUpShowsTheEchoGainsOfTheDefaultVolumes) {
  // The echo page was shown once at start-up, so it holds the HFP volume 11 and the
  // microphone volume 54 as its gains, and an unchanged Save keeps both volumes.
  EXPECT_EQ(CPageEcho::DacGainEntries()[static_cast<size_t>(view.echo.dacGainIndex)], "-6dB");
  EXPECT_EQ(CPageEcho::MicGainEntries()[static_cast<size_t>(view.echo.micGainIndex)], "27dB");
  view.SaveEchoGains();
  EXPECT_EQ(view.system.hfpVolume, 11);
  EXPECT_EQ(view.system.micVolume, 54);
}

TEST_F(DocumentTest, DefaultRecordHoldsGpio2ForPaMuteAndLineIn) {
  ConfigRecord r;
  ASSERT_TRUE(view.CollectConfigRecord(r, CTesseraView::kWriteContext, nullptr));
  EXPECT_EQ(r.bytes[rec::pa_mute_gpio], 2);
  EXPECT_EQ(r.bytes[rec::linein_detect_gpio], 2);
  EXPECT_EQ(r.bytes[rec::sd_detect_gpio], 0xFF);  // SD card off
}

// ---- GPIO pool -----------------------------------------------------------------

TEST_F(DocumentTest, SmallPackageClearsKeysWhosePinsAllDisappear) {
  Edit(view, [&](DocumentState& s) {
    s.button.keyTable[0] = {1, 1u << 5, 0, 0};                 // GPIO5 only: not on QFN40
    s.button.keyTable[1] = {2, (1u << 5) | (1u << 18), 0, 0};  // GPIO18 survives
  });
  ASSERT_TRUE(view.SelectChipType(0));
  EXPECT_EQ(view.button.keyTable[0], KeyEventEntry{});
  EXPECT_EQ(view.button.keyTable[1].gpioMask, (1u << 5) | (1u << 18));  // keeps all its bits
  EXPECT_EQ(view.AvailableGpioMask() & ~0x3C0803u, 0u);
  EXPECT_FALSE(Lists(view.system.paMuteCombo, 5));
  EXPECT_TRUE(Lists(view.system.paMuteCombo, 18));
  EXPECT_FALSE(Lists(view.led.led0Sel, 5));
}

TEST_F(DocumentTest, DebugPortTakesGpio0And1FromEveryChoiceAndGivesThemBack) {
  view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 0);
  EXPECT_EQ(view.ReservedGpioMask(), 0u);
  EXPECT_TRUE(Lists(view.system.paMuteCombo, 0));
  EXPECT_TRUE(Lists(view.led.led1Sel, 1));
  EXPECT_TRUE(view.AvailableGpioMask() & 0x3u);
  Edit(view, [&](DocumentState& s) { s.button.keyTable[0] = {1, 0x3u, 0, 0}; });  // a key on GPIO0 and GPIO1 only

  view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 1);
  EXPECT_EQ(view.ReservedGpioMask(), 0x3u);
  for (const Selector* s :
       {&view.system.paMuteCombo, &view.system.lineInCombo, &view.system.sdDetectCombo,
        &view.led.led0Sel, &view.led.led1Sel, &view.led.lowPowerLedSel}) {
    EXPECT_FALSE(Lists(*s, 0));
    EXPECT_FALSE(Lists(*s, 1));
  }
  EXPECT_EQ(view.button.keyTable[0], KeyEventEntry{});
}

TEST_F(DocumentTest, SpiIsOfferedOnlyOnTheLargePackageAndKeepsItsCheck) {
  EXPECT_FALSE(view.system.spiCheckEnabled);
  ASSERT_TRUE(view.SelectChipType(2));
  EXPECT_TRUE(view.system.spiCheckEnabled);
  view.ChangeControl(PageId::System, CPageSystem::kIdSpi, 1);
  EXPECT_EQ(view.ReservedGpioMask() & 0x3C0u, 0x3C0u);
  ASSERT_TRUE(view.SelectChipType(1));
  EXPECT_FALSE(view.system.spiCheckEnabled);
  EXPECT_EQ(view.system.spi, 1);
  EXPECT_EQ(view.ReservedGpioMask() & 0x3C0u, 0x3C0u);
  EXPECT_FALSE(Lists(view.system.paMuteCombo, 6));
  EXPECT_FALSE(Lists(view.led.led0Sel, 9));
  EXPECT_EQ(view.AvailableGpioMask() & 0x3C0u, 0u);
}

TEST_F(DocumentTest, SelectionsOutsideTheListsChangeNothing) {
  EXPECT_FALSE(view.SelectFlashType(4));
  EXPECT_FALSE(view.SelectFlashType(-1));
  EXPECT_FALSE(view.SelectChipType(3));
  EXPECT_EQ(view.flashType.selected, 1);
  EXPECT_EQ(view.chipType.selected, 1);
  EXPECT_EQ(view.ImageBufferBytes(), 1012u * 1024);
}

// ---- flash type ------------------------------------------------------------------

TEST_F(DocumentTest, SmallFlashShrinksTheCodeAreaAndBuffers) {
  ASSERT_TRUE(view.SelectFlashType(0));
  EXPECT_EQ(view.CodeAreaKb(), 448);
  EXPECT_EQ(view.ImageBufferBytes(), 500u * 1024);
  EXPECT_EQ(view.FreePromptSpaceKb(false), 48);
  EXPECT_EQ(WaveFreeKb(), 48);
  ASSERT_TRUE(view.SelectFlashType(3));
  EXPECT_EQ(view.ImageBufferBytes(), 4084u * 1024);
  EXPECT_EQ(WaveFreeKb(), 3568);
}

// ---- the record of a default collect ----------------------------------------------

TEST_F(DocumentTest, DefaultCollectPutsFieldsAtTheirOffsets) {
  ConfigRecord r;
  uint32_t prompt = 123;
  ASSERT_TRUE(view.CollectConfigRecord(r, CTesseraView::kGenerateContext, &prompt));
  const uint8_t* b = r.data();
  EXPECT_EQ(prompt, 0u);
  EXPECT_EQ(b[rec::config_valid], 1);
  EXPECT_EQ(GetU32(b, rec::sys_flags) & 0x3u, 1u);            // debug port on UART
  EXPECT_EQ(GetU32(b, rec::sys_flags) & (1u << 7), 1u << 7);  // differential output
  EXPECT_EQ(b[rec::a2dp_volume], 12);
  EXPECT_EQ(b[rec::hfp_volume], 11);
  EXPECT_EQ(b[rec::prompt_volume], 10);
  EXPECT_EQ(b[rec::mic_volume], 54);
  EXPECT_EQ(GetU32(b, rec::battery_check_interval), 3000u);
  EXPECT_EQ(GetU16(b, rec::sleep_timeout), 800u);
  EXPECT_EQ(GetU32(b, rec::shutdown_timeout), 0xFFFFFF9Cu);  // -1 s x 100
  EXPECT_EQ(b[rec::power_key_gpio], 255);
  EXPECT_EQ(b[rec::status_led_gpio], 11);
  EXPECT_EQ(b[rec::led0_gpio], 11);
  EXPECT_EQ(b[rec::led1_gpio], 20);
  EXPECT_EQ(b[rec::device_class], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + rec::device_name)), "QR5830_DEMO00");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + rec::pin_code)), "7391");
  const uint8_t addr[6] = {0x11, 0x55, 0x44, 0x33, 0x22, 0x11};
  EXPECT_TRUE(std::equal(addr, addr + 6, b + rec::bt_address));
  EXPECT_EQ(GetU32(b, rec::recovery_retry_interval), 4500u);
  EXPECT_EQ(b[rec::recovery_mode], 2);
  EXPECT_EQ(GetU16(b, rec::key_long_press_time), 110u);
  for (size_t off = 0x024; off <= 0x02E; ++off) EXPECT_EQ(b[off], 0) << off;
  for (size_t off = 0x07B; off <= 0x08A; ++off) EXPECT_EQ(b[off], 0) << off;
  for (size_t off = 0x38F; off <= 0x392; ++off) EXPECT_EQ(b[off], 0) << off;
  EXPECT_EQ(GetU32(b, rec::echo_suppression), 1u);
}

TEST_F(DocumentTest, FailedCollectNamesItsContext) {
  Edit(view, [&](DocumentState& s) {
    s.bluetooth.address = "112233445566";
    s.bluetooth.CheckAddress();
  });
  ConfigRecord r;
  EXPECT_FALSE(view.CollectConfigRecord(r, CTesseraView::kGenerateContext, nullptr));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Bt address error! Can't generate flash image.");
}

// ---- configuration files -----------------------------------------------------------

TEST_F(DocumentTest, WriteReadWriteIsByteIdentical) {
  Edit(view, [&](DocumentState& s) { s.bluetooth.deviceName = "SPEAKER_42"; });
  view.ChangeControl(PageId::System, CPageSystem::kIdPaMuteEnable, 1);
  Edit(view, [&](DocumentState& s) {
    s.led.ledTable[3] = {5, 1, 0, 200, 300, 2, 3, 0, -1};
    s.button.keyTable[4] = {6, 1u << 4, 2, 1};
  });
  Edit(view, [&](DocumentState& s) {
    s.eq.bands[2].enabled = 1;
    s.eq.bands[2].gainDb = -3.5f;
    s.eq.RefreshRows();
  });
  view.SetBinPath("fw/app.bin");
  ASSERT_TRUE(view.SelectFlashType(2));
  ASSERT_TRUE(view.WriteConfigFile(dir.File("a.cfg")));
  const auto a = ReadBytes(dir.File("a.cfg"));
  ASSERT_EQ(a.size(), cfgfile::kFixedSize + 10);

  RecordingSink sink2;
  CTesseraView other(sink2);
  other.OnInitialUpdate();
  ASSERT_TRUE(other.ReadConfigFile(dir.File("a.cfg")));
  EXPECT_EQ(other.flashType.Text(), "GD_16Mbit");
  EXPECT_EQ(other.binPath, "fw/app.bin");
  EXPECT_EQ(other.bluetooth.deviceName, "SPEAKER_42");
  ASSERT_TRUE(other.WriteConfigFile(dir.File("b.cfg")));
  EXPECT_EQ(ReadBytes(dir.File("b.cfg")), a);
  EXPECT_TRUE(sink2.messages.empty());
}

TEST_F(DocumentTest, ReadConfigBringsBackAnUncheckedLedPolarity) {
  Edit(view, [&](DocumentState& s) { s.led.polarityReversed = 0; });
  ASSERT_TRUE(view.WriteConfigFile(dir.File("p.cfg")));
  CTesseraView other(sink);
  other.OnInitialUpdate();
  ASSERT_EQ(other.led.polarityReversed, 1);
  ASSERT_TRUE(other.ReadConfigFile(dir.File("p.cfg")));
  EXPECT_EQ(other.led.polarityReversed, 0);
  ConfigRecord rec;
  ASSERT_TRUE(other.CollectConfigRecord(rec, CTesseraView::kWriteContext, nullptr));
  EXPECT_EQ(rec.bytes[rec::led_polarity_reversed], 0);
  EXPECT_EQ(GetU32(rec.data(), rec::sys_flags) & (1u << sysbit::kLedPolarity), 0u);
}

TEST_F(DocumentTest, LedPolarityComesFromItsFlagBitNotFromTheCopyByte) {
  // The byte beside the LED pins is only a copy for the firmware: a file whose byte
  // disagrees with sys_flags bit 9 restores what the bit says, either way round.
  ASSERT_TRUE(view.WriteConfigFile(dir.File("p.cfg")));
  auto bytes = ReadBytes(dir.File("p.cfg"));
  CTesseraView other(sink);
  other.OnInitialUpdate();

  PutU32(bytes.data(), rec::sys_flags, GetU32(bytes.data(), rec::sys_flags) & ~(1u << sysbit::kLedPolarity));
  bytes[rec::led_polarity_reversed] = 1;
  WriteBytes(dir.File("clear.cfg"), bytes);
  ASSERT_TRUE(other.ReadConfigFile(dir.File("clear.cfg")));
  EXPECT_EQ(other.led.polarityReversed, 0);

  PutU32(bytes.data(), rec::sys_flags, GetU32(bytes.data(), rec::sys_flags) | 1u << sysbit::kLedPolarity);
  bytes[rec::led_polarity_reversed] = 0;
  WriteBytes(dir.File("set.cfg"), bytes);
  ASSERT_TRUE(other.ReadConfigFile(dir.File("set.cfg")));
  EXPECT_EQ(other.led.polarityReversed, 1);
}

TEST_F(DocumentTest, EmptyBinPathGivesTheFixedSizeAndReadsBackEmpty) {
  ASSERT_TRUE(view.WriteConfigFile(dir.File("e.cfg")));
  EXPECT_EQ(ReadBytes(dir.File("e.cfg")).size(), cfgfile::kFixedSize);
  view.SetBinPath("something");
  ASSERT_TRUE(view.ReadConfigFile(dir.File("e.cfg")));
  EXPECT_EQ(view.binPath, "");
}

TEST_F(DocumentTest, ReadingASmallFlashFileSwitchesTheSelectionAndFreeSpace) {
  ASSERT_TRUE(view.SelectFlashType(0));
  ASSERT_TRUE(view.WriteConfigFile(dir.File("4m.cfg")));
  ASSERT_TRUE(view.SelectFlashType(3));
  EXPECT_EQ(WaveFreeKb(), 3568);
  ASSERT_TRUE(view.ReadConfigFile(dir.File("4m.cfg")));
  EXPECT_EQ(view.flashType.Text(), "GD_4Mbit");
  EXPECT_EQ(view.CodeAreaKb(), 448);
  EXPECT_EQ(WaveFreeKb(), 48);
  EXPECT_EQ(view.ImageBufferBytes(), 500u * 1024);
}

// A bin path the file cannot give back whole (86 Chinese characters, 258 bytes) is left
// out, not cut inside a character; the rest of the work is saved and the user told.
TEST_F(DocumentTest, LongBinPathIsLeftOutOnWriteAndCutOnRead) {
  std::string longPath;
  for (int i = 0; i < 86; ++i) longPath += "固";
  Edit(view, [&](DocumentState& s) {
    s.binPath = longPath;
    s.bluetooth.deviceName = "KEPT";
  });
  WriteBytes(dir.File("old.cfg"), {1, 2, 3});
  ASSERT_TRUE(view.WriteConfigFile(dir.File("old.cfg")));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0],
            "The configuration was written without its bin file path: the path is 258 bytes long and a "
            "configuration file keeps at most 255. Move the bin file to a shorter path and choose it "
            "again before the next Write Config.");
  EXPECT_EQ(ReadBytes(dir.File("old.cfg")).size(), cfgfile::kFixedSize);
  EXPECT_EQ(view.binPath, longPath);  // the box keeps it
  sink.messages.clear();
  ASSERT_TRUE(view.ReadConfigFile(dir.File("old.cfg")));
  EXPECT_EQ(view.bluetooth.deviceName, "KEPT");
  EXPECT_EQ(view.binPath, "");
  longPath.clear();
  for (int i = 0; i < 300; ++i) longPath += 'p';

  // A file that carries a longer path (written by another tool) gives its first 255 bytes.
  Edit(view, [&](DocumentState& s) { s.binPath.clear(); });
  ASSERT_TRUE(view.WriteConfigFile(dir.File("p.cfg")));
  auto bytes = ReadBytes(dir.File("p.cfg"));
  bytes.insert(bytes.end(), longPath.begin(), longPath.end());
  WriteBytes(dir.File("p.cfg"), bytes);
  ASSERT_TRUE(view.ReadConfigFile(dir.File("p.cfg")));
  EXPECT_EQ(view.binPath, longPath.substr(0, 255));
}

TEST_F(DocumentTest, FailedCollectLeavesTheExistingFileUntouched) {
  ASSERT_TRUE(view.WriteConfigFile(dir.File("keep.cfg")));
  const auto before = ReadBytes(dir.File("keep.cfg"));
  Edit(view, [&](DocumentState& s) {
    s.bluetooth.address = "112233445566";  // no "0x"
    s.bluetooth.CheckAddress();
  });
  Edit(view, [&](DocumentState& s) { s.bluetooth.deviceName = "CHANGED"; });
  EXPECT_FALSE(view.WriteConfigFile(dir.File("keep.cfg")));
  EXPECT_EQ(sink.messages.back(), "Bt address error! Can't Write Configuration file.");
  EXPECT_EQ(ReadBytes(dir.File("keep.cfg")), before);
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"keep.cfg"});
}

TEST_F(DocumentTest, ShortOrMissingFileIsRefusedAndChangesNothing) {
  Edit(view, [&](DocumentState& s) { s.bluetooth.deviceName = "KEEP_ME"; });
  ASSERT_TRUE(view.SelectChipType(2));
  view.SetBinPath("keep.bin");
  ASSERT_TRUE(view.WriteConfigFile(dir.File("full.cfg")));
  auto bytes = ReadBytes(dir.File("full.cfg"));
  bytes.resize(cfgfile::kFixedSize - 1);
  WriteBytes(dir.File("short.cfg"), bytes);
  Edit(view, [&](DocumentState& s) {
    s.bluetooth.deviceName = "CURRENT";
    s.button.keyTable[7] = {3, 1u << 3, 0, 0};
  });
  const auto keysBefore = view.button.keyTable;

  EXPECT_FALSE(view.ReadConfigFile(dir.File("short.cfg")));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_NE(sink.messages[0].find("15838"), std::string::npos) << sink.messages[0];
  EXPECT_EQ(view.bluetooth.deviceName, "CURRENT");
  EXPECT_EQ(view.button.keyTable, keysBefore);
  EXPECT_EQ(view.chipType.selected, 2);
  EXPECT_EQ(view.binPath, "keep.bin");

  EXPECT_FALSE(view.ReadConfigFile(dir.File("missing.cfg")));
  EXPECT_EQ(sink.messages.back(), "Can't load configuration file.\r\n");
}

TEST_F(DocumentTest, SelectionIndexesOutsideTheListsKeepTheCurrentSelections) {
  ASSERT_TRUE(view.WriteConfigFile(dir.File("x.cfg")));
  auto bytes = ReadBytes(dir.File("x.cfg"));
  PutI32(bytes.data(), cfgfile::kFlashIndex, 9);
  PutI32(bytes.data(), cfgfile::kChipIndex, -1);
  WriteBytes(dir.File("x.cfg"), bytes);
  ASSERT_TRUE(view.SelectFlashType(2));
  ASSERT_TRUE(view.SelectChipType(0));
  ASSERT_TRUE(view.ReadConfigFile(dir.File("x.cfg")));
  EXPECT_EQ(view.flashType.Text(), "GD_16Mbit");
  EXPECT_EQ(view.chipType.Text(), "QFN40_5X5");
  EXPECT_EQ(sink.messages.size(), 2u);
}

}  // namespace
}  // namespace tessera::testing
