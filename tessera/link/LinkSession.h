#pragma once
// One page's link: its port, the Open/Close steps with their log lines, and the link
// log fed with the board's text (replies rewritten). The equalizer and RF pages and
// the command line's monitor use it; the echo page uses the port alone.
#include <QObject>
#include <QString>
#include <string>

#include "tessera/core/link/LinkLog.h"
#include "tessera/core/link/LinkProtocol.h"
#include "tessera/link/CSerialLink.h"

namespace tessera {

class LinkSession : public QObject {
  Q_OBJECT
 public:
  // port and silence as for CSerialLink: null for the serial port and a Qt timer.
  explicit LinkSession(QObject* parent = nullptr, link::BoardPort* port = nullptr,
                       link::LinkTimer* silence = nullptr);

  CSerialLink& port() { return port_; }
  const link::LinkLog& log() const { return log_; }
  bool IsOpen() const { return port_.IsOpen(); }

  // The button's Open: logs "init failed" or the two "init OK" lines.
  bool Open(const QString& name);
  void Close();
  // Logs the entry (if any) and writes the bytes when the port is open.
  void Send(const link::Outgoing& out);
  void AppendLog(const std::string& entry);
  void ClearLog();

 signals:
  void logChanged();
  // Opened or closed, by the user or because the port went away.
  void openChanged(bool open);

 private:
  void OnBurst(const QByteArray& bytes);

  CSerialLink port_;
  link::LinkLog log_;
};

}  // namespace tessera
