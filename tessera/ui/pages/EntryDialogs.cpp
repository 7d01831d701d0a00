#include "pages/EntryDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "pages/PageView.h"
#include "ui_AudioConfigDialog.h"
#include "ui_KeyEventDialog.h"
#include "ui_LedEventDialog.h"

namespace tessera::ui {

QString TesseraStyleSheet() {
  QFile f(QStringLiteral(":/tessera/style/tessera.qss"));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

namespace {

template <class W>
W* Find(QWidget* root, int id) {
  return root->findChild<W*>(ControlName(id));
}

// A selector of a dialog model: fills the box and follows the user's picks.
void BindCombo(QWidget* root, int id, Selector& sel, const std::function<void(int)>& onPick = {}) {
  auto* box = Find<QComboBox>(root, id);
  if (!box) return;
  for (const auto& e : sel.entries) box->addItem(QString::fromStdString(e));
  box->setCurrentIndex(sel.selected);
  QObject::connect(box, &QComboBox::activated, root, [&sel, onPick](int i) {
    sel.Select(i);
    if (onPick) onPick(i);
  });
}

void SetEdits(QWidget* root, std::span<const FieldSpec> fields, const std::function<std::string(int)>& text) {
  for (const auto& f : fields)
    if (auto* e = Find<QLineEdit>(root, f.id)) e->setText(QString::fromStdString(text(f.id)));
}

void PrepareDialog(QDialog* d) {
  d->setStyleSheet(TesseraStyleSheet());
  if (auto* ok = Find<QPushButton>(d, 1)) {
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, d, &QDialog::accept);
  }
  if (auto* cancel = Find<QPushButton>(d, 2)) QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
}

}  // namespace

// ---- key assignment ------------------------------------------------------------------

KeyEventDialog::KeyEventDialog(CKeyEventDlg& model, PageController&, QWidget* parent)
    : QDialog(parent), model_(model), ui_(std::make_unique<Ui::KeyEventDialog>()) {
  ui_->setupUi(this);
  PrepareDialog(this);
  BindCombo(this, CKeyEventDlg::kEventId, model_.event, [this](int i) {
    model_.OnEventChanged(i);
    Refresh();
  });
  BindCombo(this, CKeyEventDlg::kTypeId, model_.type);
  BindCombo(this, CKeyEventDlg::kStateId, model_.state);
  for (int n = 0; n < CKeyEventDlg::kGpioCount; ++n)
    if (auto* box = Find<QCheckBox>(this, CKeyEventDlg::GpioCheckId(n)))
      connect(box, &QCheckBox::clicked, this, [this, n](bool on) {
        model_.SetGpioChecked(n, on);
        Refresh();
      });
  Refresh();
}

KeyEventDialog::~KeyEventDialog() = default;

void KeyEventDialog::Refresh() {
  for (int n = 0; n < CKeyEventDlg::kGpioCount; ++n)
    if (auto* box = Find<QCheckBox>(this, CKeyEventDlg::GpioCheckId(n))) {
      const QSignalBlocker block(box);
      box->setChecked(model_.GpioChecked(n));
      box->setEnabled(model_.GpioEnabled(n));
    }
}

// ---- LED pattern ---------------------------------------------------------------------

LedEventDialog::LedEventDialog(CLedEventDlg& model, PageController& c, QWidget* parent)
    : QDialog(parent), model_(model), c_(c), ui_(std::make_unique<Ui::LedEventDialog>()) {
  ui_->setupUi(this);
  PrepareDialog(this);
  BindCombo(this, CLedEventDlg::kEventId, model_.event);
  BindCombo(this, CLedEventDlg::kLedId, model_.led);
  SetEdits(this, CLedEventDlg::Fields(), [this](int id) { return model_.ControlText(id); });
}

LedEventDialog::~LedEventDialog() = default;

void LedEventDialog::accept() {
  auto err = model_.Ok([this](int id) {
    auto* e = Find<QLineEdit>(this, id);
    return e ? e->text().toStdString() : std::string();
  }, entry_);
  if (err) {
    auto* field = Find<QWidget>(this, err->controlId);
    c_.Hooks().showMessage(this, QString::fromStdString(err->message));
    if (field) field->setFocus();
    return;
  }
  QDialog::accept();
}

// ---- voice prompt --------------------------------------------------------------------

AudioConfigDialog::AudioConfigDialog(CAudioConfigDlg& model, PageController& c, QWidget* parent)
    : QDialog(parent), model_(model), c_(c), ui_(std::make_unique<Ui::AudioConfigDialog>()) {
  ui_->setupUi(this);
  PrepareDialog(this);
  BindCombo(this, CAudioConfigDlg::kEventId, model_.event);
  BindCombo(this, CAudioConfigDlg::kKindId, model_.kind, [this](int) { ApplyKindRule(); });
  BindCombo(this, CAudioConfigDlg::kEnableId, model_.enable);
  BindCombo(this, CAudioConfigDlg::kPatternId, model_.pattern);
  BindCombo(this, CAudioConfigDlg::kModeId, model_.mode);
  for (auto [id, member] : {std::pair{CAudioConfigDlg::kF1EnableId, &model_.f1Enable},
                            std::pair{CAudioConfigDlg::kF2EnableId, &model_.f2Enable}})
    if (auto* box = Find<QCheckBox>(this, id))
      connect(box, &QCheckBox::clicked, this, [member](bool on) { *member = on ? 1 : 0; });
  if (auto* browse = Find<QPushButton>(this, CAudioConfigDlg::kBrowseId))
    connect(browse, &QPushButton::clicked, this, [this] {
      model_.ReadBack([this](int id) { return TextOf(id); });
      const QString path = c_.Hooks().chooseFile(this, FileDialogKind::OpenWave);
      if (path.isEmpty()) return;
      model_.Browse(path.toStdString());
      c_.FlushMessages();
      Refresh();
    });
  Refresh();
}

AudioConfigDialog::~AudioConfigDialog() = default;

std::string AudioConfigDialog::TextOf(int id) const {
  auto* e = Find<QLineEdit>(const_cast<AudioConfigDialog*>(this), id);
  return e ? e->text().toStdString() : std::string();
}

void AudioConfigDialog::Refresh() {
  SetEdits(this, CAudioConfigDlg::Fields(), [this](int id) { return model_.ControlText(id); });
  if (auto* p = Find<QLineEdit>(this, CAudioConfigDlg::kPathId)) p->setText(QString::fromStdString(model_.path));
  if (auto* b = Find<QCheckBox>(this, CAudioConfigDlg::kF1EnableId)) b->setChecked(model_.f1Enable != 0);
  if (auto* b = Find<QCheckBox>(this, CAudioConfigDlg::kF2EnableId)) b->setChecked(model_.f2Enable != 0);
  ApplyKindRule();
}

void AudioConfigDialog::ApplyKindRule() {
  const bool wave = model_.PathControlsEnabled();
  const bool dtmf = model_.DtmfControlsEnabled();
  for (int id : {CAudioConfigDlg::kPathId, CAudioConfigDlg::kBrowseId})
    if (auto* w = Find<QWidget>(this, id)) w->setEnabled(wave);
  for (int id = CAudioConfigDlg::kPatternId; id <= CAudioConfigDlg::kF2EnableId; ++id)
    if (auto* w = Find<QWidget>(this, id)) w->setEnabled(dtmf);
}

void AudioConfigDialog::accept() {
  auto err = model_.Ok([this](int id) { return TextOf(id); }, entry_);
  // "cant open the file" comes before the dialog closes.
  c_.FlushMessages();
  if (err) {
    auto* field = Find<QWidget>(this, err->controlId);
    c_.Hooks().showMessage(this, QString::fromStdString(err->message));
    if (field) field->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace tessera::ui
