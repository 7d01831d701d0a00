#pragma once
// One opened adapter: the libusb handle with the adapter's vendor interface claimed and
// its two bulk endpoints. Shared by the device endpoint and both pipes of a slot, so
// closing the device endpoint ("USB Reset") leaves the pipes working.
#include <libusb.h>

#include <cstdint>
#include <memory>

namespace kestrel {

class UsbDeviceHandle {
 public:
  // Opens device, detaches a kernel driver if one holds the interface, claims it.
  // Null when any step fails, with libusb's error code in *error when given. context
  // keeps the libusb context alive.
  static std::shared_ptr<UsbDeviceHandle> Open(std::shared_ptr<libusb_context> context, libusb_device* device,
                                               int* error = nullptr);
  ~UsbDeviceHandle();
  UsbDeviceHandle(const UsbDeviceHandle&) = delete;
  UsbDeviceHandle& operator=(const UsbDeviceHandle&) = delete;

  libusb_device_handle* handle() const { return handle_; }
  libusb_device* device() const { return device_; }
  uint8_t outEndpoint() const { return out_; }
  uint8_t inEndpoint() const { return in_; }
  uint16_t inPacketSize() const { return inPacketSize_; }

 private:
  UsbDeviceHandle() = default;
  std::shared_ptr<libusb_context> context_;
  libusb_device* device_ = nullptr;  // referenced while the handle lives
  libusb_device_handle* handle_ = nullptr;
  int interface_ = -1;
  uint8_t out_ = 0;
  uint8_t in_ = 0;
  uint16_t inPacketSize_ = 64;
};

// The adapter's interface: the first vendor-specific interface with a bulk OUT and a
// bulk IN endpoint, else the first interface of any class with such a pair.
struct UsbAdapterInterface {
  int number = -1;
  uint8_t out = 0;
  uint8_t in = 0;
  uint16_t inPacketSize = 64;
};
bool FindAdapterInterface(libusb_device* device, UsbAdapterInterface* found);

}  // namespace kestrel
