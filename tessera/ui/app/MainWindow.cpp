#include "tessera/ui/app/MainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QUndoCommand>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "tessera/ui/LiveTuningPages.h"
#include "tessera/ui/app/AboutBox.h"
#include "tessera/ui/app/Look.h"
#include "tessera/ui/pages/ConfigPages.h"
#include "tessera/ui/pages/ControlBinder.h"
#include "tessera/ui/pages/EntryDialogs.h"
#include "tessera/ui/pages/PageView.h"
#include "ui_MainForm.h"

namespace tessera::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("MainWindow", text); }

constexpr int kReadId = 1001, kWriteId = 1002, kOpenBinId = 1005, kGenerateId = 1006,
              kBinPathId = CTesseraView::kIdBinPath;

// The window's background artwork, stretched over the whole client area. Its gradient
// runs straight down: the raster engine fills such a gradient a line at a time, where a
// slanted one cost about 1.5 ms more on every full repaint of this window.
class Backdrop : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    static QSvgRenderer art(QStringLiteral(":/tessera/images/background.svg"));
    QPainter p(this);
    art.render(&p, rect());
  }
};

// One change of the document: the states before and after it.
class SnapshotCommand : public QUndoCommand {
 public:
  SnapshotCommand(MainWindow& w, DocumentState before, DocumentState after)
      : w_(w), before_(std::move(before)), after_(std::move(after)) {}
  // Restore tells the window's observer to redraw everything.
  void undo() override { w_.Doc().Restore(before_); }
  void redo() override {
    if (first_) {  // pushed after the change was made: the document already holds it
      first_ = false;
      return;
    }
    w_.Doc().Restore(after_);
  }

 private:
  MainWindow& w_;
  DocumentState before_, after_;
  bool first_ = true;
};

QString Extension(const QString& path) { return QFileInfo(path).suffix().toLower(); }

QString FirstLocalFile(const QMimeData* mime, const QString& ext) {
  if (!mime || !mime->hasUrls()) return {};
  for (const auto& url : mime->urls())
    if (url.isLocalFile() && Extension(url.toLocalFile()) == ext) return url.toLocalFile();
  return {};
}

}  // namespace

MainWindow::MainWindow(UiHooks hooks, QWidget* parent, PageBuilding building)
    : QMainWindow(parent), doc_(std::make_unique<CTesseraView>(sink_)), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(WindowTitle() + QStringLiteral("[*]"));
  setAcceptDrops(true);

  // Start-up of the document: default selections, every page initialised once, then
  // the chip package and the flash type. This is the same whether or not the pages'
  // widgets exist yet.
  doc_->OnInitialUpdate();

  auto* central = new Backdrop(this);
  central->setObjectName(QStringLiteral("centralArea"));
  auto* layout = new QHBoxLayout(central);
  form_ = new QWidget(central);
  Ui::MainForm mainForm;
  mainForm.setupUi(form_);
  form_->setFixedWidth(170);
  layout->addWidget(form_);
  sheet_ = new QTabWidget(central);
  sheet_->setObjectName(QStringLiteral("sheet"));
  layout->addWidget(sheet_, 1);
  setCentralWidget(central);

  // The sheet's order: System, Bluetooth, Sound effect, LED, Key, RF Test, EQ, Echo.
  // Each tab holds its page in a frame-less holder, so a page can be made later
  // without moving tabs.
  pageViews_.assign(kConfigPageCount, nullptr);
  for (int i = 0; i < kSheetPageCount; ++i) {
    auto* holder = new QWidget;
    auto* box = new QVBoxLayout(holder);
    box->setContentsMargins(0, 0, 0, 0);
    slots_.push_back(holder);
    built_.push_back(false);
    sheet_->addTab(holder, SheetPageTitle(i));
  }
  sheet_->setCurrentIndex(0);
  connect(sheet_, &QTabWidget::currentChanged, this, &MainWindow::OnSheetPageChanged);

  BuildForm(form_);
  BuildMenu();
  ApplyLook(central);
  if (building == PageBuilding::AllNow) {
    BuildAllPages();
    SetIcon();
  } else {
    BuildPage(0);
    buildAfterPaint_ = true;
  }
  connect(&undo_, &QUndoStack::cleanChanged, this, [this](bool clean) { setWindowModified(!clean); });
  RefreshAll();
  doc_->AddObserver(this);
  FlushMessages();
}

