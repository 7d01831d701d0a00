#pragma once
// A serial port to a board as the link drives it, and the one-shot timer the link needs.
// Backends: QSerialPort (tessera_link) and a test's in-process fake. Every call and every
// report happens on the link's one thread.
#include <string>
#include <string_view>

#include "tessera/core/link/ModemLines.h"

namespace tessera::link {

class BoardPort : public ModemLines {
 public:
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void BytesArrived(std::string_view bytes) = 0;
    // The port went away under the link (adapter pulled out, board hung up).
    virtual void PortLost(const std::string& reason) = 0;
  };

  // Opens the named port at 115200 baud, 8 data bits, no parity, one stop bit, no flow
  // control, its queues emptied. Settings the driver refuses are not a failure.
  virtual bool Open(const std::string& name) = 0;
  // Closes; purge empties the queues first (not for a port that is already gone).
  virtual void Close(bool purge) = 0;
  virtual bool IsOpen() const = 0;
  // Writes without waiting; false when the port is closed or refuses the bytes.
  virtual bool Write(std::string_view bytes) = 0;

  void SetListener(Listener* listener) { listener_ = listener; }

 protected:
  Listener* listener_ = nullptr;
};

// A one-shot timer: the owner calls back into the link when it expires.
class LinkTimer {
 public:
  virtual ~LinkTimer() = default;
  // (Re)starts it; a running timer starts counting again.
  virtual void Start(int ms) = 0;
  virtual void Stop() = 0;
};

}  // namespace tessera::link
