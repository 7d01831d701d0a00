#include "tessera/ui/live/EqConfigDialog.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tessera/core/eq/EqCoefficients.h"
#include "tessera/core/link/EqResponse.h"
#include "tessera/ui/live/ResponsePlot.h"
#include "ui_EqConfigDialog.h"

namespace tessera::ui {

EqConfigDialog::EqConfigDialog(const CEqConfigDlg& model,
                               std::function<void(const QString&)> showMessage, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::EqConfigDialog>()), model_(model),
      showMessage_(std::move(showMessage)) {
  ui_->setupUi(this);
  ui_->ctl1->setText("OK");
  ui_->ctl2->setText("Cancel");
  ui_->ctl1->setDefault(true);
  auto* host = new QVBoxLayout(ui_->responsePlotHost);
  host->setContentsMargins(0, 0, 0, 0);
  plot_ = new ResponsePlot(ui_->responsePlotHost);
  plot_->setObjectName("bandResponse");
  host->addWidget(plot_);
  ShowFields();
  for (auto* edit : {ui_->ctl1182, ui_->ctl1183, ui_->ctl1184, ui_->ctl1185})
    connect(edit, &QLineEdit::textEdited, this, &EqConfigDialog::UpdatePlot);
  for (auto* radio : {ui_->ctl1178, ui_->ctl1179, ui_->ctl1180, ui_->ctl1181})
    connect(radio, &QRadioButton::toggled, this, &EqConfigDialog::UpdatePlot);
  connect(ui_->ctl1, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(ui_->ctl2, &QPushButton::clicked, this, &QDialog::reject);
  UpdatePlot();
}

EqConfigDialog::~EqConfigDialog() = default;

void EqConfigDialog::ShowFields() {
  (model_.type ? ui_->ctl1179 : ui_->ctl1178)->setChecked(true);
  (model_.highLow ? ui_->ctl1181 : ui_->ctl1180)->setChecked(true);
  ui_->ctl1182->setText(QString::fromStdString(model_.ControlText(CEqConfigDlg::kIdGain)));
  ui_->ctl1183->setText(QString::fromStdString(model_.ControlText(CEqConfigDlg::kIdBandwidth)));
  ui_->ctl1184->setText(QString::fromStdString(model_.ControlText(CEqConfigDlg::kIdCenter)));
  ui_->ctl1185->setText(QString::fromStdString(model_.ControlText(CEqConfigDlg::kIdSample)));
  ui_->ctl1186->setChecked(model_.enabled != 0);
}

QString EqConfigDialog::ControlText(int id) const {
  auto* edit = findChild<QLineEdit*>(QString("ctl%1").arg(id));
  return edit ? edit->text() : QString();
}

bool EqConfigDialog::TryAccept() {
  CEqConfigDlg next = model_;
  next.type = ui_->ctl1179->isChecked() ? 1 : 0;
  next.highLow = ui_->ctl1181->isChecked() ? 1 : 0;
  next.enabled = ui_->ctl1186->isChecked() ? 1 : 0;
  const auto error = next.ReadBack([this](int id) { return ControlText(id).toStdString(); });
  model_ = next;  // fields read before a failure keep their new values
  if (error) {
    if (showMessage_) showMessage_(QString::fromStdString(error->message));
    if (auto* w = findChild<QWidget*>(QString("ctl%1").arg(error->controlId))) w->setFocus();
    return false;
  }
  accept();
  return true;
}

void EqConfigDialog::UpdatePlot() {
  // The plot follows what is typed as far as it passes the dialog's checks; the last
  // good values stand in for a field being typed.
  CEqConfigDlg typed = model_;
  typed.type = ui_->ctl1179->isChecked() ? 1 : 0;
  typed.highLow = ui_->ctl1181->isChecked() ? 1 : 0;
  typed.TakeValidTexts([this](int id) { return ControlText(id).toStdString(); });
  const EqBandParams band = typed.PreviewBand();
  plot_->SetCurves(link::SampleBand(ComputeEqCoefficients(band), band.sampleHz, 240), {},
                   band.sampleHz / 2.0);
}

}  // namespace tessera::ui
