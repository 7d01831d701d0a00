#include "ui/DownloadDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
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

#include "sequence/local/LocalSequence.h"
#include "ui/AboutBox.h"
#include "ui/PoolDialog.h"
#include "ui_DownloadDialog.h"

#ifdef KESTREL_HAVE_POOL
#include "sequence/postgres/PoolSequence.h"
#endif

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

// The engine's labels end some messages with CR LF, as a multi-line static control wants; a
// label here shows the text without the empty line after it.
QString LabelText(const std::string& text) {
  QString s = QString::fromStdString(text);
  while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r'))) s.chop(1);
  return s;
}

QString PhaseText(ProgressPhase phase) {
  switch (phase) {
    case ProgressPhase::kProgram: return QStringLiteral("烧写");
    case ProgressPhase::kVerify: return QStringLiteral("校验");
    case ProgressPhase::kRead: return QStringLiteral("读取");
    case ProgressPhase::kErase: return QStringLiteral("擦除");
  }
  return {};
}

const QString kOkColour = QStringLiteral("color: #1e6e2e;");
const QString kFailColour = QStringLiteral("color: #b3261e;");

EngineOptions WithSequence(EngineOptions options, SequenceOpener opener) {
  options.openSequence = std::move(opener);
  if (options.toolVersion.empty()) options.toolVersion = QCoreApplication::applicationVersion().toStdString();
  return options;
}

}  // namespace

DownloadDialog::DownloadDialog(Transport& transport, const QString& backendText, EngineOptions options,
                               QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::DownloadDialog>()),
      // Images take their addresses from their own sequence unless the caller chose
      // another, or a pool is in use.
      localOpener_(options.openSequence ? options.openSequence : SequenceOpener(&LocalSequence::OpenForImage)),
      engine_(transport, clock_, bridge_,
              WithSequence(std::move(options),
                           [this](const std::string& path, const ImageInfo& info,
                                  std::string* message) -> std::shared_ptr<AddressSequence> {
                             if (poolMode_) {
                               *message = "地址取自地址池，地址池尚未打开";
                               return nullptr;
                             }
                             return localOpener_(path, info, message);
                           })),
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
  for (size_t n = 0; n < 4; ++n) {
    status_[n]->setAccessibleDescription(QStringLiteral("设备%1 结果").arg(n + 1));
    yield_[n]->setAccessibleDescription(QStringLiteral("设备%1 良率").arg(n + 1));
  }
  ui_->ctl1008->setAccessibleDescription(QStringLiteral("当前地址"));
  ui_->ctl1007->setAccessibleDescription(QStringLiteral("烧录数量"));
  ui_->ctl1039->setAccessibleDescription(QStringLiteral("CRC_SUM"));
  ui_->ctl1109->setAccessibleDescription(QStringLiteral("合计"));
  ui_->ctl1114->setAccessibleDescription(QStringLiteral("地址序列"));
  AddSlotRows();
  for (QLabel* status : status_) SetValue(status, QString());
  for (QLabel* status : status_) status->setWordWrap(true);  // long failure texts take two lines
  box_ = {ui_->ctl1000, ui_->ctl1001, ui_->ctl1002, ui_->ctl1003, ui_->ctl1004, ui_->ctl1005};
  ui_->ctl1100->setText(backendText_);
  ui_->ctl1100->setWordWrap(true);  // a backend's notice can be a sentence or two

  // The window managers of this platform give no system menu to add to: the About box
  // is also reached from a Help menu.
  auto* menu = new QMenuBar(this);
  menu->setObjectName(QStringLiteral("menuBar"));
  QMenu* settings = menu->addMenu(QStringLiteral("设置(&S)"));
  settings->setObjectName(QStringLiteral("menuSettings"));
  poolAction_ = settings->addAction(QStringLiteral("地址池(&P)..."));
  poolAction_->setObjectName(QStringLiteral("actionPool"));
  connect(poolAction_, &QAction::triggered, this, &DownloadDialog::showPoolSettings);
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
  chooseReadbackFolder = [this] {
    return QFileDialog::getExistingDirectory(this, QString(), ui_->ctl1112->text());
  };

  connect(ui_->ctl1013, &QPushButton::clicked, this, &DownloadDialog::LoadImage);
  connect(ui_->ctl1014, &QPushButton::clicked, this, &DownloadDialog::SetAddress);
  connect(ui_->ctl1006, &QPushButton::clicked, this, [this] { StartOperation(Operation::kBurn); });
  connect(ui_->ctl1024, &QPushButton::clicked, this, [this] { StartOperation(Operation::kRead); });
  connect(ui_->ctl1025, &QPushButton::clicked, this, [this] { StartOperation(Operation::kErase); });
  connect(ui_->ctl1026, &QPushButton::clicked, this, [this] { engine_.ResetAdapters(); });
  connect(ui_->ctl1111, &QPushButton::clicked, this, &DownloadDialog::ChooseLogFolder);
  connect(ui_->ctl1113, &QPushButton::clicked, this, &DownloadDialog::ChooseReadbackFolder);
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
  connect(&bridge_, &EngineBridge::operationFinished, this, [this] {
    running_ = false;
    Redisplay();
  });
  connect(&bridge_, &EngineBridge::adaptersChanged, this, &DownloadDialog::Redisplay);
  connect(&bridge_, &EngineBridge::imageLoaded, this, &DownloadDialog::OnImageLoaded);
  connect(&bridge_, &EngineBridge::closed, this, &DownloadDialog::OnClosed);

  for (QLabel* icon : icon_) icon->hide();
  // Wide enough from the start for a failure's two-line text: the window does not jump
  // when the first results come in.
  resize(sizeHint().expandedTo(QSize(960, 0)));
  engine_.RefreshSlots();
  watching_ = engine_.WatchAdapters();
  Redisplay();
}

