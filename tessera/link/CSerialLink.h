#pragma once
// The serial port of a live-tuning page: the link logic (link::PortLink: link checks
// answered at once, bursts ending after 3 ms of silence or at 256 bytes, RTS off and DTR
// dropped) over QSerialPort, its silence timer on the event loop, its reports as signals.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string_view>

#include "tessera/core/link/PortLink.h"
#include "tessera/link/SerialPortBackend.h"

namespace tessera {

class CSerialLink : public QObject, private link::PortLink::Events {
  Q_OBJECT
 public:
  static constexpr int kBurstSilenceMs = link::PortLink::kBurstSilenceMs;
  static constexpr int kMaxBurst = static_cast<int>(link::PortLink::kMaxBurst);

  // port and silence: another backend and burst timer, such as a test's in-process fake
  // (not owned); null: QSerialPort and a Qt timer.
  explicit CSerialLink(QObject* parent = nullptr, link::BoardPort* port = nullptr,
                       link::LinkTimer* silence = nullptr);
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

  void SetAnswersLinkCheck(bool on) { link_.SetAnswersLinkCheck(on); }
  void SetDeliversText(bool on) { link_.SetDeliversText(on); }

  bool Open(const QString& name);
  void Close() { link_.Close(); }
  bool IsOpen() const { return link_.IsOpen(); }
  QString PortName() const { return QString::fromStdString(link_.PortName()); }
  // Writes without waiting; false when the port is closed or refuses the bytes.
  bool Write(std::string_view bytes) { return link_.Write(bytes); }
  // An injected burst timer expired (the own Qt timer calls this itself).
  void SilenceElapsed() { link_.SilenceElapsed(); }

 signals:
  void burstReceived(const QByteArray& bytes);
  void linkCheckAnswered();
  // The port went away under the link (adapter pulled out, board hung up); it is closed.
  void portLost(const QString& reason);

 private:
  class SilenceTimer : public link::LinkTimer {
   public:
    QTimer timer;
    void Start(int ms) override { timer.start(ms); }
    void Stop() override { timer.stop(); }
  };

  void Burst(std::string_view bytes) override;
  void LinkCheckAnswered() override { emit linkCheckAnswered(); }
  void Lost(const std::string& reason) override { emit portLost(QString::fromStdString(reason)); }

  SerialPortBackend ownPort_;
  SilenceTimer ownSilence_;
  link::PortLink link_;
};

}  // namespace tessera
