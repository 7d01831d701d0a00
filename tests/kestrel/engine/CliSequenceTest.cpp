// kestrel-cli and the image's own address sequence, as a line engineer meets it: two runs
// on one image, a damaged record, a read-only image, the end of a range. Each simulated
// board's flash gets a mark of zeros first (the simulator maps the file it reads): a board
// whose mark is still there was never erased.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "../transport/SimProcess.h"
#include "sequence/local/LocalSequence.h"
#include "sequence/local/SequenceFiles.h"
#include "TestFiles.h"

namespace kestrel::test {
namespace {

using kestrel::testing::SimProcess;

bool CliBuilt() {
#if defined(KESTREL_CLI_PATH) && defined(KESTREL_SIM_PATH)
  return std::filesystem::exists(KESTREL_CLI_PATH) && std::filesystem::exists(KESTREL_SIM_PATH);
#else
  return false;
#endif
}

#ifdef KESTREL_CLI_PATH
// Runs kestrel-cli with args; its exit status, stdout and stderr in *out.
int RunCli(const std::string& args, std::string* out) {
  FILE* p = popen((std::string(KESTREL_CLI_PATH) + " " + args + " 2>&1").c_str(), "r");
  if (p == nullptr) return -1;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out->append(buf, n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> RecordImage(const char* address) {
  auto image = PatternImage(0x81000);
  PutRecord(image, 0x80000, "QR_SPEAKER", Addr(address));
  return image;
}

constexpr long kMarkAt = 0xF0000;  // past every image here

void Mark(const SimProcess& sim, int boards) {
  for (int n = 0; n < boards; ++n) {
    std::fstream f(sim.dir() + "/board" + std::to_string(n) + ".bin", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(kMarkAt);
    const char zeros[16] = {};
    f.write(zeros, sizeof zeros);
  }
}

bool Erased(const SimProcess& sim, int board) {
  const auto flash = sim.Flash(board);
  return flash.size() > kMarkAt && flash[kMarkAt] == 0xFF;
}

struct Line {
  SimProcess sim;
  TempDir dir;
  std::string image = dir.File("line.IMG");
  bool Start(int boards, const char* address = "00:00:00:00:00:01") {
    WriteFile(image, RecordImage(address));
    if (!sim.Start({"--boards", std::to_string(boards), "--flash-kb", "1024"})) return false;
    Mark(sim, boards);
    return true;
  }
  std::string Base() const { return "--sim " + sim.dir() + " --readback-dir " + dir.File("rb") + " "; }
  BtAddress FileAddress() const {
    const auto f = ReadFile(image);
    BtAddress a;
    std::copy_n(f.begin() + 0x80064, 6, a.bytes.begin());
    return a;
  }
};

TEST(CliSequence, SecondProcessOnTheImageIsRefusedNamingTheHolderAndErasesNothing) {
  Line line;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(line.Start(2));
  ImageInfo info;
  ASSERT_EQ(ImageFile::Inspect(line.image, &info), ImageError::kNone);
  std::string message;
  auto held = LocalSequence::OpenForImage(line.image, info, &message);  // this process holds it
  ASSERT_TRUE(held) << message;
  std::string out;
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image, &out), 1) << out;
  EXPECT_NE(out.find("in use by process " + HostName() + " " + std::to_string(::getpid())), std::string::npos)
      << out;
  EXPECT_FALSE(Erased(line.sim, 0));
  EXPECT_FALSE(Erased(line.sim, 1));
  EXPECT_EQ(line.FileAddress(), Addr("00:00:00:00:00:01"));
  held->Release();
  out.clear();
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image, &out), 0) << out;
  EXPECT_EQ(line.FileAddress(), Addr("00:00:00:00:00:03"));
}

// Two runs started together, each with its own adapters: whichever way they meet, no
// address reaches two boards.
TEST(CliSequence, TwoRunsStartedTogetherNeverShareAnAddress) {
  Line a;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(a.Start(4));
  SimProcess other;
  ASSERT_TRUE(other.Start({"--boards", "4", "--flash-kb", "1024", "--rate", "500000"}));
  std::string out1, out2;
  const std::string args = " --readback-dir " + a.dir.File("rb") + " burn " + a.image;
  std::thread first([&] { RunCli("--sim " + a.sim.dir() + args, &out1); });
  RunCli("--sim " + other.dir() + args, &out2);
  first.join();
  std::multiset<std::string> given;
  int complete = 0;
  for (const SimProcess* s : {&a.sim, &other}) {
    for (int n = 0; n < 4; ++n) {
      const auto flash = s->Flash(n);
      if (flash.size() < 0x8006A || flash[0x80000] != 1) continue;
      ++complete;
      BtAddress addr;
      std::copy_n(flash.begin() + 0x80064, 6, addr.bytes.begin());
      given.insert(addr.DisplayText());
    }
  }
  EXPECT_GE(complete, 4) << out1 << out2;
  EXPECT_EQ(std::set<std::string>(given.begin(), given.end()).size(), given.size()) << out1 << out2;
}

TEST(CliSequence, DamagedRecordIsRefusedAndNothingBurned) {
  Line line;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(line.Start(2));
  auto image = RecordImage("00:00:00:00:00:01");
  image[0x80000] = 0;
  WriteFile(line.image, image);
  std::string out;
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image, &out), 1) << out;
  EXPECT_NE(out.find("config_valid at 0x80000 is 0, not 1"), std::string::npos) << out;
  EXPECT_FALSE(Erased(line.sim, 0));
  EXPECT_FALSE(Erased(line.sim, 1));
}

TEST(CliSequence, ReadOnlyImageErasesNoBoard) {
  Line line;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(line.Start(2));
  ::chmod(line.image.c_str(), 0444);
  std::string out;
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image, &out), 1) << out;
  EXPECT_NE(out.find("read-only"), std::string::npos) << out;
  EXPECT_FALSE(Erased(line.sim, 0));
  EXPECT_FALSE(Erased(line.sim, 1));
}

TEST(CliSequence, RangeEndRefusesThePastTheEndBoardsAndALaterRun) {
  Line line;
  if (!CliBuilt()) GTEST_SKIP() << "kestrel-cli or the simulator not built";
  ASSERT_TRUE(line.Start(3));
  std::string out;
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image + " --address 00:1a:7d:00:00:10 --last 00:1a:7d:00:00:11",
                   &out),
            1)
      << out;
  EXPECT_NE(out.find("0 left"), std::string::npos) << out;
  int erased = 0;
  for (int n = 0; n < 3; ++n) erased += Erased(line.sim, n);
  EXPECT_EQ(erased, 2) << out;
  EXPECT_EQ(line.FileAddress(), Addr("00:1a:7d:00:00:12"));
  out.clear();
  Mark(line.sim, 3);
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image, &out), 1) << out;
  EXPECT_NE(out.find("used up"), std::string::npos) << out;
  for (int n = 0; n < 3; ++n) EXPECT_FALSE(Erased(line.sim, n)) << n;
  EXPECT_EQ(line.FileAddress(), Addr("00:1a:7d:00:00:12"));
  // The very top of the address space ends there too: no wrap to 00:00:00:00:00:00.
  out.clear();
  EXPECT_EQ(RunCli(line.Base() + "burn " + line.image + " --address ff:ff:ff:ff:ff:fe", &out), 1) << out;
  EXPECT_EQ(out.find("00:00:00:00:00:00"), std::string::npos) << out;
}
#endif

}  // namespace
}  // namespace kestrel::test
