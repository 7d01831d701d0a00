#include "tessera/core/link/PortLink.h"

#include "tessera/core/link/LinkProtocol.h"

namespace tessera::link {

PortLink::PortLink(BoardPort& port, LinkTimer& silence, Events& events)
    : port_(port), silence_(silence), events_(events) {
  port_.SetListener(this);
}

PortLink::~PortLink() {
  Close();
  port_.SetListener(nullptr);
}

bool PortLink::Open(const std::string& name) {
  Close();
  name_ = name;
  if (name.empty() || !port_.Open(name)) return false;
  // A port without modem lines refuses this; the open stands all the same.
  (void)port_.SetRequestToSend(false);
  detector_.Reset();
  burst_.clear();
  return true;
}

void PortLink::Close() { CloseNow(true); }

void PortLink::CloseNow(bool purge) {
  silence_.Stop();
  burst_.clear();
  detector_.Reset();
  if (!port_.IsOpen() || closing_) return;
  // Purging a port that is gone reports errors of its own; they are not news.
  closing_ = true;
  // As for RTS, a port without modem lines refuses this and is closed all the same.
  (void)port_.SetDataTerminalReady(false);
  port_.Close(purge);
  closing_ = false;
}

bool PortLink::Write(std::string_view bytes) { return port_.IsOpen() && port_.Write(bytes); }

void PortLink::BytesArrived(std::string_view bytes) {
  if (bytes.empty()) return;
  if (answersLinkCheck_) {
    const int probes = detector_.Feed(bytes);
    for (int i = 0; i < probes; ++i) {
      Write(kLinkAnswer);
      events_.LinkCheckAnswered();
    }
  }
  if (!deliversText_) return;
  burst_.append(bytes);
  // A board that never pauses still gets its text shown, 256 bytes at a time.
  while (burst_.size() >= kMaxBurst) {
    const std::string piece = burst_.substr(0, kMaxBurst);
    burst_.erase(0, kMaxBurst);
    events_.Burst(piece);
    if (!port_.IsOpen()) return;
  }
  silence_.Start(kBurstSilenceMs);
}

void PortLink::EndBurst() {
  if (burst_.empty()) return;
  std::string piece;
  piece.swap(burst_);
  events_.Burst(piece);
}

void PortLink::PortLost(const std::string& reason) {
  if (!port_.IsOpen() || closing_) return;
  EndBurst();
  CloseNow(false);
  events_.Lost(reason);
}

}  // namespace tessera::link
