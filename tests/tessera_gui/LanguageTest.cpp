// Both languages: captions from the forms and their Chinese catalogue, accessible
// names on every control, and the texts the code shows staying the same in both.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>
#include <QTreeWidget>

#include "GuiFixture.h"
#include "tessera/ui/app/AboutBox.h"
#include "tessera/ui/app/Application.h"
#include "tessera/ui/pages/EntryDialogs.h"

using namespace gui;

namespace {

// The shown caption of a named widget: text of a button, label or check, title of a group.
QString Caption(const QWidget* w) {
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<const QGroupBox*>(w)) return g->title();
  return w->windowTitle();
}

// Every ctl widget below root lacking an accessible name.
QStringList Unnamed(const QWidget* root) {
  QStringList out;
  for (const QWidget* w : root->findChildren<QWidget*>())
    if (w->objectName().startsWith("ctl") && w->accessibleName().isEmpty()) out << w->objectName();
  return out;
}

}  // namespace

class LanguageTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void languageChoice_data() {
    QTest::addColumn<QString>("forced");
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("system Chinese") << "" << QStringList{"zh-CN", "en-US"} << "zh_CN";
    QTest::newRow("system English") << "" << QStringList{"en-GB"} << "en";
    QTest::newRow("other falls back to English") << "" << QStringList{"de-DE"} << "en";
    QTest::newRow("forced English") << "en" << QStringList{"zh-CN"} << "en";
    QTest::newRow("forced Chinese") << "zh_CN" << QStringList{"en-US"} << "zh_CN";
    QTest::newRow("forced unknown gives English") << "fr" << QStringList{"zh-CN"} << "en";
  }

  // The window program starts whatever its command line holds; what it cannot use is
  // named on standard error.
  void windowStartsDespiteABadCommandLine() {
    QProcess tessera;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    tessera.setProcessEnvironment(env);
    tessera.start(QStringLiteral(TESSERA_PATH), {"--no-such-option", "--lang", "fr", "--quit-after-first-paint"});
    QVERIFY(tessera.waitForFinished(60000));
    const QString err = QString::fromUtf8(tessera.readAllStandardError());
    QCOMPARE(tessera.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tessera.exitCode(), 0);
    QVERIFY2(QString::fromUtf8(tessera.readAllStandardOutput()).startsWith("first-paint-ms"), qPrintable(err));
    QVERIFY2(err.contains("no-such-option"), qPrintable(err));
    QVERIFY2(err.contains("\"fr\"; English is shown"), qPrintable(err));
  }
  // --help and --version answer on a machine without a display.
  void helpAndVersionNeedNoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
      QProcess tessera;
      tessera.setProcessEnvironment(env);
      tessera.start(QStringLiteral(TESSERA_PATH), {option});
      QVERIFY(tessera.waitForFinished(60000));
      const QString out = QString::fromUtf8(tessera.readAllStandardOutput());
      const QString err = QString::fromUtf8(tessera.readAllStandardError());
      QCOMPARE(tessera.exitCode(), 0);
      QVERIFY2(out.contains(option == "--help" ? "--lang <language>" : "Tessera 2.6"), qPrintable(out + err));
    }
  }
  void languageChoice() {
    QFETCH(QString, forced);
    QFETCH(QStringList, system);
    QFETCH(QString, chosen);
    QCOMPARE(tessera::ui::ChooseLanguage(forced, system), chosen);
  }

  void captionsInBothLanguages_data() {
    QTest::addColumn<QString>("lang");
    QTest::newRow("English") << "en";
    QTest::newRow("Simplified Chinese") << "zh_CN";
  }
  void captionsInBothLanguages() {
    QFETCH(QString, lang);
    const bool zh = lang == "zh_CN";
    QTranslator tr;
    if (zh) {
      QVERIFY(tr.load(":/i18n/tessera_zh_CN.qm"));
      QCoreApplication::installTranslator(&tr);
    }
    Harness h;
    auto& w = *h.window;
    // Tabs, then a caption of each page and the main form.
    const QStringList tabsEn = {"System parameters", "Bluetooth Parameters", "Custom Sound Effect",
                                "LED Configuration", "button configuration", "RF Test",
                                "Audio Equalization", "Echo Test"};
    const QStringList tabsZh = {"系统参数", "蓝牙参数", "自定义音效", "LED配置", "按键配置",
                                "RF测试",   "音频均衡", "回声测试"};
    for (int i = 0; i < tabsEn.size(); ++i) QCOMPARE(w.Sheet()->tabText(i), zh ? tabsZh[i] : tabsEn[i]);
    struct Row {
      int page;  // -1: main window
      const char* name;
      const char* en;
      const char* zh;
    };
    const Row rows[] = {
        {-1, "grpFlash", "Type of FLASH", "FLASH类型"},
        {-1, "grpChip", "Chip type", "芯片类型"},
        {-1, "grpConfiguration", "Configuration", "配置信息"},
        {-1, "ctl1001", "LoadConf", "LoadConf"},  // run-time captions, the same in both
        {-1, "ctl1006", "Save .img", "Save .img"},
        {kSystem, "ctl1095", "PA Mute Enable", "PA Mute使能"},
        {kSystem, "lbl1034", "Sleep Timeout (s)", "睡眠超时时间(s)"},
        {kBluetooth, "ctl1044", "Enable Connection Recovery", "连接恢复使能"},
        {kBluetooth, "ctl1168", "Automatic reconnection", "周期自动重连"},
        {kBluetooth, "grpReconnect", "Automatic reconnection", "自动重连"},
        {kWave, "lbl1118", "Remaining space:", "剩余空间："},
        {kLed, "ctl1136", "Polarity Reversal", "极性反转"},
        {kKey, "grpKeyTime", "Key Time Configuration", "按键时间配置"},
    };
    for (const auto& r : rows) {
      const QWidget* root = r.page < 0 ? static_cast<QWidget*>(&w) : h.Page(r.page);
      auto* widget = root->findChild<QWidget*>(r.name);
      QVERIFY2(widget, r.name);
      QCOMPARE(Caption(widget), QString::fromUtf8(zh ? r.zh : r.en));
    }
    const QList<QAction*> menus = w.menuBar()->actions();
    QCOMPARE(menus.value(0)->text(), zh ? QString("文件(&F)") : QString("File(&F)"));
    QCOMPARE(menus.value(1)->text(), zh ? QString("帮助(&H)") : QString("Help(&H)"));
    // Texts the code shows do not follow the language.
    QCOMPARE(Ctl<QTreeWidget>(h.Page(kKey), 1112)->headerItem()->text(0), QStringLiteral("按键事件"));
    QCOMPARE(Ctl<QTreeWidget>(h.Page(kLed), 1066)->headerItem()->text(0), QStringLiteral("EVENT"));
    QCOMPARE(Unnamed(&w), QStringList());
    // An accessible name is the caption in the language shown.
    QCOMPARE(Ctl<QWidget>(h.Page(kBluetooth), 1044)->accessibleName(), zh ? QString("连接恢复使能")
                                                                          : QString("Enable Connection Recovery"));

    // The dialogs.
    tessera::ui::AboutBox about;
    QCOMPARE(about.windowTitle(), zh ? QString("关于 Tessera") : QString("About Tessera"));
    QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(),
             zh ? QString("QR5830 Tessera 2.6 版") : QString("QR5830 Tessera version 2.6"));
    QCOMPARE(Ctl<QPushButton>(&about, 1)->text(), zh ? QString("确定") : QString("OK"));
    auto key = w.Doc().BeginKeyEdit(0);
    tessera::ui::KeyEventDialog keyDialog(*key, w);
    QCOMPARE(keyDialog.windowTitle(), zh ? QString("按键配置") : QString("button configuration"));
    QCOMPARE(Caption(keyDialog.findChild<QWidget*>("lbl1096")), zh ? QString("事件：") : QString("Event:"));
    QCOMPARE(Unnamed(&keyDialog), QStringList());
    auto led = w.Doc().led.BeginEdit(0);
    tessera::ui::LedEventDialog ledDialog(*led, w);
    QCOMPARE(Caption(ledDialog.findChild<QWidget*>("lbl1126")),
             zh ? QString("点亮时间(ms):") : QString("Lighting time (ms):"));
    QCOMPARE(Unnamed(&ledDialog), QStringList());
    auto audio = w.Doc().wave.BeginEdit(0);
    tessera::ui::AudioConfigDialog audioDialog(*audio, w);
    QCOMPARE(audioDialog.windowTitle(), zh ? QString("音频配置") : QString("Audio Configuration"));
    QCOMPARE(Caption(audioDialog.findChild<QWidget*>("grpCustom")), zh ? QString("自定义音频") : QString("Custom Audio"));
    QCOMPARE(Ctl<QPushButton>(&audioDialog, 1100)->text(), QString("wave文件"));
    QCOMPARE(Unnamed(&audioDialog), QStringList());
    if (zh) QCoreApplication::removeTranslator(&tr);
  }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
