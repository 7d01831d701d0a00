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

#include "tessera/link/LinkSession.h"

namespace tessera::ui {

class LinkPanel : public QObject {
  Q_OBJECT
 public:
  // log and clear may be null (the echo page has neither).
  LinkPanel(LinkSession& session, QComboBox* ports, QLabel* lamp, QPushButton* openClose,
            QPlainTextEdit* log, QPushButton* clear, QObject* parent = nullptr);

  // Lists the ports afresh; the first is selected. Also done whenever the list is opened
  // (mouse or F4 / Alt+Down), then keeping the port chosen or typed, so an adapter plugged
  // in meanwhile shows up without leaving the page. Each entry's tooltip describes it.
  void FillPorts(bool keepChoice = false);
  // What the button does: open (with the failure handed to onOpenFailed when set,
  // otherwise logged) or close.
  void Toggle();
  void Close();
  std::function<void()> onOpenFailed;

  static QPixmap Lamp(bool open);

 signals:
  void openChanged(bool open);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

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
