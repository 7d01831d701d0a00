#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "core/Transport.h"
#include "transport/usb/UsbDeviceHandle.h"

namespace kestrel {

// One endpoint of an adapter on libusb: the device itself (no transfers), the bulk OUT
// pipe ("PIPE01") or the bulk IN pipe ("PIPE00").
class UsbEndpoint : public Endpoint {
 public:
  enum class Kind { kDevice, kOut, kIn };
  // Writes wait at most this long for the adapter to take a packet.
  static constexpr unsigned kWriteTimeoutMs = 5000;

  UsbEndpoint(Kind kind, std::shared_ptr<UsbDeviceHandle> device) : kind_(kind), device_(std::move(device)) {}
  bool Write(const uint8_t* data, size_t length, size_t* written) override;
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override;

 private:
  Kind kind_;
  std::shared_ptr<UsbDeviceHandle> device_;
  // A bulk IN read asks for whole packets so that an adapter sending more than was asked
  // never overflows the transfer; what the caller did not take waits here.
  std::vector<uint8_t> pending_;
  size_t pendingPos_ = 0;
};

}  // namespace kestrel
