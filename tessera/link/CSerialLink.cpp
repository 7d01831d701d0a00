#include "link/CSerialLink.h"

#include <QHash>
#include <QSerialPortInfo>
#include <string>
#include <vector>

#include "link/LinkProtocol.h"

namespace tessera {

CSerialLink::CSerialLink(QObject* parent) : QObject(parent) {
  burstTimer_.setSingleShot(true);
  burstTimer_.setTimerType(Qt::PreciseTimer);
  burstTimer_.setInterval(kBurstSilenceMs);
  connect(&burstTimer_, &QTimer::timeout, this, &CSerialLink::EndBurst);
  connect(&port_, &QSerialPort::readyRead, this, &CSerialLink::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &CSerialLink::OnError);
}

CSerialLink::~CSerialLink() { Close(); }

QList<CSerialLink::PortEntry> CSerialLink::ListSerialPortEntries() {
  std::vector<std::string> names;
  QHash<QString, QString> descriptions;
  for (const auto& info : QSerialPortInfo::availablePorts()) {
    names.push_back(info.portName().toStdString());
    QStringList parts;
    for (const QString& part : {info.description(), info.manufacturer()})
      if (!part.isEmpty() && !parts.contains(part)) parts << part;
    if (!info.serialNumber().isEmpty()) parts << "serial " + info.serialNumber();
    descriptions.insert(info.portName(), parts.join(", "));
  }
  QList<PortEntry> out;
  for (const auto& n : link::SortPortNames(std::move(names))) {
    const QString name = QString::fromStdString(n);
    out.push_back({name, descriptions.value(name)});
  }
  return out;
}

QStringList CSerialLink::ListSerialPorts() {
  QStringList out;
  for (const auto& e : ListSerialPortEntries()) out << e.name;
  return out;
}

bool CSerialLink::Open(const QString& name) {
  Close();
  name_ = name;
  if (name.isEmpty()) return false;
  port_.setPortName(name);
  if (!port_.open(QIODevice::ReadWrite)) return false;
  // Settings the driver refuses are not reported: the link works with what it has.
  port_.setBaudRate(link::kBaud);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  // A port without modem lines refuses this; the open stands all the same.
  (void)lines_->SetRequestToSend(false);
  port_.clear();
  detector_.Reset();
  burst_.clear();
  return true;
}

void CSerialLink::Close() { CloseNow(true); }

void CSerialLink::CloseNow(bool purge) {
  burstTimer_.stop();
  burst_.clear();
  detector_.Reset();
  if (!port_.isOpen() || closing_) return;
  // Purging a port that is gone reports errors of its own; they are not news.
  closing_ = true;
  // As for RTS, a port without modem lines refuses this and is closed all the same.
  (void)lines_->SetDataTerminalReady(false);
  if (purge) port_.clear();
  port_.close();
  closing_ = false;
}

bool CSerialLink::Write(std::string_view bytes) {
  if (!port_.isOpen()) return false;
  const auto n = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  port_.flush();  // out now, not on the next turn of the event loop
  return n == static_cast<qint64>(bytes.size());
}

void CSerialLink::OnReadyRead() {
  const QByteArray data = port_.readAll();
  if (data.isEmpty()) return;
  if (answersLinkCheck_) {
    const int probes = detector_.Feed(std::string_view(data.constData(), data.size()));
    for (int i = 0; i < probes; ++i) {
      Write(link::kLinkAnswer);
      emit linkCheckAnswered();
    }
  }
  if (!deliversText_) return;
  burst_.append(data);
  // A board that never pauses still gets its text shown, 256 bytes at a time.
  while (burst_.size() >= kMaxBurst) {
    const QByteArray piece = burst_.left(kMaxBurst);
    burst_.remove(0, kMaxBurst);
    emit burstReceived(piece);
    if (!port_.isOpen()) return;
  }
  burstTimer_.start();
}

void CSerialLink::EndBurst() {
  if (burst_.isEmpty()) return;
  QByteArray piece;
  piece.swap(burst_);
  emit burstReceived(piece);
}

void CSerialLink::OnError(QSerialPort::SerialPortError error) {
  if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
  if (!port_.isOpen() || closing_) return;
  const QString reason = port_.errorString();
  EndBurst();
  CloseNow(false);
  emit portLost(reason);
}

}  // namespace tessera
