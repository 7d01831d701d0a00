#include "tessera/link/SerialPortBackend.h"

#include <QString>

#include "tessera/core/link/LinkProtocol.h"

namespace tessera {

SerialPortBackend::SerialPortBackend() {
  QObject::connect(&port_, &QSerialPort::readyRead, &port_, [this] {
    const QByteArray data = port_.readAll();
    if (!data.isEmpty() && listener_ != nullptr)
      listener_->BytesArrived(std::string_view(data.constData(), static_cast<size_t>(data.size())));
  });
  QObject::connect(&port_, &QSerialPort::errorOccurred, &port_, [this](QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError) return;
    if (!port_.isOpen() || closing_ || listener_ == nullptr) return;
    listener_->PortLost(port_.errorString().toStdString());
  });
}

SerialPortBackend::~SerialPortBackend() { Close(true); }

bool SerialPortBackend::Open(const std::string& name) {
  port_.setPortName(QString::fromStdString(name));
  if (!port_.open(QIODevice::ReadWrite)) return false;
  // Settings the driver refuses are not reported: the link works with what it has.
  port_.setBaudRate(link::kBaud);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  port_.clear();
  return true;
}

void SerialPortBackend::Close(bool purge) {
  if (!port_.isOpen() || closing_) return;
  closing_ = true;
  if (purge) port_.clear();
  port_.close();
  closing_ = false;
}

bool SerialPortBackend::Write(std::string_view bytes) {
  if (!port_.isOpen()) return false;
  const auto n = port_.write(bytes.data(), static_cast<qint64>(bytes.size()));
  port_.flush();  // out now, not on the next turn of the event loop
  return n == static_cast<qint64>(bytes.size());
}

}  // namespace tessera
