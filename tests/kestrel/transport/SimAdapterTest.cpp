#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "SimHost.h"
#include "SimProcess.h"
#include "transport/sim/SimTransport.h"

namespace kestrel {
namespace {

using testing::Pattern;
using testing::SimHost;
using testing::SimProcess;

class SimAdapterTest : public ::testing::Test {
 protected:
  // Starts the simulator with small boards and opens adapter 0.
  void StartSim(std::vector<std::string> args, int boards = 1) {
    if (!SimProcess::Available()) GTEST_SKIP() << "kestrel-adapter-sim not built";
    std::vector<std::string> all = {"--boards", std::to_string(boards), "--flash-kb", "64", "--erase-ms", "5"};
    all.insert(all.end(), args.begin(), args.end());
    ASSERT_TRUE(sim_.Start(all));
    transport_ = std::make_unique<SimTransport>(sim_.dir());
    ASSERT_TRUE(host_.Open(*transport_, 0));
  }

  std::vector<uint8_t> Command(const std::vector<uint8_t>& packet, size_t replyMax) {
    EXPECT_TRUE(host_.Send(packet));
    auto r = host_.ReadOnce(replyMax);
    EXPECT_TRUE(r.has_value());
    return r.value_or(std::vector<uint8_t>{});
  }

  void Erase() {
    auto r = Command({0xA5}, 2);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0], 0xEE);
  }

  SimProcess sim_;
  std::unique_ptr<SimTransport> transport_;
  SimHost host_;
};

TEST_F(SimAdapterTest, FlashStartsErasedAtTheGivenSize) {
  StartSim({});
  std::vector<uint8_t> flash = sim_.Flash(0);
  ASSERT_EQ(flash.size(), 64u * 1024);
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
}

TEST_F(SimAdapterTest, ConnectReleaseAndRegisterRepliesHaveTheirLengths) {
  StartSim({});
  auto c = Command({0xA3}, 11);
  ASSERT_EQ(c.size(), 11u);
  EXPECT_EQ(c[0], 0xEE);
  EXPECT_EQ(c[1], 0x03);
  auto longForm = Command({0xA2, 0x1C, 0x10, 0x80, 0x00, 8, 0, 0, 0}, 2);
  ASSERT_EQ(longForm.size(), 2u);
  EXPECT_EQ(longForm[0], 0xEE);
  auto shortForm = Command({0xA2, 0x00, 0x02, 0x00, 0x00}, 5);
  EXPECT_EQ(shortForm, (std::vector<uint8_t>{0xEE, 0x00, 0x02, 0x00, 0x00}));
  auto r = Command({0xA4}, 11);
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r[0], 0xEE);
  // Nothing is left over to confuse the next reply.
  EXPECT_FALSE(host_.ReadOnce(11, 50));
}

// Images around the packet and batch boundaries: 61 bytes (start + one AB of 1 byte),
// 120 (AB with exactly 60), one full 2048-byte batch, one batch and one more packet, and
// an image that does not fit one read.
TEST_F(SimAdapterTest, ProgramsImagesAndReadsThemBack) {
  StartSim({});
  for (size_t len : {size_t{1}, size_t{60}, size_t{61}, size_t{120}, size_t{60 + 32 * 60},
                     size_t{60 + 32 * 60 + 1}, size_t{10000}}) {
    SCOPED_TRACE(len);
    Erase();
    std::vector<uint8_t> image = Pattern(len, static_cast<uint32_t>(len));
    ASSERT_TRUE(host_.Program(image));
    auto back = host_.ReadFlash(len);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, image);
    std::vector<uint8_t> flash = sim_.Flash(0);
    ASSERT_GE(flash.size(), len + 1);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    // The filler of the last packet is not data.
    EXPECT_EQ(flash[len], 0xFF);
  }
}

TEST_F(SimAdapterTest, ReadFlashSendsExactlyTheLengthAsked) {
  StartSim({});
  auto data = host_.ReadFlash(5000);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->size(), 5000u);
  EXPECT_FALSE(host_.ReadOnce(2048, 50));
}

TEST_F(SimAdapterTest, EraseSetsTheWholeFlashToFF) {
  StartSim({});
  ASSERT_TRUE(host_.Program(std::vector<uint8_t>(3000, 0x00)));
  ASSERT_TRUE(host_.ReadFlash(1));  // programming is done once the adapter answers
  ASSERT_EQ(sim_.Flash(0)[2999], 0x00);
  Erase();
  std::vector<uint8_t> flash = sim_.Flash(0);
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
}

