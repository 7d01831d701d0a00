#include "tessera/ui/app/Look.h"

#include <QAbstractButton>
#include <QApplication>
#include <qdrawutil.h>
#include <QGroupBox>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QWidget>
#include <algorithm>

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

// A stock icon that asks the style for the real one on first use.
class DeferredStockIcon : public QIconEngine {
 public:
  DeferredStockIcon(QStyle* style, QStyle::StandardPixmap which, const QStyleOption* option, const QWidget* widget)
      : style_(style), which_(which), widget_(widget) {
    if (option) option_ = *option;
  }
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    Real().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Real().pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return Real().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return Real().availableSizes(mode, state);
  }
  bool isNull() override { return Real().isNull(); }
  QString key() const override { return QStringLiteral("DeferredStockIcon"); }
  QIconEngine* clone() const override { return new DeferredStockIcon(*this); }

 private:
  const QIcon& Real() {
    if (!made_) {
      made_ = true;
      if (style_) real_ = style_->standardIcon(which_, &option_, widget_);
    }
    return real_;
  }
  QPointer<QStyle> style_;
  QStyle::StandardPixmap which_;
  QStyleOption option_;
  QPointer<const QWidget> widget_;
  QIcon real_;
  bool made_ = false;
};

// The Fusion style draws a group box's frame from a PNG it loads by file name, which
// makes Qt instantiate every image-format plugin to ask whether it reads PNG; the
// built-in reader is asked directly here, and the frame drawn as Fusion draws it.
QPixmap GroupBoxFrame() {
  static const QPixmap frame = [] {
    QImageReader reader(QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return QPixmap::fromImage(reader.read());
  }();
  return frame;
}

class DeferredIconStyle : public QProxyStyle {
 public:
  QIcon standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const override {
    return QIcon(new DeferredStockIcon(baseStyle(), which, option, widget));
  }
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element != PE_FrameGroupBox || baseStyle()->name() != QLatin1String("fusion") || GroupBoxFrame().isNull())
      return QProxyStyle::drawPrimitive(element, option, painter, widget);
    constexpr int kTopMargin = 3;  // Fusion's space above a group box's frame
    int top = kTopMargin;
    const auto* box = qobject_cast<const QGroupBox*>(widget);
    if (!box || box->isCheckable() || !box->title().isEmpty())
      top += std::max(pixelMetric(PM_ExclusiveIndicatorHeight), option->fontMetrics.height());
    qDrawBorderPixmap(painter, option->rect.adjusted(0, top, 0, 0), QMargins(6, 6, 6, 6), GroupBoxFrame());
  }
};

}  // namespace

void InstallStyle() { QApplication::setStyle(new DeferredIconStyle); }

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
