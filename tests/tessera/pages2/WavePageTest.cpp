#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "tessera/FakePageHost.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/pages/CPageWave.h"

namespace tessera {
namespace {

using testing::FakePageHost;
using testing::Typed;
using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

// Wave files in a private temporary folder, removed with the fixture.
class WaveFiles {
 public:
  WaveFiles() {
    static std::atomic<int> seq{0};
    dir_ = fs::temp_directory_path() / ("pages2_wave_" + std::to_string(getpid()) + "_" + std::to_string(seq++));
    fs::create_directories(dir_);
  }
  ~WaveFiles() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // A canonical 44-byte header whose data chunk announces dataSize bytes, plus a few
  // sample bytes (the size field is all the page reads).
  std::string Wave(const std::string& name, uint32_t dataSize) {
    std::vector<uint8_t> b(48, 0);
    std::memcpy(b.data(), "RIFF", 4);
    std::memcpy(b.data() + 8, "WAVEfmt ", 8);
    std::memcpy(b.data() + 36, "data", 4);
    PutU32(b.data(), 40, dataSize);
    return Raw(name, b);
  }
  std::string Raw(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string Missing() const { return (dir_ / "missing.wav").string(); }

 private:
  fs::path dir_;
};

SoundEffectEntry WaveEntry(int32_t event, const std::string& path, int32_t size, int32_t enabled = 1) {
  SoundEffectEntry e;
  e.enabled = enabled;
  e.event = event;
  e.kind = 0;
  e.SetPath(path);
  e.fileSize = size;
  return e;
}

SoundEffectEntry ToneEntry(int32_t event) {
  SoundEffectEntry e;
  e.enabled = 1;
  e.event = event;
  e.kind = 1;
  e.f1Gain = 3;
  e.f1Step = 1000;
  e.f1Enable = 1;
  e.f2Gain = 15;
  e.f2Step = 2000;
  e.f2Enable = 1;
  e.duration = 5;
  e.pause = 2;
  e.pattern = 1;
  e.mode = 0;
  return e;
}

// Drives the dialog as a user would: pick the event, a wave file, OK.
bool AssignWave(CPageWave& page, int row, int event, const std::string& path, bool enabled = true) {
  auto dlg = page.BeginEdit(row);
  EXPECT_TRUE(dlg);
  dlg->event.Select(event);
  dlg->OnKindChanged(0);
  dlg->enable.Select(enabled ? 0 : 1);
  EXPECT_TRUE(dlg->Browse(path));
  SoundEffectEntry out;
  EXPECT_FALSE(dlg->Ok(Typed({}, *dlg), out));
  return page.CommitEdit(row, out);
}

struct Page {
  FakePageHost host;
  CPageWave page{&host};
  WaveFiles files;
  Page() { page.OnInitialize(); }
};

TEST(WaveSpace, SectorsPerFile) {
  EXPECT_EQ(CPageWave::WaveFlashKb(0), 0);
  EXPECT_EQ(CPageWave::WaveFlashKb(-5), 0);
  EXPECT_EQ(CPageWave::WaveFlashKb(1), 4);
  EXPECT_EQ(CPageWave::WaveFlashKb(3840), 4);  // 120 blocks, 4080 bytes in the image
  EXPECT_EQ(CPageWave::WaveFlashKb(3841), 8);  // 121 blocks, 4114 bytes
  EXPECT_EQ(CPageWave::WaveFlashKb(3855), 8);
  EXPECT_EQ(CPageWave::WaveFlashKb(4096), 8);
  EXPECT_EQ(CPageWave::WaveFlashKb(0x7FFFFFFF), 2228228);  // no overflow at the top
}

TEST(WavePage, InitialisationAndRows) {
  FakePageHost host;
  host.freeWithGrowthKb = 19;
  CPageWave page(&host);
  EXPECT_EQ(page.remainingSpaceText, "KB");
  page.soundTable[3] = WaveEntry(1, "x", 10);
  page.usedPromptSpaceKb = 7;
  page.OnInitialize();
  EXPECT_EQ(page.soundTable[3], SoundEffectEntry{});
  EXPECT_EQ(page.usedPromptSpaceKb, 0);
  EXPECT_EQ(page.language.selected, 0);
  EXPECT_EQ(page.language.Text(), "语言一");
  EXPECT_EQ(page.ControlText(CPageWave::kRemainingId), "19KB");

  EXPECT_EQ(page.RowTexts(0), CPageWave::EmptyRowTexts());
  EXPECT_EQ(page.RowTexts(41), (Texts{"Invalid", "cust.audio file or DTMFTONE", "cust. wave file", "FALSE"}));
  EXPECT_TRUE(page.RowTexts(42).empty());
  page.soundTable[0] = WaveEntry(33, "C:\\p\\a.wav", 100);
  EXPECT_EQ(page.RowTexts(0), (Texts{"SDCARD MODE", "C:\\p\\a.wav", "cust. wave file", "TRUE"}));
  page.soundTable[1] = ToneEntry(34);
  page.soundTable[1].enabled = 0;
  EXPECT_EQ(page.RowTexts(1), (Texts{"RESERVED 0", "DTMF TONE mode: 0, pattern: 1", "DTMF TONE", "FALSE"}));
  page.soundTable[1].event = 0;  // an empty entry still names its kind
  EXPECT_EQ(page.RowTexts(1), (Texts{"Invalid", "cust.audio file or DTMFTONE", "DTMF TONE", "FALSE"}));
  EXPECT_FALSE(page.BeginEdit(42));
  EXPECT_FALSE(page.BeginEdit(-1));
}

TEST(WavePage, ListColumnsMatchTheRowTexts) {
  Page p;
  p.page.soundTable[1] = ToneEntry(2);
  for (int row : {0, 1, 41}) EXPECT_EQ(p.page.RowTexts(row).size(), CPageWave::ColumnTitles().size()) << row;
}

TEST(WavePage, FitCheckRefusesAFileThatDoesNotFit) {
  Page p;
  p.host.freeWithGrowthKb = 19;  // 4 Mbit flash
  p.page.OnInitialize();
  const std::string small = p.files.Wave("small.wav", 1);       // 4 KB
  const std::string big = p.files.Wave("big.wav", 3855 * 4);    // 16 KB
  EXPECT_TRUE(AssignWave(p.page, 0, 1, small));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 4);
  EXPECT_EQ(p.page.remainingSpaceText, "15KB");
  EXPECT_EQ(p.page.soundTable[0].fileSize, 1);

