#include "tessera/ui/live/LiveTestPage.h"

#include <QHideEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <optional>
#include <ctime>
#include <utility>

#include "ui_LiveTestPage.h"

namespace tessera::ui {

using link::CPageTest;

LiveTestPage::LiveTestPage(LiveHooks hooks, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::LiveTestPage>()), hooks_(std::move(hooks)),
      model_(timer_) {
  ui_->setupUi(this);
  setObjectName("PageTest");
  ui_->ctl1080->setText(QString::fromStdString(model_.DutCaption()));
  ui_->ctl1086->setText(QString::fromStdString(model_.TestCaption()));
  ui_->ctl1171->setRange(0, CPageTest::kMaxChannel);
  ui_->ctl1172->setRange(0, 0);
  // The two steppers are only arrows beside their edits, which show the number; their
  // own text field, squeezed to a sliver, is hidden.
  for (QSpinBox* stepper : {ui_->ctl1171, ui_->ctl1172})
    if (auto* text = stepper->findChild<QLineEdit*>()) text->hide();
  // The settings and the free text as the model declares them. A pick or a typed
  // command is the model's at once; the channel and power edits keep what is typed
  // until Conf reads them.
  binder_ = new ControlBinder(this, [this] { return ControlSet(model_, CPageTest::ControlDecls()); }, {},
                              SelectorPicks::EveryChange);
  binder_->onChange = [this](int id, int value) {
    ControlSet(model_, CPageTest::ControlDecls()).Change(id, value);
    if (id == CPageTest::kIdAutoHopping) {
      ReadControls();
      model_.OnAutoHopping(value != 0, static_cast<uint32_t>(std::time(nullptr)));
    }
  };
  binder_->onTextEdited = [this](int id) {
    if (id == CPageTest::kIdCommandText) model_.commandText = ui_->ctl1074->text().toStdString();
  };
  // Each stepper and its edit are buddies: the arrows write the edit, and what is typed
  // in the edit is where the arrows step from (a number outside the range is taken at
  // the nearer end; text that is no number leaves the stepper where it is).
  const auto buddies = {std::pair{ui_->ctl1171, ui_->ctl1088}, std::pair{ui_->ctl1172, ui_->ctl1089}};
  for (auto [stepper, edit] : buddies) {
    connect(stepper, &QSpinBox::valueChanged, edit, [edit](int v) { edit->setText(QString::number(v)); });
    connect(edit, &QLineEdit::textEdited, stepper, [stepper](const QString& text) {
      bool ok = false;
      const long long v = text.trimmed().toLongLong(&ok);
      if (!ok) return;
      const QSignalBlocker block(stepper);
      stepper->setValue(static_cast<int>(std::clamp<long long>(v, stepper->minimum(), stepper->maximum())));
    });
  }

  connect(ui_->ctl1080, &QPushButton::clicked, this, [this] {
    Send(model_.OnDut());
    ShowFields();
  });
  connect(ui_->ctl1086, &QPushButton::clicked, this, [this] {
    ReadControls();
    const auto out = model_.OnTest();
    ShowFields();  // caption and settings before the command goes out
    ShowEnables();
    Send(out);
  });
  connect(ui_->ctl1087, &QPushButton::clicked, this, [this] {
    ReadControls();
    const auto r = model_.OnConf(binder_->TextReader());
    if (r.error) {
      if (hooks_.showMessage) hooks_.showMessage(QString::fromStdString(r.error->message));
      if (QWidget* w = binder_->Widget(r.error->controlId)) w->setFocus();
      return;
    }
    ShowFields();
    Send(r.out);
  });
  connect(&timer_.timer, &QTimer::timeout, this, &LiveTestPage::HopTick);
  connect(ui_->ctl1075, &QPushButton::clicked, this, [this] {
    model_.commandText = ui_->ctl1074->text().toStdString();
    Send(model_.OnSend());
  });

  panel_ = new LinkPanel(session_, ui_->ctl1077, ui_->ctl1079, ui_->ctl1170, ui_->ctl1090,
                         ui_->ctl1076, this);
  connect(panel_, &LinkPanel::openChanged, this, [this](bool open) {
    if (open) model_.OnPortOpened();
    else if (leaving_) model_.OnLeave();
    else model_.OnPortClosedByButton();
    ShowEnables();
  });
  ShowFields();
  ShowEnables();
}

LiveTestPage::~LiveTestPage() {
  timer_.Stop();
  session_.Close();
}

void LiveTestPage::ReadControls() {
  // Everything but the channel and power, which only Conf takes (both or neither).
  const ControlReader widgets = binder_->Reader();
  ControlSet(model_, CPageTest::ControlDecls()).ReadBack([&](const ControlInfo& info) -> std::optional<ControlInput> {
    if (info.id == CPageTest::kIdChannel || info.id == CPageTest::kIdPower) return std::nullopt;
    return widgets(info);
  });
}

void LiveTestPage::ShowFields() {
  binder_->Refresh(false);
  binder_->RefreshControl(CPageTest::kIdChannel, true);
  binder_->RefreshControl(CPageTest::kIdPower, true);
  {
    const QSignalBlocker b(ui_->ctl1171);
    ui_->ctl1171->setValue(static_cast<int>(model_.channel));
  }
  ui_->ctl1080->setText(QString::fromStdString(model_.DutCaption()));
  ui_->ctl1086->setText(QString::fromStdString(model_.TestCaption()));
  ui_->ctl1080->setAccessibleName(ui_->ctl1080->text().trimmed());
  ui_->ctl1086->setAccessibleName(ui_->ctl1086->text().trimmed());
}

void LiveTestPage::ShowEnables() {
  ui_->ctl1075->setEnabled(model_.SendEnabled());
  ui_->ctl1080->setEnabled(model_.DutTestEnabled());
  ui_->ctl1086->setEnabled(model_.DutTestEnabled());
  // The declared settings follow their rule; the steppers and Conf go with them.
  binder_->Refresh(false);
  for (QWidget* w : std::initializer_list<QWidget*>{ui_->ctl1171, ui_->ctl1172, ui_->ctl1087})
    w->setEnabled(model_.SettingsEnabled());
}

void LiveTestPage::HopTick() {
  ReadControls();
  if (auto out = model_.OnHopTimer()) {
    ShowFields();
    Send(*out);
  }
}

void LiveTestPage::Leave() {
  leaving_ = true;
  if (session_.IsOpen()) panel_->Close();
  else model_.OnLeave();
  leaving_ = false;
  ShowEnables();
}

void LiveTestPage::hideEvent(QHideEvent* event) {
  if (!event->spontaneous()) Leave();
  QWidget::hideEvent(event);
}

}  // namespace tessera::ui
