#include "tessera/ui/live/LiveTestPage.h"

#include <QHideEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
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
  ui_->ctl1087->setText("Conf");
  ui_->ctl1075->setText("Send");
  ui_->ctl1076->setText("Clear");
  ui_->ctl1171->setRange(0, CPageTest::kMaxChannel);
  ui_->ctl1172->setRange(0, 0);
  // The two steppers are only arrows beside their edits, which show the number; their
  // own text field, squeezed to a sliver, is hidden.
  for (QSpinBox* stepper : {ui_->ctl1171, ui_->ctl1172})
    if (auto* text = stepper->findChild<QLineEdit*>()) text->hide();
  for (const auto& e : CPageTest::DataTypes()) ui_->ctl1084->addItem(QString::fromStdString(e));
  for (const auto& e : CPageTest::PacketTypes()) ui_->ctl1085->addItem(QString::fromStdString(e));
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
    const auto r = model_.OnConf([this](int id) {
      return (id == CPageTest::kIdChannel ? ui_->ctl1088 : ui_->ctl1089)->text().toStdString();
    });
    if (r.error) {
      if (hooks_.showMessage) hooks_.showMessage(QString::fromStdString(r.error->message));
      (r.error->controlId == CPageTest::kIdChannel ? ui_->ctl1088 : ui_->ctl1089)->setFocus();
      return;
    }
    ShowFields();
    Send(r.out);
  });
  connect(ui_->ctl1083, &QCheckBox::clicked, this, [this](bool checked) {
    ReadControls();
    model_.OnAutoHopping(checked, static_cast<uint32_t>(std::time(nullptr)));
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
  model_.direction = ui_->ctl1203->isChecked() ? 1 : 0;
  model_.dataType = std::max(0, ui_->ctl1084->currentIndex());
  model_.packetType = std::max(0, ui_->ctl1085->currentIndex());
  model_.autoHopping = ui_->ctl1083->isChecked() ? 1 : 0;
  model_.commandText = ui_->ctl1074->text().toStdString();
}

void LiveTestPage::ShowFields() {
  ui_->ctl1088->setText(QString::number(model_.channel));
  ui_->ctl1089->setText(QString::number(model_.powerLevel));
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
  for (QWidget* w : std::initializer_list<QWidget*>{ui_->ctl1088, ui_->ctl1171, ui_->ctl1089,
                                                   ui_->ctl1172, ui_->ctl1083, ui_->ctl1202,
                                                   ui_->ctl1203, ui_->ctl1084, ui_->ctl1085,
                                                   ui_->ctl1087})
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
