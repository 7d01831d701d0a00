// The engine and the command line against the adapter simulator: real sockets, real
// time, the simulator's faults. Skipped when the simulator is not built.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include "../transport/SimProcess.h"
#include "core/ProductionEngine.h"
#include "sequence/local/LocalSequence.h"
#include "core/SteadyClock.h"
#include "TestFiles.h"

#if __has_include("transport/sim/SimTransport.h")
#include "transport/sim/SimTransport.h"
#define HAVE_SIM_TRANSPORT 1
#endif

namespace kestrel::test {
namespace {

using kestrel::testing::SimProcess;

// The programs are defined by the build but only exist once built (a sanitizer build of
// the test binary alone has neither).
bool SimBuilt() {
#ifdef KESTREL_SIM_PATH
  return std::filesystem::exists(KESTREL_SIM_PATH);
#else
  return false;
#endif
}

bool CliBuilt() {
#ifdef KESTREL_CLI_PATH
  return SimBuilt() && std::filesystem::exists(KESTREL_CLI_PATH);
#else
  return false;
#endif
}

std::vector<uint8_t> RecordImage(size_t length) {
  auto image = PatternImage(length);
  PutRecord(image, 0x80000, "QR_SPEAKER", Addr("00:00:00:00:00:01"));
  return image;
}

#ifdef HAVE_SIM_TRANSPORT
TEST(SimFaultRun, EachFaultFailsItsOwnSlotOnly) {
  SimProcess sim;
  if (!SimBuilt()) GTEST_SKIP() << "simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "4", "--flash-kb", "1024", "--fault", "0:read-fail-once",
                         "--fault", "1:flip=4660", "--fault", "2:drop-data=3", "--fault", "3:vanish=200000"}));
  TempDir dir;
  const auto image = RecordImage(0x81000);
  WriteFile(dir.File("image.IMG"), image);
  SimTransport transport(sim.dir());
  SteadyClock clock;
  EngineEvents events;
  ProductionEngine engine(transport, clock, events, WithLocalSequence(dir.File("rb"), ReadLimits{}));
  engine.RefreshSlots();
  ASSERT_EQ(engine.DeviceCount(), 4);
  ASSERT_EQ(engine.LoadImage(dir.File("image.IMG")), ImageError::kNone);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(engine.Start(Operation::kBurn));
  engine.WaitIdle();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const DialogView v = engine.View();
  EXPECT_EQ(First4(v.lastResult), (std::array<int, 4>{0, 4, 4, 3}));
  // The vanished adapter gave up on its own (the run would otherwise hang until the
  // test's timeout); the bound leaves room for a loaded machine and sanitizers.
  RecordProperty("burn_seconds", std::to_string(seconds));
  std::printf("four-slot burn with a vanished adapter: %.2f s\n", seconds);
  EXPECT_LT(seconds, 60.0);
  EXPECT_EQ(v.countLabel, "烧录数量：1");
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:00:05");
  // Board 0 holds the image with one of the four addresses.
  const auto flash = sim.Flash(0);
  ASSERT_GE(flash.size(), image.size());
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 0x80064, flash.begin()));
  EXPECT_TRUE(std::equal(image.begin() + 0x8006A, image.end(), flash.begin() + 0x8006A));
}

// Cuts the image file short as the first slot starts erasing its chip: 50 ms into the
// burn, the moment an operator's copy tool or editor would do it.
class CutImageMidBurn : public EngineEvents {
 public:
  explicit CutImageMidBurn(std::string path) : path_(std::move(path)) {}
  void ProgressRange(int, ProgressPhase phase, uint32_t) override {
    if (phase != ProgressPhase::kErase) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (cut_) return;
    std::filesystem::resize_file(path_, 0x80800);
    cut_ = true;
  }
  bool cut() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cut_;
  }

 private:
  std::string path_;
  std::mutex mutex_;
  bool cut_ = false;
};

