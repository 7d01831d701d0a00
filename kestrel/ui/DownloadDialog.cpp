#include "ui/DownloadDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

#include "ui/AboutBox.h"
#include "ui_DownloadDialog.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// The icons live in this static library; its resources are registered before first use.
static void InitKestrelResources() { Q_INIT_RESOURCE(kestrel); }

namespace kestrel::ui {
namespace {

constexpr int kIconSize = 40;
#ifdef Q_OS_WIN
constexpr unsigned kAboutCommand = 0x10;  // the system-menu item's command
#endif

// The engine's labels end some messages with CR LF for the original static controls; a
// label here shows the text without the empty line after it.
QString LabelText(const std::string& text) {
  QString s = QString::fromStdString(text);
  while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r'))) s.chop(1);
  return s;
}

QString ResultText(int result) {
  switch (static_cast<SlotResult>(result)) {
    case SlotResult::kDone: return QStringLiteral("成功");
    case SlotResult::kImageOpenFailed: return QStringLiteral("镜像文件无法打开");
    case SlotResult::kOutOfMemory: return QStringLiteral("内存不足");
    case SlotResult::kAdapterUnusable: return QStringLiteral("适配器无响应");
    case SlotResult::kVerifyFailed: return QStringLiteral("校验失败");
    case SlotResult::kReadbackFileFailed: return QStringLiteral("回读文件无法写入");
    case SlotResult::kNotConfirmed: return QStringLiteral("连接未确认");
  }
  return QStringLiteral("错误 %1").arg(result);
}

}  // namespace

DownloadDialog::DownloadDialog(Transport& transport, const QString& backendText, EngineOptions options,
                               QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::DownloadDialog>()),
      engine_(transport, clock_, bridge_, std::move(options)),
      backendText_(backendText) {
  InitKestrelResources();
  ui_->setupUi(this);
  setWindowFlag(Qt::WindowMinimizeButtonHint);
  const QIcon appIcon(QStringLiteral(":/kestrel/icons/kestrel.svg"));
  setWindowIcon(appIcon);
  successIcon_ = QIcon(QStringLiteral(":/kestrel/icons/success.svg")).pixmap(kIconSize, kIconSize);
  failureIcon_ = QIcon(QStringLiteral(":/kestrel/icons/failure.svg")).pixmap(kIconSize, kIconSize);

  check_ = {ui_->ctl1030, ui_->ctl1031, ui_->ctl1032, ui_->ctl1033};
  bar_ = {ui_->ctl1015, ui_->ctl1016, ui_->ctl1018, ui_->ctl1017};
  icon_ = {ui_->ctl1035, ui_->ctl1036, ui_->ctl1037, ui_->ctl1038};
  status_ = {ui_->ctl1101, ui_->ctl1102, ui_->ctl1103, ui_->ctl1104};
  yield_ = {ui_->ctl1105, ui_->ctl1106, ui_->ctl1107, ui_->ctl1108};
  box_ = {ui_->ctl1000, ui_->ctl1001, ui_->ctl1002, ui_->ctl1003, ui_->ctl1004, ui_->ctl1005};
  ui_->ctl1100->setText(backendText_);

  // The window managers of this platform give no system menu to add to: the About box
  // is also reached from a Help menu.
  auto* menu = new QMenuBar(this);
  menu->setObjectName(QStringLiteral("menuBar"));
  QMenu* help = menu->addMenu(QStringLiteral("帮助(&H)"));
  help->setObjectName(QStringLiteral("menuHelp"));
  QAction* about = help->addAction(QStringLiteral("关于 kestrel(&A)..."));
  about->setObjectName(QStringLiteral("actionAbout"));
  connect(about, &QAction::triggered, this, &DownloadDialog::showAbout);
  layout()->setMenuBar(menu);
#ifdef Q_OS_WIN
  // Where the window manager has a system menu, the About box is its last item as well.
  if (HMENU system = GetSystemMenu(reinterpret_cast<HWND>(winId()), FALSE)) {
    AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(system, MF_STRING, kAboutCommand, L"\u5173\u4e8e kestrel(&A)...");
  }
#endif

  chooseImage = [this] {
    return QFileDialog::getOpenFileName(this, QString(), QString(),
                                        QStringLiteral("Bin File (*.bin);;(*.IMG);;All Files (*.*)"));
  };
  chooseLogFolder = [this] {
    return QFileDialog::getExistingDirectory(this, QString(), ui_->ctl1110->text());
  };

  connect(ui_->ctl1013, &QPushButton::clicked, this, &DownloadDialog::LoadImage);
  connect(ui_->ctl1014, &QPushButton::clicked, this, &DownloadDialog::SetAddress);
  connect(ui_->ctl1006, &QPushButton::clicked, this, [this] { StartOperation(Operation::kBurn); });
  connect(ui_->ctl1024, &QPushButton::clicked, this, [this] { StartOperation(Operation::kRead); });
  connect(ui_->ctl1025, &QPushButton::clicked, this, [this] { StartOperation(Operation::kErase); });
  connect(ui_->ctl1026, &QPushButton::clicked, this, [this] { engine_.ResetAdapters(); });
  connect(ui_->ctl1111, &QPushButton::clicked, this, &DownloadDialog::ChooseLogFolder);
  for (int i = 0; i < 6; ++i) {
    connect(box_[static_cast<size_t>(i)], &QLineEdit::textEdited, this,
            [this, i](const QString& text) { engine_.SetAddressBox(i, text.toStdString()); });
  }
  for (int n = 0; n < kSlotCount; ++n) {
    connect(check_[static_cast<size_t>(n)], &QCheckBox::toggled, this,
            [this, n](bool on) { engine_.SetSlotTicked(n, on); });
  }
  connect(&bridge_, &EngineBridge::redisplay, this, &DownloadDialog::Redisplay);
  connect(&bridge_, &EngineBridge::slotFinished, this, &DownloadDialog::OnSlotFinished);
  connect(&bridge_, &EngineBridge::operationFinished, this, &DownloadDialog::OnOperationFinished);

  for (QLabel* icon : icon_) icon->hide();
  engine_.RefreshSlots();
  ShowYield();
  Redisplay();
}

DownloadDialog::~DownloadDialog() = default;

void DownloadDialog::Redisplay() {
  const DialogView v = engine_.View();
  ui_->ctl1012->setText(QString::fromStdString(v.imagePath));
  for (size_t i = 0; i < 6; ++i) {
    const QString text = QString::fromStdString(v.addressBoxes[i]);
    if (box_[i]->text() != text) box_[i]->setText(text);
  }
  ui_->ctl1020->setText(QString::fromStdString(v.deviceName));
  ui_->ctl1008->setText(LabelText(v.currentAddressLabel));
  ui_->ctl1007->setText(LabelText(v.countLabel));
  ui_->ctl1039->setText(LabelText(v.checksumLabel));
  ui_->ctl1006->setEnabled(v.burnEnabled && !running_);
  ui_->ctl1024->setEnabled(v.readEnabled && !running_);
  ui_->ctl1025->setEnabled(v.eraseEnabled && !running_);
  // The engine ignores these while an operation runs; greyed, the operator sees why.
  ui_->ctl1013->setEnabled(!running_);
  ui_->ctl1014->setEnabled(!running_);
  ui_->ctl1111->setEnabled(!running_);
  for (size_t n = 0; n < kSlotCount; ++n) {
    const bool visible = v.rowVisible[n];
    {
      const QSignalBlocker block(check_[n]);
      check_[n]->setChecked(v.ticked[n]);
    }
    check_[n]->setVisible(visible);
    bar_[n]->setVisible(visible);
    status_[n]->setVisible(visible);
    yield_[n]->setVisible(visible);
    if (!visible || v.icon[n] == SlotIcon::kHidden) {
      icon_[n]->hide();
    } else {
      icon_[n]->setPixmap(v.icon[n] == SlotIcon::kSuccess ? successIcon_ : failureIcon_);
      icon_[n]->show();
    }
  }
  ShowProgress();
}

void DownloadDialog::ShowProgress() {
  for (int n = 0; n < kSlotCount; ++n) {
    QProgressBar* bar = bar_[static_cast<size_t>(n)];
    const uint32_t maximum = bridge_.Maximum(n);
    // Positions are byte counts of at most 16 MiB; they fit a progress bar's int.
    const int max = maximum == 0 ? 100 : static_cast<int>(maximum);
    if (bar->maximum() != max) bar->setRange(0, max);
    const int pos = std::min(static_cast<int>(bridge_.Position(n)), max);
    if (bar->value() != pos) bar->setValue(pos);
  }
}

void DownloadDialog::LoadImage() {
  if (running_) return;
  const QString path = chooseImage ? chooseImage() : QString();
  if (path.isEmpty()) return;
  const ImageError e = engine_.LoadImage(QFile::encodeName(path).toStdString());
  if (e == ImageError::kNone) {
    passed_ = {};
    failed_ = {};
    ShowYield();
    // The log goes beside the image until the operator picks a folder of their own.
    if (!logFolderChosen_) ui_->ctl1110->setText(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
  }
  Redisplay();
}

void DownloadDialog::SetAddress() {
  if (running_) return;
  for (int i = 0; i < 6; ++i) engine_.SetAddressBox(i, box_[static_cast<size_t>(i)]->text().toStdString());
  engine_.SetAddress();
  Redisplay();
}

void DownloadDialog::StartOperation(Operation op) {
  if (running_) return;
  for (int n = 0; n < kSlotCount; ++n) {
    bridge_.ProgressRange(n, 0);
    if (check_[static_cast<size_t>(n)]->isChecked()) status_[static_cast<size_t>(n)]->clear();
  }
  running_ = true;
  if (!engine_.Start(op)) running_ = false;
  Redisplay();
}

void DownloadDialog::OnSlotFinished(int slot, int op, int result) {
  if (slot < 0 || slot >= kSlotCount) return;
  const size_t n = static_cast<size_t>(slot);
  QString text = ResultText(result);
  const ProductionState& s = engine_.State();  // this slot's worker has written its part
  if (static_cast<Operation>(op) == Operation::kBurn) {
    (result == 0 ? passed_ : failed_)[n] += 1;
    if (s.hasRecord && result == 0)
      text += QStringLiteral("  ") + QString::fromStdString(s.savedAddress[n].DisplayText());
    else if (s.hasRecord && s.retryMark[n] == 1)
      text += QStringLiteral("  ") + QString::fromStdString(s.savedAddress[n].DisplayText()) +
              QStringLiteral(" (留待重烧)");
    ShowYield();
  }
  status_[n]->setText(text);
  status_[n]->setStyleSheet(result == 0 ? QStringLiteral("color: #1e6e2e;") : QStringLiteral("color: #b3261e;"));
  Redisplay();
}

void DownloadDialog::OnOperationFinished(int /*op*/) {
  engine_.WaitIdle();  // the last worker has run its final step; this only joins the threads
  running_ = false;
  if (refreshPending_) {
    refreshPending_ = false;
    engine_.RefreshSlots();
  }
  Redisplay();
  if (closePending_) close();
}

void DownloadDialog::ShowYield() {
  int passed = 0;
  int failed = 0;
  for (size_t n = 0; n < kSlotCount; ++n) {
    yield_[n]->setText(QStringLiteral("通过 %1  失败 %2").arg(passed_[n]).arg(failed_[n]));
    passed += passed_[n];
    failed += failed_[n];
  }
  ui_->ctl1109->setText(QStringLiteral("合计: 通过 %1  失败 %2").arg(passed).arg(failed));
}

void DownloadDialog::ChooseLogFolder() {
  const QString dir = chooseLogFolder ? chooseLogFolder() : QString();
  if (dir.isEmpty()) return;
  logFolderChosen_ = true;
  ui_->ctl1110->setText(QDir::toNativeSeparators(dir));
}

void DownloadDialog::adaptersChanged() {
  if (running_) {
    refreshPending_ = true;
    return;
  }
  engine_.RefreshSlots();
  Redisplay();
}

void DownloadDialog::showAbout() {
  auto* box = new AboutBox(windowIcon(), this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void DownloadDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The boards being burned finish first: each already has its address, and the image
    // already holds the address after it, so waiting loses nothing and repeats nothing.
    closePending_ = true;
    ui_->ctl1100->setText(QStringLiteral("操作结束后关闭窗口…"));
    event->ignore();
    return;
  }
  engine_.Close();  // a file that cannot be written is left alone, as when it cannot be opened
  event->accept();
}

// Enter and Esc go the way of the close box: the same deferral while boards are being
// burned, the same write-back of the next address.
void DownloadDialog::keyPressEvent(QKeyEvent* event) {
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
      case Qt::Key_Escape:
      case Qt::Key_Return:
      case Qt::Key_Enter:
        close();
        return;
      default:
        break;
    }
  }
  QDialog::keyPressEvent(event);
}

void DownloadDialog::reject() { close(); }
void DownloadDialog::accept() { close(); }

#ifdef Q_OS_WIN
bool DownloadDialog::nativeEvent(const QByteArray& eventType, void* message, qintptr* result) {
  if (eventType == "windows_generic_MSG") {
    auto* msg = static_cast<MSG*>(message);
    if (msg->message == WM_SYSCOMMAND && (msg->wParam & 0xFFF0) == kAboutCommand) {
      showAbout();
      *result = 0;
      return true;
    }
  }
  return QDialog::nativeEvent(eventType, message, result);
}
#endif

}  // namespace kestrel::ui
