#include "ui/PoolDialog.h"

#include <QPushButton>

#include "ui_PoolDialog.h"

namespace kestrel::ui {

PoolDialog::PoolDialog(const PoolSetting& current, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PoolDialog>()) {
  ui_->setupUi(this);
  // The window is Chinese only; without Qt's own catalogue the buttons would be English.
  ui_->poolButtons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  ui_->poolButtons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(ui_->poolButtons, &QDialogButtonBox::accepted, this, &PoolDialog::accept);
  connect(ui_->poolButtons, &QDialogButtonBox::rejected, this, &PoolDialog::reject);
  ui_->ctl1116->setText(current.url);
  ui_->ctl1117->setText(current.name);
  ui_->ctl1118->setText(current.station);
  ui_->ctl1118->setPlaceholderText(DefaultStationName());
  ui_->ctl1120->hide();
}

PoolDialog::~PoolDialog() = default;

PoolSetting PoolDialog::setting() const {
  return {ui_->ctl1116->text().trimmed(), ui_->ctl1117->text().trimmed(), ui_->ctl1118->text().trimmed()};
}

void PoolDialog::accept() {
  const QString problem = CheckPoolSetting(setting());
  if (!problem.isEmpty()) {
    // The entries stay as typed so the operator can correct them.
    ui_->ctl1120->setText(problem);
    ui_->ctl1120->setAccessibleName(problem);
    ui_->ctl1120->show();
    ui_->ctl1116->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace kestrel::ui
