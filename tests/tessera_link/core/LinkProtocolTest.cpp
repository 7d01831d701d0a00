// Bytes of every command, the reply rewriting, link-check detection and the log bounds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera/core/eq/EqCoefficients.h"
#include "tessera/core/link/LinkCheckDetector.h"
#include "tessera/core/link/LinkLog.h"
#include "tessera/core/link/LinkProtocol.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/core/link/ReplyScanner.h"
#include "tessera/core/pages/CPageEQ.h"

namespace tessera::link {
namespace {

EqBandParams Band(int type, int highLow, float dialogGain, int centre, int rate, int bw) {
  EqBandParams b = CPageEQ::DefaultBand();
  b.type = type;
  b.highLow = highLow;
  b.gainDb = CutGainToFourDecimals(dialogGain);  // as the page stores a dialog's gain
  b.centerHz = centre;
  b.sampleHz = rate;
  b.bandwidthHz = bw;
  return b;
}

VoiceEqParams Voice(uint8_t type, uint8_t highLow, int gain, int centre, int rate, int bw) {
  VoiceEqParams v;
  v.type = type;
  v.highLow = highLow;
  v.gainDb = gain;
  v.centerHz = centre;
  v.sampleHz = rate;
  v.bandwidthHz = bw;
  return v;
}

struct CommandCase {
  const char* name;
  Outgoing got;
  std::string log;
  std::string wire;
};

TEST(LinkCommands, EveryPageCommandByteForByte) {
  const std::vector<CommandCase> cases = {
      {"eq default band 0", EqConfCommand(0, CPageEQ::DefaultBand()),
       "[WRITE] CMD+AUD+CONF+0+0+0+0+500+44100+100\r\n", "CMD+AUD+CONF+0+0+0+0+500+44100+100\""},
      {"eq gain 0.1 goes as 999", EqConfCommand(4, Band(1, 1, 0.1f, 1000, 48000, 200)),
       "[WRITE] CMD+AUD+CONF+4+1+1+999+1000+48000+200\r\n",
       "CMD+AUD+CONF+4+1+1+999+1000+48000+200\""},
      {"eq gain -0.3", EqConfCommand(1, Band(0, 1, -0.3f, 5000, 44100, 100)),
       "[WRITE] CMD+AUD+CONF+1+0+1+-2999+5000+44100+100\r\n",
       "CMD+AUD+CONF+1+0+1+-2999+5000+44100+100\""},
      {"eq gain -3.5", EqConfCommand(2, Band(1, 0, -3.5f, 1000, 44100, 100)),
       "[WRITE] CMD+AUD+CONF+2+1+0+-35000+1000+44100+100\r\n",
       "CMD+AUD+CONF+2+1+0+-35000+1000+44100+100\""},
      {"eq gain 0.0001 is stored as 0", EqConfCommand(3, Band(0, 0, 0.0001f, 500, 44100, 100)),
       "[WRITE] CMD+AUD+CONF+3+0+0+0+500+44100+100\r\n", "CMD+AUD+CONF+3+0+0+0+500+44100+100\""},
      {"eq enable", EqEnableCommand(2, 1), "[WRITE] CMD+AUD+ENABLE+2+1\r\n",
       "CMD+AUD+ENABLE+2+1\""},
      {"voice eq 1 conf", VoiceEqConfCommand(6, Voice(1, 0, -3, 1000, 8000, 200)), "",
       "CMD+AUD+CONF+6+1+0+-3+1000+8000+200\""},
      {"voice eq 1 enable ends in CR LF", VoiceEqEnableCommand(6, 1), "",
       "CMD+AUD+ENABLE+6+1\"\r\n"},
      {"dac gain -6dB is index 4", AecIoctlCommand(2, 4), "", "CMD+FLASH+AECIOCTL+2+4\""},
      {"mic gain 38.5dB", AecIoctlCommand(3, 77), "", "CMD+FLASH+AECIOCTL+3+77\""},
      {"rf fixed command ends in two quotes",
       RfFixedCommand("CMD+DUTTEST+OPEN\"", "DUT test mode enable"),
       "[CMD] DUT test mode enable\r\n", "CMD+DUTTEST+OPEN\"\""},
      {"free text", FreeTextCommand("CMD+X"), "[WRITE] CMD+X\r\n", "CMD+X\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.got.logEntry, c.log) << c.name;
    EXPECT_EQ(c.got.wire, c.wire) << c.name;
  }
}

TEST(LinkCommands, FromPageState) {
  CPageEQ eq;
  eq.OnInitialize();
  EqLinkState link;
  link.ChooseEq(2);
  link.enableCheck = 1;
  EXPECT_EQ(EnableEqCommand(link).wire, "CMD+AUD+ENABLE+2+1\"");
  // The check box shows what was last sent for the equalizer chosen.
  link.ChooseEq(3);
  EXPECT_EQ(link.enableCheck, 0);
  link.ChooseEq(2);
  EXPECT_EQ(link.enableCheck, 1);
  eq.bands[2].centerHz = 2000;
  EXPECT_EQ(ConfigEqCommand(eq, 2).wire, "CMD+AUD+CONF+2+0+0+0+2000+44100+100\"");
  EXPECT_TRUE(ConfigEqCommand(eq, 5).wire.empty());

  CPageEcho echo;
  echo.OnInitialize();
  echo.noiseSuppressionIndex = 3;
  echo.echoSuppressionIndex = 2;
  echo.dacGainIndex = 4;
  echo.micGainIndex = 77;
  const std::vector<std::pair<int, std::string>> levels = {
      {CPageEcho::kIdNoiseSuppression, "CMD+FLASH+AECIOCTL+0+3\""},
      {CPageEcho::kIdEchoSuppression, "CMD+FLASH+AECIOCTL+1+3\""},
      {CPageEcho::kIdDacGain, "CMD+FLASH+AECIOCTL+2+4\""},
      {CPageEcho::kIdMicGain, "CMD+FLASH+AECIOCTL+3+77\""},
  };
  for (const auto& [id, wire] : levels) EXPECT_EQ(EchoLevelCommand(echo, id).wire, wire) << id;

  echo.voiceEqs[1] = {1, 0, 0, -3, 1000, 8000, 200};
  echo.voiceEqOn[1] = 1;
  const auto apply = VoiceEqApplyCommands(echo, 1);
  EXPECT_EQ(apply[0].wire, "CMD+AUD+CONF+6+1+0+-3+1000+8000+200\"");
  EXPECT_EQ(apply[1].wire, "CMD+AUD+ENABLE+6+1\"\r\n");
  EXPECT_TRUE(apply[0].logEntry.empty() && apply[1].logEntry.empty()) << "the echo page logs nothing";
}

TEST(LinkReplies, RewrittenInOrderAndCutAtZero) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"CMD+OK", "CMD OK!"},
      {"LINK+CHECKCMD+OK\r\n", "LINK+CHECKCMD OK!\r\n"},
      {"CMD+FAILx CMD+OK REG+OK REG+FAIL", "CMD FAIL!x CMD OK! REG OK! REG FAIL!"},
      {"CMD+OKCMD+OK", "CMD OK!CMD OK!"},
      {"CMD+", "CMD+"},  // half a reply stays as it came
      {"OK", "OK"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RewriteReplies(in), out) << in;