TEST(SimImageCopy, FileCutShortMidBurnStillGivesEveryBoardTheLoadedImage) {
  SimProcess sim;
  if (!SimBuilt()) GTEST_SKIP() << "simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "4", "--flash-kb", "1024"}));
  TempDir dir;
  const auto image = RecordImage(0x81000);
  const std::string path = dir.File("image.IMG");
  WriteFile(path, image);
  SimTransport transport(sim.dir());
  SteadyClock clock;
  CutImageMidBurn events(path);
  ProductionEngine engine(transport, clock, events, WithLocalSequence(dir.File("rb"), ReadLimits{}));
  engine.RefreshSlots();
  ASSERT_EQ(engine.LoadImage(path), ImageError::kNone);
  const std::string checksum = engine.View().checksumLabel;
  ASSERT_TRUE(engine.Start(Operation::kBurn));
  engine.WaitIdle();
  ASSERT_TRUE(events.cut());
  const DialogView v = engine.View();
  EXPECT_EQ(First4(v.lastResult), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(v.checksumLabel, checksum);
  std::set<uint8_t> lows;
  for (int n = 0; n < 4; ++n) {
    const auto flash = sim.Flash(n);
    ASSERT_GE(flash.size(), image.size());
    lows.insert(flash[0x80064]);
    auto expected = image;
    std::copy_n(flash.begin() + 0x80064, 6, expected.begin() + 0x80064);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), flash.begin())) << "board " << n;
  }
  EXPECT_EQ(lows, (std::set<uint8_t>{1, 2, 3, 4}));
}

// Waits for the engine's plug notifications.
class PlugEvents : public EngineEvents {
 public:
  void AdaptersChanged(int count) override {
    std::lock_guard<std::mutex> lock(mutex_);
    count_ = count;
    changed_.notify_all();
  }
  // True once a notification reported count (a guard against hanging, not a time bound).
  bool WaitFor(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return count_ == count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = -1;
};

TEST(SimPlug, RowsFollowPlugAndUnplugWithoutBeingAsked) {
  SimProcess sim;
  if (!SimBuilt()) GTEST_SKIP() << "simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "3", "--flash-kb", "512"}));
  SimTransport transport(sim.dir());
  SteadyClock clock;
  PlugEvents events;
  TempDir dir;
  ProductionEngine engine(transport, clock, events, WithLocalSequence(dir.File("rb"), ReadLimits{}));
  engine.RefreshSlots();
  ASSERT_TRUE(engine.WatchAdapters());
  engine.SetSlotTicked(0, false);
  ASSERT_EQ(sim.Control("unplug 1").rfind("ok", 0), 0u);
  ASSERT_TRUE(events.WaitFor(2));
  DialogView v = engine.View();
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, false, false}));
  EXPECT_EQ(v.ticked[0], true);  // re-ticked by the refresh
  ASSERT_EQ(sim.Control("plug 1").rfind("ok", 0), 0u);
  ASSERT_TRUE(events.WaitFor(3));
  v = engine.View();
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, true, false}));
  EXPECT_TRUE(v.readEnabled);
}

TEST(SimFaultRun, UnconfirmedConnectGivesNine) {
  SimProcess sim;
  if (!SimBuilt()) GTEST_SKIP() << "simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "2", "--flash-kb", "512", "--fault", "0:connect=noee", "--fault", "1:connect=ee00"}));
  TempDir dir;
  WriteFile(dir.File("image.IMG"), PatternImage(4000));
  SimTransport transport(sim.dir());
  SteadyClock clock;
  EngineEvents events;
  // The adapter answers Connect once; without 0xEE the next poll waits for a reply that
  // never comes. A short wait keeps the test quick and decides nothing else.
  ReadLimits limits;
  limits.replyWaitMs = 300;
  ProductionEngine engine(transport, clock, events, WithLocalSequence(dir.File("rb"), limits));
  engine.RefreshSlots();
  ASSERT_EQ(engine.LoadImage(dir.File("image.IMG")), ImageError::kNone);
  ASSERT_TRUE(engine.Start(Operation::kBurn));
  engine.WaitIdle();
  EXPECT_EQ(First4(engine.View().lastResult), (std::array<int, 4>{9, 9, -1, -1}));
}
#endif

