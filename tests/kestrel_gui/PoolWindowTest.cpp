// The window on a shared pool in a real PostgreSQL server (the throwaway cluster of
// tests/kestrel_pool/pgcluster.sh): the boards' addresses come from the pool, the image's
// own sequence is left alone, and the range cannot be changed from the window.
#include <QProcess>
#include <QtTest>

#include "GuiRig.h"
#include "sequence/postgres/PgConnection.h"
#include "sequence/postgres/PoolAdmin.h"
#include "sequence/postgres/PoolSequence.h"

using namespace kestrel;
using namespace kestrel::gui_test;

class PoolWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void burnTakesItsAddressesFromThePool();
  void stationNameInUseIsRefusedUntilFreed();

 private:
  bool Cluster(const QString& command);

  QTemporaryDir settingsDir_;
  QString clusterDir_;
  bool ownCluster_ = false;
  QString url_;
};

bool PoolWindowTest::Cluster(const QString& command) {
  QProcess p;
  p.start(QStringLiteral(KESTREL_PGCLUSTER_SCRIPT), {command, clusterDir_});
  return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void PoolWindowTest::initTestCase() {
  if (!kestrel::testing::SimProcess::Available()) QSKIP("the adapter simulator is not built");
  QVERIFY(settingsDir_.isValid());
  IsolateSettings(settingsDir_.path());
  // CTest's fixture shares one cluster; run alone, the test starts its own.
  clusterDir_ = qEnvironmentVariable("KESTREL_TEST_PG_DIR");
  if (clusterDir_.isEmpty()) {
    clusterDir_ = settingsDir_.filePath(QStringLiteral("cluster"));
    ownCluster_ = true;
    const bool started = Cluster(QStringLiteral("start"));
    if (!started && !QFile::exists(clusterDir_ + QStringLiteral("/unavailable")))
      QFAIL("the test cluster did not start");
  }
  if (QFile why(clusterDir_ + QStringLiteral("/unavailable")); why.open(QIODevice::ReadOnly))
    QSKIP(qPrintable(QStringLiteral("no PostgreSQL server can run here: ") + QString::fromUtf8(why.readLine().trimmed())));
  QFile where(clusterDir_ + QStringLiteral("/where"));
  QVERIFY(where.open(QIODevice::ReadOnly));
  url_ = QStringLiteral("host=%1 user=postgres dbname=postgres").arg(QString::fromUtf8(where.readLine().trimmed()));
}

void PoolWindowTest::cleanupTestCase() {
  if (ownCluster_) Cluster(QStringLiteral("remove"));
}

// Four boards burned on pool addresses, committed as programmed by this station; the
// window shows the pool and what is left, "地址设定" is refused, and the image keeps its
// own address.
void PoolWindowTest::burnTakesItsAddressesFromThePool() {
  const QString name = QStringLiteral("gui_%1").arg(QCoreApplication::applicationPid());
  std::string message;
  QVERIFY2(pool::InitPool(url_.toStdString(), name.toStdString(), test::Addr("00:1a:7d:00:00:00"),
                          test::Addr("00:1a:7d:00:00:09"), &message),
           message.c_str());

  Rig rig;
  QVERIFY(rig.Start(4, {"--rate", "2000000"}));
  QWidget* d = rig.dialog.get();
  QVERIFY(rig.Load(rig.MakeImage("11:22:33:44:55:66")));
  ui::PoolDialog* box = rig.OpenPoolSettings();
  QVERIFY(box != nullptr);
  Rig::FillPool(box, url_, name, QStringLiteral("gui-station"));
  QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->poolState(), ui::DownloadDialog::PoolState::kOpen, 20000);
  QVERIFY2(rig.Text(1114).startsWith(QStringLiteral("地址序列: pool \"%1\"").arg(name)), qPrintable(rig.Text(1114)));
  QVERIFY2(rig.Text(1114).contains(QStringLiteral("station \"gui-station\": 10 addresses left")),
           qPrintable(rig.Text(1114)));
  QCOMPARE(rig.Text(1008), QStringLiteral("当前地址:\t00:1a:7d:00:00:00"));

  // The range is the pool's: the window cannot move it.
  for (int i = 0; i < 6; ++i) Find<QLineEdit>(d, 1000 + i)->setText(QStringLiteral("01"));
  rig.Click(1014);
  QCOMPARE(rig.Text(1008), QStringLiteral("地址取自地址池 \"%1\"，不能在此设定").arg(name));
  QVERIFY2(rig.Text(1114).contains(QStringLiteral("its range is set once, with kestrel-cli pool init")),
           qPrintable(rig.Text(1114)));

  QVERIFY(Find<QPushButton>(d, 1006)->isEnabled());
  rig.Click(1006);
  QTRY_VERIFY_WITH_TIMEOUT(!rig.dialog->operationRunning(), 60000);
  QStringList handed;
  for (int n = 0; n < 4; ++n) {
    const QString status = rig.Text(kStatusIds[n]);
    QVERIFY2(status.startsWith(QStringLiteral("成功  00:1a:7d:00:00:0")), qPrintable(status));
    handed << status.right(17);
  }
  handed.sort();
  QCOMPARE(handed, (QStringList{"00:1a:7d:00:00:00", "00:1a:7d:00:00:01", "00:1a:7d:00:00:02", "00:1a:7d:00:00:03"}));
  QVERIFY2(rig.Text(1114).contains(QStringLiteral(": 6 addresses left")), qPrintable(rig.Text(1114)));
  QCOMPARE(rig.Text(1008), QStringLiteral("当前地址:\t00:1a:7d:00:00:04"));
  // Reading the image again keeps the pool: its next address, not the image's.
  QVERIFY(rig.Load(rig.imagePath));
  QCOMPARE(rig.Text(1008), QStringLiteral("当前地址:\t00:1a:7d:00:00:04"));
  QVERIFY2(rig.Text(1114).contains(QStringLiteral(": 6 addresses left")), qPrintable(rig.Text(1114)));

  // In the database: programmed, by this station.
  auto conn = pool::PgConnection::Open(url_.toStdString(), &message);
  QVERIFY2(conn, message.c_str());
  pool::PgResult r = conn->Exec(
      "SELECT count(*) FROM addresses WHERE pool = $1 AND state = 'programmed' AND station = 'gui-station'",
      {name.toStdString()});
  QVERIFY2(r.ok(), r.error().c_str());
  QCOMPARE(r.number(0, 0), 4LL);

  // The image's own address is not the pool's business.
  rig.dialog->close();
  const auto image = test::ReadFile(rig.imagePath);
  QCOMPARE(test::Addr("11:22:33:44:55:66").bytes, (std::array<uint8_t, 6>{image[0x80064], image[0x80065], image[0x80066],
                                                                          image[0x80067], image[0x80068], image[0x80069]}));
}