  EXPECT_FALSE(AssignWave(p.page, 1, 2, big));
  EXPECT_EQ(p.host.sink.messages, (std::vector<std::string>{"File is too big,   no space in flash!"}));
  EXPECT_EQ(p.page.soundTable[1], SoundEffectEntry{});
  EXPECT_EQ(p.page.RowTexts(1), CPageWave::EmptyRowTexts());
  EXPECT_EQ(p.page.usedPromptSpaceKb, 4);
  EXPECT_EQ(p.page.remainingSpaceText, "15KB");

  // Exactly filling the space is allowed.
  const std::string rest = p.files.Wave("rest.wav", 3840 * 3);  // 12 KB
  EXPECT_TRUE(AssignWave(p.page, 2, 3, rest));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 16);
  EXPECT_EQ(p.page.remainingSpaceText, "3KB");
}

TEST(WavePage, SharedFilesCountOnce) {
  Page p;
  const std::string a = p.files.Wave("a.wav", 5000);  // 8 KB
  EXPECT_TRUE(AssignWave(p.page, 0, 1, a));
  EXPECT_TRUE(AssignWave(p.page, 1, 2, a));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 8);
  EXPECT_TRUE(AssignWave(p.page, 1, 2, a));  // editing the second again adds nothing
  EXPECT_EQ(p.page.usedPromptSpaceKb, 8);
  EXPECT_EQ(p.page.remainingSpaceText, "455KB");

