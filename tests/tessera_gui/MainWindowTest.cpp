// The main window: start-up, the commands, validation when leaving a page, undo and
// redo across pages, the modified marker and the question before closing.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QApplication>
#include <QMimeData>
#include <QUrl>
#include <QTreeWidget>
#include <QAction>

#include "GuiFixture.h"
#include "tessera/core/common/Validation.h"

using namespace gui;

class MainWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);  // the recent-file list goes to a test location
    QDir::setCurrent(RepoRoot());
  }

  void startUpState() {
    Harness h;
    auto& w = *h.window;
    QCOMPARE(w.windowTitle(), QStringLiteral("QR5830 Tessera - V2.6[*]"));
    QVERIFY(!w.isWindowModified());
    QCOMPARE(w.Sheet()->currentIndex(), int(kSystem));
    const QStringList tabs = {"System parameters", "Bluetooth Parameters", "Custom Sound Effect",
                              "LED Configuration", "button configuration", "RF Test", "Audio Equalization",
                              "Echo Test"};
    QCOMPARE(w.Sheet()->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i) QCOMPARE(w.Sheet()->tabText(i), tabs[i]);
    // The three live-tuning pages are the real ones, each with its port button.
    for (int i : {kRfTest, kEq, kEcho}) QVERIFY(h.Page(i)->findChild<QPushButton*>("ctl1170"));
    QCOMPARE(Ctl<QComboBox>(&w, 1003)->currentText(), QStringLiteral("GD_8Mbit"));
    QCOMPARE(Ctl<QComboBox>(&w, 1004)->currentText(), QStringLiteral("QFN48_6X6"));
    const std::pair<int, const char*> buttons[] = {
        {1001, "LoadConf"}, {1002, "SaveConf"}, {1005, "Loadbin"}, {1006, "Save .img"}};
    for (auto [id, text] : buttons) QCOMPARE(Ctl<QPushButton>(&w, id)->text(), QString::fromLatin1(text));
    QCOMPARE(w.Doc().ImageBufferBytes(), size_t(1012 * 1024));
    // Every declared control shows what the document holds, enable states included.
    int compared = 0;
    const std::string diff = CompareWithDocument(h, w.Doc(), &compared);
    QVERIFY2(diff.empty(), diff.c_str());
    QVERIFY(compared > 60);
    QVERIFY(h.messages.isEmpty());
  }

  void validationFailureKeepsPageInFront_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("retries") << int(kBluetooth) << 1049 << "200"
                             << QString::fromStdString(tessera::IntRangeMessage(-1, 127));
    QTest::newRow("reconnections") << int(kBluetooth) << 1051 << "x"
                                   << QString::fromUtf8(tessera::msg::kByteRange);
    QTest::newRow("sleep timeout") << int(kSystem) << 1034 << "656"
                                   << QString::fromStdString(tessera::IntRangeMessage(0, 655));
    QTest::newRow("click time") << int(kKey) << 1068 << "65536"
                                << QString::fromStdString(tessera::IntRangeMessage(0, 65535));
  }
  void validationFailureKeepsPageInFront() {
    QFETCH(int, page);
    QFETCH(int, id);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Harness h;
    h.window->show();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    h.ShowPage(page);
    auto* field = Ctl<QLineEdit>(h.Page(page), id);
    field->setText(typed);
    // Leaving the page: the message, the page stays in front, the field has the focus.
    h.ShowPage(page == kKey ? kLed : kKey);
    QCOMPARE(h.messages, QStringList{message});
    QCOMPARE(h.messagePages.back(), page);
    QCOMPARE(h.window->Sheet()->currentIndex(), page);
    QTRY_VERIFY(field->hasFocus());
    QCOMPARE(field->text(), typed);
    // A command reads every page back first: the same message, and no file dialog.
    Ctl<QPushButton>(h.window.get(), 1002)->click();
    QCOMPARE(h.messages.size(), 2);
    QCOMPARE(h.messages.back(), message);
    QVERIFY(h.asked.empty());
  }

  void readConfigFillsEveryPage() {
    Harness h;
    const QString cfg = QDir(SamplesDir()).absoluteFilePath("demo.cfg");
    tessera::RecordingSink sink;
    tessera::CTesseraView reference(sink);
    reference.OnInitialUpdate();
    QVERIFY(reference.ReadConfigFile(cfg.toStdString()));

    // The sample differs from the start-up state (so the comparison below means something).
    QVERIFY(!CompareWithDocument(h, reference).empty());
    h.files = {cfg};
    Ctl<QPushButton>(h.window.get(), 1001)->click();
    QCOMPARE(h.asked, std::vector<FileDialogKind>{FileDialogKind::OpenConfig});
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('|')));
    int compared = 0;
    const std::string diff = CompareWithDocument(h, reference, &compared);
    QVERIFY2(diff.empty(), diff.c_str());
    QVERIFY(compared > 60);
    QCOMPARE(Ctl<QLineEdit>(h.window.get(), 1009)->text(), QString::fromStdString(reference.binPath));
    QCOMPARE(Ctl<QLineEdit>(h.Page(kBluetooth), 1042)->text(), QStringLiteral("TESSERA_DEMO"));
    QVERIFY(!h.window->isWindowModified());
    QCOMPARE(h.window->RecentFiles().value(0), QFileInfo(cfg).absoluteFilePath());

    // A failing read leaves everything as it was and says why.
    h.files = {QStringLiteral("/nonexistent/x.cfg")};
    Ctl<QPushButton>(h.window.get(), 1001)->click();
    QCOMPARE(h.messages.size(), 1);
    QVERIFY(CompareWithDocument(h, reference).empty());
  }

  // The program's own start-up makes the System page first and the others after the
  // first frame is painted; a load or a tab chosen before then loses nothing.
  void pagesBehindTheFrontAreMadeAfterTheFirstFrame() {
    Harness h(tessera::ui::PageBuilding::FrontFirst);
    const QRegularExpression ctl(QStringLiteral("^ctl\\d+$"));
    auto made = [&](int page) { return !h.Page(page)->findChildren<QWidget*>(ctl).isEmpty(); };
    QVERIFY(made(kSystem));
    for (int page : {kBluetooth, kWave, kLed, kKey, kRfTest, kEq, kEcho}) QVERIFY2(!made(page), qPrintable(QString::number(page)));

    const QString cfg = QDir(SamplesDir()).absoluteFilePath("demo.cfg");
    tessera::RecordingSink sink;
    tessera::CTesseraView reference(sink);
    reference.OnInitialUpdate();
    QVERIFY(reference.ReadConfigFile(cfg.toStdString()));
    h.files = {cfg};
    Ctl<QPushButton>(h.window.get(), 1001)->click();
    h.ShowPage(kKey);  // a tab clicked before the rest are made is made at once
    QVERIFY(made(kKey));
    QVERIFY(!made(kLed));

    h.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
    QTRY_VERIFY(h.window->AllPagesBuilt());
    for (int page = kSystem; page <= kEcho; ++page) QVERIFY2(made(page), qPrintable(QString::number(page)));
    QVERIFY(h.Page(kEq)->findChild<QPushButton*>("ctl1170"));
    int compared = 0;
    const std::string diff = CompareWithDocument(h, reference, &compared);
    QVERIFY2(diff.empty(), diff.c_str());
    QVERIFY(compared > 60);
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('|')));
    QCOMPARE(h.window->Sheet()->currentIndex(), int(kKey));
  }

  void generateImageWritesWhatTheCommandLineBuilds() {
#ifndef TESSERA_CLI_PATH
    QSKIP("tessera-cli is not built in this tree");
#else
    QTemporaryDir tmp;
    Harness h;
    const QString cfg = QDir(SamplesDir()).absoluteFilePath("demo.cfg");
    QVERIFY(h.window->ReadConfigPath(cfg));
    const QString ours = tmp.filePath("window.IMG");
    h.files = {ours};
    Ctl<QPushButton>(h.window.get(), 1006)->click();
    QCOMPARE(h.asked.back(), FileDialogKind::SaveImage);
    // The files are written on a worker: the click returns at once, the commands wait
    // for it, and a close asked for meanwhile waits too.
    QVERIFY(h.window->Building());
    for (int id : {1001, 1002, 1005, 1006}) QVERIFY(!Ctl<QPushButton>(h.window.get(), id)->isEnabled());
    QVERIFY(h.messages.isEmpty());
    Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->click();  // the window still takes edits
    QVERIFY(!h.window->close());
    QTRY_VERIFY_WITH_TIMEOUT(!h.window->Building(), 60000);
    QCOMPARE(h.messages.size(), 1);  // the summary with the check value
    QVERIFY(h.messages[0].startsWith("Image create OK:"));
    QCOMPARE(h.closeQuestions, 1);  // the pending close came back, over the unsaved edit
    for (int id : {1001, 1002, 1005, 1006}) QVERIFY(Ctl<QPushButton>(h.window.get(), id)->isEnabled());
    QCOMPARE(Ctl<QLineEdit>(h.window.get(), 1010)->text(), ours);

    const QString theirs = tmp.filePath("cli.IMG");
    QProcess cli;
    cli.setWorkingDirectory(RepoRoot());
    cli.start(QStringLiteral(TESSERA_CLI_PATH), {"build", cfg, "--out", theirs});
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitCode(), 0);
    for (const QString& suffix : {QString(".IMG"), QString("_CRC.IMG"), QString("_CRC.QR1"), QString("_CRC.TU1")}) {
      QFile a(tmp.filePath("window" + suffix)), b(tmp.filePath("cli" + suffix));
      QVERIFY2(a.open(QIODevice::ReadOnly), qPrintable(a.fileName()));
      QVERIFY2(b.open(QIODevice::ReadOnly), qPrintable(b.fileName()));
      const QByteArray x = a.readAll(), y = b.readAll();
      QVERIFY(x.size() > 500000);
      QVERIFY2(x == y, qPrintable(suffix));
    }
