#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>

#include "SimHost.h"
#include "transport/usb/UsbTransport.h"

namespace kestrel {
namespace {

TEST(UsbVidPid, ParsesOnlyFourHexDigitsEach) {
  UsbVidPid v;
  ASSERT_TRUE(UsbVidPid::Parse("1a2B:00fF", &v));
  EXPECT_EQ(v.vendorId, 0x1a2b);
  EXPECT_EQ(v.productId, 0x00ff);
  EXPECT_EQ(v.ToString(), "1a2b:00ff");
  UsbVidPid untouched{0x1111, 0x2222};
  for (const char* bad : {"", "1a2b", "1a2b:", "1a2b:00f", "1a2b:00fff", "1a2b-00ff", "0x1a:00ff", "g000:0000",
                          " 1a2b:00ff", "1a2b:00ff ", "1a2b::0ff"}) {
    EXPECT_FALSE(UsbVidPid::Parse(bad, &untouched)) << bad;
  }
  EXPECT_EQ(untouched.vendorId, 0x1111);
  EXPECT_FALSE(UsbVidPid::Parse("1a2b:00ff", nullptr));
}

TEST(UsbVidPid, ReadsTheEnvironment) {
  const char* saved = std::getenv(kUsbVidPidVariable);
  std::string keep = saved != nullptr ? saved : "";
  UsbVidPid v;
  setenv(kUsbVidPidVariable, "abcd:0123", 1);
  ASSERT_TRUE(UsbVidPid::FromEnvironment(&v));
  EXPECT_EQ(v.vendorId, 0xabcd);
  EXPECT_EQ(v.productId, 0x0123);
  setenv(kUsbVidPidVariable, "abcd", 1);
  EXPECT_FALSE(UsbVidPid::FromEnvironment(&v));
  unsetenv(kUsbVidPidVariable);
  EXPECT_FALSE(UsbVidPid::FromEnvironment(&v));
  if (saved != nullptr) setenv(kUsbVidPidVariable, keep.c_str(), 1);
}

// Watching needs no adapter: it starts once, refuses a second listener, stops without
// waiting for a plug (the hot-plug wait is woken), and can start again.
TEST(UsbTransportWatch, StartsOnceStopsPromptlyAndRestarts) {
  struct Listener : AdapterListener {
    std::atomic<int> calls{0};
    void AdaptersChanged() override { ++calls; }
  } listener;
  UsbTransport t(UsbVidPid{0xfffe, 0xfffd});
  if (!t.ok()) GTEST_SKIP() << "libusb cannot be initialised here";
  ASSERT_TRUE(t.StartWatching(&listener));
  EXPECT_FALSE(t.StartWatching(&listener));
  t.StopWatching();
  ASSERT_TRUE(t.StartWatching(&listener));
  t.StopWatching();
  t.StopWatching();  // a second stop is harmless
  EXPECT_EQ(listener.calls, 0);
}

// With a real adapter (KESTREL_USB_VIDPID set and one plugged in): the Connect exchange
// through both pipes, and the pipes surviving "USB Reset". Skipped without hardware.
TEST(UsbTransportHardware, ConnectExchange) {
  UsbVidPid ids;
  if (!UsbVidPid::FromEnvironment(&ids)) GTEST_SKIP() << "hardware test: set KESTREL_USB_VIDPID";
  UsbTransport t(ids);
  if (t.CountInterfaces() == 0) GTEST_SKIP() << "hardware test: no adapter present";
  DeviceInterfaceInfo info = t.GetInterfaceInfo(0);
  EXPECT_EQ(info.devicePath, "usb:" + info.adapterId.text());
  testing::SimHost h;
  ASSERT_TRUE(h.Open(t, 0));
  h.device.reset();
  ASSERT_TRUE(h.Send({0xA3}));
  auto r = h.ReadOnce(11, 1000);
  ASSERT_TRUE(r);
  ASSERT_GE(r->size(), 2u);
  EXPECT_EQ((*r)[0], 0xEE);
  ASSERT_TRUE(h.Send({0xA4}));
  EXPECT_TRUE(h.ReadOnce(11, 1000));
}

}  // namespace
}  // namespace kestrel
