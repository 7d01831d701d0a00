// tessera-cli's tuning commands against the simulated board: what goes on the wire and
// the exit status.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "../SimBoard.h"

namespace {

#ifdef TESSERA_CLI_PATH
struct CliRun {
  int exitCode = -1;
  QString out, err;
};

CliRun RunCli(const QStringList& args, const QString& program = TESSERA_CLI_PATH,
              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  p.setProcessEnvironment(env);
  p.start(program, args);
  CliRun r;
  if (!p.waitForFinished(15000)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitCode();
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

TEST(CliTuning, SendsThePagesCommandsAndFailsOnFailOrSilence) {
  QTemporaryDir dir;
  const QString cfg = dir.filePath("fresh.cfg");
  ASSERT_EQ(RunCli({"new", cfg}).exitCode, 0);

  struct Case {
    const char* name;
    QStringList simArgs, cliArgs;
    int exitCode;
    std::string wire;  // the board's transcript
    QString said;      // in standard output or error
  };
  const std::vector<Case> cases = {
      {"band 3 of a fresh configuration", {}, {"tune-eq", cfg, "--band", "3"}, 0,
       "CMD+AUD+CONF+3+0+0+0+500+44100+100\"CMD+AUD+ENABLE+3+0\"",
       "CMD+AUD+ENABLE+3+0\" -> CMD OK!"},
      // A fresh configuration's voice equalizers run at 1 Hz, which the board refuses
      // after the four level commands went through.
      {"echo settings with a refused voice equalizer", {}, {"tune-echo", cfg}, 1,
       "CMD+FLASH+AECIOCTL+0+0\"CMD+FLASH+AECIOCTL+1+1\"CMD+FLASH+AECIOCTL+2+4\""
       "CMD+FLASH+AECIOCTL+3+54\"CMD+AUD+CONF+5+0+0+0+1+1+1\"",
       "CMD FAIL!"},
      {"one rf mode", {}, {"tune-rf", "conf", "--channel", "39", "--data", "Pn9", "--packet", "2-DH3"},
       0, "CMD+SINWAVE+CONF+39+0+3\"\"", "-> CMD OK!"},
      {"a silent board", {"--mute"}, {"tune-rf", "dut-on", "--timeout", "300"}, 1,
       "CMD+DUTTEST+OPEN\"\"", "no answer within 300 ms"},
      {"a reply split over two writes", {"--split", "2"}, {"tune-rf", "sinwave-off"}, 0,
       "CMD+SINWAVE+CLOSE\"\"", "-> CMD OK!"},
      {"a reply behind ten NUL bytes in the same write", {"--fault", "nul-before-reply=10"},
       {"tune-rf", "dut-on"}, 0, "CMD+DUTTEST+OPEN\"\"", "-> CMD OK!"},
      {"a split reply with a link check between its pieces",
       {"--fault", "split=2", "--fault", "check-in-reply"},
       {"tune-rf", "sinwave-on"}, 0, "CMD+SINWAVE+OPEN\"\"LINK+OK\"", "-> CMD OK!"},
  };
  for (const auto& c : cases) {
    SimBoard board(c.simArgs);
    ASSERT_FALSE(board.path().isEmpty());
    const auto r = RunCli(QStringList(c.cliArgs) << "--port" << board.path());
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name << "\n" << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE((r.out + r.err).contains(c.said)) << c.name << "\n"
                                                  << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(board.Transcript().toStdString(), c.wire) << c.name;
  }

  const auto missing = RunCli({"tune-eq", cfg, "--port", dir.filePath("no-such-port")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.err.contains("init failed")) << missing.err.toStdString();
}

// tessera-cli checks a tuning command line itself and hands a valid one to tessera-tune;
// without tessera-tune beside it or on the PATH, it says so instead of failing silently.
TEST(CliTuning, CommandLinesAreCheckedHereAndAMissingTuneProgramIsReported) {
  QTemporaryDir dir;
  const QString lonely = dir.filePath("tessera-cli");
  ASSERT_TRUE(QFile::copy(TESSERA_CLI_PATH, lonely));
  QFile::setPermissions(lonely, QFile::permissions(lonely) | QFileDevice::ExeOwner);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("PATH", dir.filePath("empty"));

  const auto bad = RunCli({"tune-rf", "dut-maybe", "--port", "x"}, lonely, env);
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_NE(bad.exitCode, 1);  // a usage error, not a failed command
  EXPECT_TRUE(bad.err.contains("dut-maybe")) << bad.err.toStdString();

  const auto missing = RunCli({"tune-rf", "dut-on", "--port", "x"}, lonely, env);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(missing.err.contains("tessera-tune, which could not be started")) << missing.err.toStdString();
}

// Values the tool must not act on are refused before anything goes to the board: a
// negative wait (which used to wait forever) and an equalizer enable other than 0 or 1
// in a hand-edited configuration.
TEST(CliTuning, NegativeWaitsAndAStoredEnableOutside0And1AreRefusedAtOnce) {
  SimBoard board({"--mute"});
  ASSERT_FALSE(board.path().isEmpty());
  QTemporaryDir dir;
  const QString cfg = dir.filePath("fresh.cfg");
  ASSERT_EQ(RunCli({"new", cfg}).exitCode, 0);
  for (const QStringList& args : {QStringList{"tune-eq", cfg, "--timeout", "-5"},
                                  QStringList{"tune-rf", "dut-on", "--timeout", "-1"},
                                  QStringList{"monitor", "--seconds", "-1"}}) {
    const auto r = RunCli(QStringList(args) << "--port" << board.path());
    EXPECT_NE(r.exitCode, -1) << args.join(' ').toStdString() << ": still running";
    EXPECT_NE(r.exitCode, 0) << args.join(' ').toStdString();
    EXPECT_NE(r.exitCode, 1) << args.join(' ').toStdString() << ": a usage error, not a failed command";
    EXPECT_TRUE(r.err.contains(args[args.size() - 2])) << r.err.toStdString();
  }
  EXPECT_TRUE(board.Transcript().isEmpty());

  // Band 2's enable edited to 2 through the JSON form.
  const auto exported = RunCli({"export", cfg});
  ASSERT_EQ(exported.exitCode, 0);
  QJsonObject doc = QJsonDocument::fromJson(exported.out.toUtf8()).object();
  QJsonArray eq = doc["eq"].toArray();
  QJsonObject band = eq[2].toObject();
  band["enabled"] = 2;
  eq[2] = band;
  doc["eq"] = eq;
  const QString json = dir.filePath("edited.json"), edited = dir.filePath("edited.cfg");
  QFile f(json);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QJsonDocument(doc).toJson());
  f.close();
  ASSERT_EQ(RunCli({"import", json, "--out", edited}).exitCode, 0);

  SimBoard answering;
  ASSERT_FALSE(answering.path().isEmpty());
  const auto all = RunCli({"tune-eq", edited, "--port", answering.path()});
  EXPECT_EQ(all.exitCode, 1);
  EXPECT_TRUE(all.err.contains("equalizer band 2: stored enable 2 is neither 0 nor 1")) << all.err.toStdString();
  EXPECT_TRUE(answering.Transcript().isEmpty()) << answering.Transcript().toStdString();
  const auto other = RunCli({"tune-eq", edited, "--band", "1", "--port", answering.path()});
  EXPECT_EQ(other.exitCode, 0) << other.err.toStdString();
}

// The simulator's state file is replaced through a new file of its own making: a link
// planted where a fixed temporary name would be is never written through.
TEST(CliTuning, BoardStateFileIsNeverWrittenThroughAPlantedLink) {
  QTemporaryDir dir;
  const QString state = dir.filePath("state.json"), victim = dir.filePath("victim");
  QFile v(victim);
  ASSERT_TRUE(v.open(QIODevice::WriteOnly));
  v.write("untouched");
  v.close();
  ASSERT_TRUE(QFile::link(victim, state + ".tmp"));
  SimBoard board({"--state", state});
  ASSERT_FALSE(board.path().isEmpty());
  const auto r = RunCli({"tune-rf", "dut-on", "--port", board.path()});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  QFile victimAfter(victim);
  ASSERT_TRUE(victimAfter.open(QIODevice::ReadOnly));
  EXPECT_EQ(victimAfter.readAll(), QByteArray("untouched"));
  EXPECT_FALSE(QFileInfo(state).isSymLink());
  QFile written(state);
  ASSERT_TRUE(written.open(QIODevice::ReadOnly));
  EXPECT_FALSE(QJsonDocument::fromJson(written.readAll()).isNull());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 3)
      << "state, victim and the planted link; no temporary file left behind";
}

// The board simulator takes its faults as NAME or NAME=VALUE, at start and while it runs.
TEST(CliTuning, BoardFaultsTakeOneGrammarAtStartAndWhileRunning) {
  const auto refused = RunCli({"--fault", "split=two"}, TESSERA_BOARD_SIM_PATH);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_TRUE(refused.err.contains("fault split=two: the value must be a whole number")) << refused.err.toStdString();

  SimBoard board;
  ASSERT_FALSE(board.path().isEmpty());
  board.Control("fault mute");
  const auto silent = RunCli({"tune-rf", "dut-on", "--timeout", "200", "--port", board.path()});
  EXPECT_EQ(silent.exitCode, 1);
  EXPECT_TRUE(silent.err.contains("no answer within 200 ms")) << silent.err.toStdString();
  board.Control("fault unmute");
  board.Control("fault nul-before-reply=3");
  const auto answered = RunCli({"tune-rf", "dut-off", "--port", board.path()});
  EXPECT_EQ(answered.exitCode, 0) << answered.err.toStdString();
}

TEST(CliTuning, MonitorAnswersLinkChecksAndPrintsTheLog) {
  SimBoard board({"--check-interval", "50"});
  ASSERT_FALSE(board.path().isEmpty());
  const auto r = RunCli({"monitor", "--seconds", "1", "--port", board.path()});
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(r.out.startsWith("Serial port " + board.path() + " init OK\r\n")) << r.out.toStdString();
  EXPECT_TRUE(r.out.contains("LINK+CHECK"));
  EXPECT_GE(board.Transcript().count("LINK+OK\""), 5);
}
#endif

}  // namespace
