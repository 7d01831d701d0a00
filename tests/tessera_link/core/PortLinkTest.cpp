// The link's work on its port, on an in-process fake port and a timer the test fires:
// modem lines, link-check answers, bursts, loss of the port. Nothing here sleeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera/core/link/PortLink.h"

namespace tessera::link {
namespace {

class FakePort : public BoardPort {
 public:
  bool opens = true, linesWork = true;
  std::string written;
  std::vector<std::string> calls;  // open, close, the modem lines, with the port's state

  bool Open(const std::string& name) override {
    calls.push_back("open " + name);
    open_ = opens;
    return opens;
  }
  void Close(bool purge) override {
    calls.push_back(purge ? "close" : "close without purge");
    open_ = false;
  }
  bool IsOpen() const override { return open_; }
  bool Write(std::string_view bytes) override {
    written.append(bytes);
    return open_;
  }
  bool SetRequestToSend(bool on) override { return Line(on ? "RTS on" : "RTS off"); }
  bool SetDataTerminalReady(bool on) override { return Line(on ? "DTR on" : "DTR off"); }

  void Arrive(std::string_view bytes) { listener_->BytesArrived(bytes); }
  void Lose() { listener_->PortLost("gone"); }

 private:
  bool Line(const std::string& what) {
    calls.push_back(what + (open_ ? " while open" : " while closed"));
    return linesWork;
  }
  bool open_ = false;
};

class FakeTimer : public LinkTimer {
 public:
  int running = -1;  // the interval it runs with, -1 when stopped
  void Start(int ms) override { running = ms; }
  void Stop() override { running = -1; }
};

class Recorder : public PortLink::Events {
 public:
  std::vector<std::string> bursts;
  int answered = 0;
  std::vector<std::string> lost;
  void Burst(std::string_view bytes) override { bursts.emplace_back(bytes); }
  void LinkCheckAnswered() override { ++answered; }
  void Lost(const std::string& reason) override { lost.push_back(reason); }
};

struct Rig {
  FakePort port;
  FakeTimer timer;
  Recorder events;
  PortLink link{port, timer, events};
  void Fire() {
    ASSERT_EQ(timer.running, PortLink::kBurstSilenceMs);
    timer.Stop();
    link.SilenceElapsed();
  }
};

TEST(PortLink, RtsOffOnceConfiguredDtrDroppedBeforeClosingAndRefusalsAreNoFailure) {
  for (bool linesWork : {true, false}) {
    Rig r;
    r.port.linesWork = linesWork;
    ASSERT_TRUE(r.link.Open("ttyUSB0"));
    r.link.Close();
    EXPECT_EQ(r.port.calls, (std::vector<std::string>{"open ttyUSB0", "RTS off while open", "DTR off while open",
                                                      "close"}))
        << "lines work: " << linesWork;
  }
  Rig r;
  r.port.opens = false;
  EXPECT_FALSE(r.link.Open("ttyUSB9"));
  EXPECT_FALSE(r.link.Open(""));
  EXPECT_EQ(r.port.calls, (std::vector<std::string>{"open ttyUSB9"})) << "nothing more for a port that did not open";
}

TEST(PortLink, LinkChecksAnsweredAtOnceAndTextHandedOnInBursts) {
  struct Case {
    const char* name;
    std::vector<std::string> reads;  // each followed by the silence timer's expiry when fire is set
    bool fire, answers;
    int answersExpected;
    std::vector<std::string> bursts;
  };
  const std::vector<Case> cases = {
      {"probe and reply in one read", {"LINK+CHECKCMD+OK\r\n"}, true, true, 1, {"LINK+CHECKCMD+OK\r\n"}},
      {"probe split over two reads", {"LINK+CH", "ECK"}, true, true, 1, {"LINK+CH", "ECK"}},
      {"reads without silence between make one burst", {"CMD+", "OK\r\n"}, false, true, 0, {"CMD+OK\r\n"}},
      {"NUL bytes are handed on", {std::string("\0\0CMD+OK", 8)}, true, true, 0, {std::string("\0\0CMD+OK", 8)}},
      {"the echo page neither answers nor reads text", {"LINK+CHECK"}, true, false, 0, {}},
  };
  for (const auto& c : cases) {
    Rig r;
    r.link.SetAnswersLinkCheck(c.answers);
    r.link.SetDeliversText(c.answers);
    ASSERT_TRUE(r.link.Open("p"));
    for (const auto& read : c.reads) {
      r.port.Arrive(read);
      if (c.fire && r.timer.running >= 0) r.Fire();
    }
    if (r.timer.running >= 0) r.Fire();
    EXPECT_EQ(r.events.answered, c.answersExpected) << c.name;
    EXPECT_EQ(r.port.written, c.answersExpected == 1 ? "LINK+OK\"" : "") << c.name;
    EXPECT_EQ(r.events.bursts, c.bursts) << c.name;
  }

  // The answer goes out before the burst holding the probe is handed on, and a board
  // that never pauses is handed on 256 bytes at a time.
  Rig r;
  ASSERT_TRUE(r.link.Open("p"));
  r.port.Arrive("LINK+CHECK");
  EXPECT_EQ(r.port.written, "LINK+OK\"");
  EXPECT_TRUE(r.events.bursts.empty());
  r.port.Arrive(std::string(600, 'z'));
  ASSERT_EQ(r.events.bursts.size(), 2u);
  EXPECT_EQ(r.events.bursts[0], "LINK+CHECK" + std::string(246, 'z'));
  EXPECT_EQ(r.events.bursts[1], std::string(256, 'z'));
  r.Fire();
  EXPECT_EQ(r.events.bursts.back(), std::string(98, 'z'));
}

TEST(PortLink, APortLostHandsOnWhatCameAndClosesWithoutPurging) {
  Rig r;
  ASSERT_TRUE(r.link.Open("p"));
  r.port.Arrive("CMD+O");
  r.port.calls.clear();
  r.port.Lose();
  EXPECT_EQ(r.events.bursts, (std::vector<std::string>{"CMD+O"}));
  EXPECT_EQ(r.events.lost, (std::vector<std::string>{"gone"}));
  EXPECT_EQ(r.port.calls, (std::vector<std::string>{"DTR off while open", "close without purge"}));
  EXPECT_EQ(r.timer.running, -1);
  EXPECT_FALSE(r.link.Write("CMD+AUD+ENABLE+0+0\"")) << "nothing goes to a lost port";
  r.port.Lose();
  EXPECT_EQ(r.events.lost.size(), 1u) << "a closed port is lost only once";

  // Reopened, the link starts afresh: a half probe from before does not count.
  Rig again;
  ASSERT_TRUE(again.link.Open("p"));
  again.port.Arrive("LINK+CH");
  again.link.Close();
  ASSERT_TRUE(again.link.Open("p"));
  again.port.Arrive("ECK");
  EXPECT_EQ(again.events.answered, 0);
}

}  // namespace
}  // namespace tessera::link