void MainWindow::BuildPage(int index) {
  if (index < 0 || index >= kSheetPageCount || built_[static_cast<size_t>(index)]) return;
  built_[static_cast<size_t>(index)] = true;
  QWidget* page = nullptr;
  switch (index) {
    case 0: page = CreateSystemPage(*this); break;
    case 1: page = CreateBluetoothPage(*this); break;
    case 2: page = CreateWavePage(*this); break;
    case 3: page = CreateLedPage(*this); break;
    case 4: page = CreateKeyPage(*this); break;
    default: page = CreateLiveTuningPage(index - kConfigPageCount, *this); break;
  }
  if (index < kConfigPageCount) {
    auto* view = static_cast<PageView*>(page);
    pageViews_[static_cast<size_t>(index)] = view;
    view->Refresh();  // made after a load: it shows the document as it is now
  }
  QWidget* holder = slots_[static_cast<size_t>(index)];
  holder->layout()->addWidget(page);
  ApplyLook(holder);
  // Tab order: the holder's focus goes to its page's first field.
  holder->setFocusProxy(page);
}

void MainWindow::BuildAllPages() {
  for (int i = 0; i < kSheetPageCount; ++i) BuildPage(i);
}

bool MainWindow::AllPagesBuilt() const {
  return std::all_of(built_.begin(), built_.end(), [](bool b) { return b; });
}

QString MainWindow::SheetPageTitle(int index) {
  // The pages' form titles, translated in their forms' contexts.
  static const std::pair<const char*, const char*> kTitles[] = {
      {"PageSystem", "System parameters"}, {"PageBluetooth", "Bluetooth Parameters"},
      {"PageWave", "Custom Sound Effect"}, {"PageLED", "LED Configuration"},
      {"PageButton", "button configuration"}};
  if (index < kConfigPageCount) {
    const auto [context, title] = kTitles[index];
    return QCoreApplication::translate(context, title);
  }
  return LiveTuningPageTitle(index - kConfigPageCount);
}

bool MainWindow::event(QEvent* event) {
  // Once the first frame is on screen, the pages behind the front one are made, one
  // per turn of the event loop so input in between is not held up.
  if (event->type() == QEvent::Paint && buildAfterPaint_) {
    buildAfterPaint_ = false;
    // The icon is not part of the frame; reading it loads the SVG icon engine.
    QTimer::singleShot(0, this, &MainWindow::SetIcon);
    QTimer::singleShot(0, this, &MainWindow::BuildNextPage);
  }
  return QMainWindow::event(event);
}

void MainWindow::SetIcon() { setWindowIcon(QIcon(QStringLiteral(":/tessera/icons/tessera.svg"))); }

void MainWindow::BuildNextPage() {
  const auto next = std::find(built_.begin(), built_.end(), false);
  if (next == built_.end()) return;
  BuildPage(static_cast<int>(next - built_.begin()));
  if (!AllPagesBuilt()) QTimer::singleShot(0, this, &MainWindow::BuildNextPage);
}

MainWindow::~MainWindow() {
  // The undo commands refer to this window; drop them before the document goes.
  undo_.clear();
  doc_->RemoveObserver(this);
  // A build still writing finishes its files (the job is its own; nothing here is touched).
  if (imageBuild_) {
    imageBuild_->disconnect(this);
    imageBuild_->wait();
    delete imageBuild_;
  }
  // The pages and their helpers observe the document, which goes with the members before
  // QWidget deletes the children: take the child widgets down while it still exists.
  if (auto* bin = form_->findChild<QLineEdit*>(ControlName(kBinPathId))) bin->removeEventFilter(this);
  const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  qDeleteAll(children);
}