  // Nothing is given back when an entry is disabled, and the duplicate search only
  // sees enabled entries: the same file on another entry then counts again.
  EXPECT_TRUE(AssignWave(p.page, 0, 1, a, false));
  EXPECT_TRUE(AssignWave(p.page, 1, 2, a, false));
  EXPECT_EQ(p.page.soundTable[1].fileSize, 0);  // a disabled prompt takes no space
  EXPECT_EQ(p.page.usedPromptSpaceKb, 8);
  EXPECT_TRUE(AssignWave(p.page, 2, 3, a));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 16);
}

TEST(WavePage, RemainingSpaceShowsMinusOneWhenOvercommitted) {
  Page p;
  const std::string a = p.files.Wave("a.wav", 40000);  // 44 KB
  EXPECT_TRUE(AssignWave(p.page, 0, 1, a));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 44);
  // A 4 Mbit flash: 48 KB plain keeps the table, 19 KB with checksum growth is less
  // than what is counted.
  p.host.freeWithGrowthKb = 19;
  p.page.FlashSizeChanged(48);
  EXPECT_EQ(p.page.remainingSpaceText, "4KB");
  EXPECT_EQ(p.page.soundTable[0].event, 1);
  EXPECT_TRUE(AssignWave(p.page, 1, 2, a));  // shares the file: nothing to add
  EXPECT_EQ(p.page.remainingSpaceText, "-1KB");

  // A tone takes no space and is still accepted; a new file is refused.
  auto dlg = p.page.BeginEdit(2);
  dlg->event.Select(5);
  dlg->OnKindChanged(1);
  SoundEffectEntry out;
  ASSERT_FALSE(dlg->Ok(Typed({}, *dlg), out));
  EXPECT_TRUE(p.page.CommitEdit(2, out));
  EXPECT_EQ(p.page.soundTable[2].kind, 1);
  EXPECT_FALSE(AssignWave(p.page, 3, 6, p.files.Wave("b.wav", 10)));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 44);
}

TEST(WavePage, RefusedFileLeavesTheRemainingSpaceBoxAsItWas) {
  // After a flash-type change the box shows the plain free space, while the fit check
  // measures against the space with checksum growth.
  Page p;
  p.host.freeWithGrowthKb = 19;
  p.page.FlashSizeChanged(48);
  EXPECT_EQ(p.page.remainingSpaceText, "48KB");
  EXPECT_FALSE(AssignWave(p.page, 0, 1, p.files.Wave("big.wav", 3855 * 5)));  // 24 KB
  EXPECT_EQ(p.host.sink.messages, (std::vector<std::string>{"File is too big,   no space in flash!"}));
  EXPECT_EQ(p.page.usedPromptSpaceKb, 0);
  EXPECT_EQ(p.page.remainingSpaceText, "48KB");
  // A file that fits rewrites it from the fit check's free space.
  EXPECT_TRUE(AssignWave(p.page, 0, 1, p.files.Wave("small.wav", 1)));
  EXPECT_EQ(p.page.remainingSpaceText, "15KB");
}

TEST(WavePage, FlashSizeChangeEmptiesTheTableOnlyWhenItNoLongerFits) {
  Page p;
  EXPECT_TRUE(AssignWave(p.page, 0, 1, p.files.Wave("a.wav", 30000)));  // 32 KB
  p.page.FlashSizeChanged(496);
  EXPECT_EQ(p.page.remainingSpaceText, "464KB");
  p.page.FlashSizeChanged(32);
  EXPECT_EQ(p.page.soundTable[0].event, 1);
  EXPECT_EQ(p.page.remainingSpaceText, "0KB");
  p.page.FlashSizeChanged(31);
  EXPECT_EQ(p.page.soundTable[0], SoundEffectEntry{});
  EXPECT_EQ(p.page.usedPromptSpaceKb, 0);
  EXPECT_EQ(p.page.remainingSpaceText, "31KB");
  EXPECT_EQ(p.page.RowTexts(0), CPageWave::EmptyRowTexts());
}

