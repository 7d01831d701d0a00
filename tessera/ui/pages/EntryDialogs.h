#pragma once
// The three entry dialogs over their models in the core: a key assignment, an LED
// pattern and a voice prompt. OK validates like the pages do (message, focus on the
// field, the dialog stays open); the entry the dialog built is then in Entry().
#include <QDialog>
#include <functional>
#include <memory>

#include "tessera/core/common/ControlDecl.h"

#include "tessera/core/config/TableEntries.h"
#include "tessera/core/pages/CAudioConfigDlg.h"
#include "tessera/core/pages/CKeyEventDlg.h"
#include "tessera/core/pages/CLedEventDlg.h"
#include "tessera/ui/pages/PageController.h"

namespace Ui {
class KeyEventDialog;
class LedEventDialog;
class AudioConfigDialog;
}  // namespace Ui

namespace tessera::ui {

class ControlBinder;

// What the three dialogs share: the style, OK and Cancel, and a binder over the
// controls the dialog's model declares (a pick or click goes to the model at once).
class EntryDialog : public QDialog {
  Q_OBJECT
 protected:
  EntryDialog(QWidget* parent) : QDialog(parent) {}
  void Bind(std::function<ControlSet()> controls);
  ControlBinder* binder_ = nullptr;
};

class KeyEventDialog : public EntryDialog {
  Q_OBJECT
 public:
  KeyEventDialog(CKeyEventDlg& model, PageController& c, QWidget* parent = nullptr);
  ~KeyEventDialog() override;
  KeyEventEntry Entry() const { return model_.Ok(); }
  const CKeyEventDlg& Model() const { return model_; }

 private:
  CKeyEventDlg& model_;
  std::unique_ptr<Ui::KeyEventDialog> ui_;
};

class LedEventDialog : public EntryDialog {
  Q_OBJECT
 public:
  LedEventDialog(CLedEventDlg& model, PageController& c, QWidget* parent = nullptr);
  ~LedEventDialog() override;
  void accept() override;
  const LedEventEntry& Entry() const { return entry_; }

 private:
  CLedEventDlg& model_;
  PageController& c_;
  LedEventEntry entry_{};
  std::unique_ptr<Ui::LedEventDialog> ui_;
};

class AudioConfigDialog : public EntryDialog {
  Q_OBJECT
 public:
  AudioConfigDialog(CAudioConfigDlg& model, PageController& c, QWidget* parent = nullptr);
  ~AudioConfigDialog() override;
  void accept() override;
  const SoundEffectEntry& Entry() const { return entry_; }

 private:
  CAudioConfigDlg& model_;
  PageController& c_;
  SoundEffectEntry entry_{};
  std::unique_ptr<Ui::AudioConfigDialog> ui_;
};

}  // namespace tessera::ui
