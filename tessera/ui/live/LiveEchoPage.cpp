#include "tessera/ui/live/LiveEchoPage.h"

#include <QHideEvent>
#include <QShowEvent>

#include "tessera/core/link/PageCommands.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "ui_LiveEchoPage.h"

namespace tessera::ui {

LiveEchoPage::LiveEchoPage(CTesseraView& doc, LiveHooks hooks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::LiveEchoPage>()), doc_(doc), hooks_(std::move(hooks)) {
  ui_->setupUi(this);
  setObjectName("PageEcho");
  // The levels, gains and summaries as the document's echo page declares them; a level
  // goes to the board as soon as it changes.
  binder_ = new ControlBinder(this, [this] { return doc_.Controls(PageId::Echo); }, {}, SelectorPicks::EveryChange);
  binder_->onChange = [this](int id, int index) { LevelPicked(id, index); };
  binder_->afterRefresh = [this] { ShowEnables(); };

  // This page never reads what the board says.
  session_.port().SetAnswersLinkCheck(false);
  session_.port().SetDeliversText(false);
  panel_ = new LinkPanel(session_, ui_->ctl1077, ui_->ctl1079, ui_->ctl1170, nullptr, nullptr, this);
  panel_->onOpenFailed = [this] {
    if (hooks_.showMessage) hooks_.showMessage(QString::fromUtf8("串口打开失败！\r\n"));
  };
  connect(panel_, &LinkPanel::openChanged, this, [this](bool open) {
    doc_.SetEchoPortOpen(open);
  });

  connect(ui_->ctl1198, &QPushButton::clicked, this, [this] {
    doc_.EchoConf(session_.IsOpen());
  });
  connect(ui_->ctl1189, &QPushButton::clicked, this, [this] { EditVoiceEq(0); });
  connect(ui_->ctl1190, &QPushButton::clicked, this, [this] { EditVoiceEq(1); });
  for (auto [button, k] : {std::pair{ui_->ctl1196, 0}, std::pair{ui_->ctl1197, 1}}) {
    const int eq = k;
    connect(button, &QPushButton::clicked, this, [this, eq] {
      for (const auto& c : link::VoiceEqApplyCommands(doc_.echo, eq)) session_.Send(c);
    });
  }
  connect(ui_->ctl1193, &QPushButton::clicked, this, [this] {
    hooks_.Modify([this] { return doc_.SaveEchoGains(); });
  });
  Reload();
  follow_.emplace(doc_, PageId::Echo, [this] { Reload(); });
}

LiveEchoPage::~LiveEchoPage() {
  follow_.reset();  // no redraws while the page goes (closing the port may notify)
  session_.Close();
}

void LiveEchoPage::Reload() { binder_->Refresh(); }

void LiveEchoPage::LevelPicked(int listId, int index) {
  hooks_.Modify([&] { return doc_.ChangeControl(PageId::Echo, listId, index); });
  // Written at once; with the port closed nothing goes out and nothing is said.
  session_.Send(link::EchoLevelCommand(doc_.echo, listId));
}

void LiveEchoPage::EditVoiceEq(int k) {
  EqConfigDialog dlg(doc_.echo.DialogFor(k), hooks_.showMessage, this);
  if (!hooks_.runBandDialog(dlg)) return;
  hooks_.Modify([&] { return doc_.ApplyVoiceEq(k, dlg.Model()); });
}

void LiveEchoPage::ShowEnables() {
  // The buttons; the selectors' rule is in their declarations.
  for (QWidget* w : std::initializer_list<QWidget*>{ui_->ctl1189, ui_->ctl1190, ui_->ctl1193})
    w->setEnabled(doc_.echo.SettingsEnabled());
  ui_->ctl1196->setEnabled(doc_.echo.ApplyEnabled());
  ui_->ctl1197->setEnabled(doc_.echo.ApplyEnabled());
}

void LiveEchoPage::Leave() {
  panel_->Close();
  doc_.SetEchoPortOpen(false);
}

void LiveEchoPage::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    // The gains are the System page's volumes; not an edit, so no undo step.
    doc_.ActivateEchoPage();
  }
  QWidget::showEvent(event);
}

void LiveEchoPage::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) Leave();
  QWidget::hideEvent(event);
}

}  // namespace tessera::ui