TEST(WavePage, LoadRecountsFromZeroAndRefusesWhatNoLongerFits) {
  Page p;
  p.host.freeWithGrowthKb = 19;
  p.page.usedPromptSpaceKb = 100;  // whatever was counted before the load
  p.page.soundTable[0] = WaveEntry(1, "same.wav", 5000);   // 8 KB, shared with entry 4
  p.page.soundTable[2] = ToneEntry(3);
  p.page.soundTable[4] = WaveEntry(5, "same.wav", 5000);
  p.page.soundTable[5] = WaveEntry(6, "other.wav", 5000);  // 8 KB: 16 in all
  p.page.soundTable[6] = WaveEntry(7, "third.wav", 100);   // 4 KB more: refused
  p.page.soundTable[7] = WaveEntry(8, "fourth.wav", 200, 0);  // disabled, still counted: refused
  ConfigRecord rec;
  p.page.RestoreFrom(rec);
  EXPECT_EQ(p.page.usedPromptSpaceKb, 16);
  EXPECT_EQ(p.page.soundTable[0].event, 1);
  EXPECT_EQ(p.page.soundTable[4].event, 5);
  EXPECT_EQ(p.page.soundTable[5].event, 6);
  EXPECT_EQ(p.page.soundTable[6], SoundEffectEntry{});
  EXPECT_EQ(p.page.soundTable[7], SoundEffectEntry{});
  EXPECT_EQ(p.host.sink.messages.size(), 2u);  // one message per refused entry
  EXPECT_EQ(p.page.remainingSpaceText, "3KB");
  EXPECT_EQ(p.page.RowTexts(2)[1], "DTMF TONE mode: 0, pattern: 1");
}

TEST(WavePage, RestoreTakesTheLanguage) {
  Page p;
  ConfigRecord rec;
  rec.bytes[rec::prompt_language] = 0;
  p.page.language.Select(-1);
  p.page.RestoreFrom(rec);
  EXPECT_EQ(p.page.language.selected, 0);
  rec.bytes[rec::prompt_language] = 3;  // no such language: nothing selected
  p.page.RestoreFrom(rec);
  EXPECT_EQ(p.page.language.selected, -1);
}

TEST(WavePage, CollectStoresTheLanguageSelection) {
  Page p;
  ConfigRecord rec;
  rec.bytes.fill(0xEE);
  p.page.CollectInto(rec, 512, 463 * 1024, nullptr, nullptr);
  EXPECT_EQ(rec.bytes[rec::prompt_language], 0);
  // A loaded index the selector does not offer leaves it unselected, stored as 0xFF.
  rec.bytes[rec::prompt_language] = 3;
  p.page.RestoreFrom(rec);
  ConfigRecord again;
  p.page.CollectInto(again, 512, 463 * 1024, nullptr, nullptr);
  EXPECT_EQ(again.bytes[rec::prompt_language], 0xFF);
}

TEST(AudioDialog, EnableFlagOutsideTheListStaysEnabled) {
  // A table loaded from a file may hold any non-zero flag: the selector then shows
  // neither entry, and OK keeps the prompt enabled with its size.
  WaveFiles files;
  SoundEffectEntry loaded = WaveEntry(1, files.Wave("a.wav", 5000), 5000, 2);
  CAudioConfigDlg dlg(loaded, nullptr);
  EXPECT_EQ(dlg.enable.selected, -1);
  SoundEffectEntry out;
  ASSERT_FALSE(dlg.Ok(Typed({}, dlg), out));
  EXPECT_NE(out.enabled, 0);
  EXPECT_EQ(out.fileSize, 5000);

  // "Disable" still clears the flag and the size; "Enable" sets 1.
  dlg.enable.Select(1);
  ASSERT_FALSE(dlg.Ok(Typed({}, dlg), out));
  EXPECT_EQ(out.enabled, 0);
  EXPECT_EQ(out.fileSize, 0);
  dlg.enable.Select(0);
  ASSERT_FALSE(dlg.Ok(Typed({}, dlg), out));
  EXPECT_EQ(out.enabled, 1);
  EXPECT_EQ(out.fileSize, 5000);
}

