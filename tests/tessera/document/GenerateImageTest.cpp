// Generate image: the record in the image is the record of the configuration file, the
// CRC image checks block by block, prompts land at their slots' addresses, and bad
// input writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "DocumentFixture.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ImageBuilder.h"

namespace tessera::testing {
namespace {

const std::string kSamples = QR_SAMPLES_DIR;

// Every 34-byte block carries the CRC of its 32 bytes, high byte first, and the last
// four bytes are the check value of the blocks after the first 32 KiB.
void ExpectCrcImageChecks(const std::vector<uint8_t>& plain, const std::vector<uint8_t>& crc) {
  const size_t blocks = (plain.size() + 31) / 32;
  ASSERT_EQ(crc.size(), blocks * 34 + 4);
  for (size_t k = 0; k < blocks; ++k) {
    const uint8_t* b = crc.data() + 34 * k;
    ASSERT_TRUE(std::equal(b, b + 32, plain.begin() + static_cast<ptrdiff_t>(32 * k)))
        << "block " << k;
    const uint16_t c = Crc16CmsBitwise(b, 32);
    ASSERT_EQ(b[32], c >> 8) << "block " << k;
    ASSERT_EQ(b[33], c & 0xFF) << "block " << k;
  }
  EXPECT_EQ(GetU32(crc.data(), blocks * 34),
            ImageChecksum(crc.data() + 34816, blocks * 34 - 34816));
}

SoundEffectEntry WaveEntry(int event, const std::string& path) {
  SoundEffectEntry e;
  e.enabled = 1;
  e.event = event;
  e.kind = 0;
  e.SetPath(path);
  const auto head = ReadBytes(path);
  e.fileSize = static_cast<int32_t>(GetU32(head.data(), 40));
  return e;
}

TEST_F(DocumentTest, ImageCarriesTheConfigurationRecordAndChecksBlockByBlock) {
  view.SetBinPath(kSamples + "/firmware.bin");
  ASSERT_TRUE(view.WriteConfigFile(dir.File("n.cfg")));
  std::string summary;
  ASSERT_TRUE(view.GenerateImage(dir.File("QR5830.IMG"), &summary));
  const auto cfg = ReadBytes(dir.File("n.cfg"));
  const auto img = ReadBytes(dir.File("QR5830.IMG"));
  const auto bin = ReadBytes(view.binPath);
  ASSERT_EQ(img.size(), 0x81000u);  // no prompts: code area and configuration sector
  EXPECT_TRUE(std::equal(bin.begin(), bin.end(), img.begin()));
  EXPECT_TRUE(std::all_of(img.begin() + static_cast<ptrdiff_t>(bin.size()), img.begin() + 0x80000,
                          [](uint8_t b) { return b == 0xFF; }));
  EXPECT_TRUE(std::equal(cfg.begin(), cfg.begin() + 1178, img.begin() + 0x80000));
  EXPECT_TRUE(
      std::all_of(img.begin() + 0x80000 + 1178, img.end(), [](uint8_t b) { return b == 0xFF; }));
  const auto crc = ReadBytes(dir.File("QR5830_CRC.IMG"));
  ExpectCrcImageChecks(img, crc);
  EXPECT_EQ(ReadBytes(dir.File("QR5830_CRC.QR1")), crc);
  EXPECT_EQ(ReadBytes(dir.File("QR5830_CRC.TU1")), crc);
  EXPECT_EQ(view.imagePath, dir.File("QR5830.IMG"));

  char tail[64];
  std::snprintf(tail, sizeof tail, "CRC Value:  %x\r\n", GetU32(crc.data(), crc.size() - 4));
  EXPECT_EQ(
      summary,
      "Image create OK:\r\norigin CRC bin: " + view.binPath +
          "\r\nBT Config:\r\nBt Address: 0x112233445511\tDevice class: WEARABLE HEADSET\r\n"
          "Device name: QR5830_DEMO00\r\nDefault Pin code: 7391\r\nAuto connection enabled\r\n" +
          tail);
  ASSERT_EQ(sink.messages.size(), 1u);  // the summary, as the window shows it
  EXPECT_EQ(sink.messages[0], summary);
}

TEST_F(DocumentTest, PromptsArePlacedFrom0x81000WithTheirSizeWord) {
  view.SetBinPath(kSamples + "/firmware.bin");
  const std::string on = kSamples + "/prompts/power_on.wav",
                    off = kSamples + "/prompts/power_off.wav";
  Edit(view, [&](DocumentState& s) {
    s.wave.soundTable[0] = WaveEntry(1, on);
    s.wave.soundTable[1] = WaveEntry(4, off);
    s.wave.soundTable[2] = WaveEntry(2, on);  // same file: shares the first one's data
  });
  ASSERT_TRUE(view.GenerateImage(dir.File("p.IMG")));
  const auto img = ReadBytes(dir.File("p.IMG"));
  const auto onFile = ReadBytes(on), offFile = ReadBytes(off);
  const uint32_t onSize = GetU32(onFile.data(), 40), offSize = GetU32(offFile.data(), 40);
  const uint32_t second = 0x81000 + (onSize / 4096 + 1) * 4096;
  const uint32_t end = second + (offSize / 4096 + 1) * 4096;
  ASSERT_EQ(img.size(), end);

  const uint8_t* r = img.data() + 0x80000;
  EXPECT_EQ(GetU16(r, rec::PromptSlotOffset(1) + 2), 0x810u);
  EXPECT_EQ(GetU16(r, rec::PromptSlotOffset(4) + 2), second / 256);
  EXPECT_EQ(GetU16(r, rec::PromptSlotOffset(2) + 2), 0x810u);
  EXPECT_EQ(r[rec::PromptSlotOffset(1)], 1);

  EXPECT_EQ(GetU32(img.data(), 0x81000), onSize);
  EXPECT_TRUE(std::equal(onFile.begin() + 48, onFile.begin() + 44 + onSize, img.begin() + 0x81004));
  EXPECT_EQ(GetU32(img.data(), 0x81000 + onSize), 0u);  // four zero bytes after the data
  EXPECT_EQ(img[0x81000 + onSize + 4], 0xFF);
  EXPECT_EQ(GetU32(img.data(), second), offSize);
  ExpectCrcImageChecks(img, ReadBytes(dir.File("p_CRC.IMG")));
}

TEST_F(DocumentTest, WaveHeaderSizePastTheFileIsCopiedOnlyAsFarAsTheFileGoes) {
  view.SetBinPath(kSamples + "/firmware.bin");
  // A 44-byte header claiming 2 GB of data in front of 1000 sample bytes.
  std::vector<uint8_t> lying(44 + 1000, 0x33);
  PutU32(lying.data(), 40, 0x7FFFFFF0u);
  WriteBytes(dir.File("lying.wav"), lying);
  SoundEffectEntry e = WaveEntry(1, kSamples + "/prompts/power_on.wav");
  e.SetPath(dir.File("lying.wav"));
  e.fileSize = 1000;  // the page recorded what it was shown
  Edit(view, [&](DocumentState& s) {
    s.wave.soundTable[0] = e;
    s.wave.soundTable[1] = WaveEntry(2, kSamples + "/prompts/connected.wav");
  });
  ASSERT_TRUE(view.GenerateImage(dir.File("l.IMG")));
  const auto img = ReadBytes(dir.File("l.IMG"));
  ASSERT_GE(img.size(), 0x82000u + 8);
  EXPECT_EQ(GetU32(img.data(), 0x81000), 1000u);  // the size of the data that is really there
  EXPECT_EQ(img[0x81004], 0x33);
  EXPECT_EQ(GetU32(img.data(), 0x81000 + 1000), 0u);
  EXPECT_EQ(img[0x81000 + 1004], 0xFF);
  // The next prompt (one 4 KiB block later) is intact.
  const auto next = ReadBytes(kSamples + "/prompts/connected.wav");
  EXPECT_EQ(GetU32(img.data(), 0x82000), GetU32(next.data(), 40));
  EXPECT_TRUE(std::equal(next.begin() + 48, next.begin() + 148, img.begin() + 0x82004));
}

TEST_F(DocumentTest, BadInputToGenerateWritesNothing) {
  // A bin file longer than the code area would run into the configuration sector.
  std::vector<uint8_t> big(512 * 1024 + 1, 0x5A);
  WriteBytes(dir.File("big.bin"), big);
  view.SetBinPath(dir.File("big.bin"));
  EXPECT_FALSE(view.GenerateImage(dir.File("x.IMG")));
  EXPECT_NE(sink.messages.back().find("code area"), std::string::npos) << sink.messages.back();

  view.SetBinPath(dir.File("missing.bin"));
  EXPECT_FALSE(view.GenerateImage(dir.File("x.IMG")));
  EXPECT_EQ(sink.messages.back(), "Can not open file");

  // A failing collect.
  Edit(view, [&](DocumentState& s) {
    s.binPath = kSamples + "/firmware.bin";
    s.system.softBoot = 1;
    s.system.externalMos = 1;
  });
  EXPECT_FALSE(view.GenerateImage(dir.File("x.IMG")));
  EXPECT_EQ(sink.messages.back(), "不能同时选中外部MOS开关机和软关机");
  Edit(view, [&](DocumentState& s) { s.system.externalMos = 0; });

  // Two prompts fit the 4 Mbit flash's plain space but not its CRC image.
  ASSERT_TRUE(view.SelectFlashType(0));
  Edit(view, [&](DocumentState& s) {
    s.wave.soundTable[0] = WaveEntry(1, kSamples + "/prompts/power_on.wav");
    s.wave.soundTable[1] = WaveEntry(2, kSamples + "/prompts/connected.wav");
  });
  EXPECT_FALSE(view.GenerateImage(dir.File("x.IMG")));
  EXPECT_EQ(sink.messages.back(), "crc bin file is too large!! ");

  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"big.bin"});
  EXPECT_TRUE(view.imagePath.empty());
}

