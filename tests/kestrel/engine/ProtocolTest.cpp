// The adapter command set: packet layouts, reply polling with its fixed waits, the
// program/verify flow of one slot and its failures.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <numeric>

#include "core/ImageFile.h"
#include "SlotRig.h"

namespace kestrel::test {
namespace {

// Runs ProgramFlash on a fresh rig for an image of the given length.
struct Programmed {
  SlotRig rig;
  SlotResult result;
  explicit Programmed(size_t length) {
    rig.UseImage(PatternImage(length));
    result = rig.Protocol().ProgramFlash();
  }
};

TEST(ProtocolPackets, SixtyOneBytesGoAsStartPacketAndOneLastPacketOfOneByte) {
  Programmed p(61);
  ASSERT_EQ(p.result, SlotResult::kDone);
  const auto& start = p.rig.adapter.writes.at(0);
  ASSERT_EQ(start.size(), 64u);
  EXPECT_EQ(start[0], 0xA9);
  EXPECT_EQ(start[1], 61);
  EXPECT_EQ(start[2], 0);
  EXPECT_EQ(start[3], 0);
  const auto image = PatternImage(61);
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 60, start.begin() + 4));
  auto data = p.rig.DataWrites();
  ASSERT_EQ(data.size(), 1u);
  ASSERT_EQ(data[0].size(), 64u);
  EXPECT_EQ(data[0][0], 0xAB);
  EXPECT_EQ(data[0][1], image[60]);
  EXPECT_TRUE(std::all_of(data[0].begin() + 2, data[0].end(), [](uint8_t b) { return b == 0; }));
}

TEST(ProtocolPackets, ExactlySixtyRemainingBytesGoAsLastPacket) {
  Programmed p(120);
  ASSERT_EQ(p.result, SlotResult::kDone);
  auto data = p.rig.DataWrites();
  ASSERT_EQ(data.size(), 1u);
  EXPECT_EQ(data[0][0], 0xAB);
  const auto image = PatternImage(120);
  EXPECT_TRUE(std::equal(image.begin() + 60, image.end(), data[0].begin() + 1));
}

TEST(ProtocolPackets, ThirtyTwoPacketsFillOneBatchAndOneMoreByteStartsAnother) {
  Programmed full(60 + 32 * 60);
  ASSERT_EQ(full.result, SlotResult::kDone);
  auto data = full.rig.DataWrites();
  ASSERT_EQ(data.size(), 1u);
  ASSERT_EQ(data[0].size(), 2048u);
  EXPECT_EQ(data[0][0], 0xAA);
  EXPECT_EQ(data[0][31 * 64], 0xAB);

  Programmed more(60 + 32 * 60 + 1);
  ASSERT_EQ(more.result, SlotResult::kDone);
  data = more.rig.DataWrites();
  ASSERT_EQ(data.size(), 2u);
  EXPECT_EQ(data[0].size(), 2048u);
  EXPECT_EQ(data[0][31 * 64], 0xAA);
  EXPECT_EQ(data[1].size(), 64u);
  EXPECT_EQ(data[1][0], 0xAB);
}

TEST(ProtocolPackets, LengthIsThreeBytesLittleEndian) {
  Programmed p(0x80000);
  ASSERT_EQ(p.result, SlotResult::kDone);
  const auto& start = p.rig.adapter.writes.at(0);
  EXPECT_EQ(start[1], 0x00);
  EXPECT_EQ(start[2], 0x00);
  EXPECT_EQ(start[3], 0x08);
}

TEST(ProtocolPackets, ImageShorterThanSixtyBytesIsPaddedWithZeros) {
  Programmed p(10);
  ASSERT_EQ(p.result, SlotResult::kDone);
  const auto& start = p.rig.adapter.writes.at(0);
  EXPECT_EQ(start[1], 10);
  EXPECT_TRUE(std::all_of(start.begin() + 14, start.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(p.rig.DataWrites().empty());
}

TEST(ProtocolPackets, RegistersAndShortWordsFollowTheDataInOrder) {
  Programmed p(200);
  ASSERT_EQ(p.result, SlotResult::kDone);
  std::vector<std::vector<uint8_t>> a2;
  for (const auto& w : p.rig.adapter.writes)
    if (w[0] == 0xA2) a2.push_back(w);
  ASSERT_EQ(a2.size(), 8u);
  EXPECT_EQ(a2[0], (std::vector<uint8_t>{0xA2, 0x1C, 0x10, 0x80, 0x00, 8, 0, 0, 0}));
  EXPECT_EQ(a2[3], (std::vector<uint8_t>{0xA2, 0x14, 0x10, 0x80, 0x00, 60, 0, 0, 0}));
  EXPECT_EQ(a2[5], (std::vector<uint8_t>{0xA2, 0x08, 0x10, 0x80, 0x00, 1, 0, 0, 0}));
  EXPECT_EQ(a2[6], (std::vector<uint8_t>{0xA2, 0x20, 0x00, 0x00, 0x00}));
  EXPECT_EQ(a2[7], (std::vector<uint8_t>{0xA2, 0x00, 0x02, 0x00, 0x00}));
  // The read-back request follows, after the adapter's 75 ms.
  EXPECT_EQ(p.rig.adapter.writes.back(), (std::vector<uint8_t>{0xAC, 200, 0, 0}));
  const auto sleeps = p.rig.clock.Sleeps();
  EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 75), sleeps.end());
}