TEST_F(SimAdapterTest, ProgrammingWithoutEraseOnlyClearsBits) {
  StartSim({});
  ASSERT_TRUE(host_.Program(std::vector<uint8_t>(100, 0xF0)));
  ASSERT_TRUE(host_.Program(std::vector<uint8_t>(100, 0x3C)));
  auto back = host_.ReadFlash(100);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, std::vector<uint8_t>(100, 0x30));
}

TEST_F(SimAdapterTest, MalformedTransfersAreIgnored) {
  StartSim({});
  ASSERT_TRUE(host_.Send({0x00, 0x01, 0x02}));          // unknown command
  ASSERT_TRUE(host_.Send({0xA2, 0x01}));                // register write of no known form
  ASSERT_TRUE(host_.Send({0xA9, 0x10, 0x00}));          // torn start packet
  ASSERT_TRUE(host_.Send(std::vector<uint8_t>(64, 0xAA)));  // data without a start
  ASSERT_TRUE(host_.Send({0xAC, 0x01}));                // torn read command
  EXPECT_FALSE(host_.ReadOnce(11, 50));
  auto c = Command({0xA3}, 11);
  ASSERT_EQ(c.size(), 11u);
  EXPECT_EQ(c[1], 0x03);
  std::vector<uint8_t> flash = sim_.Flash(0);
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));
}

// Whatever a host sends, the adapter stays up and answers the next Connect. (ReadFlash is
// left out: a random 24-bit length would make it stream megabytes nobody reads.)
TEST_F(SimAdapterTest, SurvivesRandomTransfers) {
  StartSim({});
  const uint8_t ops[] = {0xA2, 0xA3, 0xA4, 0xA5, 0xA9, 0xAA, 0xAB, 0x00, 0xFF};
  std::vector<uint8_t> noise = Pattern(300 * 4096, 42);
  size_t cursor = 0;
  for (int i = 0; i < 300; ++i) {
    size_t len = 1 + (noise[cursor] | noise[cursor + 1] << 8) % 4096;
    std::vector<uint8_t> packet(noise.begin() + static_cast<long>(cursor), noise.begin() + static_cast<long>(cursor + len));
    for (size_t p = 0; p < packet.size(); p += 64) {
      packet[p] = ops[packet[p] % sizeof ops];
    }
    cursor += len;
    ASSERT_TRUE(host_.Send(packet)) << i;
  }
  int drained = 0;
  while (host_.ReadOnce(4096, 200)) ASSERT_LT(++drained, 10000) << "the simulator never stops sending";
  EXPECT_EQ(sim_.Control("status"), "ok plugged");
  auto c = Command({0xA3}, 11);
  ASSERT_EQ(c.size(), 11u);
  EXPECT_EQ(c[1], 0x03);
}

TEST_F(SimAdapterTest, ConnectFaultsNeverConfirm) {
  StartSim({"--fault", "0:connect=ee00"});
  auto r = Command({0xA3}, 11);
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[0], 0xEE);
  EXPECT_EQ(r[1], 0x00);

  ASSERT_EQ(sim_.Control("fault 0 connect=noee"), "ok");
  r = Command({0xA3}, 11);
  ASSERT_GE(r.size(), 2u);
  EXPECT_NE(r[0], 0xEE);
  EXPECT_NE(r[1], 0x03);

  ASSERT_EQ(sim_.Control("fault 0 connect=noreply"), "ok");
  ASSERT_TRUE(host_.Send({0xA3}));
  EXPECT_FALSE(host_.ReadOnce(11, 100));

  ASSERT_EQ(sim_.Control("clear 0"), "ok");
  r = Command({0xA3}, 11);
  ASSERT_GE(r.size(), 2u);
  EXPECT_EQ(r[1], 0x03);
}

