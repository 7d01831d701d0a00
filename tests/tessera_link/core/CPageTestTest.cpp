// The RF test page: modes, Conf validation, toggles and hopping with a driven clock.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tessera/core/link/CPageTest.h"

namespace tessera::link {
namespace {

// A timer whose time only moves when the test says so.
class ManualClockTimer : public HopTimer {
 public:
  std::function<void()> onTick;
  void Start(int periodMs) override {
    period_ = periodMs;
    next_ = now_ + periodMs;
    ++starts;
  }
  void Stop() override { period_ = 0; }
  bool Running() const { return period_ > 0; }
  void Advance(long ms) {
    const long end = now_ + ms;
    while (period_ > 0 && next_ <= end) {
      now_ = next_;
      next_ += period_;
      onTick();
    }
    now_ = end;
  }
  int starts = 0;

 private:
  long now_ = 0, next_ = 0;
  int period_ = 0;
};

TEST(RfTestPage, ModeFromDirectionDataAndPacketType) {
  struct Case {
    int dir, data, packet, mode;
  };
  const std::vector<Case> cases = {
      {1, 1, 19, 0}, {1, 0, 0, 0},  {0, 0, 13, 1},  {0, 0, 0, 1},  {0, 1, 0, 2},
      {0, 1, 13, 2}, {0, 1, 14, 3}, {0, 1, 16, 3},  {0, 0, 14, 4}, {0, 0, 19, 4},
      {0, 1, 17, 5}, {0, 1, 19, 5},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CPageTest::Mode(c.dir, c.data, c.packet), c.mode)
        << c.dir << " " << CPageTest::DataTypes()[c.data] << " "
        << CPageTest::PacketTypes()[c.packet];
}

TEST(RfTestPage, ConfSendsOrRefusesByTheEdits) {
  ManualClockTimer timer;
  CPageTest page(timer);
  page.dataType = 1;
  page.packetType = 15;  // 2-DH3
  struct Case {
    std::string channel, power;
    std::string wire, log;  // empty wire: refused
    int errorId;
  };
  const std::vector<Case> cases = {
      {"39", "0", "CMD+SINWAVE+CONF+39+0+3\"\"",
       "[CMD] single wave configuration, frequency: 39, power level: 0.\r\n", 0},
      {"80", "0", "CMD+SINWAVE+CONF+80+0+3\"\"",
       "[CMD] single wave configuration, frequency: 80, power level: 0.\r\n", 0},
      {"81", "0", "", "", CPageTest::kIdChannel},
      {"5", "1", "", "", CPageTest::kIdPower},
      {"-1", "0", "", "", CPageTest::kIdChannel},
      {"abc", "0", "", "", CPageTest::kIdChannel},
  };
  for (const auto& c : cases) {
    page.channel = 7;
    auto r = page.OnConf([&](int id) { return id == CPageTest::kIdChannel ? c.channel : c.power; });
    if (c.errorId) {
      ASSERT_TRUE(r.error.has_value()) << c.channel;
      EXPECT_EQ(r.error->controlId, c.errorId) << c.channel;
      EXPECT_TRUE(r.out.wire.empty());
      EXPECT_EQ(page.channel, 7u) << "nothing taken from a refused Conf";
    } else {
      ASSERT_FALSE(r.error.has_value()) << c.channel;
      EXPECT_EQ(r.out.wire, c.wire);
      EXPECT_EQ(r.out.logEntry, c.log);
    }
  }
  EXPECT_EQ(page.OnConf([](int id) { return id == CPageTest::kIdChannel ? "81" : "0"; })
                .error->message,
            "“请填入一个在0和80之间的整数。”");
  EXPECT_EQ(page.OnConf([](int id) { return id == CPageTest::kIdChannel ? "x" : "0"; })
                .error->message,
            "“请填入一个正整数。”");
}

TEST(RfTestPage, TogglesCaptionsAndLinkDependentControls) {
  ManualClockTimer timer;
  CPageTest page(timer);
  EXPECT_EQ(page.DutCaption(), "  enable   ");
  EXPECT_EQ(page.TestCaption(), "  TEST  ");
  auto open = page.OnDut();
  auto close = page.OnDut();
  EXPECT_EQ(open.wire, "CMD+DUTTEST+OPEN\"\"");
  EXPECT_EQ(open.logEntry, "[CMD] DUT test mode enable\r\n");
  EXPECT_EQ(close.wire, "CMD+DUTTEST+CLOSE\"\"");
  EXPECT_EQ(close.logEntry, "[CMD] DUT test mode disable\r\n");

  page.OnPortOpened();
  EXPECT_TRUE(page.SendEnabled() && page.DutTestEnabled());
  auto t = page.OnTest();
  EXPECT_EQ(t.wire, "CMD+SINWAVE+OPEN\"\"");
  EXPECT_EQ(page.TestCaption(), "end test");
  EXPECT_TRUE(page.SettingsEnabled());
  page.OnDut();
  EXPECT_EQ(page.DutCaption(), "  disable ");

  // Leaving keeps DUT and TEST usable and their state; only Send goes grey.
  page.autoHopping = 1;
  page.Conf();
  EXPECT_TRUE(timer.Running());
  page.OnLeave();
  EXPECT_FALSE(page.SendEnabled());
  EXPECT_TRUE(page.DutTestEnabled());
  EXPECT_FALSE(timer.Running());
  EXPECT_EQ(page.dutActive, 1);
  EXPECT_EQ(page.singleCarrierActive, 1);

  page.OnPortOpened();
  page.OnPortClosedByButton();
  EXPECT_FALSE(page.SendEnabled() || page.DutTestEnabled());
  EXPECT_EQ(page.dutActive, 1) << "closing never resets the test flags";

  page.Conf();
  EXPECT_TRUE(timer.Running());
  auto end = page.OnTest();
  EXPECT_EQ(end.wire, "CMD+SINWAVE+CLOSE\"\"");
  EXPECT_EQ(end.logEntry, "[CMD] singlewave test mode disable\r\n");
  EXPECT_FALSE(timer.Running()) << "ending the test stops hopping";
  EXPECT_FALSE(page.SettingsEnabled());
}

TEST(RfTestPage, HoppingVisitsEveryChannelOnceEvery63MsThenRepeats) {
  ManualClockTimer timer;
  CPageTest page(timer);
  std::vector<unsigned> sent;
  timer.onTick = [&] {
    if (auto out = page.OnHopTimer()) {
      unsigned ch = 0, pw = 9;
      int mode = 0;
      ASSERT_EQ(std::sscanf(out->wire.c_str(), "CMD+SINWAVE+CONF+%u+%u+%d", &ch, &pw, &mode), 3);
      sent.push_back(ch);
    }
  };
  for (uint32_t seed : {1u, 1765200000u}) {
    sent.clear();
    page.OnAutoHopping(true, seed);
    page.Conf();
    timer.Advance(62);
    EXPECT_TRUE(sent.empty()) << "first hop only after a full period";
    timer.Advance(1 + 63 * (2 * CPageTest::kHopChannels - 1));
    ASSERT_EQ(sent.size(), 2u * CPageTest::kHopChannels);
    std::set<unsigned> first(sent.begin(), sent.begin() + CPageTest::kHopChannels);
    EXPECT_EQ(first.size(), 78u);
    EXPECT_EQ(*first.begin(), 2u);
    EXPECT_EQ(*first.rbegin(), 79u);
    EXPECT_TRUE(std::equal(sent.begin(), sent.begin() + 78, sent.begin() + 78))
        << "the second round repeats the first";
  }
  // Unchecking sends nothing more, but the timer runs on until the next Conf.
  page.OnAutoHopping(false, 0);
  sent.clear();
  timer.Advance(630);
  EXPECT_TRUE(sent.empty());
  EXPECT_TRUE(timer.Running());
  page.Conf();
  EXPECT_FALSE(timer.Running());
}


TEST(RfTestPage, DeclaredSettingsLockedUntilTheTestRunsAndConfAloneTakesChannelAndPower) {
  ManualClockTimer timer;
  CPageTest page(timer);
  ControlSet set(page, CPageTest::ControlDecls());
  const int settings[] = {CPageTest::kIdChannel, CPageTest::kIdPower, CPageTest::kIdAutoHopping,
                          CPageTest::kIdTx, CPageTest::kIdDataType, CPageTest::kIdPacketType};
  for (int id : settings) EXPECT_FALSE(set.State(id).enabled) << id;
  EXPECT_TRUE(set.State(CPageTest::kIdCommandText).enabled);
  EXPECT_FALSE(set.Change(CPageTest::kIdDataType, 1)) << "a locked setting takes no pick";
  EXPECT_EQ(set.State(CPageTest::kIdPacketType).entries, CPageTest::PacketTypes());

  page.OnPortOpened();
  page.OnTest();
  for (int id : settings) EXPECT_TRUE(set.State(id).enabled) << id;
  EXPECT_TRUE(set.Change(CPageTest::kIdDataType, 1));
  EXPECT_TRUE(set.Change(CPageTest::kIdTx, 1));  // RX

  // Reading the page back stores the picks and the text, never the channel or power.
  std::map<int, ControlInput> typed = {{CPageTest::kIdChannel, {"39", 0}}, {CPageTest::kIdPower, {"0", 0}},
                                       {CPageTest::kIdAutoHopping, {"", 0}}, {CPageTest::kIdTx, {"", 1}},
                                       {CPageTest::kIdDataType, {"", 1}},     {CPageTest::kIdPacketType, {"", 15}},
                                       {CPageTest::kIdCommandText, {"CMD+X", 0}}};
  EXPECT_FALSE(set.ReadBack([&](const ControlInfo& info) { return std::optional(typed.at(info.id)); }));
  EXPECT_EQ(page.channel, 0u);
  EXPECT_EQ(page.packetType, 15);
  EXPECT_EQ(page.commandText, "CMD+X");
  const auto conf = page.OnConf([&](int id) { return typed.at(id).text; });
  ASSERT_FALSE(conf.error);
  EXPECT_EQ(set.State(CPageTest::kIdChannel).text, "39");
  EXPECT_EQ(conf.out.wire.rfind("CMD+SINWAVE+CONF+39+0+", 0), 0u) << conf.out.wire;
}

}  // namespace
}  // namespace tessera::link