TEST(ProtocolConnect, ConfirmedOnTheFirstReply) {
  SlotRig rig;
  EXPECT_TRUE(rig.Protocol().Connect());
  EXPECT_EQ(rig.adapter.readsAsked, std::vector<size_t>{11});
  EXPECT_EQ(rig.clock.Sleeps(), std::vector<int>{50});
}

TEST(ProtocolConnect, AcknowledgedWithoutConfirmationFails) {
  SlotRig rig;
  rig.adapter.Fault("connect=ee00");
  EXPECT_FALSE(rig.Protocol().Connect());
  EXPECT_EQ(rig.adapter.readsAsked.size(), 1u);
}

TEST(ProtocolConnect, ReplyWithoutAckIsReadThirtyTwoTimesAndTheLastDecides) {
  for (uint8_t second : {uint8_t{0x03}, uint8_t{0x00}}) {
    SlotRig rig;
    // Each Connect packet gets 32 replies, none acknowledging, the second byte as given.
    rig.adapter.Fault(second == 0x03 ? "connect=unacked" : "connect=noee");
    rig.adapter.Fault("replies=32");
    EXPECT_EQ(rig.Protocol().Connect(), second == 0x03);
    EXPECT_EQ(rig.adapter.readsAsked.size(), 32u);
    const auto sleeps = rig.clock.Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 50), 32);
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1), 31);
  }
}

TEST(ProtocolConnect, UnsentPacketFailsWithoutReading) {
  SlotRig rig;
  rig.slot.SetOutPipe(nullptr);
  EXPECT_FALSE(rig.Protocol().Connect());
  EXPECT_TRUE(rig.adapter.readsAsked.empty());
}

TEST(ProtocolErase, DoneEvenWithoutAcknowledgement) {
  SlotRig rig;
  rig.adapter.Fault("erase=noee");  // 32 two-byte replies without 0xEE
  rig.adapter.Fault("replies=32");
  EXPECT_EQ(rig.Protocol().EraseChip(), SlotResult::kDone);
  EXPECT_EQ(rig.adapter.readsAsked.size(), 32u);
  const auto sleeps = rig.clock.Sleeps();
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 5), 31);

  SlotRig silent;
  silent.adapter.Fault("erase=noreply");  // no reply at all
  EXPECT_EQ(silent.Protocol().EraseChip(), SlotResult::kDone);

  SlotRig unsent;
  unsent.slot.SetOutPipe(nullptr);
  EXPECT_EQ(unsent.Protocol().EraseChip(), SlotResult::kAdapterUnusable);
}

// A chip erase that no 0xEE answer confirmed is reported as such, never as done.
TEST(ProtocolErase, ChipEraseWithoutAcknowledgementIsUnconfirmed) {
  SlotRig rig;
  rig.adapter.Fault("erase=noreply");
  EXPECT_EQ(rig.Protocol().EraseSequence(), SlotResult::kEraseUnconfirmed);
  EXPECT_STRNE(SlotResultTextZh(SlotResult::kEraseUnconfirmed), "成功");
  SlotRig acked;
  EXPECT_EQ(acked.Protocol().EraseSequence(), SlotResult::kDone);
}

// The address is handed out after Connect and before the erase; when none can be had
// the board is released untouched.
TEST(ProtocolSequence, BurnTakesItsAddressBeforeErasingAndStopsWithoutOne) {
  SlotRig rig;
  auto image = PatternImage(0x81000);
  PutRecord(image, 0x80000, "NAME", Addr("00:00:00:00:00:01"));
  rig.UseImage(image, true, 0x80000);
  auto p = rig.Protocol();
  int erasesWhenAsked = -1;
  p.SetAddressSource([&](BtAddress*) {
    erasesWhenAsked = rig.adapter.Erases();
    return SlotResult::kNoAddress;
  });
  EXPECT_EQ(p.BurnSequence(), SlotResult::kNoAddress);
  EXPECT_EQ(erasesWhenAsked, 0);
  EXPECT_EQ(rig.adapter.Connects(), 1);
  EXPECT_EQ(rig.adapter.Erases(), 0);
  EXPECT_EQ(rig.adapter.Releases(), 1);
  EXPECT_FALSE(p.ProgramDataSent());
}

