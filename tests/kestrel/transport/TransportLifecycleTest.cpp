// The lifecycle every backend must go through the same way: count, describe, open the
// device and both pipes, a Connect exchange, "USB Reset", a pulled adapter, a plugged one.
// Runs against every backend that can run here; parts that need an adapter the rig cannot
// provide (real USB without hardware) or a plug control it lacks are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>

#include "SimHost.h"
#include "SimProcess.h"
#include "transport/sim/SimTransport.h"
#include "transport/usb/UsbTransport.h"

namespace kestrel {
namespace {

using testing::SimHost;
using testing::SimProcess;

// A backend with (at least) two adapters present, or a reason why it cannot have them.
class Rig {
 public:
  virtual ~Rig() = default;
  virtual Transport* transport() = 0;
  virtual std::string skipReason() const = 0;
  virtual bool Unplug(int) { return false; }
  virtual bool Plug(int) { return false; }
};

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
  if (!rig->skipReason().empty()) GTEST_SKIP() << rig->skipReason();
  Transport& t = *rig->transport();
  const int count = t.CountInterfaces();
  ASSERT_GE(count, 2);

  DeviceInterfaceInfo info = t.GetInterfaceInfo(0);
  EXPECT_FALSE(info.devicePath.empty());
  EXPECT_FALSE(info.displayName.empty());
  EXPECT_FALSE(info.adapterId.empty());
  EXPECT_NE(t.GetInterfaceInfo(1).devicePath, info.devicePath);
  EXPECT_TRUE(t.GetInterfaceInfo(count).devicePath.empty());

  SimHost a;
  ASSERT_TRUE(a.Open(t, 0));
  ASSERT_TRUE(a.Send({0xA3}));
  auto reply = a.ReadOnce(11);
  ASSERT_TRUE(reply);
  ASSERT_GE(reply->size(), 2u);
  EXPECT_EQ((*reply)[0], 0xEE);
  EXPECT_EQ((*reply)[1], 0x03);

  // "USB Reset": the device endpoint goes, the pipes stay usable.
  a.device.reset();
  ASSERT_TRUE(a.Send({0xA4}));
  auto released = a.ReadOnce(11);
  ASSERT_TRUE(released);
  EXPECT_EQ((*released)[0], 0xEE);

  SimHost b;
  ASSERT_TRUE(b.Open(t, 1));
  if (!rig->Unplug(1)) GTEST_SKIP() << "this rig cannot pull an adapter out";
  EXPECT_EQ(t.CountInterfaces(), count - 1);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(b.ReadOnce(11, 2000));
  // Ends by its own timeout, not by hanging; the margin allows a loaded machine.
  const auto readMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  RecordProperty("pulled_read_ms", static_cast<int>(readMs));
  EXPECT_LE(readMs, 2000 + 5000);
  EXPECT_FALSE(b.Send({0xA3}));

  ASSERT_TRUE(rig->Plug(1));
  EXPECT_EQ(t.CountInterfaces(), count);
  SimHost c;
  ASSERT_TRUE(c.Open(t, 1));
  ASSERT_TRUE(c.Send({0xA3}));
  auto again = c.ReadOnce(11);
  ASSERT_TRUE(again);
  EXPECT_EQ((*again)[0], 0xEE);
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
