// The pages and their entry dialogs driven through the window: the GPIO pool across
// pages, the key dialog's free pins, the LED dialog's off-time rule, the prompt
// dialog's kind rule and its refusal of a file that does not fit.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTreeWidget>
#include <map>

#include "GuiFixture.h"
#include "tessera/core/common/Validation.h"

using namespace gui;

namespace {

void Pick(QComboBox* box, const QString& text) {
  const int i = box->findText(text);
  QVERIFY2(i >= 0, qPrintable(box->objectName() + " has no " + text));
  box->setCurrentIndex(i);
  emit box->activated(i);
}

// A click on a list row, which opens the row's dialog.
void ClickRow(QWidget* page, int listId, int row) {
  auto* tree = Ctl<QTreeWidget>(page, listId);
  emit tree->itemClicked(tree->topLevelItem(row), 0);
}

QStringList RowTexts(QWidget* page, int listId, int row) {
  auto* item = Ctl<QTreeWidget>(page, listId)->topLevelItem(row);
  QStringList out;
  for (int c = 0; c < item->columnCount(); ++c) out << item->text(c);
  return out;
}

// Types text one character at a time as key presses carrying that character (any
// script, as an input method delivers it).
void TypeText(QWidget* w, const QString& text) {
  for (const QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &press);
    QApplication::sendEvent(w, &release);
  }
}

// GPIO n's box in the key dialog.
int KeyGpioBox(int n) { return n < 15 ? 1135 + n : 1157 + n - 15; }

}  // namespace

class PagesTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QDir::setCurrent(RepoRoot());
  }

  // DebugPort reserves GPIO0 and GPIO1: no pin list of any page offers them while it is on.
  void debugPortTakesGpio0And1FromEveryPinList() {
    Harness h;
    struct Pins {
      bool gpio0, gpio1;
    };
    auto observe = [&] {
      std::vector<Pins> seen;
      for (auto [page, id] : {std::pair{kSystem, 1014}, {kSystem, 1016}, {kSystem, 1037}, {kLed, 1063},
                              {kLed, 1064}, {kLed, 1065}}) {
        auto* box = Ctl<QComboBox>(h.Page(page), id);
        seen.push_back({box->findText("GPIO00") >= 0, box->findText("GPIO01") >= 0});
      }
      h.onDialog = [&](QDialog& d) {
        seen.push_back({Ctl<QCheckBox>(&d, KeyGpioBox(0))->isEnabled(), Ctl<QCheckBox>(&d, KeyGpioBox(1))->isEnabled()});
        return int(QDialog::Rejected);
      };
      ClickRow(h.Page(kKey), 1112, 0);
      return seen;
    };
    const auto check = [](const std::vector<Pins>& seen, bool offered) {
      QCOMPARE(seen.size(), size_t(7));
      for (const auto& p : seen) {
        QCOMPARE(p.gpio0, offered);
        QCOMPARE(p.gpio1, offered);
      }
    };
    auto* debugPort = Ctl<QCheckBox>(h.Page(kSystem), 1094);
    QVERIFY(debugPort->isChecked());
    check(observe(), false);
    debugPort->click();
    QVERIFY(!debugPort->isChecked());
    check(observe(), true);
    debugPort->click();
    check(observe(), false);
    QVERIFY(h.messages.isEmpty());
  }

  void keyDialogOffersOnlyFreePins_data() {
    QTest::addColumn<int>("ledSelector");
    QTest::addColumn<bool>("gpio3Free");
    QTest::newRow("LED1 takes its pin") << 1065 << false;
    QTest::newRow("low-power LED takes its pin") << 1063 << false;
    QTest::newRow("LED0 leaves its pin to the keys") << 1064 << true;
  }
  void keyDialogOffersOnlyFreePins() {
    QFETCH(int, ledSelector);
    QFETCH(bool, gpio3Free);
    Harness h;
    Pick(Ctl<QComboBox>(h.Page(kLed), ledSelector), "GPIO03");
    // Entry 2 ("PREV SONG") used GPIO3 alone: it goes when GPIO3 is taken.
    QCOMPARE(RowTexts(h.Page(kKey), 1112, 2).value(0), gpio3Free ? QString("PREV SONG") : QString("Invalid"));
    // Entry 1 ("NEXT SONG", GPIO2): GPIO3 can be ticked only while it is free.
    bool opened = false;
    h.onDialog = [&](QDialog& d) {
      opened = true;
      if (Ctl<QComboBox>(&d, 1096)->currentText() != "NEXT SONG") return int(QDialog::Rejected);
      auto* g2 = Ctl<QCheckBox>(&d, KeyGpioBox(2));
      auto* g3 = Ctl<QCheckBox>(&d, KeyGpioBox(3));
      if (!g2->isChecked() || !g2->isEnabled() || g3->isEnabled() != gpio3Free) return int(QDialog::Rejected);
      Ctl<QCheckBox>(&d, KeyGpioBox(4))->click();
      Pick(Ctl<QComboBox>(&d, 1097), "LONG PRESS");
      Ctl<QPushButton>(&d, 1)->click();
      return d.result();
    };
    ClickRow(h.Page(kKey), 1112, 1);
    QVERIFY(opened);
    QCOMPARE(RowTexts(h.Page(kKey), 1112, 1), (QStringList{"NEXT SONG", " GPIO2 GPIO4", "长按", "A2DP"}));
  }

  void ledDialogOffTimeRule_data() {
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("off");
    QTest::addColumn<QString>("flashes");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shownOff");
    QTest::newRow("never on, never off") << "0" << "0" << "1" << "" << "100";
    QTest::newRow("off time kept") << "0" << "5" << "1" << "" << "5";
    QTest::newRow("on only") << "7" << "0" << "3" << "" << "0";
    QTest::newRow("no flashes refused") << "100" << "100" << "0"
                                        << QString::fromStdString(tessera::IntRangeMessage(1, 255)) << "";
    QTest::newRow("negative time refused") << "-1" << "100" << "1" << QString::fromUtf8(tessera::msg::kNotPositive)
                                           << "";
  }
  void ledDialogOffTimeRule() {
    QFETCH(QString, on);
    QFETCH(QString, off);
    QFETCH(QString, flashes);
    QFETCH(QString, message);
    QFETCH(QString, shownOff);
    Harness h;
    const QStringList before = RowTexts(h.Page(kLed), 1066, 7);
    bool stayedOpen = false;
    h.onDialog = [&](QDialog& d) {
      Pick(Ctl<QComboBox>(&d, 1096), "BT PLAY");
      Ctl<QLineEdit>(&d, 1126)->setText(on);
      Ctl<QLineEdit>(&d, 1127)->setText(off);
      Ctl<QLineEdit>(&d, 1129)->setText(flashes);
      Ctl<QPushButton>(&d, 1)->click();
      stayedOpen = d.result() != QDialog::Accepted;
      return d.result();
    };
    ClickRow(h.Page(kLed), 1066, 7);
    if (message.isEmpty()) {
      QVERIFY(h.messages.isEmpty());
      const QStringList row = RowTexts(h.Page(kLed), 1066, 7);
      QCOMPARE(row.value(0), QStringLiteral("BT MUSIC PLAYING"));
      QCOMPARE(row.value(2), on);
      QCOMPARE(row.value(3), shownOff);
      QCOMPARE(row.value(5), flashes);
    } else {
      QCOMPARE(h.messages, QStringList{message});
      QVERIFY(stayedOpen);
      QCOMPARE(RowTexts(h.Page(kLed), 1066, 7), before);
    }
  }

  void promptDialogKindRule_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("wave");
    QTest::newRow("wave file") << "cust. wave file" << true;
    QTest::newRow("DTMF tone") << "DTMF tone" << false;
  }
  void promptDialogKindRule() {
    QFETCH(QString, kind);
    QFETCH(bool, wave);
    Harness h;
    std::map<int, bool> enabled;
    h.onDialog = [&](QDialog& d) {
      Pick(Ctl<QComboBox>(&d, 1097), kind);
      for (int id = 1099; id <= 1110; ++id) enabled[id] = Ctl<QWidget>(&d, id)->isEnabled();
      return int(QDialog::Rejected);
    };
    ClickRow(h.Page(kWave), 1120, 3);
    QCOMPARE(enabled.size(), size_t(12));
    for (auto [id, on] : enabled) QVERIFY2(on == (id <= 1100 ? wave : !wave), qPrintable(QString::number(id)));
  }

  // On the 4 Mbit flash only 19 KB are free for prompts: one sample prompt (12 KB in
  // the image) fits, a second different one is refused and its row emptied.
  void promptDialogRefusesWhatDoesNotFit() {
    Harness h;
    Pick(Ctl<QComboBox>(h.window.get(), 1003), "GD_4Mbit");
    auto* remaining = Ctl<QLineEdit>(h.Page(kWave), 1119);
    // The flash-type change reports the space without the CRC image's growth; the fit
    // check after an edit counts with it (19 KB).
    QCOMPARE(remaining->text(), QStringLiteral("48KB"));
    auto assign = [&](int row, const QString& event, const QString& file) {
      h.files = {QDir(SamplesDir()).absoluteFilePath("prompts/" + file)};
      h.onDialog = [&](QDialog& d) {
        Pick(Ctl<QComboBox>(&d, 1096), event);
        Pick(Ctl<QComboBox>(&d, 1097), "cust. wave file");
        Pick(Ctl<QComboBox>(&d, 1098), "Enable");
        Ctl<QPushButton>(&d, 1100)->click();
        Ctl<QPushButton>(&d, 1)->click();
        return d.result();
      };
      ClickRow(h.Page(kWave), 1120, row);
    };
    assign(0, "POWER ON", "power_on.wav");
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('|')));
    QCOMPARE(RowTexts(h.Page(kWave), 1120, 0).value(0), QStringLiteral("POWER ON"));
    QCOMPARE(remaining->text(), QStringLiteral("7KB"));
    assign(1, "POWER OFF", "power_off.wav");
    QCOMPARE(h.messages, QStringList{"File is too big,   no space in flash!"});
    QCOMPARE(RowTexts(h.Page(kWave), 1120, 1),
             (QStringList{"Invalid", "cust.audio file or DTMFTONE", "cust. wave file", "FALSE"}));
    QCOMPARE(remaining->text(), QStringLiteral("7KB"));
    // Undo takes the kept prompt back out as well.
    h.window->UndoStack().undo();
    h.window->UndoStack().undo();
    QCOMPARE(RowTexts(h.Page(kWave), 1120, 0).value(0), QStringLiteral("Invalid"));
    QCOMPARE(remaining->text(), QStringLiteral("48KB"));
  }

  // The lists show their columns' titles, and after a load no title or cell text is
  // cut by its column.
  void listsShowTheirTitlesAndFitTheirTexts() {
    Harness h;
    QVERIFY(h.window->ReadConfigPath(RepoRoot() + "/samples/demo.cfg"));
    struct ListOf {
      int page, id;
      QStringList titles;
    };
    const ListOf lists[] = {
        {kKey, 1112, {QString::fromUtf8("按键事件"), QString::fromUtf8("对应GPIO"), QString::fromUtf8("按键类型"),
                      QString::fromUtf8("按键状态")}},
        {kLed, 1066, {"EVENT", "INDEX", "ON-TIME", "OFF-TIME", "REPEAT", "NUM-FLASH", "TIMEOUT"}},
        {kWave, 1120, {"   Event", "Information", "Audiotyp", QString::fromUtf8("条目使能")}},
    };
    for (const ListOf& l : lists) {
      auto* tree = Ctl<QTreeWidget>(h.Page(l.page), l.id);
      QCOMPARE(tree->columnCount(), l.titles.size());
      const QFontMetrics cells = tree->fontMetrics();
      const QFontMetrics header = tree->header()->fontMetrics();
      for (int c = 0; c < tree->columnCount(); ++c) {
        QCOMPARE(tree->headerItem()->text(c), l.titles[c]);
        QVERIFY2(tree->columnWidth(c) >= header.horizontalAdvance(l.titles[c]), qPrintable(l.titles[c]));
        for (int r = 0; r < tree->topLevelItemCount(); ++r) {
          const QString text = tree->topLevelItem(r)->text(c);
          QVERIFY2(tree->columnWidth(c) >= cells.horizontalAdvance(text), qPrintable(text));
        }
      }
    }
  }

  // Keyboard and screen-reader users: a check box toggled through the accessibility
  // interface's action (no click) takes effect; the address tick or cross says which;
  // a path box shows the file name at its end and the whole path on hover.
  void accessibleTogglePathsAndAddressState() {
    Harness h;
    auto* voice = Ctl<QCheckBox>(h.Page(kBluetooth), 1055);
    const bool was = h.window->Doc().bluetooth.voiceReport != 0;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(voice);
    QVERIFY(iface && iface->actionInterface());
    QVERIFY(iface->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    iface->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QCOMPARE(h.window->Doc().bluetooth.voiceReport != 0, !was);
    QCOMPARE(h.window->UndoStack().count(), 1);

    auto* address = Ctl<QLineEdit>(h.Page(kBluetooth), 1039);
    auto* mark = Ctl<QLabel>(h.Page(kBluetooth), 1043);
    QCOMPARE(mark->accessibleDescription(), QStringLiteral("valid"));
    address->setText("0x1122");
    emit address->textEdited(address->text());
    QCOMPARE(mark->accessibleDescription(), QStringLiteral("invalid"));

    const QString bin = "/a/folder/name/long/enough/to/be/cut/in/the/box/somewhere/before/its/end/firmware_v2.bin";
    h.files = {bin};
    Ctl<QPushButton>(h.window.get(), 1005)->click();
    auto* box = Ctl<QLineEdit>(h.window.get(), 1009);
    QCOMPARE(box->text(), bin);
    QCOMPARE(box->cursorPosition(), bin.size());
    QCOMPARE(box->toolTip(), bin);
    box->setText("typed.bin");
    QCOMPARE(box->toolTip(), QStringLiteral("typed.bin"));
  }

  // The record keeps the name and PIN as UTF-8 bytes (32 and 16): the boxes take what
  // the check accepts and no more.
  void nameAndPinBoxesStopAtTheRecordsByteLimit() {
    Harness h;
    h.ShowPage(kBluetooth);
    auto* name = Ctl<QLineEdit>(h.Page(kBluetooth), 1042);
    auto* pin = Ctl<QLineEdit>(h.Page(kBluetooth), 1041);
    name->clear();
    TypeText(name, QString::fromUtf8("蓝牙耳机测试名称一二三"));  // 11 characters, 33 bytes
    QCOMPARE(name->text(), QString::fromUtf8("蓝牙耳机测试名称一二"));
    pin->clear();
    TypeText(pin, QString::fromUtf8("一二三四五") + "12");  // 15 bytes, then 1 more fits
    QCOMPARE(pin->text(), QString::fromUtf8("一二三四五") + "1");
    QVERIFY(h.window->CommitAllPages());
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('|')));
    QCOMPARE(h.window->Doc().bluetooth.deviceName.size(), size_t(30));
    QCOMPARE(h.window->Doc().bluetooth.pinCode.size(), size_t(16));
    // A text put there over the limit can still be shortened.
    name->setText(QString::fromUtf8("一二三四五六七八九十一二"));
    name->end(false);
    QTest::keyClick(name, Qt::Key_Backspace);
    QCOMPARE(name->text(), QString::fromUtf8("一二三四五六七八九十一"));
  }

  // A key row is refreshed after its dialog's OK, and that refresh reads the timings
  // back: a bad one shows its message (with the focus) and the row is taken all the same.
  void keyRowRefreshShowsABadTimingsMessage() {
    Harness h;
    h.ShowPage(kKey);
    Ctl<QLineEdit>(h.Page(kKey), 1068)->setText("abc");
    h.onDialog = [&](QDialog& d) {
      Pick(Ctl<QComboBox>(&d, 1097), "LONG PRESS");
      Ctl<QPushButton>(&d, 1)->click();
      return d.result();
    };
    ClickRow(h.Page(kKey), 1112, 1);
    QCOMPARE(h.messages, QStringList{QString::fromStdString(tessera::msg::kNotPositive)});
    QCOMPARE(RowTexts(h.Page(kKey), 1112, 1).value(2), QStringLiteral("长按"));
    QCOMPARE(Ctl<QLineEdit>(h.Page(kKey), 1068)->text(), QStringLiteral("abc"));
  }

  // Browse reads the dialog back first: a bad DTMF field shows its message.
  void soundDialogBrowseReadsTheFieldsBack() {
    Harness h;
    h.files = {QString()};  // the file dialog is cancelled
    h.onDialog = [&](QDialog& d) {
      Pick(Ctl<QComboBox>(&d, 1097), "DTMF tone");
      Ctl<QLineEdit>(&d, 1103)->setText("x");
      Pick(Ctl<QComboBox>(&d, 1097), "cust. wave file");
      Ctl<QPushButton>(&d, 1100)->click();
      return int(QDialog::Rejected);
    };
    ClickRow(h.Page(kWave), 1120, 0);
    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages[0].contains(QString::fromUtf8("请")), qPrintable(h.messages[0]));
  }

  // "Type of FLASH" takes effect while another page holds a field typed wrong; that
  // field keeps its text.
  void flashTypeChangeAppliesWithABadFieldElsewhere() {
    Harness h;
    h.ShowPage(kBluetooth);
    Ctl<QLineEdit>(h.Page(kBluetooth), 1049)->setText("many");
    Pick(Ctl<QComboBox>(h.window.get(), 1003), "GD_4Mbit");
    QCOMPARE(h.window->Doc().flashType.selected, 0);
    QCOMPARE(Ctl<QLineEdit>(h.Page(kWave), 1119)->text(), QStringLiteral("48KB"));
    Pick(Ctl<QComboBox>(h.window.get(), 1004), "QFN40_5X5");
    QCOMPARE(h.window->Doc().chipType.selected, 0);
    QCOMPARE(Ctl<QLineEdit>(h.Page(kBluetooth), 1049)->text(), QStringLiteral("many"));
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join('|')));
  }
};

QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
