#pragma once
// Drives the real window with the waiting parts replaced: messages are recorded with
// the page that was in front, file dialogs answer from a list, entry dialogs run a
// test's function instead of a modal loop.
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/document/DocumentObserver.h"
#include "tessera/ui/app/MainWindow.h"

namespace gui {

using tessera::ui::FileDialogKind;
using tessera::ui::MainWindow;

// Sheet positions of the pages.
enum SheetIndex { kSystem = 0, kBluetooth, kWave, kLed, kKey, kRfTest, kEq, kEcho };

struct Harness {
  QStringList messages;
  std::vector<int> messagePages;  // sheet index in front while each message showed
  std::deque<QString> files;      // answers of the file dialogs, in order ("" = cancel)
  std::vector<FileDialogKind> asked;
  std::function<int(QDialog&)> onDialog;  // default: Cancel
  QMessageBox::StandardButton closeAnswer = QMessageBox::Cancel;
  int closeQuestions = 0;
  std::unique_ptr<MainWindow> window;

  explicit Harness(tessera::ui::PageBuilding building = tessera::ui::PageBuilding::AllNow);
  // The sheet page at index (its form holds the ctl widgets).
  QWidget* Page(int index) const;
  // Brings a page to the front as a click on its tab does.
  void ShowPage(int index) const;
};

template <class W>
W* Ctl(const QWidget* root, int id) {
  return root->findChild<W*>(QStringLiteral("ctl%1").arg(id));
}

// What a widget shows, in the core's terms, for comparison with ControlSet::State.
tessera::ControlState WidgetState(const QWidget* root, const tessera::ControlInfo& info);

// The sheet index of a document page.
int SheetIndexOf(tessera::PageId page);

// Every declared control of every page in the window, compared with a document:
// returns the first difference as text (empty when they agree) and counts the controls.
std::string CompareWithDocument(Harness& h, tessera::CTesseraView& doc, int* compared = nullptr);

QString SamplesDir();
// The repository root: the sample configuration names its prompts relative to it.
QString RepoRoot();

}  // namespace gui