TEST(ProtocolRead, StoresTheFlashInTheSlotsReadbackFile) {
  SlotRig rig;
  std::vector<uint8_t> contents(0x100000);
  std::iota(contents.begin(), contents.end(), uint8_t{0});
  rig.adapter.model.LoadFlash(contents);
  std::vector<uint8_t> buf(5000);
  auto protocol = rig.Protocol(2);
  ASSERT_EQ(protocol.ReadFlash(buf.data(), 5000), SlotResult::kDone);
  EXPECT_TRUE(std::equal(buf.begin(), buf.end(), rig.adapter.Flash().begin()));
  EXPECT_EQ(ReadFile(rig.dir.File("readback/flashdev2.bin")), buf);
  EXPECT_EQ(rig.adapter.readsAsked, (std::vector<size_t>{2048, 2048, 904}));
}

TEST(ProtocolRead, FileThatCannotBeCreatedGivesFiveBeforeAnythingIsSent) {
  SlotRig rig;
  WriteFile(rig.dir.File("blocker"), {1});
  std::vector<uint8_t> buf(16);
  DownloadProtocol protocol(0, rig.slot, rig.state, rig.clock, rig.events, rig.limits, rig.dir.File("blocker"));
  EXPECT_EQ(protocol.ReadFlash(buf.data(), 16), SlotResult::kReadbackFileFailed);
  EXPECT_TRUE(rig.adapter.writes.empty());
}

#ifndef _WIN32
// Finding: in a shared read-back folder a link planted at the temporary's name made a
// read overwrite the file it pointed to. Links at every name a process could guess are
// left alone, and so is what they point to.
TEST(ProtocolRead, PlantedLinksInTheReadbackFolderAreNeverFollowed) {
  SlotRig rig;
  const std::string folder = rig.dir.File("readback");
  std::filesystem::create_directories(folder);
  const std::string victim = rig.dir.File("victim");
  WriteFile(victim, {'k', 'e', 'e', 'p'});
  std::vector<std::string> planted = {folder + "/flashdev0.bin.part"};
  for (int n = 0; n < 64; ++n)
    planted.push_back(folder + "/.flashdev0.bin.tmp" + std::to_string(::getpid()) + "." + std::to_string(n));
  for (const std::string& link : planted) std::filesystem::create_symlink(victim, link);
  std::vector<uint8_t> buf(5000);
  ASSERT_EQ(rig.Protocol().ReadFlash(buf.data(), 5000), SlotResult::kDone);
  EXPECT_EQ(ReadFile(victim), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(ReadFile(folder + "/flashdev0.bin"), buf);
  EXPECT_FALSE(std::filesystem::is_symlink(folder + "/flashdev0.bin"));
  size_t entries = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder)) entries += e.path() != folder + "/flashdev0.bin";
  EXPECT_EQ(entries, planted.size());  // no temporary left behind
}
#endif

TEST(ProtocolRead, AdapterThatStopsSendingFailsTheReadInBoundedTime) {
  SlotRig rig;
  rig.adapter.Fault("read-stop=100");  // delivers 100 bytes of 4096, then nothing
  std::vector<uint8_t> buf(4096);
  const int64_t start = rig.clock.NowMs();
  EXPECT_EQ(rig.Protocol().ReadFlash(buf.data(), 4096), SlotResult::kAdapterUnusable);
  EXPECT_LE(rig.clock.NowMs() - start, rig.limits.replyWaitMs + rig.limits.errorRetryMs);
}

TEST(ProtocolProgram, PatchesNameAndAddressOnlyInTheRecordFields) {
  SlotRig rig;
  auto image = PatternImage(0x81000);
  PutRecord(image, 0x80000, "OLDNAME", Addr("00:00:00:00:00:01"));
  rig.UseImage(image, true, 0x80000);
  rig.state.deviceName = std::string(32, 'N');
  rig.state.currentAddress = Addr("11:22:33:44:55:66");
  ASSERT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kDone);
  auto expected = image;
  std::fill_n(expected.begin() + 0x80034, 32, 'N');
  const uint8_t addr[6] = {0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
  std::copy_n(addr, 6, expected.begin() + 0x80064);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rig.adapter.Flash().begin()));
  EXPECT_EQ(rig.handedOut, 1);
  EXPECT_EQ(rig.state.successCount, 1u);
  // The protocol never writes to the image file (the sequence does).
  EXPECT_EQ(ReadFile(rig.state.imagePath), image);
}

