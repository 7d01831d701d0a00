// The live-tuning pages on the offscreen platform, on an in-process board port whose
// bursts the test ends itself: nothing here waits for a board.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTabWidget>
#include <QSpinBox>
#include <QTest>
#include <QTranslator>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/link/BoardPort.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "tessera/ui/live/LiveEchoPage.h"
#include "tessera/ui/live/LiveEqPage.h"
#include "tessera/ui/live/LiveTestPage.h"
#include "tessera/ui/live/ResponsePlot.h"

namespace tessera::ui {
namespace {

template <class T = QWidget>
T* Ctl(QWidget* root, int id) {
  auto* w = root->findChild<T*>(QString("ctl%1").arg(id));
  EXPECT_NE(w, nullptr) << "ctl" << id;
  return w;
}

// Hooks that record messages and answer the band dialog by typing into it; each change
// of the document is kept as an undo step, as the window keeps them.
struct TestHooks {
  CTesseraView* doc = nullptr;
  std::vector<DocumentState> undo;
  QStringList messages;
  std::function<void(EqConfigDialog&)> fillDialog;
  bool dialogAccepted = false;
  LiveHooks Make() {
    LiveHooks h;
    h.showMessage = [this](const QString& m) { messages << m; };
    h.runBandDialog = [this](EqConfigDialog& dlg) {
      if (fillDialog) fillDialog(dlg);
      dialogAccepted = dlg.TryAccept();
      return dialogAccepted;
    };
    h.modify = [this](const std::function<bool()>& op) {
      DocumentState before = doc->Snapshot();
      const bool changed = op();
      if (changed) undo.push_back(std::move(before));
      return changed;
    };
    return h;
  }
};

void Type(QWidget* root, int id, const QString& text) {
  auto* e = Ctl<QLineEdit>(root, id);
  e->clear();
  QTest::keyClicks(e, text);
}

// The page inside a two-tab sheet, so leaving it is a tab switch as in the window.
struct Sheet {
  QTabWidget tabs;
  explicit Sheet(QWidget* page) {
    tabs.addTab(page, "live");
    tabs.addTab(new QWidget, "other");
    tabs.resize(800, 760);
    tabs.show();
  }
  void Leave() { tabs.setCurrentIndex(1); }
  void Return() { tabs.setCurrentIndex(0); }
};

std::string Log(LinkSession& s) { return s.log().Shown(); }

// A started document; its messages (Save OK!) are recorded.
struct Doc {
  RecordingSink sink;
  CTesseraView view{sink};
  Doc() { view.OnInitialUpdate(); }
};

// A board port in process: what the page writes is there at once, and the test hands over
// what the board says and fires the burst timer itself, so nothing here waits.
class FakeBoardPort : public link::BoardPort {
 public:
  std::string written, opened;
  std::string missing;  // a port name that does not open
  bool Open(const std::string& name) override {
    if (name == missing) return false;
    opened = name;
    open_ = true;
    return true;
  }
  void Close(bool) override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Write(std::string_view bytes) override {
    if (open_) written.append(bytes);
    return open_;
  }
  // No modem lines, as on a pseudo-terminal.
  bool SetRequestToSend(bool) override { return false; }
  bool SetDataTerminalReady(bool) override { return false; }
  void Arrive(std::string_view bytes) { listener_->BytesArrived(bytes); }

