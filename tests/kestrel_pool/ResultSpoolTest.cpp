// The local spool of results: whole lines only, even after a write cut short.
#include <gtest/gtest.h>

#include <fstream>

#include "sequence/postgres/ResultSpool.h"
#include "support/TempDir.h"

namespace kestrel::pool {
namespace {

SpooledResult Result(uint8_t last, SpooledResult::Kind kind) {
  SpooledResult r;
  r.kind = kind;
  r.record.address.bytes = {last, 0, 0, 0x7d, 0x1a, 0};
  r.record.station = "line\t4\\b";
  r.record.slot = 3;
  r.record.adapter = AdapterId::FromText("1-2.3\n");
  r.record.imageChecksum = 0xfffffffe;
  r.record.result = "4";
  r.record.startedUnixMs = 1;
  r.record.finishedUnixMs = 2;
  r.record.toolVersion = "1.2";
  return r;
}

TEST(ResultSpool, KeepsWholeLinesAndDropsACutOne) {
  qrtest::TempDir dir("spool");
  ResultSpool spool(dir.File("s.spool"));
  std::string error;
  EXPECT_TRUE(spool.Pending(&error).empty());
  EXPECT_TRUE(error.empty()) << error;
  ASSERT_TRUE(spool.Append(Result(1, SpooledResult::Kind::kProgrammed), &error)) << error;
  // A power cut in the middle of the next line.
  std::ofstream(dir.File("s.spool"), std::ios::app) << "v1\tprogrammed\t00:1a:7d";
  ASSERT_TRUE(spool.Append(Result(2, SpooledResult::Kind::kWasted), &error)) << error;

  const auto pending = spool.Pending(&error);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].record.station, "line\t4\\b");  // escaped and back
  EXPECT_EQ(pending[0].record.adapter.text(), "1-2.3\n");
  EXPECT_EQ(pending[0].record.imageChecksum, 0xfffffffeu);
  EXPECT_EQ(pending[1].kind, SpooledResult::Kind::kWasted);
  EXPECT_EQ(pending[1].record.address.bytes[0], 2);

  // A refused send keeps everything; a complete replay empties the file.
  int sent = 0;
  EXPECT_FALSE(spool.Replay([](const SpooledResult& r) { return r.record.address.bytes[0] == 1; }, &sent, &error));
  EXPECT_EQ(sent, 1);
  EXPECT_EQ(spool.Pending(&error).size(), 2u);
  std::vector<int> order;
  EXPECT_TRUE(spool.Replay([&](const SpooledResult& r) { return order.push_back(r.record.address.bytes[0]), true; },
                           &sent, &error));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_TRUE(spool.Pending(&error).empty());
}

TEST(ResultSpool, IsNotWrittenThroughALink) {
  qrtest::TempDir dir("spool");
  std::ofstream(dir.File("victim")) << "keep";
  std::filesystem::create_symlink(dir.File("victim"), dir.File("s.spool"));
  ResultSpool spool(dir.File("s.spool"));
  std::string error;
  EXPECT_FALSE(spool.Append(Result(1, SpooledResult::Kind::kProgrammed), &error));
  std::ifstream in(dir.File("victim"));
  std::string text;
  in >> text;
  EXPECT_EQ(text, "keep");
}

}  // namespace
}  // namespace kestrel::pool
