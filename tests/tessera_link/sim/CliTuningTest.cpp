// tessera-cli's tuning commands against the simulated board: what goes on the wire and
// the exit status.
#include <gtest/gtest.h>

#include <QFile>
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
