#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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

  // Told why the endpoint gave up (from the worker's thread).
  using Notice = std::function<void(const std::string&)>;

  UsbEndpoint(Kind kind, std::shared_ptr<UsbDeviceHandle> device, std::string devicePath = {},
              std::shared_ptr<const Notice> notice = nullptr)
      : kind_(kind), device_(std::move(device)), devicePath_(std::move(devicePath)), notice_(std::move(notice)) {}
  // A transfer the adapter stalls gets its endpoint's halt cleared and is tried once
  // more; a second stall ends the endpoint: this and every later transfer fail at once.
  bool Write(const uint8_t* data, size_t length, size_t* written) override;
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override;

 private:
  // One bulk transfer with the stall rule above.
  int Transfer(uint8_t endpoint, uint8_t* data, int length, int* transferred, unsigned timeoutMs);

  Kind kind_;
  std::shared_ptr<UsbDeviceHandle> device_;
  std::string devicePath_;
  std::shared_ptr<const Notice> notice_;
  bool stalled_ = false;
  // A bulk IN read asks for whole packets so that an adapter sending more than was asked
  // never overflows the transfer; what the caller did not take waits here.
  std::vector<uint8_t> pending_;
  size_t pendingPos_ = 0;
};

}  // namespace kestrel