 private:
  bool open_ = false;
};

class HeldTimer : public link::LinkTimer {
 public:
  bool running = false;
  void Start(int) override { running = true; }
  void Stop() override { running = false; }
};

TEST(LiveEqPageGui, OpenSendEditPlotAndLeave) {
  Doc doc;
  FakeBoardPort board;
  HeldTimer silence;
  TestHooks hooks;
  hooks.doc = &doc.view;
  ui::LiveHooks made = hooks.Make();
  made.port = &board;
  made.silence = &silence;
  auto* page = new LiveEqPage(doc.view, made);
  Sheet sheet(page);

  EXPECT_EQ(Ctl<QPushButton>(page, 1170)->text(), "Open");
  EXPECT_FALSE(Ctl(page, 1075)->isEnabled());
  Ctl<QComboBox>(page, 1077)->setEditText("ttyFAKE");
  QTest::mouseClick(Ctl(page, 1170), Qt::LeftButton);
  ASSERT_TRUE(page->Session().IsOpen()) << Log(page->Session());
  EXPECT_EQ(board.opened, "ttyFAKE");
  EXPECT_EQ(Ctl<QPushButton>(page, 1170)->text(), "Close");
  EXPECT_TRUE(Ctl(page, 1075)->isEnabled() && Ctl(page, 1184)->isEnabled());

  // Band 1 becomes a +6 dB peak at 1 kHz through the dialog; the plot follows.
  const auto flat = page->Plot()->MainCurve().db;
  hooks.fillDialog = [](EqConfigDialog& dlg) {
    QTest::mouseClick(Ctl(&dlg, 1179), Qt::LeftButton);
    Type(&dlg, 1182, "6");
    Type(&dlg, 1184, "1000");
    Ctl<QCheckBox>(&dlg, 1186)->setChecked(true);
  };
  auto* table = Ctl<QTableWidget>(page, 1175);
  emit table->cellClicked(1, 0);
  ASSERT_TRUE(hooks.dialogAccepted) << hooks.messages.join("|").toStdString();
  EXPECT_EQ(table->item(1, 0)->text(), "Peak");
  EXPECT_EQ(table->item(1, 2)->text(), "6.0000");
  EXPECT_EQ(table->item(1, 6)->text(), "Enable");
  const auto& peaked = page->Plot()->MainCurve();
  ASSERT_EQ(peaked.db.size(), flat.size());
  EXPECT_NEAR(*std::max_element(peaked.db.begin(), peaked.db.end()), 6, 0.3);
  EXPECT_NEAR(*std::max_element(flat.begin(), flat.end()), 0, 1e-9);

  // Each command goes out at once; the board's reply reaches the link log (the panel shows
  // it), rewritten, when the burst timer says the board paused.
  auto okCount = [&] {
    const std::string log = Log(page->Session());
    size_t n = 0;
    for (size_t at = log.find("CMD OK!"); at != std::string::npos; at = log.find("CMD OK!", at + 1)) ++n;
    return n;
  };
  Ctl<QComboBox>(page, 1177)->setCurrentIndex(1);
  QTest::mouseClick(Ctl(page, 1075), Qt::LeftButton);
  EXPECT_EQ(board.written, "CMD+AUD+CONF+1+1+0+60000+1000+44100+100\"");
  board.Arrive("CMD+OK\r\n");
  EXPECT_EQ(okCount(), 0u) << "the board may not have paused yet";
  ASSERT_TRUE(silence.running);
  page->Session().port().SilenceElapsed();
  EXPECT_EQ(okCount(), 1u) << Log(page->Session());
  Ctl<QComboBox>(page, 1177)->setCurrentIndex(2);
  QTest::mouseClick(Ctl(page, 1184), Qt::LeftButton);
  Ctl<QComboBox>(page, 1177)->setCurrentIndex(3);
  EXPECT_FALSE(Ctl<QCheckBox>(page, 1184)->isChecked());
  Ctl<QComboBox>(page, 1177)->setCurrentIndex(2);
  EXPECT_TRUE(Ctl<QCheckBox>(page, 1184)->isChecked());
  board.Arrive("CMD+");
  board.Arrive("OK\r\n");
  page->Session().port().SilenceElapsed();
  EXPECT_EQ(okCount(), 2u) << Log(page->Session());
  EXPECT_EQ(board.written, "CMD+AUD+CONF+1+1+0+60000+1000+44100+100\"CMD+AUD+ENABLE+2+1\"");
  EXPECT_NE(Log(page->Session()).find("[WRITE] CMD+AUD+ENABLE+2+1\r\n"), std::string::npos);

  sheet.Leave();
  EXPECT_FALSE(page->Session().IsOpen());
  sheet.Return();
  EXPECT_EQ(Ctl<QPushButton>(page, 1170)->text(), "Open");
  EXPECT_FALSE(Ctl(page, 1075)->isEnabled() || Ctl(page, 1184)->isEnabled());
}

TEST(LiveEqPageGui, BandDialogRefusesOutOfRangeAndPlotsAsTyped) {
  struct Case {
    int id;
    QString text;
    QString message;
  };
  const std::vector<Case> cases = {
      {1182, "18.5", QString::fromUtf8("“请填入一个在-24和18之间的数字。”")},
      {1185, "7999", QString::fromUtf8("“请填入一个在8000和48000之间的整数。”")},
      {1183, "abc", QString::fromUtf8("请键入一个整数。")},
  };
  for (const auto& c : cases) {
    QStringList messages;
    EqConfigDialog dlg(CEqConfigDlg::FromBand(CPageEQ::DefaultBand()),
                       [&](const QString& m) { messages << m; });
    dlg.show();
    Type(&dlg, c.id, c.text);
    QTest::mouseClick(Ctl(&dlg, 1), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList{c.message}) << c.text.toStdString();
    EXPECT_EQ(dlg.result(), 0) << "the dialog stays open";
  }
  EqConfigDialog dlg(CEqConfigDlg::FromBand(CPageEQ::DefaultBand()), nullptr);
  dlg.show();
  QTest::mouseClick(Ctl(&dlg, 1179), Qt::LeftButton);
  Type(&dlg, 1184, "1000");
  Type(&dlg, 1182, "-9");
  const auto& curve = dlg.Plot()->MainCurve();
  EXPECT_NEAR(*std::min_element(curve.db.begin(), curve.db.end()), -9, 0.3);
  Type(&dlg, 1182, "12");
  EXPECT_NEAR(*std::max_element(curve.db.begin(), curve.db.end()), 12, 0.3);
  QTest::mouseClick(Ctl(&dlg, 1), Qt::LeftButton);
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_FLOAT_EQ(dlg.Model().gainDb, 12.0f);
}

// The whole text at once, as a paste: no shorter text on the way.
void Paste(QWidget* root, int id, const QString& text) {
  auto* e = Ctl<QLineEdit>(root, id);
  e->setText(text);
  emit e->textEdited(text);
}

TEST(LiveEqPageGui, BandDialogTakesItsLimitsFromTheCore) {
  // Each edit at the core's limit is taken by the plot and by OK; one past it is left out
  // of the plot and refused on OK with the core's bounds in the message.
  const QString integer = QString::fromUtf8("“请填入一个在%1和%2之间的整数。”");
  const QString number = QString::fromUtf8("“请填入一个在%1和%2之间的数字。”");
  for (const FieldSpec& f : CEqConfigDlg::Fields()) {
    const auto lo = static_cast<int>(f.min), hi = static_cast<int>(f.max);
    SCOPED_TRACE(f.id);
    QStringList messages;
    EqConfigDialog dlg(CEqConfigDlg::FromBand(CPageEQ::DefaultBand()),
                       [&](const QString& m) { messages << m; });
    dlg.show();
    Ctl<QRadioButton>(&dlg, 1179)->setChecked(true);  // a peak shows its gain and width
    if (f.id != CEqConfigDlg::kIdGain) Paste(&dlg, CEqConfigDlg::kIdGain, "6");
    const auto before = dlg.Plot()->MainCurve().db;
    Paste(&dlg, f.id, QString::number(hi + 1));
    EXPECT_EQ(dlg.Plot()->MainCurve().db, before) << "a value past the limit is not drawn";
    QTest::mouseClick(Ctl(&dlg, 1), Qt::LeftButton);
    EXPECT_EQ(messages, QStringList{(f.kind == FieldKind::Float ? number : integer).arg(lo).arg(hi)});
    Paste(&dlg, f.id, QString::number(hi));
    const auto& curve = dlg.Plot()->MainCurve();
    if (f.id == CEqConfigDlg::kIdGain) {
      EXPECT_NEAR(*std::max_element(curve.db.begin(), curve.db.end()), f.max, 0.5);
    } else if (f.id == CEqConfigDlg::kIdSample) {
      EXPECT_NEAR(curve.hz.back(), f.max / 2, f.max / 500);
    } else {
      EXPECT_NE(curve.db, before);
    }
    QTest::mouseClick(Ctl(&dlg, 1), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
  }
}

TEST(LiveEchoPageGui, LevelsAndVoiceEqualizersGoOutUnansweredAndLeavingCloses) {
  Doc doc;
  FakeBoardPort board;
  board.missing = "/dev/ttyNOSUCHPORT";
  HeldTimer silence;
  TestHooks hooks;
  hooks.doc = &doc.view;
  ui::LiveHooks made = hooks.Make();
  made.port = &board;
  made.silence = &silence;
  auto* page = new LiveEchoPage(doc.view, made);
  Sheet sheet(page);
  EXPECT_EQ(Ctl<QComboBox>(page, 1191)->currentText(), "-6dB");
  EXPECT_EQ(Ctl<QComboBox>(page, 1192)->currentText(), "27dB");

  Ctl<QComboBox>(page, 1077)->setEditText("/dev/ttyNOSUCHPORT");
  QTest::mouseClick(Ctl(page, 1170), Qt::LeftButton);
  EXPECT_EQ(hooks.messages, QStringList{QString::fromUtf8("串口打开失败！\r\n")});
  hooks.messages.clear();

  Ctl<QComboBox>(page, 1077)->setEditText("ttyFAKE");
  QTest::mouseClick(Ctl(page, 1170), Qt::LeftButton);
  ASSERT_TRUE(page->Session().IsOpen());
  EXPECT_TRUE(Ctl(page, 1196)->isEnabled() && Ctl(page, 1191)->isEnabled());

  Ctl<QComboBox>(page, 1191)->setCurrentIndex(4);   // "-6dB" again: no change, nothing sent
  Ctl<QComboBox>(page, 1191)->setCurrentIndex(5);   // "-8dB"
  Ctl<QComboBox>(page, 1188)->setCurrentIndex(2);   // "3"
  hooks.fillDialog = [](EqConfigDialog& dlg) {
    QTest::mouseClick(Ctl(&dlg, 1179), Qt::LeftButton);
    Type(&dlg, 1182, "-2.7");
    Type(&dlg, 1183, "200");
    Type(&dlg, 1184, "1000");
    Type(&dlg, 1185, "8000");
    Ctl<QCheckBox>(&dlg, 1186)->setChecked(true);
  };
  QTest::mouseClick(Ctl(page, 1190), Qt::LeftButton);
  ASSERT_TRUE(hooks.dialogAccepted) << hooks.messages.join("|").toStdString();
  EXPECT_TRUE(Ctl<QPlainTextEdit>(page, 1195)->toPlainText().contains(QString::fromUtf8("增益: -2DB")));
  QTest::mouseClick(Ctl(page, 1197), Qt::LeftButton);
  for (int i = 0; i < 3; ++i) board.Arrive("LINK+CHECK");  // the echo page answers none
  EXPECT_FALSE(silence.running) << "the echo page reads no text";
  EXPECT_EQ(board.written,
            "CMD+FLASH+AECIOCTL+2+5\"CMD+FLASH+AECIOCTL+1+3\""
            "CMD+AUD+CONF+6+1+0+-2+1000+8000+200\"CMD+AUD+ENABLE+6+1\"\r\n");

  QTest::mouseClick(Ctl(page, 1193), Qt::LeftButton);
  EXPECT_EQ(doc.sink.messages, std::vector<std::string>{"Save OK!\r\n"});
  EXPECT_EQ(doc.view.system.hfpVolume, 10);
  // Two picks, the voice equalizer and Save: one undo step each. Undoing them all
  // changes the document and the page, and nothing more goes to the board.
  ASSERT_EQ(hooks.undo.size(), 4u);
  const std::string sent = board.written;
  doc.view.Restore(hooks.undo.front());
  EXPECT_EQ(Ctl<QComboBox>(page, 1188)->currentText(), "1");
  EXPECT_TRUE(Ctl<QPlainTextEdit>(page, 1195)->toPlainText().isEmpty());
  EXPECT_EQ(doc.view.system.hfpVolume, 11);
  EXPECT_EQ(board.written, sent);
  EXPECT_TRUE(Ctl(page, 1196)->isEnabled()) << "the open port's enable states stay";

  sheet.Leave();
  EXPECT_FALSE(page->Session().IsOpen());
  sheet.Return();
  EXPECT_EQ(Ctl<QPushButton>(page, 1170)->text(), "Open");
  EXPECT_FALSE(Ctl(page, 1187)->isEnabled() || Ctl(page, 1196)->isEnabled());
  EXPECT_EQ(Ctl<QComboBox>(page, 1191)->currentText(), "-6dB") << "read back from the System page (Save undone)";
}

TEST(LiveTestPageGui, DutTestConfAndLeavingKeepsTheTestButtons) {
  FakeBoardPort board;
  HeldTimer silence;
  TestHooks hooks;
  ui::LiveHooks made = hooks.Make();
  made.port = &board;
  made.silence = &silence;
  auto* page = new LiveTestPage(made);
  Sheet sheet(page);
  EXPECT_FALSE(Ctl(page, 1080)->isEnabled() || Ctl(page, 1088)->isEnabled());
  Ctl<QComboBox>(page, 1077)->setEditText("ttyFAKE");
  QTest::mouseClick(Ctl(page, 1170), Qt::LeftButton);
  ASSERT_TRUE(page->Session().IsOpen());
  EXPECT_EQ(board.opened, "ttyFAKE");

  QTest::mouseClick(Ctl(page, 1080), Qt::LeftButton);
  EXPECT_EQ(Ctl<QPushButton>(page, 1080)->text(), "  disable ");
  QTest::mouseClick(Ctl(page, 1086), Qt::LeftButton);
  EXPECT_EQ(Ctl<QPushButton>(page, 1086)->text(), "end test");
  EXPECT_TRUE(Ctl(page, 1088)->isEnabled());
  Ctl<QRadioButton>(page, 1202)->setChecked(true);
  Ctl<QComboBox>(page, 1084)->setCurrentText("Pn9");
  Ctl<QComboBox>(page, 1085)->setCurrentText("2-DH3");
  Type(page, 1088, "81");
  QTest::mouseClick(Ctl(page, 1087), Qt::LeftButton);
  EXPECT_EQ(hooks.messages, QStringList{QString::fromUtf8("“请填入一个在0和80之间的整数。”")});
  Type(page, 1088, "39");
  QTest::mouseClick(Ctl(page, 1087), Qt::LeftButton);
  Type(page, 1074, "CMD+X");
  QTest::mouseClick(Ctl(page, 1075), Qt::LeftButton);
  EXPECT_EQ(Ctl<QLineEdit>(page, 1074)->text(), "CMD+X");
  EXPECT_EQ(board.written, "CMD+DUTTEST+OPEN\"\"CMD+SINWAVE+OPEN\"\"CMD+SINWAVE+CONF+39+0+3\"\"CMD+X\"");
  EXPECT_NE(Log(page->Session()).find(
                "[CMD] single wave configuration, frequency: 39, power level: 0.\r\n"),
            std::string::npos);
  // The channel's arrows step from what the edit holds, typed or not.
  Type(page, 1088, "40");
  Ctl<QSpinBox>(page, 1171)->stepUp();
  EXPECT_EQ(Ctl<QLineEdit>(page, 1088)->text(), "41");
  Type(page, 1088, "80");
  Ctl<QSpinBox>(page, 1171)->stepUp();
  EXPECT_EQ(Ctl<QLineEdit>(page, 1088)->text(), "80");
  Ctl<QSpinBox>(page, 1171)->stepDown();
  EXPECT_EQ(Ctl<QLineEdit>(page, 1088)->text(), "79");
  Type(page, 1088, "39");

  // The board's link check is answered at once; its text reaches the log when the burst
  // timer says the board paused.
  board.written.clear();
  board.Arrive("LINK+CHECKCMD+OK\r\n");
  EXPECT_EQ(board.written, "LINK+OK\"");
  EXPECT_EQ(Log(page->Session()).find("CMD OK!"), std::string::npos);
  ASSERT_TRUE(silence.running);
  page->Session().port().SilenceElapsed();
  EXPECT_NE(Log(page->Session()).find("LINK+CHECKCMD OK!\r\n"), std::string::npos);

  // Hopping runs on its timer until the page is left.
  Ctl<QCheckBox>(page, 1083)->click();
  EXPECT_TRUE(Ctl<QCheckBox>(page, 1083)->isChecked());
  QTest::mouseClick(Ctl(page, 1087), Qt::LeftButton);
  EXPECT_TRUE(page->HopTimer().timer.isActive()) << hooks.messages.join("|").toStdString();
  sheet.Leave();
  EXPECT_FALSE(page->Session().IsOpen());
  EXPECT_FALSE(page->HopTimer().timer.isActive());
  sheet.Return();
  EXPECT_FALSE(Ctl(page, 1075)->isEnabled());
  EXPECT_TRUE(Ctl(page, 1080)->isEnabled() && Ctl(page, 1086)->isEnabled());
  EXPECT_EQ(Ctl<QPushButton>(page, 1080)->text(), "  disable ");
  // With the port closed DUT still toggles and logs, and nothing is sent.
  const std::string before = board.written;
  QTest::mouseClick(Ctl(page, 1080), Qt::LeftButton);
  EXPECT_EQ(Ctl<QPushButton>(page, 1080)->text(), "  enable   ");
  EXPECT_EQ(board.written, before);
  EXPECT_NE(Log(page->Session()).find("[CMD] DUT test mode disable\r\n"), std::string::npos);
}

TEST(LivePagesGui, EveryControlNamedInBothLanguages) {
  Doc doc;
  TestHooks hooks;
  hooks.doc = &doc.view;
  for (const QString lang : {"en", "zh_CN"}) {
    QTranslator tr;
    if (lang != "en") {
      ASSERT_TRUE(tr.load(QLocale(lang), "tessera", "_", ":/i18n"));
      QApplication::installTranslator(&tr);
    }
    std::vector<std::unique_ptr<QWidget>> pages;
    pages.emplace_back(new LiveEqPage(doc.view, hooks.Make()));
    pages.emplace_back(new LiveEchoPage(doc.view, hooks.Make()));
    pages.emplace_back(new LiveTestPage(hooks.Make()));
    pages.emplace_back(new EqConfigDialog(CEqConfigDlg{}, nullptr));
    int controls = 0;
    for (const auto& p : pages) {
      for (auto* w : p->findChildren<QWidget*>(QRegularExpression("^ctl\\d+$"))) {
        ++controls;
        EXPECT_FALSE(w->accessibleName().trimmed().isEmpty())
            << lang.toStdString() << " " << w->objectName().toStdString();
      }
    }
    EXPECT_EQ(controls, 54) << "a control lost its ctl name";
    auto* label = pages[2]->findChild<QLabel*>("labelChannel");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), lang == "en" ? "Frequency" : QString::fromUtf8("频点"));
    EXPECT_EQ(pages[2]->findChild<QWidget*>("ctl1088")->accessibleName(), label->text());
    QApplication::removeTranslator(&tr);
  }
}

}  // namespace
}  // namespace tessera::ui

int main(int argc, char** argv) {
  // Test discovery runs the program outside CTest's environment.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
