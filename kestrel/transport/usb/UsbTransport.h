#pragma once
// Download adapters on USB through libusb-1.0 (Linux). An adapter is a device with the
// configured vendor and product id; its vendor interface carries one bulk OUT endpoint
// (the "PIPE01" pipe) and one bulk IN endpoint (the "PIPE00" pipe). Its identity is its
// place on the bus: adapterId "BUS-PORT.PORT..." (e.g. "1-2.3"), devicePath "usb:" and
// the same text.
#include <libusb.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "core/Transport.h"
#include "transport/usb/UsbDeviceHandle.h"
#include "transport/usb/UsbVidPid.h"

namespace kestrel {

class UsbTransport : public Transport {
 public:
  explicit UsbTransport(UsbVidPid ids);
  ~UsbTransport() override;

  // Told, in words for the operator, why an adapter cannot be opened (permissions) or a
  // slot's pipe gave up (a stall that clearing the halt did not cure). Called on the
  // thread that opened or transferred; set it before opening anything.
  using Notice = std::function<void(const std::string&)>;
  void SetNotice(Notice notice) { notice_ = std::make_shared<const Notice>(std::move(notice)); }
  // The group and udev rule of the package that give access to the adapters.
  static constexpr const char* kUdevRule = "60-kestrel-adapter.rules";
  static constexpr const char* kAccessGroup = "kestrel";

  // False when libusb could not be initialised; then nothing is ever present.
  bool ok() const { return context_ != nullptr; }
  const std::string& currentPath() const { return currentPath_; }

  // libusb's hot-plug callback where the platform has it, else a look at the present
  // adapters once a second; either way the listener is called from a thread of ours.
  bool StartWatching(AdapterListener* listener) override;
  void StopWatching() override;
  static constexpr int kPollMs = 1000;

  int CountInterfaces() override;
  DeviceInterfaceInfo GetInterfaceInfo(int index) override;
  std::unique_ptr<Endpoint> OpenInterface(int index) override;
  std::unique_ptr<Endpoint> OpenPipe(const std::string& name) override;

 private:
  struct Present {
    libusb_device* device;  // referenced until the list is freed
    AdapterId location;     // its bus path; empty when the ports cannot be read
  };
  // The present adapters in a stable order (bus, then port path), at most 127.
  std::vector<Present> List(libusb_device*** all) const;
  std::shared_ptr<UsbDeviceHandle> OpenPath(const std::string& devicePath);

  std::vector<std::string> Locations() const;
  static int LIBUSB_CALL OnHotplug(libusb_context* ctx, libusb_device* device, libusb_hotplug_event event,
                                   void* self);

  UsbVidPid ids_;
  std::thread watcher_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> plugged_{false};  // set by the hot-plug callback, taken by the watcher
  libusb_hotplug_callback_handle hotplug_ = 0;
  bool hotplugRegistered_ = false;
  std::shared_ptr<libusb_context> context_;
  std::string currentPath_;
  std::shared_ptr<const Notice> notice_;
  // Handles still open per device path: the device endpoint and the pipes share one.
  std::map<std::string, std::weak_ptr<UsbDeviceHandle>> open_;
};

}  // namespace kestrel