TEST(AudioDialog, ToneWithoutFileAndGainNegation) {
  Page p;
  p.page.soundTable[4] = ToneEntry(9);
  auto dlg = p.page.BeginEdit(4);
  ASSERT_TRUE(dlg);
  EXPECT_EQ(dlg->event.Text(), "HFP REJECT");
  EXPECT_EQ(dlg->kind.Text(), "DTMF tone");
  EXPECT_EQ(dlg->enable.Text(), "Enable");
  EXPECT_EQ(dlg->ControlText(CAudioConfigDlg::kF1GainId), "-3");
  EXPECT_EQ(dlg->ControlText(CAudioConfigDlg::kF2GainId), "-15");
  EXPECT_EQ(dlg->ControlText(CAudioConfigDlg::kBrowseId), "wave文件");
  EXPECT_TRUE(dlg->DtmfControlsEnabled());
  EXPECT_FALSE(dlg->PathControlsEnabled());

  SoundEffectEntry out;
  ASSERT_FALSE(dlg->Ok(Typed({{CAudioConfigDlg::kF1GainId, "0"}, {CAudioConfigDlg::kF2StepId, "65535"}}, *dlg), out));
  // The path box is empty: the file is reported, the tone is stored anyway.
  EXPECT_EQ(p.host.sink.messages, (std::vector<std::string>{"cant open the file"}));
  SoundEffectEntry want = ToneEntry(9);
  want.f1Gain = 0;
  want.f2Step = 65535;
  EXPECT_EQ(out, want);
  EXPECT_TRUE(p.page.CommitEdit(4, out));

  // A tone keeps no path or size; a wave keeps no tone fields.
  dlg = p.page.BeginEdit(4);
  dlg->path = "leftover.wav";
  dlg->fileSize = 77;
  EXPECT_EQ(dlg->BuildEntry().PathText(), "");
  EXPECT_EQ(dlg->BuildEntry().fileSize, 0);
  dlg->OnKindChanged(0);
  EXPECT_TRUE(dlg->PathControlsEnabled());
  SoundEffectEntry wave = dlg->BuildEntry();
  EXPECT_EQ(wave.PathText(), "leftover.wav");
  EXPECT_EQ(wave.f1Step, 0u);
  EXPECT_EQ(wave.f2Gain, 0);
  EXPECT_EQ(wave.duration, 0u);
}

TEST(AudioDialog, FileSizingAndPaths) {
  WaveFiles files;
  RecordingSink sink;
  CAudioConfigDlg dlg(SoundEffectEntry{}, &sink);
  dlg.event.Select(1);
  EXPECT_TRUE(dlg.Browse(files.Wave("one.wav", 1234)));
  EXPECT_EQ(dlg.fileSize, 1234);

  // Too short for the size field: size 0.
  EXPECT_TRUE(dlg.Browse(files.Raw("short.wav", std::vector<uint8_t>(43, 0xFF))));
  EXPECT_EQ(dlg.fileSize, 0);
  // A 44-byte header is enough.
  std::vector<uint8_t> h(44, 0);
  PutU32(h.data(), 40, 99);
  EXPECT_TRUE(dlg.Browse(files.Raw("header.wav", h)));
  EXPECT_EQ(dlg.fileSize, 99);

  // A file gone by the time OK is pressed: reported, size 0, entry still stored.
  EXPECT_TRUE(dlg.Browse(files.Missing()));
  EXPECT_EQ(dlg.fileSize, 0);
  EXPECT_TRUE(sink.messages.empty());  // Browse says nothing
  SoundEffectEntry out;
  ASSERT_FALSE(dlg.Ok(Typed({}, dlg), out));
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"cant open the file"}));
  EXPECT_EQ(out.PathText(), files.Missing());
  EXPECT_EQ(out.event, 1);

  // The INVALID event takes no space even with a real file.
  EXPECT_TRUE(dlg.Browse(files.Wave("two.wav", 5000)));
  dlg.event.Select(0);
  ASSERT_FALSE(dlg.Ok(Typed({}, dlg), out));
  EXPECT_EQ(out.fileSize, 0);

  // A path that cannot be stored whole is refused, not cut to name another file.
  const std::string before = dlg.path;
  EXPECT_FALSE(dlg.Browse(std::string(256, 'a')));
  EXPECT_EQ(dlg.path, before);
  EXPECT_EQ(sink.messages.size(), 2u);
  EXPECT_TRUE(dlg.Browse(files.Wave(std::string(100, 'b') + ".wav", 7)));
}

