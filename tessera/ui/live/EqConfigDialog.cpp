#include "tessera/ui/live/EqConfigDialog.h"

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
  ui_->ctl1->setDefault(true);
  auto* host = new QVBoxLayout(ui_->responsePlotHost);
  host->setContentsMargins(0, 0, 0, 0);
  plot_ = new ResponsePlot(ui_->responsePlotHost);
  plot_->setObjectName("bandResponse");
  host->addWidget(plot_);
  // The type, side, edits and switch as the core's band dialog declares them: limits,
  // messages and texts come from there. The plot follows every change; the model only
  // takes the fields on OK.
  binder_ = new ControlBinder(this, [this] { return ControlSet(model_, CEqConfigDlg::ControlDecls()); });
  binder_->onChange = [this](int, int) { UpdatePlot(); };
  binder_->onTextEdited = [this](int) { UpdatePlot(); };
  binder_->Refresh();
  connect(ui_->ctl1, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(ui_->ctl2, &QPushButton::clicked, this, &QDialog::reject);
  UpdatePlot();
}

EqConfigDialog::~EqConfigDialog() = default;

bool EqConfigDialog::TryAccept() {
  CEqConfigDlg next = model_;
  ControlSet fields(next, CEqConfigDlg::ControlDecls());
  const auto error = fields.ReadBack(binder_->Reader());
  model_ = next;  // fields read before a failure keep their new values
  if (error) {
    if (showMessage_) showMessage_(QString::fromStdString(error->message));
    if (QWidget* w = binder_->Widget(error->controlId)) w->setFocus();
    return false;
  }
  accept();
  return true;
}

void EqConfigDialog::UpdatePlot() {
  // The plot follows what is typed as far as it passes the dialog's checks; the last
  // good values stand in for a field being typed.
  CEqConfigDlg typed = model_;
  ControlSet fields(typed, CEqConfigDlg::ControlDecls());
  const ControlReader reader = binder_->Reader();
  for (const ControlInfo& info : fields.Controls())
    if (info.kind == ControlKind::RadioGroup)
      if (const auto in = reader(info)) fields.Change(info.id, in->value);
  fields.TakeValidEdits(reader);
  const EqBandParams band = typed.PreviewBand();
  plot_->SetCurves(link::SampleBand(ComputeEqCoefficients(band), band.sampleHz, 240), {},
                   band.sampleHz / 2.0);
}

}  // namespace tessera::ui
