#pragma once
// The two modem-control lines the serial link drives: RTS is switched off once the port is
// configured (the board's line runs without flow control) and DTR is dropped before the
// port is closed. Ports without modem lines (pseudo-terminals, emulated ttys) refuse
// both; a refusal is not an error of the link.
namespace tessera::link {

class ModemLines {
 public:
  virtual ~ModemLines() = default;
  // False when the port refused the change.
  virtual bool SetRequestToSend(bool on) = 0;
  virtual bool SetDataTerminalReady(bool on) = 0;
};

}  // namespace tessera::link