void MainWindow::BuildForm(QWidget* form) {
  // The command buttons carry their run-time captions in both languages.
  const std::pair<int, const char*> captions[] = {
      {kReadId, "LoadConf"}, {kWriteId, "SaveConf"}, {kOpenBinId, "Loadbin"}, {kGenerateId, "Save .img"}};
  for (auto [id, text] : captions)
    if (auto* b = form->findChild<QPushButton*>(ControlName(id))) {
      b->setText(QString::fromLatin1(text));
      b->setAccessibleName(QString::fromLatin1(text));
    }
  auto button = [form](int id) { return form->findChild<QPushButton*>(ControlName(id)); };
  connect(button(kReadId), &QPushButton::clicked, this, &MainWindow::ReadConfig);
  connect(button(kWriteId), &QPushButton::clicked, this, &MainWindow::WriteConfig);
  connect(button(kOpenBinId), &QPushButton::clicked, this, &MainWindow::OpenBinFile);
  connect(button(kGenerateId), &QPushButton::clicked, this, &MainWindow::GenerateImage);
  // The two selections and the two paths are declared by the document.
  formBinder_ = new ControlBinder(form, [this] { return doc_->Controls(PageId::Main); });
  formBinder_->onChange = [this](int id, int value) {
    // Applied whatever the pages hold: a field typed wrong elsewhere keeps its text (and
    // shows its message when its page is left), the selection still takes effect.
    Modify([&] { return doc_->ChangeControl(PageId::Main, id, value); });
    formBinder_->RefreshControl(id, false);  // also when refused: the box shows the kept entry
  };
  auto* bin = form->findChild<QLineEdit*>(ControlName(kBinPathId));
  connect(bin, &QLineEdit::editingFinished, this, [this] {
    Modify([&] {
      const std::string before = doc_->binPath;
      doc_->ReadBack(PageId::Main, formBinder_->Reader());
      return doc_->binPath != before;
    });
  });
  bin->installEventFilter(this);
  bin->setAcceptDrops(true);
}

void MainWindow::BuildMenu() {
  QMenu* file = menuBar()->addMenu(Tr("File(&F)"));
  file->setObjectName(QStringLiteral("menuFile"));
  recentMenu_ = file->addMenu(Tr("Recent file"));
  recentMenu_->setObjectName(QStringLiteral("menuRecent"));
  file->addSeparator();
  QAction* exit = file->addAction(Tr("Exit(&X)"), this, &QWidget::close);
  exit->setObjectName(QStringLiteral("actionExit"));
  QMenu* help = menuBar()->addMenu(Tr("Help(&H)"));
  help->setObjectName(QStringLiteral("menuHelp"));
  QAction* about = help->addAction(Tr("About Tessera(&A)..."), this, [this] {
    AboutBox box(this);
    hooks_.runDialog(box);
  });
  about->setObjectName(QStringLiteral("actionAbout"));
  // Undo and redo reach every page and dialog; they are keys of the window, not menu items.
  QAction* undo = undo_.createUndoAction(this, Tr("Undo"));
  undo->setObjectName(QStringLiteral("actionUndo"));
  undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  QAction* redo = undo_.createRedoAction(this, Tr("Redo"));
  redo->setObjectName(QStringLiteral("actionRedo"));
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  addAction(undo);
  addAction(redo);
  RebuildRecentMenu();
}

bool MainWindow::TakeTypedValues() {
  keepTyped_ = true;  // the boxes keep the text as typed
  bool changed = false;
  for (PageView* view : pageViews_)
    if (view) changed = view->TakeTypedValues() || changed;
  changed = doc_->TakeTypedEdits(PageId::Main, formBinder_->Reader()) || changed;
  keepTyped_ = false;
  return changed;
}

bool MainWindow::Modify(const std::function<bool()>& op) {
  DocumentState before = doc_->Snapshot();
  // A typed value is part of the document before this change records it; otherwise an
  // undo of the change would put the old text back and the typed one would be lost.
  if (TakeTypedValues()) {
    DocumentState typed = doc_->Snapshot();
    undo_.push(new SnapshotCommand(*this, std::move(before), typed));
    before = std::move(typed);
  }
  keepTyped_ = false;
  const bool changed = doc_->Apply(op);
  if (changed) undo_.push(new SnapshotCommand(*this, std::move(before), doc_->Snapshot()));
  FlushMessages();
  keepTyped_ = false;
  setWindowModified(!undo_.isClean());
  return changed;
}