TEST_F(DocumentTest, SmallFlashImagePutsTheRecordAt0x70000) {
  std::vector<uint8_t> bin(1000, 0x11);
  WriteBytes(dir.File("fw.bin"), bin);
  view.SetBinPath(dir.File("fw.bin"));
  ASSERT_TRUE(view.SelectFlashType(0));
  ASSERT_TRUE(view.WriteConfigFile(dir.File("s.cfg")));
  ASSERT_TRUE(view.GenerateImage(dir.File("s.IMG")));
  const auto img = ReadBytes(dir.File("s.IMG"));
  const auto cfg = ReadBytes(dir.File("s.cfg"));
  ASSERT_EQ(img.size(), 0x71000u);
  EXPECT_TRUE(std::equal(cfg.begin(), cfg.begin() + 1178, img.begin() + 0x70000));
  const auto crc = ReadBytes(dir.File("s_CRC.IMG"));
  EXPECT_EQ(crc.size(), 491780u);
  EXPECT_TRUE(std::equal(cfg.begin(), cfg.begin() + 32, crc.begin() + 487424));
}

// Records what the document tells its views.
struct ChangeLog : DocumentObserver {
  void ControlsChanged(const std::vector<ControlChange>& c) override { changes.insert(changes.end(), c.begin(), c.end()); }
  void Reset() override { ++resets; }
  std::vector<ControlChange> changes;
  int resets = 0;
};