DownloadDialog::~DownloadDialog() {
  if (poolOpener_.joinable()) poolOpener_.join();
}

void DownloadDialog::AddSlotRows() {
  // Rows five to sixteen, built like the first four and shown only while their adapter
  // is present: a station with four adapters sees the window as it always was.
  const QFont statusFont = ui_->ctl1101->font();
  for (int n = 4; n < kSlotCount; ++n) {
    const size_t i = static_cast<size_t>(n);
    const QString device = QStringLiteral("设备%1").arg(n + 1);
    auto* check = new QCheckBox(device, ui_->slotGroup);
    check->setObjectName(QStringLiteral("ctl%1").arg(kExtraCheckId + n));
    check->setAccessibleName(device);
    auto* bar = new QProgressBar(ui_->slotGroup);
    bar->setObjectName(QStringLiteral("ctl%1").arg(kExtraBarId + n));
    bar->setValue(0);
    bar->setMinimumSize(ui_->ctl1015->minimumSize());
    bar->setAccessibleName(device + QStringLiteral(" 进度"));
    auto* icon = new QLabel(ui_->slotGroup);
    icon->setObjectName(QStringLiteral("ctl%1").arg(kExtraIconId + n));
    icon->setFixedSize(kIconSize, kIconSize);
    icon->setAccessibleName(device + QStringLiteral(" 状态"));
    auto* status = new QLabel(ui_->slotGroup);
    status->setObjectName(QStringLiteral("ctl%1").arg(kExtraStatusId + n));
    status->setFont(statusFont);
    status->setMinimumSize(ui_->ctl1101->minimumSize());
    auto* yield = new QLabel(ui_->slotGroup);
    yield->setObjectName(QStringLiteral("ctl%1").arg(kExtraYieldId + n));
    for (QWidget* w : std::initializer_list<QWidget*>{check, bar, icon, status, yield}) w->hide();
    ui_->slotGrid->addWidget(check, n, 0);
    ui_->slotGrid->addWidget(bar, n, 1);
    ui_->slotGrid->addWidget(icon, n, 2);
    ui_->slotGrid->addWidget(status, n, 3);
    ui_->slotGrid->addWidget(yield, n, 4);
    check_[i] = check;
    bar_[i] = bar;
    icon_[i] = icon;
    status_[i] = status;
    yield_[i] = yield;
    status->setAccessibleDescription(device + QStringLiteral(" 结果"));
    yield->setAccessibleDescription(device + QStringLiteral(" 良率"));
    // Tab goes down the check boxes, then on to the buttons as before.
    QWidget::setTabOrder(check_[i - 1], check);
  }
  QWidget::setTabOrder(check_[kSlotCount - 1], ui_->ctl1006);
}

