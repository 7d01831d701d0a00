#include "ui/AboutBox.h"

#include "ui_AboutDialog.h"

namespace kestrel::ui {

AboutBox::AboutBox(const QIcon& icon, QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()) {
  ui_->setupUi(this);
  ui_->aboutIcon->setPixmap(icon.pixmap(48, 48));
  connect(ui_->aboutButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

AboutBox::~AboutBox() = default;

}  // namespace kestrel::ui
