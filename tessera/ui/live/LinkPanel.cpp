#include "tessera/ui/live/LinkPanel.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include "tessera/link/CSerialLink.h"

namespace tessera::ui {

LinkPanel::LinkPanel(LinkSession& session, QComboBox* ports, QLabel* lamp, QPushButton* openClose,
                     QPlainTextEdit* log, QPushButton* clear, QObject* parent)
    : QObject(parent), session_(session), ports_(ports), lamp_(lamp), button_(openClose), log_(log) {
  ports_->setEditable(true);
  ports_->setInsertPolicy(QComboBox::NoInsert);
  ports_->setMinimumContentsLength(24);  // room for a typed /dev/serial/by-id/... path
  ports_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  logTimer_.setSingleShot(true);
  logTimer_.setInterval(40);
  connect(&logTimer_, &QTimer::timeout, this, &LinkPanel::ShowLog);
  connect(&session_, &LinkSession::logChanged, this, [this] {
    if (log_ && !logTimer_.isActive()) logTimer_.start();
  });
  connect(&session_, &LinkSession::openChanged, this, [this](bool open) {
    ShowState(open);
    emit openChanged(open);
  });
  connect(button_, &QPushButton::clicked, this, &LinkPanel::Toggle);
  if (clear) connect(clear, &QPushButton::clicked, this, [this] {
    session_.ClearLog();
    ShowLog();
  });
  ports_->installEventFilter(this);
  FillPorts();
  ShowState(false);
}

void LinkPanel::FillPorts(bool keepChoice) {
  const QString chosen = ports_->currentText();
  ports_->clear();
  for (const auto& entry : CSerialLink::ListSerialPortEntries()) {
    ports_->addItem(entry.name);
    if (!entry.description.isEmpty()) ports_->setItemData(ports_->count() - 1, entry.description, Qt::ToolTipRole);
  }
  const int again = keepChoice && !chosen.isEmpty() ? ports_->findText(chosen) : -1;
  if (again >= 0) {
    ports_->setCurrentIndex(again);
  } else if (keepChoice && !chosen.isEmpty()) {
    ports_->setEditText(chosen);  // a typed path, or a port that went away
  } else {
    ports_->setCurrentIndex(ports_->count() > 0 ? 0 : -1);
  }
}

bool LinkPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ports_) {
    bool opening = event->type() == QEvent::MouseButtonPress;
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      opening = key->key() == Qt::Key_F4 || (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
    }
    if (opening) FillPorts(true);
  }
  return QObject::eventFilter(watched, event);
}

QPixmap LinkPanel::Lamp(bool open) {
  QPixmap pm(26, 26);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = open ? QColor(40, 190, 60) : QColor(150, 150, 150);
  QRadialGradient g(10, 9, 13);
  g.setColorAt(0, c.lighter(160));
  g.setColorAt(1, c.darker(120));
  p.setBrush(g);
  p.setPen(QPen(c.darker(160), 1));
  p.drawEllipse(QRectF(2, 2, 22, 22));
  return pm;
}

void LinkPanel::Toggle() {
  if (session_.IsOpen()) {
    Close();
    return;
  }
  const QString name = ports_->currentText().trimmed();
  if (!session_.Open(name) && onOpenFailed) onOpenFailed();
}

void LinkPanel::Close() { session_.Close(); }

void LinkPanel::ShowState(bool open) {
  lamp_->setPixmap(Lamp(open));
  button_->setText(open ? "Close" : "Open");
  button_->setAccessibleName(button_->text());
}

void LinkPanel::ShowLog() {
  if (!log_) return;
  log_->setPlainText(QString::fromUtf8(session_.log().Shown()));
  log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

}  // namespace tessera::ui