void DownloadDialog::SetValue(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
  // An empty label is named by what it is for (its accessible description).
  QString spoken = text.isEmpty() ? label->accessibleDescription() : text;
  spoken.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  if (label->accessibleName() != spoken) label->setAccessibleName(spoken);
}

void DownloadDialog::Redisplay() {
  const DialogView v = engine_.View();
  ui_->ctl1012->setText(QString::fromStdString(v.imagePath));
  for (size_t i = 0; i < 6; ++i) {
    const QString text = QString::fromStdString(v.addressBoxes[i]);
    if (box_[i]->text() != text) box_[i]->setText(text);
  }
  ui_->ctl1020->setText(QString::fromStdString(v.deviceName));
  if (poolState_ == PoolState::kOpening || poolState_ == PoolState::kFailed) {
    // No address to show: the image's own sequence is not the one that hands out.
    SetValue(ui_->ctl1008, QStringLiteral("当前地址:\t地址池未打开"));
    ui_->ctl1008->setStyleSheet(kFailColour);
  } else if (poolState_ == PoolState::kOpen && v.addressLabelMeaning == AddressLabelMeaning::kSequenceProblem) {
    // The pool's own words stay on the sequence line below; the large label says it short.
    SetValue(ui_->ctl1008, QStringLiteral("地址取自地址池 \"%1\"，不能在此设定").arg(pool_.name));
    ui_->ctl1008->setStyleSheet(kFailColour);
  } else {
    SetValue(ui_->ctl1008, LabelText(v.currentAddressLabel));
    ui_->ctl1008->setStyleSheet(v.addressLabelMeaning == AddressLabelMeaning::kNextAddress ? QString() : kFailColour);
  }
  SetValue(ui_->ctl1007, LabelText(v.countLabel));
  ui_->ctl1007->setStyleSheet(v.countLabelMeaning == CountLabelMeaning::kSuccessCount ? QString() : kFailColour);
  SetValue(ui_->ctl1039, LabelText(v.checksumLabel));
  // Which sequence the addresses come from and how many remain; the sequence's last word
  // (a refusal, a decision about its range) after it.
  QString sequence = v.hasSequence ? QStringLiteral("地址序列: ") + QString::fromStdString(v.sequenceText)
                                   : QStringLiteral("地址序列: 无");
  if (!v.sequenceMessage.empty()) sequence += QStringLiteral("\n") + QString::fromStdString(v.sequenceMessage);
  bool sequenceTrouble = v.fewLeft || !v.sequenceMessage.empty();
  if (poolState_ == PoolState::kOpening) {
    sequence = QStringLiteral("地址序列: 正在打开地址池 \"%1\"…").arg(pool_.name);
  } else if (poolState_ == PoolState::kFailed) {
    sequence = QStringLiteral("地址序列: 地址池 \"%1\" 无法打开，不能烧录\n%2").arg(pool_.name, poolProblem_);
    sequenceTrouble = true;
  }
  SetValue(ui_->ctl1114, sequence);
  ui_->ctl1114->setStyleSheet(sequenceTrouble ? kFailColour : QString());
  ui_->ctl1112->setText(QDir::toNativeSeparators(QString::fromStdString(v.readbackFolder.empty()
                                                                             ? engine_.ReadbackFolder()
                                                                             : v.readbackFolder)));
  const bool idle = Idle(v);
  // Under a pool nothing starts until it is open.
  const bool poolReady = poolState_ == PoolState::kNone || poolState_ == PoolState::kOpen;
  ui_->ctl1006->setEnabled(v.burnEnabled && idle && poolReady);
  ui_->ctl1024->setEnabled(v.readEnabled && idle && poolReady);
  ui_->ctl1025->setEnabled(v.eraseEnabled && idle && poolReady);
  poolAction_->setEnabled(idle);
  // The engine ignores these while an operation runs; greyed, the operator sees why.
  ui_->ctl1013->setEnabled(idle);
  ui_->ctl1014->setEnabled(idle && poolReady);
  ui_->ctl1111->setEnabled(idle);
  ui_->ctl1113->setEnabled(idle);
  ui_->ctl1115->setEnabled(idle);
  bool rowsChanged = false;
  for (size_t n = 0; n < kSlotCount; ++n) {
    const bool visible = v.rowVisible[n];
    {
      const QSignalBlocker block(check_[n]);
      check_[n]->setChecked(v.ticked[n]);
    }
    if (n >= 4 && check_[n]->isVisible() != visible) rowsChanged = true;
    check_[n]->setVisible(visible);
    check_[n]->setEnabled(!v.rowGone[n]);
    if (v.rowGone[n]) {
      // The adapter was pulled out: its row keeps the last result until the next operation.
      QString text = QString::fromUtf8(SlotResultTextZh(static_cast<SlotResult>(v.lastResult[n])));
      if (v.slotHasAddress[n]) text += QLatin1Char('\n') + QString::fromStdString(v.slotAddress[n].DisplayText());
      SetValue(status_[n], text + QStringLiteral(" (下载器已拔出)"));
      status_[n]->setStyleSheet(v.lastResult[n] == 0 ? kOkColour : kFailColour);
    }
    bar_[n]->setVisible(visible);
    status_[n]->setVisible(visible);
    yield_[n]->setVisible(visible);
    if (!visible || v.icon[n] == SlotIcon::kHidden) {
      icon_[n]->hide();
    } else {
      icon_[n]->setPixmap(v.icon[n] == SlotIcon::kSuccess ? successIcon_ : failureIcon_);
      icon_[n]->show();
    }
    SetValue(yield_[n], QStringLiteral("通过 %1  失败 %2").arg(v.yield.passed[n]).arg(v.yield.failed[n]));
  }
  SetValue(ui_->ctl1109, QStringLiteral("合计: 通过 %1  失败 %2").arg(v.yield.totalPassed).arg(v.yield.totalFailed));
  // More adapters than four: the window grows to show their rows whole.
  if (rowsChanged) {
    layout()->activate();
    if (height() < sizeHint().height()) resize(width(), sizeHint().height());
  }
  if (v.logFailed)
    ui_->ctl1110->setStyleSheet(kFailColour);
  else
    ui_->ctl1110->setStyleSheet(QString());
  if (!closePending_) {
    QString source = watching_ ? backendText_ : backendText_ + QStringLiteral("  (不能自动发现插拔)");
    for (const QString& notice : adapterNotices_) source += QLatin1Char('\n') + notice;
    ui_->ctl1100->setText(source);
    ui_->ctl1100->setStyleSheet(adapterNotices_.isEmpty() ? QString() : kFailColour);
  }
  ShowProgress();
}

