#include "app/Look.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWidget>

namespace tessera::ui {

namespace {

const QColor kEditText(242, 121, 0);
const QColor kEditBrush(244, 242, 242);
const QColor kListBrush(228, 248, 248);
const QColor kButtonBrush(255, 225, 210);

void Set(QWidget* w, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> roles) {
  QPalette p = w->palette();
  for (auto [role, colour] : roles) {
    p.setColor(QPalette::Active, role, colour);
    p.setColor(QPalette::Inactive, role, colour);
    if (role != QPalette::Text && role != QPalette::ButtonText) p.setColor(QPalette::Disabled, role, colour);
  }
  w->setPalette(p);
}

}  // namespace

void ApplyLook(QWidget* root, bool dialog) {
  if (dialog) {
    root->setAutoFillBackground(true);
    Set(root, {{QPalette::Window, kListBrush}});
  }
  for (auto* e : root->findChildren<QLineEdit*>()) Set(e, {{QPalette::Base, kEditBrush}, {QPalette::Text, kEditText}});
  for (auto* c : root->findChildren<QComboBox*>()) Set(c, {{QPalette::Button, kEditBrush}, {QPalette::Base, kEditBrush}});
  for (auto* b : root->findChildren<QPushButton*>()) Set(b, {{QPalette::Button, kButtonBrush}});
  for (auto* t : root->findChildren<QTreeWidget*>()) {
    Set(t, {{QPalette::Base, kListBrush}, {QPalette::AlternateBase, kListBrush.darker(106)}});
    // The LED pattern list is drawn in the edit fields' text colour.
    if (t->objectName() == QLatin1String("ctl1066")) Set(t, {{QPalette::Text, kEditText}});
  }
}

}  // namespace tessera::ui
