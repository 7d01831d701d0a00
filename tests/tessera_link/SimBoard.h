#pragma once
// Runs tessera-board-sim for a test: its port path, control lines, state and transcript.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

class SimBoard {
 public:
  explicit SimBoard(QStringList args = {}) {
    transcript_ = dir_.filePath("transcript.bin");
    args << "--transcript" << transcript_;
    if (!args.contains("--check-interval")) args << "--check-interval" << "0";
    proc_.setProgram(TESSERA_BOARD_SIM_PATH);
    proc_.setArguments(args);
    proc_.start();
    if (!proc_.waitForStarted(5000)) return;
    path_ = NextLine("PORT ");
  }
  ~SimBoard() {
    if (proc_.state() == QProcess::NotRunning) return;
    proc_.write("quit\n");
    if (!proc_.waitForFinished(3000)) proc_.kill();
    proc_.waitForFinished(1000);
  }

  QString path() const { return path_; }
  // A control line; waits until the board has taken it.
  void Control(const QString& line) {
    proc_.write((line + "\n").toUtf8());
    NextLine("DONE ");
  }
  QJsonObject State() {
    proc_.write("state\n");
    const QString json = NextLine("STATE ");
    NextLine("DONE ");
    return QJsonDocument::fromJson(json.toUtf8()).object();
  }
  QJsonObject Stats() {
    proc_.write("stats\n");
    const QString json = NextLine("STATS ");
    NextLine("DONE ");
    return QJsonDocument::fromJson(json.toUtf8()).object();
  }
  QByteArray Transcript() const {
    QFile f(transcript_);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  // The rest of the first line of output that starts with prefix.
  QString NextLine(const QString& prefix, int timeoutMs = 5000) {
    QString found;
    (void)QTest::qWaitFor(
        [&] {
          while (proc_.canReadLine()) {
            const QString line = QString::fromUtf8(proc_.readLine()).trimmed();
            if (line.startsWith(prefix)) {
              found = line.mid(prefix.size());
              return true;
            }
          }
          proc_.waitForReadyRead(5);
          return false;
        },
        timeoutMs);
    return found;
  }

 private:
  QTemporaryDir dir_;
  QString transcript_;
  QProcess proc_;
  QString path_;
};