TEST(ProtocolProgram, ImageWithoutRecordIsProgrammedUnchanged) {
  SlotRig rig;
  const auto image = PatternImage(0x800A1);
  rig.UseImage(image, false);
  rig.state.currentAddress = Addr("00:00:00:00:00:05");
  ASSERT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kDone);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), rig.adapter.Flash().begin()));
  EXPECT_EQ(rig.handedOut, 0);
}

TEST(ProtocolProgram, FaultsGiveTheirResults) {
  {
    SlotRig rig;
    rig.UseImage(PatternImage(5000));
    rig.adapter.Fault("flip=" + std::to_string(4321));
    EXPECT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kVerifyFailed);
  }
  {
    SlotRig rig;
    rig.UseImage(PatternImage(5000));
    rig.adapter.Fault("drop-data=41");
    EXPECT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kVerifyFailed);
  }
  {
    SlotRig rig;
    rig.state.imagePath = rig.dir.File("missing.bin");
    rig.state.imageLength = 100;
    EXPECT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kImageOpenFailed);
    EXPECT_TRUE(rig.adapter.writes.empty());
  }
  {
    SlotRig rig;
    rig.UseImage(PatternImage(5000));
    rig.adapter.Fault("vanish=3000");  // gone in the middle of the data
    const int64_t start = rig.clock.NowMs();
    EXPECT_EQ(rig.Protocol().ProgramFlash(), SlotResult::kAdapterUnusable);
    EXPECT_LT(rig.clock.NowMs() - start, 1000);
  }
}

TEST(ProtocolSequence, BurnStopsAtTheFirstFailure) {
  {
    SlotRig rig;
    rig.UseImage(PatternImage(300));
    rig.slot.CloseDevice();
    EXPECT_EQ(rig.Protocol().BurnSequence(), SlotResult::kAdapterUnusable);
    EXPECT_TRUE(rig.adapter.writes.empty());
  }
  {
    SlotRig rig;
    rig.UseImage(PatternImage(300));
    rig.adapter.Fault("connect=ee00");
    EXPECT_EQ(rig.Protocol().BurnSequence(), SlotResult::kNotConfirmed);
    EXPECT_EQ(rig.adapter.writes.size(), 1u);  // the Connect alone
  }
  {
    SlotRig rig;
    rig.UseImage(PatternImage(300));
    EXPECT_EQ(rig.Protocol().BurnSequence(), SlotResult::kDone);
    EXPECT_EQ(rig.adapter.Connects(), 1);
    EXPECT_EQ(rig.adapter.Erases(), 1);
    EXPECT_EQ(rig.adapter.Releases(), 1);
  }
}

TEST(ProtocolSequence, EraseSendsAllThreeCommandsEvenWithoutConfirmation) {
  SlotRig rig;
  rig.adapter.Fault("connect=ee00");
  EXPECT_EQ(rig.Protocol().EraseSequence(), SlotResult::kNotConfirmed);
  EXPECT_EQ(rig.adapter.Erases(), 1);
  EXPECT_EQ(rig.adapter.Releases(), 1);
}

TEST(ProtocolSequence, ReadTakesHalfAMegabyte) {
  SlotRig rig;
  ASSERT_EQ(rig.Protocol(1).ReadSequence(), SlotResult::kDone);
  const auto file = ReadFile(rig.dir.File("readback/flashdev1.bin"));
  ASSERT_EQ(file.size(), 0x80000u);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), rig.adapter.Flash().begin()));
  EXPECT_EQ(rig.adapter.Releases(), 1);
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

TEST(ProtocolReadback, FailedReadLeavesThePreviousGoodFileInPlace) {
  SlotRig rig;
  ASSERT_EQ(rig.Protocol().ReadSequence(), SlotResult::kDone);
  const std::string path = rig.dir.File("readback/flashdev0.bin");
  const auto good = ReadFile(path);
  ASSERT_EQ(good.size(), 0x80000u);
  auto changed = rig.adapter.Flash();
  changed[0] ^= 0xFF;
  rig.adapter.model.LoadFlash(changed);
  rig.adapter.Fault("vanish=" + std::to_string(0x40000));  // halfway through the second read
  EXPECT_EQ(rig.Protocol().ReadSequence(), SlotResult::kAdapterUnusable);
  EXPECT_EQ(ReadFile(path), good);
  EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

}  // namespace
}  // namespace kestrel::test
