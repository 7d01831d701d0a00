#pragma once
// The production window over ProductionEngine. Everything the
// dialog decides (buttons, labels, rows, icons, the address sequence) comes from the
// engine's DialogView; this class shows it, passes the operator's clicks on, and adds
// what a production line needs around it: a status text and yield per slot.
#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/ProductionEngine.h"
#include "core/SteadyClock.h"
#include "ui/Backend.h"
#include "ui/EngineBridge.h"
#include "ui/PoolSetting.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace Ui {
class DownloadDialog;
}

namespace kestrel::ui {

class DownloadDialog : public QDialog {
  Q_OBJECT
 public:
  // backendText says which adapters the window works with; shown at the bottom.
  DownloadDialog(Transport& transport, const QString& backendText, EngineOptions options,
                 QWidget* parent = nullptr);
  ~DownloadDialog() override;  // waits for a pool being opened (libpq gives up within seconds)

  // The file dialogs, replaceable so tests and scripts can drive the window without one.
  // An empty answer is "cancel".
  std::function<QString()> chooseImage;
  std::function<QString()> chooseLogFolder;
  std::function<QString()> chooseReadbackFolder;

  // Object names of the rows past the fourth (slot n from 4 to 15): they continue the
  // dialog's ids in blocks of twenty, one block per kind of control.
  static constexpr int kExtraCheckId = 1200, kExtraBarId = 1220, kExtraIconId = 1240, kExtraStatusId = 1260,
                       kExtraYieldId = 1280;

  // The production log's file in a folder.
  static constexpr const char* kLogFileName = "kestrel-production-log.csv";

  ProductionEngine& engine() { return engine_; }
  EngineBridge& bridge() { return bridge_; }
  // Started and its end not yet shown: every slot's row is final once this is false.
  bool operationRunning() const { return running_; }
  bool closePending() const { return closePending_; }
  // An image was chosen and the engine has not finished reading it.
  bool loadPending() const { return !pendingImage_.isEmpty(); }
  // False when the backend cannot report plugging: the rows then stay as found at start.
  bool watchingAdapters() const { return watching_; }

  // Takes the boards' addresses from the pool `s` (or, disabled, from the image's own
  // sequence again). The pool is opened on a thread of its own: the window stays live
  // while the database answers slowly or not at all, and no operation starts until the
  // pool is open. False while an operation runs or a pool is being opened.
  bool UsePool(const PoolSetting& s);
  // Shows every notice posted to `notices` (from any thread) with showAdapterNotice.
  void ShowNoticesFrom(AdapterNotices& notices);
  const PoolSetting& poolSetting() const { return pool_; }
  enum class PoolState { kNone, kOpening, kOpen, kFailed };
  PoolState poolState() const { return poolState_; }

 public slots:
  void showAbout();
  // "地址池设置": the setting is kept in the window's settings and used at once.
  void showPoolSettings();
  // A backend's notice (an adapter the user may not open, a pipe that gave up): shown
  // under the adapters' source line until the next operation starts.
  void showAdapterNotice(const QString& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;
  void accept() override;
#ifdef Q_OS_WIN
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
#endif

 private:
  void LoadImage();
  void SetAddress();
  void StartOperation(Operation op);
  void ChooseLogFolder();
  void ChooseReadbackFolder();
  void AddSlotRows();
  // A value label: its text, and the same text as its accessible name (screen readers
  // read the value, not a fixed caption).
  static void SetValue(QLabel* label, const QString& text);
  void Redisplay();
  void ShowProgress();
  void OnImageLoaded(int error);
  void OnSlotFinished(const SlotReport& report);
  void OnClosed();
  void UseLogFolder(const QString& folder);
  void OnPoolOpened(int generation, std::shared_ptr<AddressSequence> sequence, const QString& problem);
  bool Idle(const DialogView& v) const;

  std::unique_ptr<Ui::DownloadDialog> ui_;
  // Read by the engine's loader thread: under a pool, a loaded image brings no sequence
  // of its own.
  std::atomic<bool> poolMode_{false};
  SequenceOpener localOpener_;
  EngineBridge bridge_;
  SteadyClock clock_;
  ProductionEngine engine_;
  QString backendText_;
  QStringList adapterNotices_;  // the latest few, oldest first

  std::array<QCheckBox*, kSlotCount> check_{};
  std::array<QProgressBar*, kSlotCount> bar_{};
  std::array<QLabel*, kSlotCount> icon_{};
  std::array<QLabel*, kSlotCount> status_{};
  std::array<QLabel*, kSlotCount> yield_{};
  std::array<QLineEdit*, 6> box_{};  // box i = address byte i (1000 + i)
  QPixmap successIcon_;
  QPixmap failureIcon_;

  QString pendingImage_;        // chosen, being read by the engine
  QString image_;               // the image the engine has read
  bool running_ = false;        // between Start and the queued end of the operation
  bool closePending_ = false;   // closing waits for the running operation
  bool closeConfirmed_ = false; // the engine has stored the next address
  bool logFolderChosen_ = false;
  bool watching_ = false;

  PoolSetting pool_;
  PoolState poolState_ = PoolState::kNone;
  QString poolProblem_;        // why the pool could not be opened
  int poolGeneration_ = 0;     // a result from an earlier setting is dropped
  std::thread poolOpener_;
  QAction* poolAction_ = nullptr;
};

}  // namespace kestrel::ui
