#pragma once
// The board's port on QSerialPort: the BoardPort the window and the command line use.
#include <QSerialPort>
#include <string>
#include <string_view>

#include "tessera/core/link/BoardPort.h"

namespace tessera {

class SerialPortBackend : public link::BoardPort {
 public:
  SerialPortBackend();
  ~SerialPortBackend() override;

  bool Open(const std::string& name) override;
  void Close(bool purge) override;
  bool IsOpen() const override { return port_.isOpen(); }
  bool Write(std::string_view bytes) override;
  bool SetRequestToSend(bool on) override { return port_.setRequestToSend(on); }
  bool SetDataTerminalReady(bool on) override { return port_.setDataTerminalReady(on); }

 private:
  QSerialPort port_;
  bool closing_ = false;
};

}  // namespace tessera
