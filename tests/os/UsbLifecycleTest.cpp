// The adapter lifecycle every backend goes through (TransportLifecycle.h), run by the
// libusb backend against two emulated adapters: the USB case that needs hardware in
// kestrel_sim_tests runs here without it. Pulling and plugging go through the kernel's
// interface (a hung-up node, uevents), and the rig waits until libusb has seen them.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "UsbAdapterHarness.h"
#include "kestrel/transport/TransportLifecycle.h"
#include "transport/usb/UsbTransport.h"

namespace kestrel::ostest {
namespace {

constexpr uint16_t kVid = 0x3a5c, kPid = 0x5830;
constexpr size_t kFlash = 1 << 16;

class EmulatedUsbRig : public lifecycle::Rig {
 public:
  EmulatedUsbRig() : usb_(kVid, kPid) {
    if (usb_.Add("2", kFlash) < 0 || usb_.Add("3", kFlash) < 0) {
      reason_ = "emulated adapters: " + usb_.error();
      return;
    }
    transport_ = std::make_unique<UsbTransport>(UsbVidPid{kVid, kPid});
    if (!transport_->ok()) reason_ = "libusb did not start";
  }
  Transport* transport() override { return transport_.get(); }
  std::string skipReason() const override { return reason_; }
  // Adapter n is pulled out: its node hangs up and a "remove" uevent goes out.
  bool Unplug(int n) override {
    const int before = transport_->CountInterfaces();
    usb_.Remove(n);
    return CountBecomes(before - 1);
  }
  // A new adapter is plugged in (on a port of its own; the pulled one's stays taken).
  bool Plug(int) override {
    const int before = transport_->CountInterfaces();
    if (usb_.Add(std::to_string(4 + plugged_++), kFlash, true) < 0) return false;
    return CountBecomes(before + 1);
  }

 private:
  // libusb learns of plugging from udev on its own thread; waits until it has.
  bool CountBecomes(int count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (transport_->CountInterfaces() != count) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }

  UsbAdapterHarness usb_;
  std::unique_ptr<UsbTransport> transport_;
  std::string reason_;
  int plugged_ = 0;
};

TEST(TransportLifecycle, EmulatedUsbAdaptersGoThroughTheWholeLifecycle) {
  EmulatedUsbRig rig;
  lifecycle::RunLifecycle(&rig);
}

}  // namespace
}  // namespace kestrel::ostest
