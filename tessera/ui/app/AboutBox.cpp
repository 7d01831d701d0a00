#include "tessera/ui/app/AboutBox.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "tessera/ui/app/Look.h"
#include "ui_AboutBox.h"

namespace tessera::ui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutBox>()) {
  ui_->setupUi(this);
  ApplyLook(this, true);
  if (auto* icon = findChild<QLabel*>(QStringLiteral("ctl1200")))
    icon->setPixmap(QIcon(QStringLiteral(":/tessera/icons/tessera.svg")).pixmap(48, 48));
  if (auto* ok = findChild<QPushButton*>(QStringLiteral("ctl1"))) {
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  }
}

AboutBox::~AboutBox() = default;

}  // namespace tessera::ui