void DownloadDialog::ShowNoticesFrom(AdapterNotices& notices) {
  // Queued even from this thread: a notice posted while the window is busy redisplaying
  // waits its turn.
  connect(&notices, &AdapterNotices::notice, this, &DownloadDialog::showAdapterNotice, Qt::QueuedConnection);
}

void DownloadDialog::showAdapterNotice(const QString& text) {
  // Four slots may say the same at once; each text is shown once, the last few kept.
  constexpr int kKept = 4;
  adapterNotices_.removeAll(text);
  adapterNotices_.append(text);
  while (adapterNotices_.size() > kKept) adapterNotices_.removeFirst();
  Redisplay();
}

bool DownloadDialog::Idle(const DialogView& v) const {
  return !v.busy && !running_ && !v.loading && !closePending_ && poolState_ != PoolState::kOpening;
}

void DownloadDialog::ShowProgress() {
  for (int n = 0; n < kSlotCount; ++n) {
    QProgressBar* bar = bar_[static_cast<size_t>(n)];
    const EngineBridge::Progress p = bridge_.SlotProgress(n);
    // Positions are byte counts below 16 MiB; they fit a progress bar's int. A chip erase
    // reports no positions: its bar shows "busy" until the slot ends.
    int max = static_cast<int>(p.maximum);
    if (max == 0 && !p.active) max = 100;
    if (bar->maximum() != max) bar->setRange(0, max);
    const int pos = std::min(static_cast<int>(p.position), max);
    if (bar->value() != pos) bar->setValue(pos);
    // The phase reads better in the row's large status text than inside the bar.
    if (p.active) {
      QLabel* status = status_[static_cast<size_t>(n)];
      const QString phase = PhaseText(p.phase) + QStringLiteral("中…");
      if (status->text() != phase) {
        SetValue(status, phase);
        status->setStyleSheet(QString());
      }
    }
  }
}

