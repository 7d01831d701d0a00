#pragma once
// The lifecycle every download-adapter backend must go through the same way: count,
// describe, open the device and both pipes, a Connect exchange, "USB Reset", a pulled
// adapter, a plugged one. The socket simulator and real USB run it in kestrel_sim_tests,
// emulated USB adapters (umockdev) in the os tests.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "SimHost.h"
#include "core/Transport.h"

namespace kestrel::lifecycle {

using testing::SimHost;

// A backend with (at least) two adapters present, or a reason why it cannot have them.
class Rig {
 public:
  virtual ~Rig() = default;
  virtual Transport* transport() = 0;
  virtual std::string skipReason() const = 0;
  virtual bool Unplug(int) { return false; }
  virtual bool Plug(int) { return false; }
};

inline void RunLifecycle(Rig* rig) {
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
  ::testing::Test::RecordProperty("pulled_read_ms", static_cast<int>(readMs));
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

}  // namespace kestrel::lifecycle
