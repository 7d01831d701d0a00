#pragma once
// The three entry dialogs over their models in the core: a key assignment, an LED
// pattern and a voice prompt. OK validates like the pages do (message, focus on the
// field, the dialog stays open); the entry the dialog built is then in Entry().
#include <QDialog>
#include <memory>

#include "config/TableEntries.h"
#include "pages/CAudioConfigDlg.h"
#include "pages/CKeyEventDlg.h"
#include "pages/CLedEventDlg.h"
#include "pages/PageController.h"

namespace Ui {
class KeyEventDialog;
class LedEventDialog;
class AudioConfigDialog;
}  // namespace Ui

namespace tessera::ui {

class KeyEventDialog : public QDialog {
  Q_OBJECT
 public:
  KeyEventDialog(CKeyEventDlg& model, PageController& c, QWidget* parent = nullptr);
  ~KeyEventDialog() override;
  KeyEventEntry Entry() const { return model_.Ok(); }

 private:
  void Refresh();
  CKeyEventDlg& model_;
  std::unique_ptr<Ui::KeyEventDialog> ui_;
};

class LedEventDialog : public QDialog {
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

class AudioConfigDialog : public QDialog {
  Q_OBJECT
 public:
  AudioConfigDialog(CAudioConfigDlg& model, PageController& c, QWidget* parent = nullptr);
  ~AudioConfigDialog() override;
  void accept() override;
  const SoundEffectEntry& Entry() const { return entry_; }

 private:
  void ApplyKindRule();
  void Refresh();
  std::string TextOf(int id) const;
  CAudioConfigDlg& model_;
  PageController& c_;
  SoundEffectEntry entry_{};
  std::unique_ptr<Ui::AudioConfigDialog> ui_;
};

// Style sheet shared by the window and its dialogs (message boxes keep system colours).
QString TesseraStyleSheet();

}  // namespace tessera::ui