void MainWindow::ControlsChanged(const std::vector<ControlChange>& changes) {
  for (const ControlChange& c : changes) {
    // A failed read-back leaves the edits as typed (KeepTypedText); otherwise an edit's
    // text is rewritten only when its value changed, so half-typed text elsewhere stays.
    const bool text = c.value && !keepTyped_;
    if (c.page == PageId::Main) {
      formBinder_->RefreshControl(c.controlId, text);
      continue;
    }
    for (PageView* view : pageViews_)  // a page made later shows the document as it is then
      if (view && view->Page() == c.page) view->RefreshControl(c.controlId, text);
  }
}

void MainWindow::FlushMessages() {
  if (flushing_) return;
  flushing_ = true;
  while (!sink_.pending.empty()) {
    const std::string text = sink_.pending.front();
    sink_.pending.pop_front();
    hooks_.showMessage(this, QString::fromStdString(text));
  }
  flushing_ = false;
}

int MainWindow::PageIndexOf(QWidget* w) const {
  for (int i = 0; i < sheet_->count(); ++i)
    if (sheet_->widget(i) == w || sheet_->widget(i)->isAncestorOf(w)) return i;
  return -1;
}

void MainWindow::ReportFieldError(QWidget* field, const std::string& message) {
  const int page = field ? PageIndexOf(field) : -1;
  if (page >= 0 && page != sheet_->currentIndex()) {
    switchingPage_ = true;
    sheet_->setCurrentIndex(page);
    currentPage_ = page;
    switchingPage_ = false;
  }
  hooks_.showMessage(this, QString::fromStdString(message));
  if (field) field->setFocus();
}

void MainWindow::OnSheetPageChanged(int index) {
  BuildPage(index);  // asked for before the pages behind were made
  if (switchingPage_) return;
  // Leaving a page reads it back; while a field is invalid the page stays in front.
  const int left = currentPage_;
  currentPage_ = index;
  if (left >= 0 && left < static_cast<int>(pageViews_.size())) {
    auto* view = pageViews_[static_cast<size_t>(left)];
    if (view && !view->Commit()) currentPage_ = sheet_->currentIndex();
  }
}

bool MainWindow::CommitAllPages() {
  for (auto* view : pageViews_)  // a page not made yet holds no typed text
    if (view && !view->Commit()) return false;
  return true;
}

void MainWindow::RefreshAll(bool includeEdits) {
  for (auto* view : pageViews_)
    if (view) view->Refresh(includeEdits);
  RefreshForm();
  setWindowModified(!undo_.isClean());
}

void MainWindow::RefreshForm() { formBinder_->Refresh(); }

// ---- commands ------------------------------------------------------------------------

void MainWindow::ReadConfig() {
  const QString path = hooks_.chooseFile(this, FileDialogKind::OpenConfig);
  if (!path.isEmpty()) ReadConfigPath(path);
}

bool MainWindow::ReadConfigPath(const QString& path) {
  const bool ok = Modify([&] { return doc_->ReadConfigFile(path.toStdString()); });
  if (ok) {
    undo_.setClean();
    AddRecentFile(path);
  }
  return ok;
}

void MainWindow::WriteConfig() {
  if (!CommitAllPages()) return;
  const QString path = hooks_.chooseFile(this, FileDialogKind::SaveConfig);
  if (path.isEmpty()) return;
  const bool ok = doc_->WriteConfigFile(path.toStdString());
  FlushMessages();
  if (ok) {
    undo_.setClean();
    AddRecentFile(path);
  }
}

void MainWindow::OpenBinFile() {
  const QString path = hooks_.chooseFile(this, FileDialogKind::OpenBin);
  if (path.isEmpty()) return;
  Modify([&] { return doc_->SetBinPath(path.toStdString()); });
}

