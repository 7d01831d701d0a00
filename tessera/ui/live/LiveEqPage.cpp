#include "tessera/ui/live/LiveEqPage.h"

#include <QHideEvent>
#include <QVBoxLayout>

#include "tessera/core/link/EqResponse.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "tessera/ui/live/ResponsePlot.h"
#include "ui_LiveEqPage.h"

namespace tessera::ui {

LiveEqPage::LiveEqPage(CTesseraView& doc, LiveHooks hooks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::LiveEqPage>()), doc_(doc), hooks_(std::move(hooks)) {
  ui_->setupUi(this);
  setObjectName("PageEQ");

  // The bands as the document's equalizer page declares them; a click on a row opens
  // the band dialog.
  ListColumns columns;
  for (const char* t : CPageEQ::ColumnTitles()) columns.titles.push_back(QString::fromUtf8(t));
  columns.widths.assign(CPageEQ::ColumnWidths().begin(), CPageEQ::ColumnWidths().end());
  binder_ = new ControlBinder(this, [this] { return doc_.Controls(PageId::Eq); },
                              {{CPageEQ::kIdBandList, std::move(columns)}});
  binder_->onListClick = [this](int, int row) { EditBand(row); };
  binder_->afterRefresh = [this] { UpdatePlot(); };
  ui_->ctl1175->setShowGrid(true);

  for (const auto& e : CPageEQ::EqNumberEntries()) ui_->ctl1177->addItem(QString::fromStdString(e));
  connect(ui_->ctl1177, &QComboBox::currentIndexChanged, this, [this](int n) {
    if (n < 0) return;
    link_.ChooseEq(n);
    ui_->ctl1184->setChecked(link_.enableCheck != 0);
  });
  connect(ui_->ctl1075, &QPushButton::clicked, this, [this] {
    link_.eqNumber = ui_->ctl1177->currentIndex();
    session_.Send(link::ConfigEqCommand(doc_.eq, link_.eqNumber));
  });
  connect(ui_->ctl1184, &QCheckBox::clicked, this, [this](bool checked) {
    link_.eqNumber = ui_->ctl1177->currentIndex();
    link_.enableCheck = checked ? 1 : 0;
    session_.Send(link::EnableEqCommand(link_));
  });

  auto* host = new QVBoxLayout(ui_->responsePlotHost);
  host->setContentsMargins(0, 0, 0, 0);
  plot_ = new ResponsePlot(ui_->responsePlotHost);
  plot_->setObjectName("combinedResponse");
  host->addWidget(plot_);

  panel_ = new LinkPanel(session_, ui_->ctl1077, ui_->ctl1079, ui_->ctl1170, ui_->ctl1090,
                         ui_->ctl1076, this);
  connect(panel_, &LinkPanel::openChanged, this, &LiveEqPage::ShowLinkState);
  ShowLinkState(false);
  Reload();
  follow_.emplace(doc_, PageId::Eq, [this] { Reload(); });
}

LiveEqPage::~LiveEqPage() {
  follow_.reset();  // no redraws while the page goes (closing the port may notify)
  session_.Close();
}

void LiveEqPage::Reload() {
  {
    // The link's own state, not the document's: which equalizer Config EQ sends to.
    const QSignalBlocker block(ui_->ctl1177);
    ui_->ctl1177->setCurrentIndex(link_.eqNumber);
  }
  ui_->ctl1184->setChecked(link_.enableCheck != 0);
  binder_->Refresh();
}

void LiveEqPage::EditBand(int row) {
  auto dlgModel = doc_.eq.DialogFor(row);
  if (!dlgModel) return;
  EqConfigDialog dlg(*dlgModel, hooks_.showMessage, this);
  if (!hooks_.runBandDialog(dlg)) return;
  // The document tells this page (and every other view) to redraw.
  hooks_.Modify([&] { return doc_.ApplyEqBand(row, dlg.Model()); });
}

void LiveEqPage::UpdatePlot() {
  auto plot = link::SampleEqPlot(doc_.eq.bands, doc_.eq.coefficients, 300, 200);
  plot_->SetCurves(std::move(plot.combined), std::move(plot.bands), plot.topHz);
}

void LiveEqPage::ShowLinkState(bool open) {
  ui_->ctl1075->setEnabled(open);
  ui_->ctl1184->setEnabled(open);
}

void LiveEqPage::Leave() { panel_->Close(); }

void LiveEqPage::hideEvent(QHideEvent* event) {
  // A minimised window hides its pages spontaneously; only leaving the page closes.
  if (!event->spontaneous()) Leave();
  QWidget::hideEvent(event);
}

}  // namespace tessera::ui
