#pragma once
// The configuration tool's main window: the form with the file commands and the two
// hardware selections on the left, the sheet of eight pages on the right, the menu
// with the recent-file list, undo and redo over snapshots of the document, and the
// modified marker with the question before closing over unsaved changes.
#include <QMainWindow>
#include <QStringList>
#include <QUndoStack>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"
#include "tessera/ui/app/UiHooks.h"
#include "tessera/ui/pages/PageController.h"

class QTabWidget;
class QMenu;
class QThread;

namespace tessera::ui {

class PageView;
class ControlBinder;

// Messages raised during an operation wait here and are shown after it returns, in
// order, so a modal box never runs inside the core.
class QueuedSink : public MessageSink {
 public:
  void Show(const std::string& text) override { pending.push_back(text); }
  std::deque<std::string> pending;
};

// How the sheet's pages are made: all of them in the constructor, or the page in front
// first and the others right after the window's first frame is painted (the program's
// own start-up; a page asked for earlier is made on the spot).
enum class PageBuilding { AllNow, FrontFirst };

class MainWindow : public QMainWindow, public PageController, private DocumentObserver {
  Q_OBJECT
 public:
  static constexpr int kMaxRecentFiles = 4;
  static constexpr int kConfigPageCount = 5;  // System .. Key; then RF Test, EQ, Echo
  static constexpr int kSheetPageCount = 8;
  // A tab's caption, in the interface language, without making its page.
  static QString SheetPageTitle(int index);
  static QString WindowTitle() { return QStringLiteral("QR5830 Tessera - V2.6"); }

  explicit MainWindow(UiHooks hooks = UiHooks::Interactive(), QWidget* parent = nullptr,
                      PageBuilding building = PageBuilding::AllNow);
  ~MainWindow() override;

  // PageController
  CTesseraView& Doc() override { return *doc_; }
  UiHooks& Hooks() override { return hooks_; }
  bool Modify(const std::function<bool()>& op) override;
  void FlushMessages() override;
  void KeepTypedText() override { keepTyped_ = true; }
  void ReportFieldError(QWidget* field, const std::string& message) override;

  // The four commands and the selections, as their buttons and boxes run them.
  void ReadConfig();
  bool ReadConfigPath(const QString& path);
  void WriteConfig();
  void OpenBinFile();
  void GenerateImage();

  // A Generate image build is writing its files on its worker thread; the four
  // commands are disabled until it has finished.
  bool Building() const { return imageBuild_ != nullptr; }

  QTabWidget* Sheet() const { return sheet_; }
  // Makes every page not made yet; true once all of them exist.
  void BuildAllPages();
  bool AllPagesBuilt() const;
  QUndoStack& UndoStack() { return undo_; }
  QStringList RecentFiles() const;
  // Every page from the document (after undo, redo or a load: the document's Reset).
  void RefreshAll(bool includeEdits = true);
  // Reads every page back; the first failure is reported and false returned.
  bool CommitAllPages();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // DocumentObserver: the controls an operation changed, and nothing else, are redrawn.
  void ControlsChanged(const std::vector<ControlChange>& changes) override;
  void Reset() override { RefreshAll(); }

  void BuildMenu();
  void BuildForm(QWidget* form);
  void RefreshForm();
  void AddRecentFile(const QString& path);
  void RebuildRecentMenu();
  void OnSheetPageChanged(int index);
  int PageIndexOf(QWidget* w) const;
  void BuildPage(int index);
  void BuildNextPage();
  void SetIcon();
  void SetBuilding(bool building);
  // What the boxes hold that the document does not yet, where it passes its check:
  // taken in as an undo step of its own before another change records the document.
  bool TakeTypedValues();

  QueuedSink sink_;
  std::unique_ptr<CTesseraView> doc_;
  UiHooks hooks_;
  QUndoStack undo_;
  QWidget* form_ = nullptr;
  ControlBinder* formBinder_ = nullptr;
  QTabWidget* sheet_ = nullptr;
  std::vector<PageView*> pageViews_;  // the configuration pages; null until made
  std::vector<QWidget*> slots_;       // each tab's holder of its page
  std::vector<bool> built_;
  QMenu* recentMenu_ = nullptr;
  int currentPage_ = 0;
  bool switchingPage_ = false;
  bool flushing_ = false;
  bool keepTyped_ = false;
  bool buildAfterPaint_ = false;
  QThread* imageBuild_ = nullptr;
  bool closeAfterBuild_ = false;
};

}  // namespace tessera::ui
