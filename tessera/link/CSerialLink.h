#pragma once
// The serial port of a live-tuning page: opened at 115200 8N1 without flow control,
// read as bytes arrive. A link check is answered the moment its last byte is in, also
// when it came split over two reads; the rest is handed on in bursts that end after
// 3 ms of silence (or at 256 bytes), the pieces a board's replies naturally come in.
#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string_view>

#include "link/LinkCheckDetector.h"
#include "link/ModemLines.h"

namespace tessera {

class CSerialLink : public QObject {
  Q_OBJECT
 public:
  static constexpr int kBurstSilenceMs = 3;
  static constexpr int kMaxBurst = 256;

  explicit CSerialLink(QObject* parent = nullptr);
  ~CSerialLink() override;

  // A port the system lists: its name and what the system says about the device behind
  // it (model, maker, serial number; empty when it says nothing).
  struct PortEntry {
    QString name;
    QString description;
  };
  // Ports the system lists, in text order, asked afresh on every call. Pseudo-terminals
  // and /dev/serial/by-id links are not listed; a typed path opens all the same.
  static QList<PortEntry> ListSerialPortEntries();
  static QStringList ListSerialPorts();

  // Whether link checks are answered and received text handed on; the echo page does
  // neither (it reads only to keep the driver's queue from filling).
  void SetAnswersLinkCheck(bool on) { answersLinkCheck_ = on; }
  void SetDeliversText(bool on) { deliversText_ = on; }

  bool Open(const QString& name);
  void Close();
  bool IsOpen() const { return port_.isOpen(); }
  QString PortName() const { return name_; }
  // Writes without waiting; false when the port is closed or refuses the bytes.
  bool Write(std::string_view bytes);
  // The port's own RTS and DTR unless another set of lines is given (null: the port's).
  void SetModemLines(link::ModemLines* lines) { lines_ = lines != nullptr ? lines : &portLines_; }

 signals:
  void burstReceived(const QByteArray& bytes);
  void linkCheckAnswered();
  // The port went away under the link (adapter pulled out, board hung up); it is closed.
  void portLost(const QString& reason);

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  void EndBurst();
  void CloseNow(bool purge);

  class PortLines : public link::ModemLines {
   public:
    explicit PortLines(QSerialPort& port) : port_(port) {}
    bool SetRequestToSend(bool on) override { return port_.setRequestToSend(on); }
    bool SetDataTerminalReady(bool on) override { return port_.setDataTerminalReady(on); }

   private:
    QSerialPort& port_;
  };

  QSerialPort port_;
  PortLines portLines_{port_};
  link::ModemLines* lines_ = &portLines_;
  QTimer burstTimer_;
  QByteArray burst_;
  link::LinkCheckDetector detector_;
  QString name_;
  bool answersLinkCheck_ = true;
  bool deliversText_ = true;
  bool closing_ = false;
};

}  // namespace tessera
