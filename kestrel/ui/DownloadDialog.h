#pragma once
// The production window: the dialog of template 102 over ProductionEngine. Everything the
// dialog decides (buttons, labels, rows, icons, the address sequence) comes from the
// engine's DialogView; this class shows it, passes the operator's clicks on, and adds
// what a production line needs around it: a status text and yield per slot.
#include <QDialog>
#include <QPixmap>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "core/ProductionEngine.h"
#include "core/SteadyClock.h"
#include "ui/EngineBridge.h"

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
  ~DownloadDialog() override;

  // The file dialogs, replaceable so tests and scripts can drive the window without one.
  // An empty answer is "cancel".
  std::function<QString()> chooseImage;
  std::function<QString()> chooseLogFolder;

  ProductionEngine& engine() { return engine_; }
  EngineBridge& bridge() { return bridge_; }
  bool operationRunning() const { return running_; }
  bool closePending() const { return closePending_; }

 public slots:
  // An adapter appeared or went away. While an operation runs the rows keep showing it
  // and the refresh follows its end.
  void adaptersChanged();
  void showAbout();

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
  void Redisplay();
  void ShowProgress();
  void OnSlotFinished(int slot, int op, int result);
  void OnOperationFinished(int op);
  void ShowYield();

  std::unique_ptr<Ui::DownloadDialog> ui_;
  EngineBridge bridge_;
  SteadyClock clock_;
  ProductionEngine engine_;
  QString backendText_;

  std::array<QCheckBox*, kSlotCount> check_{};
  std::array<QProgressBar*, kSlotCount> bar_{};
  std::array<QLabel*, kSlotCount> icon_{};
  std::array<QLabel*, kSlotCount> status_{};
  std::array<QLabel*, kSlotCount> yield_{};
  std::array<QLineEdit*, 6> box_{};  // box i = address byte i (1000 + i)
  QPixmap successIcon_;
  QPixmap failureIcon_;

  std::array<int, kSlotCount> passed_{};
  std::array<int, kSlotCount> failed_{};
  bool running_ = false;
  bool closePending_ = false;
  bool refreshPending_ = false;
  bool logFolderChosen_ = false;
};

}  // namespace kestrel::ui