// The answer faults the engine tests use in process work the same over the socket.
TEST_F(SimAdapterTest, AnswerFaultsShapeWhatTheAdapterSendsBack) {
  StartSim({"--fault", "0:erase=noreply"});
  ASSERT_TRUE(host_.Program(Pattern(100, 3)));
  ASSERT_TRUE(host_.Send({0xA5}));
  EXPECT_FALSE(host_.ReadOnce(2, 300));  // no answer, yet the chip was erased
  auto flash = sim_.Flash(0);
  EXPECT_EQ(std::count(flash.begin(), flash.end(), 0xFF), static_cast<long>(flash.size()));

  ASSERT_EQ(sim_.Control("fault 0 erase=noee"), "ok");
  ASSERT_EQ(sim_.Control("fault 0 replies=3"), "ok");
  ASSERT_TRUE(host_.Send({0xA5}));
  for (int i = 0; i < 3; ++i) {
    auto r = host_.ReadOnce(2);
    ASSERT_TRUE(r.has_value()) << i;
    EXPECT_EQ(*r, (std::vector<uint8_t>{0x00, 0x00}));
  }
  EXPECT_FALSE(host_.ReadOnce(2, 100));

  ASSERT_EQ(sim_.Control("clear 0"), "ok");
  ASSERT_EQ(sim_.Control("fault 0 connect=unacked"), "ok");
  ASSERT_EQ(sim_.Control("fault 0 reply-fail-once"), "ok");
  ASSERT_TRUE(host_.Send({0xA3}));
  EXPECT_FALSE(host_.ReadOnce(11));  // the transfer before the answer fails on the bus
  auto c = host_.ReadOnce(11);
  ASSERT_TRUE(c.has_value());
  ASSERT_EQ(c->size(), 11u);
  EXPECT_EQ((*c)[0], 0x00);
  EXPECT_EQ((*c)[1], 0x03);

  ASSERT_EQ(sim_.Control("fault 0 read-stop=100"), "ok");
  ASSERT_TRUE(host_.Send({0xAC, 0x00, 0x10, 0x00}));
  auto part = host_.ReadOnce(2048);
  ASSERT_TRUE(part.has_value());
  EXPECT_EQ(part->size(), 100u);
  EXPECT_FALSE(host_.ReadOnce(2048, 100));  // then silence; the adapter stays
  EXPECT_EQ(Command({0xA3}, 11).size(), 11u);
}

TEST_F(SimAdapterTest, ReadFailsOnceThenDeliversEverything) {
  StartSim({"--fault", "0:read-fail-once=2"});
  std::vector<uint8_t> image = Pattern(6000, 7);
  Erase();
  ASSERT_TRUE(host_.Program(image));
  int failures = 0;
  auto back = host_.ReadFlash(image.size(), &failures, 5);
  ASSERT_TRUE(back);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(*back, image);
  // Only once.
  back = host_.ReadFlash(image.size(), &failures, 5);
  ASSERT_TRUE(back);
  EXPECT_EQ(failures, 0);
}

TEST_F(SimAdapterTest, DroppedDataPacketShowsInTheReadBack) {
  StartSim({"--fault", "0:drop-data=2"});
  std::vector<uint8_t> image = Pattern(300, 3);
  Erase();
  ASSERT_TRUE(host_.Program(image));
  auto back = host_.ReadFlash(image.size());
  ASSERT_TRUE(back);
  // Start packet and first data packet arrive; the second is lost, so the third lands
  // where the second belonged.
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 120, back->begin()));
  EXPECT_TRUE(std::equal(image.begin() + 180, image.begin() + 240, back->begin() + 120));
  EXPECT_NE(*back, image);
}

TEST_F(SimAdapterTest, FlippedByteAfterProgramming) {
  StartSim({"--fault", "0:flip=70"});
  std::vector<uint8_t> image = Pattern(200, 9);
  Erase();
  ASSERT_TRUE(host_.Program(image));
  auto back = host_.ReadFlash(image.size());
  ASSERT_TRUE(back);
  std::vector<uint8_t> expected = image;
  expected[70] ^= 0x01;
  EXPECT_EQ(*back, expected);
}

TEST_F(SimAdapterTest, AdapterVanishesAfterItsByteBudget) {
  StartSim({"--fault", "0:vanish=3000"}, 2);
  ASSERT_EQ(transport_->CountInterfaces(), 2);
  // 4 bytes out, then the read-back stops at 2996 bytes and the adapter is gone.
  int failures = 0;
  EXPECT_FALSE(host_.ReadFlash(8192, &failures, 0));
  EXPECT_EQ(transport_->CountInterfaces(), 1);
  EXPECT_FALSE(std::filesystem::exists(sim_.dir() + "/adapter0.sock"));
  EXPECT_EQ(transport_->GetInterfaceInfo(0).devicePath, sim_.dir() + "/adapter1.sock");
  // Plugged back it is sound again.
  ASSERT_EQ(sim_.Control("plug 0"), "ok");
  ASSERT_EQ(transport_->CountInterfaces(), 2);
  SimHost again;
  ASSERT_TRUE(again.Open(*transport_, 0));
  EXPECT_TRUE(again.ReadFlash(8192));
}