#endif
  }

  // A change redraws the controls the document names and nothing else: DebugPort still
  // reaches the pin lists of the System and LED pages, while text typed in edits of
  // other pages stays as typed.
  void aChangeRedrawsOnlyWhatItChanged() {
    Harness h;
    auto& w = *h.window;
    const std::pair<int, int> typed[] = {{kBluetooth, 1042}, {kKey, 1068}, {kKey, 1071}};
    const QString texts[] = {"HALF_TYP", "777", "333"};
    for (size_t i = 0; i < std::size(typed); ++i) {
      auto* e = Ctl<QLineEdit>(h.Page(typed[i].first), typed[i].second);
      QVERIFY2(e, qPrintable(QString("ctl%1").arg(typed[i].second)));
      QVERIFY(e->text() != texts[i]);
      e->setText(texts[i]);
    }
    auto* led1 = Ctl<QComboBox>(h.Page(kLed), 1063);
    QCOMPARE(led1->findText("GPIO00"), -1);
    Ctl<QCheckBox>(h.Page(kSystem), 1094)->click();  // DebugPort off
    QVERIFY(led1->findText("GPIO00") >= 0);
    QVERIFY(Ctl<QComboBox>(h.Page(kSystem), 1014)->findText("GPIO01") >= 0);
    for (size_t i = 0; i < std::size(typed); ++i)
      QCOMPARE(Ctl<QLineEdit>(h.Page(typed[i].first), typed[i].second)->text(), texts[i]);
    // Taken (as typed) before the click was recorded; then every control agrees with the
    // document (nothing the change touched was missed).
    QCOMPARE(QString::fromStdString(w.Doc().bluetooth.deviceName), texts[0]);
    QVERIFY(w.CommitAllPages());
    const std::string diff = CompareWithDocument(h, w.Doc());
    QVERIFY2(diff.empty(), diff.c_str());
    QVERIFY(h.messages.isEmpty());
  }

  // A name typed and not yet read back is taken into the document before a click's
  // change is recorded: undoing the click keeps it, redoing brings the click back.
  void typedTextIsKeptByUndoOfALaterClick() {
    Harness h;
    auto& w = *h.window;
    h.ShowPage(kBluetooth);
    auto* name = Ctl<QLineEdit>(h.Page(kBluetooth), 1042);
    auto* voice = Ctl<QCheckBox>(h.Page(kBluetooth), 1055);
    const bool wasChecked = voice->isChecked();
    name->setText("TYPED_NAME");
    voice->click();
    w.findChild<QAction*>("actionUndo")->trigger();
    QCOMPARE(voice->isChecked(), wasChecked);
    QCOMPARE(name->text(), QStringLiteral("TYPED_NAME"));
    QCOMPARE(QString::fromStdString(w.Doc().bluetooth.deviceName), QStringLiteral("TYPED_NAME"));
    w.findChild<QAction*>("actionRedo")->trigger();
    QCOMPARE(voice->isChecked(), !wasChecked);
    QCOMPARE(name->text(), QStringLiteral("TYPED_NAME"));
    // The typing is a step of its own.
    w.findChild<QAction*>("actionUndo")->trigger();
    w.findChild<QAction*>("actionUndo")->trigger();
    QCOMPARE(name->text(), QStringLiteral("QR5830_DEMO00"));
    QVERIFY(!w.isWindowModified());
    QVERIFY(h.messages.isEmpty());
  }

  void undoAndRedoReachEveryPage() {
    Harness h;
    auto& w = *h.window;
    auto dump = [&] {
      tessera::RecordingSink sink;
      std::string all;
      for (auto page : tessera::kAllPages) {
        const int index = SheetIndexOf(page);
        if (index < 0) continue;
        const tessera::ControlSet set = w.Doc().Controls(page);
        for (const auto& info : set.Controls()) {
          const auto s = WidgetState(h.Page(index), info);
          all += std::to_string(info.id) + "=" + s.text + "/" + std::to_string(s.value) + (s.enabled ? "+" : "-");
          for (const auto& e : s.entries) all += e + ",";
          for (const auto& r : s.rows)
            for (const auto& c : r) all += c + ",";
          all += ";";
        }
      }
      return all;
    };
    const std::string start = dump();
    // 1. System page: DebugPort off (GPIO0/1 come back on the System and LED selectors).
    Ctl<QCheckBox>(h.Page(kSystem), 1094)->click();
    const std::string afterDebug = dump();
    QVERIFY(afterDebug != start);
    QVERIFY(w.isWindowModified());
    // 2. Bluetooth page: a typed name, read back when the page is left.
    h.ShowPage(kBluetooth);
    Ctl<QLineEdit>(h.Page(kBluetooth), 1042)->setText("UNDO_ME");
    h.ShowPage(kLed);
    // 3. LED page: LED1 moved to GPIO03, which clears the key entry that used GPIO3 only.
    auto* led1 = Ctl<QComboBox>(h.Page(kLed), 1065);
    const int gpio3 = led1->findText("GPIO03");
    QVERIFY(gpio3 >= 0);
    led1->setCurrentIndex(gpio3);
    emit led1->activated(gpio3);
    QCOMPARE(Ctl<QTreeWidget>(h.Page(kKey), 1112)->topLevelItem(2)->text(0), QStringLiteral("Invalid"));
    const std::string end = dump();
    QCOMPARE(w.UndoStack().count(), 3);

    w.UndoStack().undo();
    QCOMPARE(Ctl<QTreeWidget>(h.Page(kKey), 1112)->topLevelItem(2)->text(0), QStringLiteral("PREV SONG"));
    w.UndoStack().undo();
    QCOMPARE(Ctl<QLineEdit>(h.Page(kBluetooth), 1042)->text(), QStringLiteral("QR5830_DEMO00"));
    {
      const std::string now = dump();
      size_t at = 0;
      while (at < now.size() && at < afterDebug.size() && now[at] == afterDebug[at]) ++at;
      QVERIFY2(now == afterDebug, (now.substr(at > 40 ? at - 40 : 0, 120) + " <> " + afterDebug.substr(at > 40 ? at - 40 : 0, 120)).c_str());
    }
    w.UndoStack().undo();
    QCOMPARE(dump(), start);
    QVERIFY(!w.isWindowModified());
    for (int i = 0; i < 3; ++i) w.UndoStack().redo();
    QCOMPARE(dump(), end);
    QVERIFY(w.isWindowModified());
    // The keys reach the same stack.
    QCOMPARE(w.findChild<QAction*>("actionUndo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(w.findChild<QAction*>("actionRedo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
  }

  void liveSettingsAreUndoStepsOfTheDocument() {
    // The Echo page's stored levels change through the document: each pick is one undo
    // step and marks the window modified; undo puts the document back (the port is
    // closed, so nothing can go out), and closing over the pick asks to save it.
    Harness h;
    h.closeAnswer = QMessageBox::Cancel;
    h.window->show();
    h.ShowPage(kEcho);
    QWidget* echo = h.Page(kEcho);
    Ctl<QPushButton>(echo, 1198)->click();  // Conf: settings without a port
    auto* level = Ctl<QComboBox>(echo, 1188);
    QVERIFY(level->isEnabled());
    level->setCurrentIndex(2);  // "3"
    QCOMPARE(h.window->Doc().echo.echoSuppressionIndex, 2);
    QCOMPARE(h.window->UndoStack().count(), 1);
    QVERIFY(h.window->isWindowModified());
    QVERIFY(!h.window->close());
    QCOMPARE(h.closeQuestions, 1);

    h.window->UndoStack().undo();
    QCOMPARE(h.window->Doc().echo.echoSuppressionIndex, 0);
    QCOMPARE(level->currentText(), QStringLiteral("1"));
    QVERIFY(!h.window->isWindowModified());
    QVERIFY2(level->isEnabled(), "the unlocked settings stay unlocked");
    h.window->UndoStack().redo();
    QCOMPARE(level->currentText(), QStringLiteral("3"));
  }

  void closingOverUnsavedChangesAsks_data() {
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<int>("questions");
    QTest::newRow("clean") << false << int(QMessageBox::Cancel) << true << 0;
    QTest::newRow("cancel") << true << int(QMessageBox::Cancel) << false << 1;
    QTest::newRow("discard") << true << int(QMessageBox::Discard) << true << 1;
    QTest::newRow("save cancelled") << true << int(QMessageBox::Save) << false << 1;
  }
  void closingOverUnsavedChangesAsks() {
    QFETCH(bool, modified);
    QFETCH(int, answer);
    QFETCH(bool, closes);
    QFETCH(int, questions);
    Harness h;
    h.closeAnswer = QMessageBox::StandardButton(answer);
    h.window->show();
    if (modified) Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->click();
    QCOMPARE(h.window->isWindowModified(), modified);
    QCOMPARE(h.window->close(), closes);
    QCOMPARE(h.closeQuestions, questions);
  }

  void droppedFilesAreTaken_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("onBinBox");
    QTest::addColumn<QString>("deviceName");
    QTest::addColumn<QString>("binPath");
    const QString cfg = QDir(SamplesDir()).absoluteFilePath("demo.cfg");
    const QString bin = QDir(SamplesDir()).absoluteFilePath("firmware.bin");
    QTest::newRow("cfg on the window reads it") << cfg << false << "TESSERA_DEMO" << "samples/firmware.bin";
    QTest::newRow("bin on the bin path box sets it") << bin << true << "QR5830_DEMO00" << bin;
    QTest::newRow("bin on the window does nothing") << bin << false << "QR5830_DEMO00" << "";
  }
  void droppedFilesAreTaken() {
    QFETCH(QString, file);
    QFETCH(bool, onBinBox);
    QFETCH(QString, deviceName);
    QFETCH(QString, binPath);
    Harness h;
    QWidget* target = onBinBox ? static_cast<QWidget*>(Ctl<QLineEdit>(h.window.get(), 1009)) : h.window.get();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QCOMPARE(Ctl<QLineEdit>(h.Page(kBluetooth), 1042)->text(), deviceName);
    QCOMPARE(Ctl<QLineEdit>(h.window.get(), 1009)->text(), binPath);
    QVERIFY(h.messages.isEmpty());
  }

  void savedConfigurationIsClean() {
    QTemporaryDir tmp;
    Harness h;
    Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->click();
    const QString out = tmp.filePath("saved.cfg");
    h.files = {out};
    Ctl<QPushButton>(h.window.get(), 1002)->click();
    QCOMPARE(h.asked, std::vector<FileDialogKind>{FileDialogKind::SaveConfig});
    QVERIFY2(QFile::exists(out), qPrintable(h.messages.join('|')));
    QVERIFY(!h.window->isWindowModified());
    // Choosing the file in the recent list reads it again.
    Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->click();
    QVERIFY(!Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->isChecked());
    auto* recent = h.window->findChild<QAction*>("actionRecent1");
    QVERIFY(recent);
    QVERIFY(recent->text().endsWith(QFileInfo(out).absoluteFilePath()));
    recent->trigger();
    QVERIFY(Ctl<QCheckBox>(h.Page(kBluetooth), 1055)->isChecked());
    QVERIFY(!h.window->isWindowModified());
  }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
