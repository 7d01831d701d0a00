#include "transport/usb/UsbTransport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "transport/usb/UsbEndpoint.h"

namespace kestrel {
namespace {

constexpr const char* kPathPrefix = "usb:";
constexpr size_t kMaxDisplayName = 256;

AdapterId Location(libusb_device* device) {
  uint8_t ports[8];
  int n = libusb_get_port_numbers(device, ports, sizeof ports);
  return AdapterId::UsbBusPath(libusb_get_bus_number(device), ports, n);
}

}  // namespace

UsbTransport::UsbTransport(UsbVidPid ids) : ids_(ids) {
  libusb_context* ctx = nullptr;
  if (libusb_init(&ctx) == 0) context_.reset(ctx, [](libusb_context* c) { libusb_exit(c); });
}

UsbTransport::~UsbTransport() { StopWatching(); }

std::vector<std::string> UsbTransport::Locations() const {
  libusb_device** all = nullptr;
  std::vector<std::string> out;
  for (const Present& p : List(&all)) out.push_back(p.location.text());
  if (all != nullptr) libusb_free_device_list(all, 1);
  return out;
}

int LIBUSB_CALL UsbTransport::OnHotplug(libusb_context*, libusb_device*, libusb_hotplug_event, void* self) {
  // No libusb calls from inside the callback: the watcher thread recounts.
  static_cast<UsbTransport*>(self)->plugged_ = true;
  return 0;  // stay registered
}

bool UsbTransport::StartWatching(AdapterListener* listener) {
  if (!context_ || listener == nullptr || watcher_.joinable()) return false;
  stop_ = false;
  plugged_ = false;
  hotplugRegistered_ =
      libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0 &&
      libusb_hotplug_register_callback(
          context_.get(),
          static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
          LIBUSB_HOTPLUG_NO_FLAGS, ids_.vendorId, ids_.productId, LIBUSB_HOTPLUG_MATCH_ANY, &UsbTransport::OnHotplug,
          this, &hotplug_) == LIBUSB_SUCCESS;
  watcher_ = std::thread([this, listener, hotplug = hotplugRegistered_] {
    std::vector<std::string> last = hotplug ? std::vector<std::string>() : Locations();
    while (!stop_) {
      if (hotplug) {
        timeval tv{0, 200000};
        libusb_handle_events_timeout_completed(context_.get(), &tv, nullptr);
        if (plugged_.exchange(false)) listener->AdaptersChanged();
      } else {
        for (int waited = 0; waited < kPollMs && !stop_; waited += 50)
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::vector<std::string> now = Locations();
        if (now == last) continue;
        last = std::move(now);
        listener->AdaptersChanged();
      }
    }
  });
  return true;
}

void UsbTransport::StopWatching() {
  if (!watcher_.joinable()) return;
  stop_ = true;
  // Wakes libusb_handle_events at once.
  if (hotplugRegistered_) libusb_hotplug_deregister_callback(context_.get(), hotplug_);
  hotplugRegistered_ = false;
  watcher_.join();
}

std::vector<UsbTransport::Present> UsbTransport::List(libusb_device*** all) const {
  std::vector<Present> present;
  *all = nullptr;
  if (!context_) return present;
  ssize_t n = libusb_get_device_list(context_.get(), all);
  if (n < 0) {
    *all = nullptr;
    return present;
  }
  for (ssize_t i = 0; i < n; ++i) {
    libusb_device* d = (*all)[i];
    libusb_device_descriptor desc;
    if (libusb_get_device_descriptor(d, &desc) != 0) continue;
    if (desc.idVendor != ids_.vendorId || desc.idProduct != ids_.productId) continue;
    UsbAdapterInterface itf;
    if (!FindAdapterInterface(d, &itf)) continue;
    present.push_back({d, Location(d)});
  }
  // libusb lists devices in no promised order; slots must not swap between two counts.
  std::sort(present.begin(), present.end(), [](const Present& a, const Present& b) {
    uint8_t ba = libusb_get_bus_number(a.device), bb = libusb_get_bus_number(b.device);
    if (ba != bb) return ba < bb;
    uint8_t pa[8], pb[8];
    int na = libusb_get_port_numbers(a.device, pa, sizeof pa);
    int nb = libusb_get_port_numbers(b.device, pb, sizeof pb);
    return std::lexicographical_compare(pa, pa + std::max(na, 0), pb, pb + std::max(nb, 0));
  });
  if (present.size() > static_cast<size_t>(kMaxInterfaces)) present.resize(kMaxInterfaces);
  return present;
}

int UsbTransport::CountInterfaces() {
  libusb_device** all = nullptr;
  int count = static_cast<int>(List(&all).size());
  if (all != nullptr) libusb_free_device_list(all, 1);
  return count;
}

DeviceInterfaceInfo UsbTransport::GetInterfaceInfo(int index) {
  DeviceInterfaceInfo info;
  libusb_device** all = nullptr;
  std::vector<Present> present = List(&all);
  if (index >= 0 && static_cast<size_t>(index) < present.size()) {
    const Present& p = present[static_cast<size_t>(index)];
    info.adapterId = p.location;
    if (!p.location.empty()) info.devicePath = kPathPrefix + p.location.text();
    // The product string needs the device opened, which may be refused (permissions,
    // another program holds it); then the path stands in for the name.
    libusb_device_descriptor desc;
    libusb_device_handle* h = nullptr;
    if (libusb_get_device_descriptor(p.device, &desc) == 0 && desc.iProduct != 0 && libusb_open(p.device, &h) == 0) {
      unsigned char name[kMaxDisplayName];
      int n = libusb_get_string_descriptor_ascii(h, desc.iProduct, name, sizeof name);
      if (n > 0) info.displayName.assign(reinterpret_cast<const char*>(name), static_cast<size_t>(n));
      libusb_close(h);
    }
    if (info.displayName.empty()) info.displayName = info.devicePath.substr(0, kMaxDisplayName);
  }
  if (all != nullptr) libusb_free_device_list(all, 1);
  return info;
}

std::shared_ptr<UsbDeviceHandle> UsbTransport::OpenPath(const std::string& devicePath) {
  if (devicePath.rfind(kPathPrefix, 0) != 0 || devicePath.size() == std::string(kPathPrefix).size()) return nullptr;
  std::shared_ptr<UsbDeviceHandle> existing;
  auto it = open_.find(devicePath);
  if (it != open_.end()) existing = it->second.lock();
  libusb_device** all = nullptr;
  std::shared_ptr<UsbDeviceHandle> handle;
  for (const Present& p : List(&all)) {
    if (p.location.empty() || kPathPrefix + p.location.text() != devicePath) continue;
    // The pipes of an earlier open still hold the interface, and a second claim of it
    // would be refused: share their handle while it is the same device. An adapter
    // pulled out and put back on the same port is a new device and is opened afresh.
    if (existing && existing->device() == p.device) {
      handle = existing;
    } else {
      int error = 0;
      handle = UsbDeviceHandle::Open(context_, p.device, &error);
      if (!handle && error == LIBUSB_ERROR_ACCESS && notice_ && *notice_) {
        char node[32];
        std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", libusb_get_bus_number(p.device),
                      libusb_get_device_address(p.device));
        (*notice_)("adapter " + devicePath + " (" + node +
                   "): permission denied. The udev rule " + kUdevRule + " gives the group \"" + kAccessGroup +
                   "\" access (with the adapters' ids in place of VVVV and PPPP); add this user to that group "
                   "and log in again.");
      }
    }
    break;
  }
  if (all != nullptr) libusb_free_device_list(all, 1);
  if (handle) {
    open_[devicePath] = handle;
  } else if (it != open_.end() && !existing) {
    open_.erase(it);
  }
  return handle;
}

std::unique_ptr<Endpoint> UsbTransport::OpenInterface(int index) {
  currentPath_ = GetInterfaceInfo(index).devicePath;
  auto handle = OpenPath(currentPath_);
  if (!handle) return nullptr;
  return std::make_unique<UsbEndpoint>(UsbEndpoint::Kind::kDevice, std::move(handle), currentPath_, notice_);
}

std::unique_ptr<Endpoint> UsbTransport::OpenPipe(const std::string& name) {
  UsbEndpoint::Kind kind;
  if (name == "PIPE01") {
    kind = UsbEndpoint::Kind::kOut;
  } else if (name == "PIPE00") {
    kind = UsbEndpoint::Kind::kIn;
  } else {
    return nullptr;
  }
  auto handle = OpenPath(currentPath_);
  if (!handle) return nullptr;
  return std::make_unique<UsbEndpoint>(kind, std::move(handle), currentPath_, notice_);
}

}  // namespace kestrel
