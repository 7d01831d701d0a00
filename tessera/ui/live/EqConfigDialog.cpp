#include "tessera/ui/live/EqConfigDialog.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

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
  // The plot follows what is typed as far as it parses and lies in range; the last good
  // values stand in for a field being typed.
  EqBandParams band = model_.ToBand();
  band.enabled = 1;
  band.type = ui_->ctl1179->isChecked() ? 1 : 0;
  band.highLow = ui_->ctl1181->isChecked() ? 1 : 0;
  bool ok = false;
  const float gain = ui_->ctl1182->text().toFloat(&ok);
  if (ok && gain >= -24 && gain <= 18) band.gainDb = gain;
  const auto integer = [&](QLineEdit* e, int lo, int hi, int32_t& out) {
    bool good = false;
    const int v = e->text().toInt(&good);
    if (good && v >= lo && v <= hi) out = v;
  };
  integer(ui_->ctl1183, 1, 20000, band.bandwidthHz);
  integer(ui_->ctl1184, 1, 20000, band.centerHz);
  integer(ui_->ctl1185, 8000, 48000, band.sampleHz);
  if (band.sampleHz < 8000) band.sampleHz = 8000;  // a voice equalizer's 1 Hz start value
  const auto coeffs = ComputeEqCoefficients(band);
  const double top = band.sampleHz / 2.0;
  ResponsePlot::Curve c;
  c.hz = link::LogFrequencies(20, top * 0.999, 240);
  for (double hz : c.hz) c.db.push_back(link::BandMagnitudeDb(coeffs, hz, band.sampleHz));
  plot_->SetCurves(std::move(c), {}, top);
}

}  // namespace tessera::ui