void DownloadDialog::LoadImage() {
  if (engine_.View().busy) return;
  const QString path = chooseImage ? chooseImage() : QString();
  if (path.isEmpty()) return;
  // Read on the engine's helper thread: a 16 MiB image on a network share must not
  // freeze the window.
  if (engine_.LoadImageAsync(QFile::encodeName(path).toStdString())) pendingImage_ = path;
  Redisplay();
}

void DownloadDialog::OnImageLoaded(int error) {
  const QString path = pendingImage_;
  pendingImage_.clear();
  // The log goes beside the image until the operator picks a folder of their own.
  if (static_cast<ImageError>(error) == ImageError::kNone && !path.isEmpty()) {
    image_ = path;
    if (!logFolderChosen_) UseLogFolder(QFileInfo(path).absolutePath());
  }
  Redisplay();
}

void DownloadDialog::SetAddress() {
  if (engine_.View().busy) return;
  for (int i = 0; i < 6; ++i) engine_.SetAddressBox(i, box_[static_cast<size_t>(i)]->text().toStdString());
  // "最后地址": empty is the end of the first address's block.
  std::optional<BtAddress> last;
  const QString lastText = ui_->ctl1115->text().trimmed();
  if (!lastText.isEmpty()) {
    last = BtAddress::FromDisplayText(lastText.toStdString());
    if (!last) {
      SetValue(ui_->ctl1008, QStringLiteral("最后地址格式错误 (应为 AA:BB:CC:DD:EE:FF)"));
      ui_->ctl1008->setStyleSheet(kFailColour);
      return;
    }
  }
  engine_.SetAddress(last);
  Redisplay();
}

void DownloadDialog::StartOperation(Operation op) {
  if (poolState_ == PoolState::kOpening || poolState_ == PoolState::kFailed) return;
  bridge_.ResetProgress();
  adapterNotices_.clear();  // what this operation runs into comes anew
  for (size_t n = 0; n < kSlotCount; ++n)
    if (check_[n]->isChecked() || !check_[n]->isEnabled()) SetValue(status_[n], QString());
  running_ = engine_.Start(op);
  Redisplay();
}

// A slot's row: its result in words and, for a burn, the address its board holds, or the
// address kept for its next attempt when it failed after taking one.
void DownloadDialog::OnSlotFinished(const SlotReport& report) {
  if (report.slot < 0 || report.slot >= kSlotCount) return;
  const size_t n = static_cast<size_t>(report.slot);
  QString text = QString::fromUtf8(SlotResultTextZh(report.result));
  if (report.hasAddress) {
    // A failure's text can be long: its address goes on a line of its own.
    const QString address = QString::fromStdString(report.address.DisplayText());
    text += report.result == SlotResult::kDone ? QStringLiteral("  ") + address
                                               : QLatin1Char('\n') + address +
                                                     (report.addressKept ? QStringLiteral(" (留待本下载器重烧)")
                                                                         : QStringLiteral(" (已作废)"));
  }
  SetValue(status_[n], text);
  status_[n]->setStyleSheet(report.result == SlotResult::kDone ? kOkColour : kFailColour);
  Redisplay();
}

void DownloadDialog::ChooseLogFolder() {
  const QString dir = chooseLogFolder ? chooseLogFolder() : QString();
  if (dir.isEmpty()) return;
  logFolderChosen_ = true;
  UseLogFolder(dir);
}

void DownloadDialog::ChooseReadbackFolder() {
  const QString dir = chooseReadbackFolder ? chooseReadbackFolder() : QString();
  if (dir.isEmpty()) return;
  engine_.SetReadbackFolder(QFile::encodeName(dir).toStdString());
  Redisplay();
}