// A station name is live once on a line: while another process holds it the window says
// who, and burns nothing; once it is free the same setting opens.
void PoolWindowTest::stationNameInUseIsRefusedUntilFreed() {
  const QString name = QStringLiteral("twin_%1").arg(QCoreApplication::applicationPid());
  std::string message;
  QVERIFY2(pool::InitPool(url_.toStdString(), name.toStdString(), test::Addr("00:1a:7d:00:01:00"),
                          test::Addr("00:1a:7d:00:01:ff"), &message),
           message.c_str());
  pool::PoolConfig other;
  other.url = url_.toStdString();
  other.pool = name.toStdString();
  other.station = "bench-3";
  other.spoolDir = settingsDir_.filePath(QStringLiteral("other-spool")).toStdString();
  SequenceStatus status = SequenceStatus::kOk;
  std::shared_ptr<AddressSequence> holder = pool::OpenPool(other, &status, &message);
  QVERIFY2(holder, message.c_str());

  Rig rig;
  QVERIFY(rig.Start(2));
  QVERIFY(rig.Load(rig.MakeImage()));
  const ui::PoolSetting setting{url_, name, QStringLiteral("bench-3")};
  QVERIFY(rig.dialog->UsePool(setting));
  QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->poolState(), ui::DownloadDialog::PoolState::kFailed, 20000);
  QVERIFY2(rig.Text(1114).contains(QStringLiteral("station \"bench-3\" of pool \"%1\" is in use by process %2")
                                       .arg(name)
                                       .arg(QCoreApplication::applicationPid())),
           qPrintable(rig.Text(1114)));
  QVERIFY(!Find<QPushButton>(rig.dialog.get(), 1006)->isEnabled());

  holder->Release();
  holder.reset();
  QVERIFY(rig.dialog->UsePool(setting));
  QTRY_COMPARE_WITH_TIMEOUT(rig.dialog->poolState(), ui::DownloadDialog::PoolState::kOpen, 20000);
  QVERIFY(Find<QPushButton>(rig.dialog.get(), 1006)->isEnabled());
  QCOMPARE(rig.Text(1008), QStringLiteral("当前地址:\t00:1a:7d:00:01:00"));
}

QTEST_MAIN(PoolWindowTest)
#include "PoolWindowTest.moc"