#ifdef KESTREL_CLI_PATH
// Runs kestrel-cli with args; its exit status and standard output.
int RunCli(const std::string& args, std::string* out) {
  std::string command = std::string(KESTREL_CLI_PATH) + " " + args + " 2>/dev/null";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return -1;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out->append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliRun, BurnsFourBoardsAndCarriesTheNextAddressInTheImage) {
  SimProcess sim;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "4", "--flash-kb", "1024"}));
  TempDir dir;
  const auto image = RecordImage(0x81000);
  WriteFile(dir.File("image.IMG"), image);
  std::string out;
  ASSERT_EQ(RunCli("--sim " + sim.dir() + " --readback-dir " + dir.File("rb") + " burn " + dir.File("image.IMG") +
                       " --address 11:22:33:44:55:66 --log " + dir.File("log/production.csv"),
                   &out),
            0)
      << out;
  // The production log: the header and one row per board, each with its address.
  const auto logBytes = ReadFile(dir.File("log/production.csv"));
  const std::string log(logBytes.begin(), logBytes.end());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 5) << log;
  for (const char* a : {"11:22:33:44:55:66", "11:22:33:44:55:67", "11:22:33:44:55:68", "11:22:33:44:55:69"})
    EXPECT_NE(log.find(std::string(",") + a + ",0,done,"), std::string::npos) << a << "\n" << log;
  EXPECT_NE(out.find("当前地址:\t11:22:33:44:55:6a\n"), std::string::npos) << out;
  EXPECT_NE(out.find("烧录数量：4\n"), std::string::npos) << out;
  std::vector<uint8_t> lows;
  for (int n = 0; n < 4; ++n) {
    const auto flash = sim.Flash(n);
    ASSERT_GE(flash.size(), image.size());
    EXPECT_EQ(std::string(flash.begin() + 0x80034, flash.begin() + 0x8003E), "QR_SPEAKER");
    EXPECT_EQ(flash[0x80065], 0x55);
    lows.push_back(flash[0x80064]);
    EXPECT_EQ(ReadFile(dir.File("rb/flashdev" + std::to_string(n) + ".bin")).size(), image.size());
  }
  std::sort(lows.begin(), lows.end());
  EXPECT_EQ(lows, (std::vector<uint8_t>{0x66, 0x67, 0x68, 0x69}));
  const auto file = ReadFile(dir.File("image.IMG"));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 0x80064, file.begin() + 0x8006A),
            (std::vector<uint8_t>{0x6a, 0x55, 0x44, 0x33, 0x22, 0x11}));
}

TEST(CliRun, FailedSlotsShowOnlyAnAddressTheyWereHanded) {
  SimProcess sim;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "3", "--flash-kb", "1024", "--fault", "0:connect=ee00", "--fault", "1:flip=4660"}));
  TempDir dir;
  WriteFile(dir.File("image.IMG"), RecordImage(0x81000));
  std::string out;
  EXPECT_EQ(RunCli("--sim " + sim.dir() + " --readback-dir " + dir.File("rb") + " burn " + dir.File("image.IMG") +
                       " --address 11:22:33:44:55:66",
                   &out),
            1);
  // Slot 0 never got as far as taking an address; slot 1 took one and failed; slot 2
  // holds the other one.
  EXPECT_NE(out.find("slot 0: result 9 (the adapter did not confirm the connection (check the board))\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("00:00:00:00:00:00"), std::string::npos) << out;
  const bool slot1First = out.find("slot 1: result 4 (verification found a byte that differs), address "
                                   "11:22:33:44:55:66 passed over\n") != std::string::npos;
  const bool slot2First = out.find("slot 2: result 0 (done), address 11:22:33:44:55:66\n") != std::string::npos;
  EXPECT_TRUE(slot1First != slot2First) << out;
  EXPECT_NE(out.find(slot1First ? "slot 2: result 0 (done), address 11:22:33:44:55:67\n"
                                : "address 11:22:33:44:55:67 passed over\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("当前地址:\t11:22:33:44:55:68\n烧录数量：1\n"), std::string::npos) << out;
}

TEST(CliRun, FailedSlotUnknownOptionAndMissingImageAreErrors) {
  SimProcess sim;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(sim.Start({"--boards", "3", "--flash-kb", "512", "--fault", "2:flip=10"}));
  TempDir dir;
  WriteFile(dir.File("image.IMG"), PatternImage(3000));
  const std::string base = "--sim " + sim.dir() + " --readback-dir " + dir.File("rb") + " ";
  std::string out;
  EXPECT_EQ(RunCli(base + "burn " + dir.File("image.IMG") + " --slots 0,1", &out), 0) << out;
  out.clear();
  EXPECT_EQ(RunCli(base + "burn " + dir.File("image.IMG"), &out), 1) << out;
  EXPECT_NE(out.find("slot 2: result 4"), std::string::npos) << out;
  EXPECT_EQ(RunCli(base + "burn " + dir.File("image.IMG") + " --speed 9", &out), 2);
  EXPECT_EQ(RunCli(base + "burn " + dir.File("missing.IMG"), &out), 1);
  EXPECT_EQ(RunCli(base + "read --slots 3", &out), 2);  // no adapter in slot 3
  out.clear();
  EXPECT_EQ(RunCli(base + "read --slots 1", &out), 0) << out;
  EXPECT_EQ(ReadFile(dir.File("rb/flashdev1.bin")).size(), 0x80000u);
}
#endif

}  // namespace
}  // namespace kestrel::test
