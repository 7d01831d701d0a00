// The adapter lifecycle (TransportLifecycle.h) against every backend that can run here;
// parts that need an adapter the rig cannot provide (real USB without hardware) or a plug
// control it lacks are skipped. Emulated USB adapters run it in tests/os.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>

#include "SimHost.h"
#include "SimProcess.h"
#include "TransportLifecycle.h"
#include "transport/sim/SimTransport.h"
#include "transport/usb/UsbTransport.h"

namespace kestrel {
namespace {

using testing::SimHost;
using testing::SimProcess;

using lifecycle::Rig;

class SimRig : public Rig {
 public:
  SimRig() {
    if (SimProcess::Available() && sim_.Start({"--boards", "2", "--erase-ms", "0"})) {
      transport_ = std::make_unique<SimTransport>(sim_.dir());
    }
  }
  Transport* transport() override { return transport_.get(); }
  std::string skipReason() const override { return transport_ ? "" : "kestrel-adapter-sim not available"; }
  bool Unplug(int n) override { return sim_.Control("unplug " + std::to_string(n)) == "ok"; }
  bool Plug(int n) override { return sim_.Control("plug " + std::to_string(n)) == "ok"; }

 private:
  SimProcess sim_;
  std::unique_ptr<SimTransport> transport_;
};

class UsbRig : public Rig {
 public:
  UsbRig() {
    if (UsbVidPid::FromEnvironment(&ids_)) transport_ = std::make_unique<UsbTransport>(ids_);
  }
  Transport* transport() override { return transport_.get(); }
  std::string skipReason() const override {
    if (!transport_) return "hardware: set KESTREL_USB_VIDPID";
    return transport_->CountInterfaces() >= 2 ? "" : "hardware: needs two adapters plugged in";
  }

 private:
  UsbVidPid ids_;
  std::unique_ptr<UsbTransport> transport_;
};

struct Backend {
  const char* name;
  std::function<std::unique_ptr<Rig>()> make;
};

// Names the backend in test listings instead of gtest's byte dump.
void PrintTo(const Backend& b, std::ostream* os) { *os << b.name; }

std::string BackendName(const ::testing::TestParamInfo<Backend>& p) { return p.param.name; }

class TransportLifecycle : public ::testing::TestWithParam<Backend> {};

TEST_P(TransportLifecycle, CountOpenExchangeResetUnplugPlug) {
  std::unique_ptr<Rig> rig = GetParam().make();
  lifecycle::RunLifecycle(rig.get());
}

INSTANTIATE_TEST_SUITE_P(Backends, TransportLifecycle,
                         ::testing::Values(Backend{"Sim", [] { return std::unique_ptr<Rig>(new SimRig()); }},
                                           Backend{"Usb", [] { return std::unique_ptr<Rig>(new UsbRig()); }}),
                         BackendName);

// Without adapters every backend answers alike: nothing present, nothing opens.
class TransportNoAdapters : public ::testing::TestWithParam<Backend> {};

struct EmptySimRig : Rig {
  SimProcess folder;  // its fresh folder, never started
  SimTransport t{folder.dir()};
  Transport* transport() override { return &t; }
  std::string skipReason() const override { return ""; }
};

struct AbsentUsbRig : Rig {
  UsbTransport t{UsbVidPid{0xfffe, 0xfffd}};  // no adapter carries these ids
  Transport* transport() override { return &t; }
  std::string skipReason() const override { return ""; }
};

TEST_P(TransportNoAdapters, NothingPresentNothingOpens) {
  std::unique_ptr<Rig> rig = GetParam().make();
  Transport& t = *rig->transport();
  EXPECT_EQ(t.CountInterfaces(), 0);
  for (int index : {0, -1, 126, 127}) {
    DeviceInterfaceInfo info = t.GetInterfaceInfo(index);
    EXPECT_TRUE(info.devicePath.empty() && info.displayName.empty() && info.adapterId.empty()) << index;
  }
  EXPECT_EQ(t.OpenInterface(0), nullptr);
  EXPECT_EQ(t.OpenPipe("PIPE01"), nullptr);
  EXPECT_EQ(t.OpenPipe("PIPE00"), nullptr);
  EXPECT_EQ(t.OpenPipe("PIPE02"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Backends, TransportNoAdapters,
    ::testing::Values(Backend{"Sim", [] { return std::unique_ptr<Rig>(new EmptySimRig()); }},
                      Backend{"Usb", [] { return std::unique_ptr<Rig>(new AbsentUsbRig()); }}),
    BackendName);

}  // namespace
}  // namespace kestrel
