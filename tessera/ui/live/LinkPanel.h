#pragma once
// The link controls every live page shares: port list 1077 (listed ports in text order;
// a path may be typed), lamp 1079, Open/Close 1170 and, on the equalizer and RF pages,
// log box 1090 and Clear 1076. The log box is redrawn at most every 40 ms, so a board
// that floods the port cannot stall the window.
#include <QComboBox>
#include <QLabel>
#include <QObject>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "link/LinkSession.h"

namespace tessera::ui {

class LinkPanel : public QObject {
  Q_OBJECT
 public:
  // log and clear may be null (the echo page has neither).
  LinkPanel(LinkSession& session, QComboBox* ports, QLabel* lamp, QPushButton* openClose,
            QPlainTextEdit* log, QPushButton* clear, QObject* parent = nullptr);

  void FillPorts();
  // What the button does: open (with the failure handed to onOpenFailed when set,
  // otherwise logged) or close.
  void Toggle();
  void Close();
  std::function<void()> onOpenFailed;

  static QPixmap Lamp(bool open);

 signals:
  void openChanged(bool open);

 private:
  void ShowState(bool open);
  void ShowLog();

  LinkSession& session_;
  QComboBox* ports_;
  QLabel* lamp_;
  QPushButton* button_;
  QPlainTextEdit* log_;
  QTimer logTimer_;
};

}  // namespace tessera::ui
