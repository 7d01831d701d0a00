// The production log's rows land whole or not at all: a write cut short by a full disk
// (here: a file-size limit, which cuts a write the same way) leaves the file as it was,
// and a row torn by a crash is cut off when the log is opened again.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <string>

#include "core/ProductionEngine.h"
#include "core/ProductionLog.h"
#include "InProcessTransport.h"
#include "sequence/local/LocalSequence.h"
#include "TestFiles.h"

namespace kestrel::test {
namespace {

ProductionLogRow Row(int slot, const char* address) {
  ProductionLogRow row;
  row.wallTimeMs = 1700000000000;
  row.station = "line-1";
  row.report.slot = slot;
  row.report.adapterId = AdapterId::FromText("1-" + std::to_string(slot));
  row.report.hasAddress = true;
  row.report.address = Addr(address);
  row.imagePath = "/images/product.IMG";
  return row;
}

std::string Text(const std::string& path) {
  const auto bytes = ReadFile(path);
  return std::string(bytes.begin(), bytes.end());
}

#ifndef _WIN32
// A file-size limit in a child process stands in for the full disk.
TEST(ProductionLogRows, FullDiskLeavesNoTornRowAndTheNextRowStartsOnItsOwnLine) {
  TempDir dir;
  const std::string path = dir.File("log.csv");
  const std::string header = std::string(ProductionLog::kHeader) + "\r\n";
  const std::string first = ProductionLog::FormatRow(Row(0, "00:00:00:00:00:01"));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child meets the limit; its exit status says whether the log said so.
    std::signal(SIGXFSZ, SIG_IGN);
    ProductionLog log;
    if (!log.Open(path) || !log.Append(Row(0, "00:00:00:00:00:01"))) _exit(3);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(header.size() + first.size() + 20);
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(log.Append(Row(1, "00:00:00:00:00:02")) ? 4 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the cut row was reported written";
  EXPECT_EQ(Text(path), header + first);

  ProductionLog log;
  ASSERT_TRUE(log.Open(path));
  ASSERT_TRUE(log.Append(Row(2, "00:00:00:00:00:03")));
  EXPECT_EQ(Text(path), header + first + ProductionLog::FormatRow(Row(2, "00:00:00:00:00:03")));
}

#endif

TEST(ProductionLogRows, RowTornByACrashIsCutOffWhenTheLogIsOpenedAgain) {
  TempDir dir;
  const std::string path = dir.File("log.csv");
  const std::string header = std::string(ProductionLog::kHeader) + "\r\n";
  const std::string first = ProductionLog::FormatRow(Row(0, "00:00:00:00:00:01"));
  const std::string torn = ProductionLog::FormatRow(Row(1, "00:00:00:00:00:02")).substr(0, 30);
  const std::string text = header + first + torn;
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
  ProductionLog log;
  ASSERT_TRUE(log.Open(path));
  ASSERT_TRUE(log.Append(Row(2, "00:00:00:00:00:03")));
  EXPECT_EQ(Text(path), header + first + ProductionLog::FormatRow(Row(2, "00:00:00:00:00:03")));
}

// An engine with two boards, an image with a record and a log.
struct LoggedStation {
  FakeClock clock;
  ModelAdapter a{clock}, b{clock};
  InProcessTransport transport;
  EngineEvents events;
  TempDir dir;
  std::unique_ptr<ProductionEngine> engine;
  explicit LoggedStation(uint64_t reserve = 0) {
    transport.adapters = {&a, &b};
    auto image = PatternImage(0x81000);
    PutRecord(image, 0x80000, "N", Addr("00:00:00:00:00:01"));
    WriteFile(dir.File("p.IMG"), image);
    EngineOptions options = WithLocalSequence(dir.File("rb"));
    options.logReserveBytes = reserve;
    engine = std::make_unique<ProductionEngine>(transport, clock, events, options);
    engine->RefreshSlots();
    engine->LoadImage(dir.File("p.IMG"));
  }
};

TEST(ProductionLogStation, LogDiskWithoutRoomStartsNoBoard) {
  LoggedStation s(~uint64_t{0});  // more room than any disk has
  ASSERT_TRUE(s.engine->SetLogFile(s.dir.File("log.csv")));
  ASSERT_TRUE(s.engine->Start(Operation::kBurn));
  s.engine->WaitIdle();
  const DialogView v = s.engine->View();
  EXPECT_EQ(v.lastResult[0], ToInt(SlotResult::kLogUnwritable));
  EXPECT_EQ(v.lastResult[1], ToInt(SlotResult::kLogUnwritable));
  EXPECT_EQ(s.a.Erases() + s.b.Erases(), 0);
  EXPECT_TRUE(v.logStopped);
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_NE(v.sequenceMessage.find("full"), std::string::npos) << v.sequenceMessage;
}

#ifndef _WIN32
TEST(ProductionLogStation, RowThatCannotBeWrittenStopsTheStationBeforeTheNextBoard) {
  LoggedStation s;
  // A long log already, so the size limit that stops its next row leaves room for the
  // read-back file (larger than the image) that the board writes first.
  std::string earlier = std::string(ProductionLog::kHeader) + "\r\n";
  while (earlier.size() < 0x100000) earlier += ProductionLog::FormatRow(Row(0, "00:00:00:00:00:01"));
  WriteFile(s.dir.File("log.csv"), std::vector<uint8_t>(earlier.begin(), earlier.end()));
  ASSERT_TRUE(s.engine->SetLogFile(s.dir.File("log.csv")));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(std::filesystem::file_size(s.dir.File("log.csv")) + 10);
    setrlimit(RLIMIT_FSIZE, &limit);
    s.engine->SetSlotTicked(1, false);
    if (!s.engine->Start(Operation::kBurn)) _exit(3);
    s.engine->WaitIdle();
    const DialogView v = s.engine->View();
    if (v.lastResult[0] != 0 || !v.logFailed || !v.logStopped) _exit(4);  // the running board finished
    if (s.engine->Start(Operation::kBurn)) _exit(5);                       // and no next board starts
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Text(s.dir.File("log.csv")), earlier);
}
#endif

}  // namespace
}  // namespace kestrel::test
