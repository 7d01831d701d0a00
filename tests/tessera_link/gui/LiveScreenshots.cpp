// Screenshots of the three live pages in the main window, in English and Chinese, with
// a simulated board connected. Runs when TESSERA_LIVE_SHOTS names the output folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLibraryInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTranslator>

#include "../SimBoard.h"
#include "tessera/ui/app/MainWindow.h"
#include "tessera/ui/live/LiveEqPage.h"

namespace tessera::ui {
namespace {

void Click(QWidget* page, int id) {
  auto* b = page->findChild<QPushButton*>(QString("ctl%1").arg(id));
  ASSERT_NE(b, nullptr) << id;
  b->click();
}

TEST(LiveScreenshots, ThreePagesBothLanguagesWithABoard) {
  const QString folder = qEnvironmentVariable("TESSERA_LIVE_SHOTS");
  if (folder.isEmpty()) GTEST_SKIP() << "set TESSERA_LIVE_SHOTS to a folder to write the screenshots";
  QDir().mkpath(folder);
  for (const QString lang : {"en", "zh_CN"}) {
    std::vector<std::unique_ptr<QTranslator>> translators;
    if (lang == "zh_CN") {
      for (auto [name, dir] : {std::pair{QString("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)},
                               std::pair{QString(":/i18n/tessera_zh_CN.qm"), QString()}}) {
        auto t = std::make_unique<QTranslator>();
        if (t->load(name, dir)) {
          QApplication::installTranslator(t.get());
          translators.push_back(std::move(t));
        }
      }
    }
    UiHooks hooks;
    hooks.showMessage = [](QWidget*, const QString&) {};
    hooks.chooseFile = [](QWidget*, FileDialogKind) { return QString(); };
    hooks.runDialog = [](QDialog&) { return int(QDialog::Rejected); };
    hooks.askSaveChanges = [](QWidget*) { return QMessageBox::Discard; };
    MainWindow window(hooks);
    window.resize(1220, 860);  // wide enough for every tab title in both languages
    window.show();
    SimBoard board({"--check-interval", "700"});
    ASSERT_FALSE(board.path().isEmpty());
    auto* sheet = window.Sheet();
    for (const char* name : {"PageEQ", "PageEcho", "PageTest"}) {
      QWidget* page = nullptr;
      for (int i = 0; i < sheet->count(); ++i)
        if (auto* held = sheet->widget(i)->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly)) {  // a tab holds its page
          sheet->setCurrentIndex(i);
          page = held;
        }
      ASSERT_NE(page, nullptr) << name;
      page->findChild<QComboBox*>("ctl1077")->setEditText(board.path());
      Click(page, 1170);
      if (std::string(name) == "PageEQ") {
        CTesseraView& doc = window.Doc();
        DocumentState state = doc.Snapshot();  // as a loaded configuration leaves it
        state.eq.bands[1] = {1, 1, 0, 6.0f, 1000, 44100, 300};
        state.eq.bands[3] = {1, 0, 1, -4.0f, 6000, 44100, 100};
        state.eq.RefreshRows();
        doc.Restore(state);
        page->findChild<QComboBox*>("ctl1177")->setCurrentIndex(1);
        Click(page, 1075);
      } else if (std::string(name) == "PageTest") {
        Click(page, 1080);
        Click(page, 1086);
        Click(page, 1087);
      } else {
        page->findChild<QComboBox*>("ctl1191")->setCurrentIndex(6);
      }
      QTest::qWait(900);  // a link check and the replies arrive
      const QString file = QDir(folder).filePath(QString("tessera-%1-live-%2.png").arg(lang, QString(name).mid(4).toLower()));
      EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
    }
    for (auto& t : translators) QApplication::removeTranslator(t.get());
  }
}

}  // namespace
}  // namespace tessera::ui