TEST(AudioDialog, FieldLimits) {
  CAudioConfigDlg dlg(ToneEntry(1), nullptr);
  SoundEffectEntry out;
  using D = CAudioConfigDlg;
  auto err = dlg.Ok(Typed({{D::kDurationId, "16"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1103, "“请填入一个在0和15之间的整数。”"}));
  err = dlg.Ok(Typed({{D::kPauseId, "-1"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1104, "“请填入一个正整数。”"}));
  err = dlg.Ok(Typed({{D::kF1GainId, "1"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1105, "“请填入一个在-15和0之间的整数。”"}));
  err = dlg.Ok(Typed({{D::kF2GainId, "x"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1108, "请键入一个整数。"}));
  err = dlg.Ok(Typed({{D::kF1StepId, "65536"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1106, "“请填入一个在0和65535之间的整数。”"}));
  err = dlg.Ok(Typed({{D::kF2StepId, "abc"}}, dlg), out);
  EXPECT_EQ(*err, (FieldError{1109, "“请填入一个正整数。”"}));
  EXPECT_EQ(out, SoundEffectEntry{});  // untouched by every refused OK
  EXPECT_FALSE(dlg.Ok(Typed({{D::kDurationId, "15"}, {D::kPauseId, "0"}, {D::kF1GainId, "-15"}}, dlg), out));
  EXPECT_EQ(out.duration, 15u);
  EXPECT_EQ(out.f1Gain, 15);
}

// Records what the placement asks the file layer to load.
struct LoadCall {
  std::string path;
  uint32_t offset;
  uint32_t max;
  bool operator==(const LoadCall&) const = default;
};
struct RecordingLoader {
  std::vector<LoadCall> calls;
  PromptLoader Fn() {
    return [this](const PromptPlacement& p) { calls.push_back({p.path, p.byteOffset, p.maxLength}); };
  }
};

TEST(PromptPlacement, SharingAndAdvance) {
  CPageWave page;
  page.soundTable[0] = WaveEntry(1, "a.wav", 4096);  // 32 units
  page.soundTable[1] = ToneEntry(2);
  page.soundTable[2] = WaveEntry(3, "a.wav", 4096);  // shares entry 0's data
  page.soundTable[3] = WaveEntry(4, "b.wav", 4095);  // 16 units
  page.soundTable[4] = WaveEntry(5, "A.wav", 0);     // names differ in case: own data
  page.soundTable[5] = WaveEntry(6, "c.wav", 100, 0);  // disabled: skipped
  page.soundTable[6] = WaveEntry(44, "d.wav", 100);    // no slot for event 44: skipped
  ConfigRecord rec;
  rec.bytes.fill(0xEE);
  RecordingLoader loader;
  uint32_t area = 0;
  EXPECT_TRUE(page.CollectInto(rec, 512, 463 * 1024, loader.Fn(), &area));
  const uint8_t* r = rec.data();

  EXPECT_EQ(loader.calls, (std::vector<LoadCall>{{"a.wav", 0x81000, 463 * 1024},
                                                 {"b.wav", 0x83000, 463 * 1024},
                                                 {"A.wav", 0x84000, 463 * 1024}}));
  auto slot = [&](int e) { return rec::PromptSlotOffset(e); };
  EXPECT_EQ(r[slot(1)], 1);
  EXPECT_EQ(r[slot(1) + 1], 0);
  EXPECT_EQ(GetU16(r, slot(1) + 2), 0x810);
  EXPECT_EQ(GetU32(r, slot(1) + 4), 0u);
  EXPECT_EQ(GetU32(r, slot(1) + 8), 0u);
  EXPECT_EQ(GetU16(r, slot(3) + 2), 0x810);
  EXPECT_EQ(GetU16(r, slot(4) + 2), 0x830);
  EXPECT_EQ(GetU16(r, slot(5) + 2), 0x840);
  EXPECT_EQ(area, (0x850u - 0x810u) * 256);
  // The tone slot.
  EXPECT_EQ(r[slot(2)], 1);
  EXPECT_EQ(r[slot(2) + 1], 1);
  EXPECT_EQ(GetU16(r, slot(2) + 2), 0);
  EXPECT_EQ(GetU32(r, slot(2) + 4), 0x03E807D0u);
  EXPECT_EQ(GetU32(r, slot(2) + 8), 0x0003F497u);
  // Slots without an enabled entry are zero; nothing outside the slots is touched.
  EXPECT_EQ(r[slot(6)], 0);
  EXPECT_EQ(r[slot(43) + 11], 0);
  EXPECT_EQ(r[rec::prompt_language], 0xFF);  // a page never initialised has no language selected
  EXPECT_EQ(r[rec::led0_gpio], 0xEE);

  // A 448 KB code area starts the prompts at 0x71000.
  loader.calls.clear();
  page.CollectInto(rec, 448, 19 * 1024, loader.Fn(), &area);
  EXPECT_EQ(loader.calls.front().offset, 0x71000u);
  EXPECT_EQ(GetU16(r, slot(1) + 2), 0x710);
}

TEST(PromptPlacement, LaterEntriesRewriteTheWholeSlot) {
  CPageWave page;
  page.soundTable[0] = ToneEntry(1);
  page.soundTable[1] = WaveEntry(1, "a.wav", 10);  // replaces the tone in slot 1
  page.soundTable[2] = WaveEntry(2, "b.wav", 10);
  page.soundTable[3] = ToneEntry(2);               // replaces the wave in slot 2
  page.soundTable[4] = WaveEntry(7, "a.wav", 10);
  page.soundTable[5] = WaveEntry(7, "c.wav", 10);  // slot 7 now names c.wav's data
  page.soundTable[6] = WaveEntry(8, "a.wav", 10);  // still a.wav's data, not c.wav's
  ConfigRecord rec;
  RecordingLoader loader;
  uint32_t area = 0;
  page.CollectInto(rec, 512, 463 * 1024, loader.Fn(), &area);
  const uint8_t* r = rec.data();
  auto slot = [&](int e) { return rec::PromptSlotOffset(e); };
  EXPECT_EQ(r[slot(1) + 1], 0);
  EXPECT_EQ(GetU16(r, slot(1) + 2), 0x810);
  EXPECT_EQ(GetU32(r, slot(1) + 4), 0u);
  EXPECT_EQ(GetU32(r, slot(1) + 8), 0u);
  EXPECT_EQ(r[slot(2) + 1], 1);
  EXPECT_EQ(GetU16(r, slot(2) + 2), 0);  // b.wav still took its space
  EXPECT_EQ(GetU32(r, slot(2) + 4), 0x03E807D0u);
  EXPECT_EQ(GetU16(r, slot(7) + 2), 0x830);
  EXPECT_EQ(GetU16(r, slot(8) + 2), 0x810);
  EXPECT_EQ(loader.calls.size(), 3u);
  EXPECT_EQ(area, 3u * 16 * 256);
}

TEST(PromptPlacement, ReportsAnAreaPastTheLimit) {
  CPageWave page;
  page.soundTable[0] = WaveEntry(1, "a.wav", 10000);  // 48 units = 12 KB
  page.soundTable[1] = WaveEntry(2, "b.wav", -9000);  // a damaged size takes one block
  page.soundTable[2] = WaveEntry(3, "c.wav", 10);
  ConfigRecord rec;
  RecordingLoader loader;
  uint32_t area = 0;
  EXPECT_FALSE(page.CollectInto(rec, 448, 12 * 1024, loader.Fn(), &area));
  EXPECT_EQ(area, (48u + 16 + 16) * 256);
  EXPECT_EQ(GetU16(rec.data(), rec::PromptSlotOffset(2) + 2), 0x710 + 48);
  EXPECT_EQ(GetU16(rec.data(), rec::PromptSlotOffset(3) + 2), 0x710 + 64);
  EXPECT_EQ(loader.calls.size(), 3u);  // every file is still handed on
  EXPECT_TRUE(page.CollectInto(rec, 448, 20 * 1024, loader.Fn(), &area));
}

}  // namespace
}  // namespace tessera