TEST_F(SimAdapterTest, ByteBudgetSetWhileRunningCountsFromThen) {
  StartSim({});
  ASSERT_TRUE(host_.ReadFlash(8192));
  ASSERT_EQ(sim_.Control("fault 0 vanish=5000"), "ok");
  ASSERT_TRUE(host_.ReadFlash(4000));  // 4004 bytes of 5000
  EXPECT_EQ(transport_->CountInterfaces(), 1);
  EXPECT_FALSE(host_.ReadFlash(4000));
  EXPECT_EQ(transport_->CountInterfaces(), 0);
}

TEST_F(SimAdapterTest, UnplugDuringARateLimitedReadEndsItPromptly) {
  StartSim({"--rate", "20000"});
  ASSERT_TRUE(host_.Send({0xAC, 0x00, 0x00, 0x01}));  // 64 KiB: three seconds at this rate
  ASSERT_TRUE(host_.ReadOnce(2048));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(sim_.Control("unplug 0"), "ok");
  // The read still has about three seconds to go: well before that counts as prompt.
  const auto unplugMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  RecordProperty("unplug_ms", static_cast<int>(unplugMs));
  EXPECT_LT(unplugMs, 2500);
  int failures = 0;
  EXPECT_FALSE(host_.ReadExactly(64 * 1024, &failures, 0));
}

TEST_F(SimAdapterTest, FourBoardsBurnInParallel) {
  StartSim({}, 4);
  std::vector<std::vector<uint8_t>> results(4);
  std::vector<std::thread> workers;
  std::vector<SimHost> hosts(4);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(hosts[i].Open(*transport_, i));
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([&, i] {
      SimHost& h = hosts[static_cast<size_t>(i)];
      std::vector<uint8_t> image = Pattern(20000, static_cast<uint32_t>(100 + i));
      if (!h.Send({0xA5}) || !h.ReadOnce(2) || !h.Program(image)) return;
      auto back = h.ReadFlash(image.size());
      if (back && *back == image) results[static_cast<size_t>(i)] = *back;
    });
  }
  for (auto& w : workers) w.join();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(results[static_cast<size_t>(i)].size(), 20000u) << "board " << i;
    EXPECT_EQ(sim_.Flash(i)[0], Pattern(20000, static_cast<uint32_t>(100 + i))[0]);
  }
}

TEST_F(SimAdapterTest, ControlRejectsWhatItDoesNotKnow) {
  StartSim({});
  EXPECT_EQ(sim_.Control("status"), "ok plugged");
  EXPECT_EQ(sim_.Control("unplug 7").rfind("error", 0), 0u);
  EXPECT_EQ(sim_.Control("fault 0 connect=maybe").rfind("error", 0), 0u);
  EXPECT_EQ(sim_.Control("fly 0").rfind("error", 0), 0u);
  EXPECT_EQ(sim_.Control("unplug 0"), "ok");
  EXPECT_EQ(sim_.Control("status"), "ok unplugged");
}

TEST_F(SimAdapterTest, TerminationRemovesTheSockets) {
  StartSim({}, 2);
  int status = sim_.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(std::filesystem::exists(sim_.dir() + "/adapter0.sock"));
  EXPECT_FALSE(std::filesystem::exists(sim_.dir() + "/adapter1.sock"));
  EXPECT_FALSE(std::filesystem::exists(sim_.dir() + "/control.sock"));
  // The boards' flash stays behind for inspection.
  EXPECT_TRUE(std::filesystem::exists(sim_.dir() + "/board1.bin"));
}

TEST(SimOptions, BadCommandLinesAreRefused) {
  if (!SimProcess::Available()) GTEST_SKIP() << "kestrel-adapter-sim not built";
  for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
           {"--boards", "0"},
           {"--boards", "2", "--fault", "2:flip"},
           {"--boards", "1", "--fault", "0:connect=sometimes"},
           {"--boards", "1", "--fault", "0:replies=0"},
           {"--boards", "1", "--fault", "0:erase=later"},
           {"--boards", "1", "--flash-kb", "x"},
           {"--boards", "1", "--speed", "3"},
           {}}) {
    SimProcess sim;
    EXPECT_FALSE(sim.Start(args));
    int status = sim.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
  }
}

}  // namespace
}  // namespace kestrel