// The window's way: prepared here, built on another thread while the user goes on
// editing, finished here. The image is the one of the prepared state, byte for byte
// what GenerateImage writes for it, and nothing reaches the user before the finish.
TEST_F(DocumentTest, ImageJobBuildsThePreparedStateOnAnotherThread) {
  Edit(view, [&](DocumentState& s) {
    s.binPath = kSamples + "/firmware.bin";
    s.wave.soundTable[0] = WaveEntry(1, kSamples + "/prompts/power_on.wav");
  });
  ASSERT_TRUE(view.GenerateImage(dir.File("direct.IMG")));
  sink.messages.clear();
  const DocumentState prepared = view.Snapshot();
  ChangeLog log;
  view.AddObserver(&log);

  CTesseraView::ImageJob job = view.PrepareImage(dir.File("job.IMG"));
  // Edits made while the build runs belong to the next image.
  Edit(view, [&](DocumentState& s) {
    s.bluetooth.deviceName = "CHANGED_LATER";
    s.binPath = dir.File("missing.bin");
  });
  std::thread worker([&job] { job.Run(); });
  worker.join();
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_TRUE(log.changes.empty());
  EXPECT_EQ(view.imagePath, dir.File("direct.IMG"));

  std::string summary;
  ASSERT_TRUE(view.FinishImage(job, &summary));
  EXPECT_EQ(sink.messages, std::vector<std::string>{summary});
  EXPECT_NE(summary.find("Device name: QR5830_DEMO00"), std::string::npos) << summary;
  EXPECT_EQ(view.imagePath, dir.File("job.IMG"));
  EXPECT_EQ(log.changes, (std::vector<ControlChange>{{PageId::Main, CTesseraView::kIdImagePath, true, false, false}}));
  for (const char* suffix : {".IMG", "_CRC.IMG", "_CRC.QR1", "_CRC.TU1"})
    EXPECT_EQ(ReadBytes(dir.File(std::string("job") + suffix)), ReadBytes(dir.File(std::string("direct") + suffix)))
        << suffix;
  // The build had a document of its own: the one prepared from is as it was left.
  EXPECT_EQ(view.bluetooth.deviceName, "CHANGED_LATER");
  EXPECT_EQ(prepared.bluetooth.deviceName, "QR5830_DEMO00");
  view.RemoveObserver(&log);
}

