#include "tessera/ui/pages/EntryDialogs.h"

#include <QPushButton>

#include "tessera/ui/app/Look.h"
#include "tessera/ui/pages/ControlBinder.h"
#include "ui_AudioConfigDialog.h"
#include "ui_KeyEventDialog.h"
#include "ui_LedEventDialog.h"

namespace tessera::ui {

void EntryDialog::Bind(std::function<ControlSet()> controls) {
  ApplyLook(this, true);
  if (auto* ok = findChild<QPushButton*>(ControlName(1))) {
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
  if (auto* cancel = findChild<QPushButton*>(ControlName(2)))
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  binder_ = new ControlBinder(this, controls);
  binder_->onChange = [this, controls](int id, int value) {
    controls().Change(id, value);
    binder_->Refresh(false);  // typed values stay until OK reads them
  };
  binder_->Refresh();
}

namespace {

// OK's validation failed: the message, the focus on the field, the dialog stays open.
void ReportInDialog(QDialog* d, PageController& c, const FieldError& err) {
  QWidget* field = d->findChild<QWidget*>(ControlName(err.controlId));
  c.Hooks().showMessage(d, QString::fromStdString(err.message));
  if (field) field->setFocus();
}

}  // namespace

KeyEventDialog::KeyEventDialog(CKeyEventDlg& model, PageController&, QWidget* parent)
    : EntryDialog(parent), model_(model), ui_(std::make_unique<Ui::KeyEventDialog>()) {
  ui_->setupUi(this);
  Bind([this] { return model_.Controls(); });
}

KeyEventDialog::~KeyEventDialog() = default;

LedEventDialog::LedEventDialog(CLedEventDlg& model, PageController& c, QWidget* parent)
    : EntryDialog(parent), model_(model), c_(c), ui_(std::make_unique<Ui::LedEventDialog>()) {
  ui_->setupUi(this);
  Bind([this] { return model_.Controls(); });
}

LedEventDialog::~LedEventDialog() = default;

void LedEventDialog::accept() {
  if (auto err = model_.Ok(binder_->TextReader(), entry_)) return ReportInDialog(this, c_, *err);
  QDialog::accept();
}

AudioConfigDialog::AudioConfigDialog(CAudioConfigDlg& model, PageController& c, QWidget* parent)
    : EntryDialog(parent), model_(model), c_(c), ui_(std::make_unique<Ui::AudioConfigDialog>()) {
  ui_->setupUi(this);
  Bind([this] { return model_.Controls(); });
  if (auto* browse = findChild<QPushButton*>(ControlName(CAudioConfigDlg::kBrowseId)))
    connect(browse, &QPushButton::clicked, this, [this] {
      // The fields are read back first; a bad one shows its message, and Browse goes on.
      if (auto err = model_.ReadBack(binder_->TextReader())) ReportInDialog(this, c_, *err);
      const QString path = c_.Hooks().chooseFile(this, FileDialogKind::OpenWave);
      if (path.isEmpty()) return;  // cancelled: nothing changes
      model_.Browse(path.toStdString());
      c_.FlushMessages();
      binder_->Refresh();
    });
  // Browse follows the kind rule of the path box.
  binder_->afterRefresh = [this] {
    if (auto* b = findChild<QPushButton*>(ControlName(CAudioConfigDlg::kBrowseId)))
      b->setEnabled(model_.PathControlsEnabled());
  };
  binder_->Refresh();
}

AudioConfigDialog::~AudioConfigDialog() = default;

void AudioConfigDialog::accept() {
  auto err = model_.Ok(binder_->TextReader(), entry_);
  c_.FlushMessages();  // "cant open the file" shows before the dialog closes
  if (err) return ReportInDialog(this, c_, *err);
  QDialog::accept();
}

}  // namespace tessera::ui
