#include "tessera/ui/live/LiveEqPage.h"

#include <QHeaderView>
#include <QHideEvent>
#include <QVBoxLayout>

#include "tessera/core/link/EqResponse.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "tessera/ui/live/ResponsePlot.h"
#include "ui_LiveEqPage.h"

namespace tessera::ui {

LiveEqPage::LiveEqPage(CPageEQ& model, LiveHooks hooks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::LiveEqPage>()), model_(model), hooks_(std::move(hooks)) {
  ui_->setupUi(this);
  setObjectName("PageEQ");
  ui_->ctl1075->setText("Config EQ");
  ui_->ctl1076->setText("Clear");

  auto* table = ui_->ctl1175;
  table->setColumnCount(CPageEQ::kColumns);
  table->setRowCount(kEqBands);
  QStringList titles;
  for (const char* t : CPageEQ::ColumnTitles()) titles << t;
  table->setHorizontalHeaderLabels(titles);
  // The columns' pixel widths, widened where this font needs more for the title.
  for (int c = 0; c < CPageEQ::kColumns; ++c)
    table->setColumnWidth(c, std::max(CPageEQ::ColumnWidths()[static_cast<size_t>(c)],
                                      table->horizontalHeader()->sectionSizeHint(c) + 8));
  table->verticalHeader()->setVisible(false);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->setShowGrid(true);
  connect(table, &QTableWidget::cellClicked, this, [this](int row, int) { EditBand(row); });

  for (const auto& e : CPageEQ::EqNumberEntries()) ui_->ctl1177->addItem(QString::fromStdString(e));
  connect(ui_->ctl1177, &QComboBox::currentIndexChanged, this, [this](int n) {
    if (n < 0) return;
    model_.OnEqNumberChanged(n);
    ui_->ctl1184->setChecked(model_.enableCheck != 0);
  });
  connect(ui_->ctl1075, &QPushButton::clicked, this, [this] {
    model_.eqNumber = ui_->ctl1177->currentIndex();
    session_.Send(link::ConfigEqCommand(model_));
  });
  connect(ui_->ctl1184, &QCheckBox::clicked, this, [this](bool checked) {
    model_.eqNumber = ui_->ctl1177->currentIndex();
    model_.enableCheck = checked ? 1 : 0;
    session_.Send(link::EnableEqCommand(model_));
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
}

LiveEqPage::~LiveEqPage() { session_.Close(); }

void LiveEqPage::Reload() {
  for (int i = 0; i < kEqBands; ++i) {
    const auto texts = model_.RowTexts(i);
    for (int c = 0; c < CPageEQ::kColumns && c < static_cast<int>(texts.size()); ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(texts[static_cast<size_t>(c)]));
      item->setTextAlignment(Qt::AlignCenter);
      ui_->ctl1175->setItem(i, c, item);
    }
  }
  {
    const QSignalBlocker block(ui_->ctl1177);
    ui_->ctl1177->setCurrentIndex(model_.eqNumber);
  }
  ui_->ctl1184->setChecked(model_.enableCheck != 0);
  UpdatePlot();
}

void LiveEqPage::EditBand(int row) {
  auto dlgModel = model_.DialogFor(row);
  if (!dlgModel) return;
  EqConfigDialog dlg(*dlgModel, hooks_.showMessage, this);
  if (!hooks_.runBandDialog(dlg)) return;
  hooks_.modify([&] {
    model_.ApplyDialog(row, dlg.Model());
    model_.RefreshRow(row);
  });
  Reload();
}

void LiveEqPage::UpdatePlot() {
  int top = 8000;
  for (const auto& b : model_.bands) top = std::max(top, static_cast<int>(b.sampleHz));
  const double topHz = top / 2.0;
  ResponsePlot::Curve combined;
  combined.hz = link::LogFrequencies(20, topHz * 0.999, 300);
  for (double hz : combined.hz)
    combined.db.push_back(link::CombinedMagnitudeDb(model_.bands, model_.coefficients, hz));
  std::vector<ResponsePlot::Curve> each;
  for (size_t i = 0; i < model_.bands.size(); ++i) {
    const auto& b = model_.bands[i];
    if (!b.enabled || b.sampleHz <= 0) continue;
    ResponsePlot::Curve c;
    c.hz = link::LogFrequencies(20, b.sampleHz / 2.0 * 0.999, 200);
    for (double hz : c.hz) c.db.push_back(link::BandMagnitudeDb(model_.coefficients[i], hz, b.sampleHz));
    each.push_back(std::move(c));
  }
  plot_->SetCurves(std::move(combined), std::move(each), topHz);
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
