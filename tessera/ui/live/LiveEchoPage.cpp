#include "tessera/ui/live/LiveEchoPage.h"

#include <QHideEvent>
#include <QShowEvent>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "ui_LiveEchoPage.h"

namespace tessera::ui {

namespace {

void Fill(QComboBox* box, const std::vector<std::string>& entries) {
  for (const auto& e : entries) box->addItem(QString::fromStdString(e));
}

class HookSink : public MessageSink {
 public:
  explicit HookSink(const LiveHooks& h) : hooks_(h) {}
  void Show(const std::string& text) override {
    if (hooks_.showMessage) hooks_.showMessage(QString::fromStdString(text));
  }

 private:
  const LiveHooks& hooks_;
};

}  // namespace

LiveEchoPage::LiveEchoPage(CPageEcho& model, CPageSystem& system, LiveHooks hooks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::LiveEchoPage>()), model_(model), system_(system),
      hooks_(std::move(hooks)) {
  ui_->setupUi(this);
  setObjectName("PageEcho");
  for (auto* b : {ui_->ctl1198, ui_->ctl1189, ui_->ctl1190}) b->setText("Conf");
  for (auto* b : {ui_->ctl1196, ui_->ctl1197}) b->setText("apply");
  ui_->ctl1193->setText("Save");
  Fill(ui_->ctl1187, CPageEcho::NoiseSuppressionEntries());
  Fill(ui_->ctl1188, CPageEcho::EchoSuppressionEntries());
  Fill(ui_->ctl1191, CPageEcho::DacGainEntries());
  Fill(ui_->ctl1192, CPageEcho::MicGainEntries());

  // This page never reads what the board says.
  session_.port().SetAnswersLinkCheck(false);
  session_.port().SetDeliversText(false);
  panel_ = new LinkPanel(session_, ui_->ctl1077, ui_->ctl1079, ui_->ctl1170, nullptr, nullptr, this);
  panel_->onOpenFailed = [this] {
    if (hooks_.showMessage) hooks_.showMessage(QString::fromUtf8("串口打开失败！\r\n"));
  };
  connect(panel_, &LinkPanel::openChanged, this, [this](bool open) {
    model_.SetPortOpen(open);
    ShowEnables();
  });

  for (auto [box, id] : {std::pair{ui_->ctl1187, CPageEcho::kIdNoiseSuppression},
                         std::pair{ui_->ctl1188, CPageEcho::kIdEchoSuppression},
                         std::pair{ui_->ctl1191, CPageEcho::kIdDacGain},
                         std::pair{ui_->ctl1192, CPageEcho::kIdMicGain}}) {
    const int listId = id;
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, listId](int index) { LevelPicked(listId, index); });
  }
  connect(ui_->ctl1198, &QPushButton::clicked, this, [this] {
    model_.OnConf(session_.IsOpen());
    ShowEnables();
  });
  connect(ui_->ctl1189, &QPushButton::clicked, this, [this] { EditVoiceEq(0); });
  connect(ui_->ctl1190, &QPushButton::clicked, this, [this] { EditVoiceEq(1); });
  for (auto [button, k] : {std::pair{ui_->ctl1196, 0}, std::pair{ui_->ctl1197, 1}}) {
    const int eq = k;
    connect(button, &QPushButton::clicked, this, [this, eq] {
      for (const auto& c : link::VoiceEqApplyCommands(model_, eq)) session_.Send(c);
    });
  }
  connect(ui_->ctl1193, &QPushButton::clicked, this, [this] {
    HookSink sink(hooks_);
    hooks_.modify([&] { model_.Save(system_, sink); });
  });
  ShowEnables();
  Reload();
}

LiveEchoPage::~LiveEchoPage() { session_.Close(); }

void LiveEchoPage::Reload() {
  const QSignalBlocker b1(ui_->ctl1187), b2(ui_->ctl1188), b3(ui_->ctl1191), b4(ui_->ctl1192);
  ui_->ctl1187->setCurrentIndex(model_.noiseSuppressionIndex);
  ui_->ctl1188->setCurrentIndex(model_.echoSuppressionIndex);
  ui_->ctl1191->setCurrentIndex(model_.dacGainIndex);
  ui_->ctl1192->setCurrentIndex(model_.micGainIndex);
  ui_->ctl1194->setPlainText(QString::fromStdString(model_.summaries[0]));
  ui_->ctl1195->setPlainText(QString::fromStdString(model_.summaries[1]));
}

void LiveEchoPage::LevelPicked(int listId, int index) {
  if (index < 0) return;
  switch (listId) {
    case CPageEcho::kIdNoiseSuppression: model_.noiseSuppressionIndex = index; break;
    case CPageEcho::kIdEchoSuppression: model_.echoSuppressionIndex = index; break;
    case CPageEcho::kIdDacGain: model_.dacGainIndex = index; break;
    case CPageEcho::kIdMicGain: model_.micGainIndex = index; break;
  }
  // Written at once; with the port closed nothing goes out and nothing is said.
  session_.Send(link::EchoLevelCommand(model_, listId));
}

void LiveEchoPage::EditVoiceEq(int k) {
  EqConfigDialog dlg(model_.DialogFor(k), hooks_.showMessage, this);
  if (!hooks_.runBandDialog(dlg)) return;
  hooks_.modify([&] { model_.ApplyDialog(k, dlg.Model()); });
  Reload();
}

void LiveEchoPage::ShowEnables() {
  for (QWidget* w : std::initializer_list<QWidget*>{ui_->ctl1187, ui_->ctl1188, ui_->ctl1191,
                                                   ui_->ctl1192, ui_->ctl1189, ui_->ctl1190,
                                                   ui_->ctl1193})
    w->setEnabled(model_.SettingsEnabled());
  ui_->ctl1196->setEnabled(model_.ApplyEnabled());
  ui_->ctl1197->setEnabled(model_.ApplyEnabled());
}

void LiveEchoPage::Leave() {
  panel_->Close();
  model_.SetPortOpen(false);
  ShowEnables();
}

void LiveEchoPage::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    model_.OnActivate(system_);  // the gains are the System page's volumes
    Reload();
  }
  QWidget::showEvent(event);
}

void LiveEchoPage::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) Leave();
  QWidget::hideEvent(event);
}

}  // namespace tessera::ui
