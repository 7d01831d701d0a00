// The two transfer primitives: the order of their checks, their result codes and the
// bounded retrying of failed reads.
#include <gtest/gtest.h>

#include "SlotRig.h"

namespace kestrel::test {
namespace {

TEST(Pipe, LengthOutsideOneTo4096IsRefusedWithoutTransfer) {
  SlotRig rig;
  std::vector<uint8_t> buf(4097, 0xA4);
  size_t n = 99;
  EXPECT_EQ(rig.slot.PipeWrite(buf.data(), 0, &n), TransportResult::kBadLength);
  EXPECT_EQ(rig.slot.PipeWrite(buf.data(), 4097, &n), TransportResult::kBadLength);
  EXPECT_EQ(rig.slot.PipeRead(buf.data(), 0, &n, rig.clock, rig.limits, 100), TransportResult::kBadLength);
  EXPECT_EQ(rig.slot.PipeRead(buf.data(), 4097, &n, rig.clock, rig.limits, 100), TransportResult::kBadLength);
  EXPECT_TRUE(rig.adapter.writes.empty());
  EXPECT_TRUE(rig.adapter.readsAsked.empty());

  EXPECT_EQ(rig.slot.PipeWrite(buf.data(), 4096, &n), TransportResult::kDone);
  EXPECT_EQ(n, 4096u);
  ASSERT_EQ(rig.adapter.writes.size(), 1u);
}

TEST(Pipe, ChecksPointersBeforeHandleBeforeLength) {
  AdapterSlot empty;  // no pipes
  FakeClock clock;
  ReadLimits limits;
  uint8_t b[4];
  size_t n;
  EXPECT_EQ(empty.PipeWrite(nullptr, 0, &n), TransportResult::kBadPointer);
  EXPECT_EQ(empty.PipeWrite(b, 0, nullptr), TransportResult::kBadPointer);
  EXPECT_EQ(empty.PipeWrite(b, 0, &n), TransportResult::kInvalidHandle);
  EXPECT_EQ(empty.PipeRead(nullptr, 0, &n, clock, limits, 10), TransportResult::kBadPointer);
  EXPECT_EQ(empty.PipeRead(b, 0, &n, clock, limits, 10), TransportResult::kInvalidHandle);
}

TEST(Pipe, FailedWriteAnswersFourAtOnce) {
  SlotRig rig;
  rig.adapter.Fault("vanish=0");
  uint8_t b[1] = {0xA3};
  size_t n = 7;
  EXPECT_EQ(rig.slot.PipeWrite(b, 1, &n), TransportResult::kWriteFailed);
  EXPECT_EQ(n, 0u);
}

TEST(Pipe, ReadThatFailsOnceStillDeliversButAnswersTwo) {
  SlotRig rig;
  rig.adapter.Fault("reply-fail-once");
  uint8_t cmd = 0xA3;
  size_t n = 0;
  ASSERT_EQ(rig.slot.PipeWrite(&cmd, 1, &n), TransportResult::kDone);
  uint8_t reply[11] = {};
  EXPECT_EQ(rig.slot.PipeRead(reply, 11, &n, rig.clock, rig.limits, 1000), TransportResult::kReadFailed);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(reply[0], 0xEE);
  EXPECT_EQ(rig.adapter.readsAsked.size(), 2u);
}

TEST(Pipe, FailingReadsGiveUpAfterTheRetryTime) {
  SlotRig rig;
  rig.adapter.Fault("vanish=0");  // every read fails at once, as on a removed adapter
  uint8_t b[16];
  size_t n = 5;
  const int64_t start = rig.clock.NowMs();
  EXPECT_EQ(rig.slot.PipeRead(b, sizeof b, &n, rig.clock, rig.limits, 60000), TransportResult::kReadFailed);
  EXPECT_EQ(n, 0u);
  const int64_t spent = rig.clock.NowMs() - start;
  EXPECT_GE(spent, rig.limits.errorRetryMs);
  EXPECT_LT(spent, rig.limits.errorRetryMs + 100);
}

TEST(Pipe, SilentAdapterIsWaitedForOnlyUntilTheWaitEnds) {
  SlotRig rig;  // nothing pending: the attempt waits out its time
  uint8_t b[16];
  size_t n = 5;
  const int64_t start = rig.clock.NowMs();
  EXPECT_EQ(rig.slot.PipeRead(b, sizeof b, &n, rig.clock, rig.limits, 800), TransportResult::kReadFailed);
  EXPECT_EQ(rig.clock.NowMs() - start, 800);
  EXPECT_EQ(rig.adapter.readsAsked.size(), 1u);
}

}  // namespace
}  // namespace kestrel::test