void MainWindow::GenerateImage() {
  if (!CommitAllPages()) return;
  // The build opens whatever the bin path box holds.
  const std::string bin = form_->findChild<QLineEdit*>(ControlName(kBinPathId))->text().toStdString();
  if (bin != doc_->binPath) Modify([&] { return doc_->SetBinPath(bin); });
  const QString path = hooks_.chooseFile(this, FileDialogKind::SaveImage);
  if (path.isEmpty()) return;
  // The bin file, the prompts and megabytes of image are read, encoded, written and
  // flushed on a worker from a copy of the document; the window stays live meanwhile.
  auto job = std::make_shared<CTesseraView::ImageJob>(doc_->PrepareImage(path.toStdString()));
  imageBuild_ = QThread::create([job] { job->Run(); });
  connect(imageBuild_, &QThread::finished, this, [this, job] {
    imageBuild_->deleteLater();
    imageBuild_ = nullptr;
    SetBuilding(false);
    doc_->FinishImage(*job);  // image path box, then the messages in the order raised
    FlushMessages();
    if (closeAfterBuild_) close();
  });
  SetBuilding(true);
  imageBuild_->start();
}

void MainWindow::SetBuilding(bool building) {
  for (int id : {kReadId, kWriteId, kOpenBinId, kGenerateId})
    if (auto* b = form_->findChild<QPushButton*>(ControlName(id))) b->setEnabled(!building);
  recentMenu_->setEnabled(!building);
  if (building)
    setCursor(Qt::BusyCursor);
  else
    unsetCursor();
}

// ---- recent files --------------------------------------------------------------------

QStringList MainWindow::RecentFiles() const {
  QSettings s(QStringLiteral("VARLO_QR5840"), QStringLiteral("Tessera"));
  QStringList files;
  for (int i = 1; i <= kMaxRecentFiles; ++i) {
    const QString f = s.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
    if (!f.isEmpty()) files << f;
  }
  return files;
}

void MainWindow::AddRecentFile(const QString& path) {
  const QString full = QFileInfo(path).absoluteFilePath();
  QStringList files = RecentFiles();
  files.removeAll(full);
  files.prepend(full);
  while (files.size() > kMaxRecentFiles) files.removeLast();
  QSettings s(QStringLiteral("VARLO_QR5840"), QStringLiteral("Tessera"));
  for (int i = 1; i <= kMaxRecentFiles; ++i) {
    const QString key = QStringLiteral("Recent File List/File%1").arg(i);
    if (i <= files.size())
      s.setValue(key, files[i - 1]);
    else
      s.remove(key);
  }
  RebuildRecentMenu();
}

void MainWindow::RebuildRecentMenu() {
  recentMenu_->clear();
  const QStringList files = RecentFiles();
  if (files.isEmpty()) {
    recentMenu_->addAction(Tr("(empty)"))->setEnabled(false);
    return;
  }
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
    a->setObjectName(QStringLiteral("actionRecent%1").arg(i + 1));
    connect(a, &QAction::triggered, this, [this, path] { ReadConfigPath(path); });
  }
}

// ---- closing and dropping ------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event) {
  if (Building()) {
    // The image files are being written: the window closes once they are complete.
    closeAfterBuild_ = true;
    return event->ignore();
  }
  closeAfterBuild_ = false;
  if (undo_.isClean()) return event->accept();
  switch (hooks_.askSaveChanges(this)) {
    case QMessageBox::Save:
      WriteConfig();
      if (undo_.isClean())
        event->accept();
      else
        event->ignore();  // cancelled or failed: nothing is lost
      return;
    case QMessageBox::Discard:
      return event->accept();
    default:
      return event->ignore();
  }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalFile(event->mimeData(), QStringLiteral("cfg")).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QString cfg = FirstLocalFile(event->mimeData(), QStringLiteral("cfg"));
  if (cfg.isEmpty() || Building()) return;
  event->acceptProposedAction();
  ReadConfigPath(cfg);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // A .bin dropped on the bin path box becomes the bin path.
  const auto type = event->type();
  const bool dragOrDrop = type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
  if (dragOrDrop && watched == form_->findChild<QLineEdit*>(ControlName(kBinPathId))) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
      auto* e = static_cast<QDropEvent*>(event);
      if (!FirstLocalFile(e->mimeData(), QStringLiteral("bin")).isEmpty()) {
        e->acceptProposedAction();
        return true;
      }
    } else if (event->type() == QEvent::Drop) {
      auto* e = static_cast<QDropEvent*>(event);
      const QString bin = FirstLocalFile(e->mimeData(), QStringLiteral("bin"));
      if (!bin.isEmpty()) {
        e->acceptProposedAction();
        Modify([&] { return doc_->SetBinPath(bin.toStdString()); });
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace tessera::ui