// A failing build: its messages in the order raised, only when finished; the image
// path box keeps the last image, and no file is written.
TEST_F(DocumentTest, FailedImageJobDeliversItsMessagesAtTheFinish) {
  struct Case {
    const char* name;
    void (*setUp)(CTesseraView&, const std::string& dir);
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"missing bin", [](CTesseraView& v, const std::string& d) { v.SetBinPath(d + "/missing.bin"); },
       {"Can not open file"}},
      {"failing collect",
       [](CTesseraView& v, const std::string&) {
         Edit(v, [&](DocumentState& s) {
           s.binPath = kSamples + "/firmware.bin";
           s.system.softBoot = 1;
           s.system.externalMos = 1;
         });
       },
       {"不能同时选中外部MOS开关机和软关机"}},
      {"missing prompt, then too large for the CRC image",
       [](CTesseraView& v, const std::string& d) {
         v.SetBinPath(kSamples + "/firmware.bin");
         ASSERT_TRUE(v.SelectFlashType(0));
         Edit(v, [&](DocumentState& s) {
           s.wave.soundTable[0] = WaveEntry(1, kSamples + "/prompts/power_on.wav");
           s.wave.soundTable[1] = WaveEntry(2, kSamples + "/prompts/connected.wav");
           s.wave.soundTable[2] = WaveEntry(3, kSamples + "/prompts/power_off.wav");
           s.wave.soundTable[2].SetPath(d + "/gone.wav");
         });
       },
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingSink s;
    CTesseraView v(s);
    v.OnInitialUpdate();
    c.setUp(v, dir.Path().string());
    s.messages.clear();
    // The same build in one call, for the messages to expect.
    RecordingSink directSink;
    CTesseraView direct(directSink);
    direct.Restore(v.Snapshot());
    EXPECT_FALSE(direct.GenerateImage(dir.File("x.IMG")));
    const std::vector<std::string> expected = c.messages.empty() ? directSink.messages : c.messages;
    ASSERT_FALSE(expected.empty());
    if (!c.messages.empty()) {
      EXPECT_EQ(directSink.messages, c.messages);
    }

    CTesseraView::ImageJob job = v.PrepareImage(dir.File("x.IMG"));
    std::thread worker([&job] { EXPECT_FALSE(job.Run()); });
    worker.join();
    EXPECT_TRUE(s.messages.empty());
    EXPECT_FALSE(v.FinishImage(job));
    EXPECT_EQ(s.messages, expected);
    EXPECT_TRUE(v.imagePath.empty());
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tessera::testing

namespace tessera::testing {
namespace {

// A prompt file rewritten after it was chosen no longer fits the blocks its recorded
// size reserved: the window refuses the build and names the entry. Up to the end of
// its place (the zero tail may reach three bytes past it, as for any size 4093 to
// 4095 past a 4 KiB boundary) it still builds.
TEST_F(DocumentTest, PromptThatOutgrewItsPlaceRefusesTheBuildNamingTheEntry) {
  view.SetBinPath(kSamples + "/firmware.bin");
  const auto wave = [](uint32_t n) {
    std::vector<uint8_t> f(44 + n, 0x5A);
    PutU32(f.data(), 40, n);
    return f;
  };
  WriteBytes(dir.File("a.wav"), wave(4095));
  Edit(view, [&](DocumentState& s) {
    s.wave.soundTable[3] = WaveEntry(1, dir.File("a.wav"));  // 4095: one block
    s.wave.soundTable[4] = WaveEntry(2, kSamples + "/prompts/connected.wav");
  });
  ASSERT_TRUE(view.GenerateImage(dir.File("ok.IMG"), nullptr, false)) << sink.messages.size();
  EXPECT_EQ(GetU32(ReadBytes(dir.File("ok.IMG")).data(), 0x82000),
            GetU32(ReadBytes(kSamples + "/prompts/connected.wav").data(), 40));

  WriteBytes(dir.File("a.wav"), wave(4096));  // one byte more than recorded, past its block
  EXPECT_FALSE(view.GenerateImage(dir.File("grown.IMG")));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Sound effect row 4 (POWER ON, " + dir.File("a.wav") +
                                  "): the file now holds 4096 bytes of wave data, but the "
                                  "configuration recorded 4095 and gave it 4096 bytes of flash; its "
                                  "data would run into the next prompt. Nothing was written: choose "
                                  "the file again on the Sound effect page, then generate the image.");
  EXPECT_FALSE(std::filesystem::exists(dir.File("grown.IMG")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("grown_CRC.IMG")));

  // The window's build goes on without a prompt that cannot be read; the job says so.
  std::filesystem::remove(dir.File("a.wav"));
  CTesseraView::ImageJob job = view.PrepareImage(dir.File("gone.IMG"));
  ASSERT_TRUE(job.Run());
  ASSERT_EQ(job.PromptProblems().size(), 1u);
  EXPECT_EQ(job.PromptProblems()[0].kind, CTesseraView::PromptProblem::Kind::Missing);
  EXPECT_EQ(job.PromptProblems()[0].row, 3);
}

}  // namespace
}  // namespace tessera::testing
