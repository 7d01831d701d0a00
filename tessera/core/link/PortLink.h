#pragma once
// One page's port at work: opened with RTS off and closed with DTR dropped, a link check
// answered the moment its last byte is in (also when it came split over two reads), and
// the rest handed on in bursts that end after 3 ms of silence or at 256 bytes, the pieces
// a board's replies naturally come in. Plain C++ over a BoardPort and a LinkTimer, so the
// same logic runs on QSerialPort in the window and on a fake port in tests.
#include <cstddef>
#include <string>
#include <string_view>

#include "tessera/core/link/BoardPort.h"
#include "tessera/core/link/LinkCheckDetector.h"

namespace tessera::link {

class PortLink : private BoardPort::Listener {
 public:
  static constexpr int kBurstSilenceMs = 3;
  static constexpr size_t kMaxBurst = 256;

  class Events {
   public:
    virtual ~Events() = default;
    virtual void Burst(std::string_view /*bytes*/) {}
    virtual void LinkCheckAnswered() {}
    // The port went away; the link has closed it.
    virtual void Lost(const std::string& /*reason*/) {}
  };

  PortLink(BoardPort& port, LinkTimer& silence, Events& events);
  ~PortLink() override;
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Whether link checks are answered and received text handed on; the echo page does
  // neither (it reads only to keep the driver's queue from filling).
  void SetAnswersLinkCheck(bool on) { answersLinkCheck_ = on; }
  void SetDeliversText(bool on) { deliversText_ = on; }

  bool Open(const std::string& name);
  void Close();
  bool IsOpen() const { return port_.IsOpen(); }
  const std::string& PortName() const { return name_; }
  bool Write(std::string_view bytes);
  // The silence timer expired: the burst so far is complete.
  void SilenceElapsed() { EndBurst(); }

 private:
  void BytesArrived(std::string_view bytes) override;
  void PortLost(const std::string& reason) override;
  void EndBurst();
  void CloseNow(bool purge);

  BoardPort& port_;
  LinkTimer& silence_;
  Events& events_;
  LinkCheckDetector detector_;
  std::string burst_;
  std::string name_;
  bool answersLinkCheck_ = true;
  bool deliversText_ = true;
  bool closing_ = false;
};

}  // namespace tessera::link