void DownloadDialog::UseLogFolder(const QString& folder) {
  const QString file = QDir(folder).filePath(QString::fromLatin1(kLogFileName));
  engine_.SetLogFile(QFile::encodeName(file).toStdString());
  ui_->ctl1110->setText(QDir::toNativeSeparators(file));
  Redisplay();
}

bool DownloadDialog::UsePool(const PoolSetting& s) {
  if (!Idle(engine_.View())) return false;
  ++poolGeneration_;
  pool_ = s;
  poolProblem_.clear();
  if (!s.enabled()) {
    poolState_ = PoolState::kNone;
    if (poolMode_.exchange(false)) {
      engine_.UseSequence(nullptr);
      // The image's own sequence comes with reading the image: read it again.
      if (!image_.isEmpty() && engine_.LoadImageAsync(QFile::encodeName(image_).toStdString()))
        pendingImage_ = image_;
    }
    Redisplay();
    return true;
  }
  // The image's own sequence (and its lock) is let go of: the pool alone hands out.
  poolMode_ = true;
  engine_.UseSequence(nullptr);
  const QString problem = CheckPoolSetting(s);
  if (!problem.isEmpty()) {
    poolState_ = PoolState::kFailed;
    poolProblem_ = problem;
    Redisplay();
    return true;
  }
#ifdef KESTREL_HAVE_POOL
  poolState_ = PoolState::kOpening;
  // An earlier opener has delivered its result (the state was not "opening"): it has
  // ended or is about to.
  if (poolOpener_.joinable()) poolOpener_.join();
  pool::PoolConfig config;
  config.url = s.url.toStdString();
  config.pool = s.name.toStdString();
  config.station = s.station.toStdString();
  const int generation = poolGeneration_;
  poolOpener_ = std::thread([this, config, generation] {
    SequenceStatus status = SequenceStatus::kOk;
    std::string message;
    std::shared_ptr<AddressSequence> sequence = pool::OpenPool(config, &status, &message);
    const QString why = sequence ? QString() : QString::fromStdString(message);
    // The window waits for this thread before it goes, so `this` is still there.
    QMetaObject::invokeMethod(
        this, [this, generation, sequence, why] { OnPoolOpened(generation, sequence, why); },
        Qt::QueuedConnection);
  });
#endif
  Redisplay();
  return true;
}

void DownloadDialog::OnPoolOpened(int generation, std::shared_ptr<AddressSequence> sequence, const QString& problem) {
  if (generation != poolGeneration_ || poolState_ != PoolState::kOpening) return;
  if (!sequence) {
    poolState_ = PoolState::kFailed;
    poolProblem_ = problem;
  } else {
    // Nothing runs or loads while the pool is being opened, so the engine takes it.
    engine_.UseSequence(std::move(sequence));
    poolState_ = PoolState::kOpen;
  }
  Redisplay();
}

void DownloadDialog::showPoolSettings() {
  if (!Idle(engine_.View())) return;
  auto* box = new PoolDialog(pool_, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QDialog::accepted, this, [this, box] {
    const PoolSetting s = box->setting();
    WritePoolSetting(*OpenWindowSettings(), s);
    if (s != pool_ || poolState_ == PoolState::kFailed) UsePool(s);
  });
  box->open();
}

void DownloadDialog::showAbout() {
  auto* box = new AboutBox(windowIcon(), this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void DownloadDialog::closeEvent(QCloseEvent* event) {
  if (closeConfirmed_) {
    event->accept();
    return;
  }
  if (closePending_) {
    event->ignore();
    return;
  }
  if (engine_.Close() == CloseOutcome::kPending) {
    // The boards being burned finish first: each already has its address and the image
    // already holds the one after it, so waiting loses nothing and repeats nothing. The
    // engine stores the next address when the last board is done; then the window ends.
    closePending_ = true;
    ui_->ctl1100->setText(QStringLiteral("正在等待烧录结束，随后关闭窗口…"));
    Redisplay();
    event->ignore();
    return;
  }
  // A file that cannot take the address is left alone, as when it cannot be opened; the
  // address before each board was already stored by the engine.
  closeConfirmed_ = true;
  event->accept();
}

void DownloadDialog::OnClosed() {
  closeConfirmed_ = true;
  close();
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