  using namespace std::string_literals;
  EXPECT_EQ(ChunkText("CMD+OK\0garbage"s), "CMD+OK");
  EXPECT_EQ(ChunkText("\0CMD+OK"s), "");
  EXPECT_EQ(ChunkText("abc"), "abc");
}

TEST(LinkCheck, FoundWholeSplitAtEveryByteAndNotWhenBroken) {
  const std::string probe(kLinkCheck);
  for (size_t cut = 0; cut <= probe.size(); ++cut) {
    LinkCheckDetector d;
    const int first = d.Feed("xx" + probe.substr(0, cut));
    const int second = d.Feed(probe.substr(cut) + "CMD+OK");
    EXPECT_EQ(first + second, 1) << "cut at " << cut;
    EXPECT_EQ(second, cut == probe.size() ? 0 : 1) << "cut at " << cut;
  }
  using namespace std::string_literals;
  const std::vector<std::pair<std::vector<std::string>, int>> cases = {
      {{"LINK+CHECKLINK+CHECK"}, 2},
      {{"LLINK+CHECK"}, 1},
      {{"LINK+CHEC", "X", "K"}, 0},
      {{"LINK+\0CHECK"s}, 0},
      {{"LINK+CHEC", "LINK+CHECK"}, 1},
      {{"link+check"}, 0},
      {{"L", "I", "N", "K", "+", "C", "H", "E", "C", "K"}, 1},
  };
  for (const auto& [pieces, want] : cases) {
    LinkCheckDetector d;
    int n = 0;
    for (const auto& p : pieces) n += d.Feed(p);
    EXPECT_EQ(n, want) << pieces.front();
  }
}

TEST(LinkLogBounds, EntriesCutAndLogEmptiedBeforeItCanOverflow) {
  LinkLog log;
  log.Append(std::string(300, 'a'));
  EXPECT_EQ(log.Text(), std::string(LinkLog::kMaxEntry, 'a'));

  // Fill to exactly the last length that still leaves 256 bytes free.
  log.Clear();
  const size_t keep = LinkLog::kCapacity - 256;
  while (log.Text().size() + LinkLog::kMaxEntry <= keep) log.Append(std::string(255, 'b'));
  log.Append(std::string(keep - log.Text().size(), 'c'));
  ASSERT_EQ(log.Text().size(), keep);

  log.Append("d");  // now fewer than 256 bytes are free: emptied, but still on screen
  EXPECT_TRUE(log.Text().empty());
  EXPECT_EQ(log.Shown().size(), keep + 1);
  EXPECT_EQ(log.Shown().back(), 'd');

  log.Append("next\r\n");  // shown alone
  EXPECT_EQ(log.Shown(), "next\r\n");
  EXPECT_EQ(log.Text(), "next\r\n");

  // A flood never takes the buffer past its size.
  size_t most = 0;
  for (int i = 0; i < 5000; ++i) {
    log.Append(std::string(255, 'z'));
    most = std::max(most, log.Shown().size());
  }
  EXPECT_LE(most, LinkLog::kCapacity);

  log.Clear();
  EXPECT_TRUE(log.Shown().empty());
}

TEST(LinkPortListAndOpenEntries, TextOrderAndLogLines) {
  EXPECT_EQ(SortPortNames({"COM2", "COM10", "COM1"}),
            (std::vector<std::string>{"COM1", "COM10", "COM2"}));
  EXPECT_EQ(SortPortNames({"ttyUSB0", "ttyACM1", "TTYS0", "ttyS10"}),
            (std::vector<std::string>{"ttyACM1", "TTYS0", "ttyS10", "ttyUSB0"}));
  EXPECT_EQ(OpenFailedEntry(""), "Serial port  init failed\r\n");
  EXPECT_EQ(OpenOkEntry("/dev/pts/3"), "Serial port /dev/pts/3 init OK\r\n");
}

// The command line's wait for an answer sees every byte the board sends, unlike the log
// (which stops at a NUL): each case is a stream in the pieces the reads delivered.
TEST(ReplyScanner, FindsAnswersBehindNulsAcrossPiecesAndAroundLinkChecks) {
  using Pieces = std::vector<std::string>;
  struct Case {
    const char* name;
    Pieces pieces;
    int ok, failed;
  };
  const std::string nuls(10, '\0');
  const std::vector<Case> cases = {
      {"plain", {"CMD+OK\r\n"}, 1, 0},
      {"ten NULs ahead in the same read", {nuls + "CMD+OK\r\n"}, 1, 0},
      {"NULs inside the reply", {std::string("CMD+\0\0OK\r\n", 10)}, 1, 0},
      {"split in two", {"CMD+", "OK\r\n"}, 1, 0},
      {"link check between the pieces", {"CMD+", "LINK+CHECK", "FAIL\r\n"}, 0, 1},
      {"link check split too", {"CM", "D+LINK+", "CHE", "CKOK"}, 1, 0},
      {"link check and reply in one read", {"LINK+CHECKCMD+OK\r\n"}, 1, 0},
      {"two answers, fail first", {"CMD+FAIL\r\nCMD", "+OK\r\n"}, 1, 1},
      {"a long unrelated burst between", {"CMD+", std::string(300, 'x'), "OK"}, 0, 0},
      {"only a link check", {"LINK+CHECK"}, 0, 0},
  };
  for (const auto& c : cases) {
    ReplyScanner scanner;
    for (const auto& p : c.pieces) scanner.Feed(p);
    EXPECT_EQ(scanner.ok(), c.ok) << c.name;
    EXPECT_EQ(scanner.failed(), c.failed) << c.name;
  }
}

}  // namespace
}  // namespace tessera::link
