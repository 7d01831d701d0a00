// tessera-cli's wait for each answer, on a timer the test fires: nothing here sleeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera/core/link/CommandRun.h"

namespace tessera::link {
namespace {

class FakeTimer : public LinkTimer {
 public:
  int running = -1;
  void Start(int ms) override { running = ms; }
  void Stop() override { running = -1; }
};

struct Rig {
  FakeTimer timer;
  std::vector<std::string> sent;
  CommandRun run;
  explicit Rig(int timeoutMs = 300)
      : run({{"", "CMD+A\""}, {"", "CMD+B\"\r\n"}, {"", "CMD+C\""}},
            [this](const Outgoing& c) { sent.push_back(c.wire); }, timer, timeoutMs) {}
};

TEST(CommandRun, EachCommandWaitsForItsAnswerWhereverItsBytesStand) {
  using Reads = std::vector<std::vector<std::string>>;  // per command, the reads that answer it
  struct Case {
    const char* name;
    Reads reads;
  };
  const std::string nuls(10, '\0');
  const std::vector<Case> cases = {
      {"one read each", {{"CMD+OK\r\n"}, {"CMD+OK\r\n"}, {"CMD+OK\r\n"}}},
      {"behind ten NUL bytes", {{nuls + "CMD+OK\r\n"}, {nuls, "CMD+OK"}, {"CMD+OK"}}},
      {"split with a link check between the pieces",
       {{"CMD+", "LINK+CHECK", "OK\r\n"}, {"CM", "D+O", "K"}, {"LINK+CHECKCMD+OK"}}},
  };
  for (const auto& c : cases) {
    Rig r;
    r.run.Start();
    for (size_t i = 0; i < c.reads.size(); ++i) {
      ASSERT_EQ(r.sent.size(), i + 1) << c.name << ": the next command went before its turn";
      EXPECT_EQ(r.timer.running, 300) << c.name;
      for (const auto& read : c.reads[i]) r.run.BytesArrived(read);
    }
    EXPECT_EQ(r.run.outcome(), CommandRun::Outcome::kAllAnswered) << c.name;
    EXPECT_EQ(r.run.answered(), (std::vector<std::string>{"CMD+A\" -> CMD OK!", "CMD+B\" -> CMD OK!",
                                                          "CMD+C\" -> CMD OK!"}))
        << c.name;
    EXPECT_EQ(r.timer.running, -1) << c.name;
  }
}

TEST(CommandRun, SilenceRefusalAndALostPortEndTheRunNamingTheCommand) {
  Rig silent;
  silent.run.Start();
  silent.run.BytesArrived("CMD+OK");
  silent.run.BytesArrived("LINK+CHECK");  // not an answer
  silent.run.TimedOut();
  EXPECT_EQ(silent.run.outcome(), CommandRun::Outcome::kNoAnswer);
  EXPECT_EQ(silent.run.error(), "CMD+B\": no answer within 300 ms");
  EXPECT_EQ(silent.sent.size(), 2u);
  silent.run.BytesArrived("CMD+OK");  // too late: nothing more is sent
  EXPECT_EQ(silent.sent.size(), 2u);

  Rig refused;
  refused.run.Start();
  refused.run.BytesArrived("CMD+FAIL\r\n");
  EXPECT_EQ(refused.run.outcome(), CommandRun::Outcome::kRefused);
  EXPECT_EQ(refused.run.answered(), (std::vector<std::string>{"CMD+A\" -> CMD FAIL!"}));
  EXPECT_EQ(refused.sent.size(), 1u);

  Rig lost;
  lost.run.Start();
  lost.run.BytesArrived("CMD+OK");
  lost.run.PortLost();
  EXPECT_EQ(lost.run.outcome(), CommandRun::Outcome::kPortLost);
  EXPECT_EQ(lost.run.error(), "CMD+B\": the port went away");
  EXPECT_EQ(lost.timer.running, -1);
}

}  // namespace
}  // namespace tessera::link
