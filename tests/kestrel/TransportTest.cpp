#include <gtest/gtest.h>

#include "core/Transport.h"

namespace kestrel {
namespace {

TEST(InstanceId, TakesThePartBetweenVendorAndClass) {
  EXPECT_EQ(InstanceIdFromDevicePath(R"(\\?\usb#vid_1234&pid_5678#6&2a0b&0&2#{37538c66-9584-42d3-9632-ebad0a230d13})"),
            "6&2a0b&0&2");
  EXPECT_EQ(InstanceIdFromDevicePath("usb#vid#inst#a#{guid}"), "inst#a");
  EXPECT_EQ(InstanceIdFromDevicePath("usb#only#two"), "");
  EXPECT_EQ(InstanceIdFromDevicePath("no-hash"), "");
  EXPECT_EQ(InstanceIdFromDevicePath(""), "");
}

// Two adapters with the same USB ids differ only by where they are plugged; so do their
// identities, down to hub ports that would read alike if run together.
TEST(AdapterIdentity, EveryBackendsIdentityTellsAdaptersApartByPlace) {
  const uint8_t hub23[] = {2, 3};
  const uint8_t hub24[] = {2, 4};
  const uint8_t port23[] = {23};
  const AdapterId a = AdapterId::UsbBusPath(1, hub23, 2);
  EXPECT_EQ(a.text(), "1-2.3");
  EXPECT_EQ(a, AdapterId::UsbBusPath(1, hub23, 2));
  EXPECT_NE(a, AdapterId::UsbBusPath(1, hub24, 2));
  EXPECT_NE(a, AdapterId::UsbBusPath(2, hub23, 2));
  EXPECT_NE(a, AdapterId::UsbBusPath(1, port23, 1));
  EXPECT_NE(AdapterId::UsbBusPath(12, port23, 1), AdapterId::UsbBusPath(1, hub23, 2));  // "12-23", "1-2.3"
  // Without its ports an adapter cannot be told apart: no identity, never opened.
  EXPECT_TRUE(AdapterId::UsbBusPath(1, hub23, 0).empty());
  EXPECT_TRUE(AdapterId::UsbBusPath(1, hub23, -1).empty());

  EXPECT_EQ(AdapterId::Simulated(3).text(), "sim-adapter-3");
  EXPECT_NE(AdapterId::Simulated(1), AdapterId::Simulated(11));
  EXPECT_EQ(AdapterId::WindowsDevicePath(R"(\\?\usb#vid_1234&pid_5678#6&2a0b&0&2#{guid})").text(), "6&2a0b&0&2");
  EXPECT_NE(AdapterId::WindowsDevicePath(R"(\\?\usb#vid_1234&pid_5678#6&2a0b&0&2#{guid})"),
            AdapterId::WindowsDevicePath(R"(\\?\usb#vid_1234&pid_5678#6&2a0b&0&3#{guid})"));
  EXPECT_TRUE(AdapterId::WindowsDevicePath("no-hash").empty());
  // What a log row or the pool stored names the same adapter again.
  EXPECT_EQ(AdapterId::FromText(a.text()), a);
}

}  // namespace
}  // namespace kestrel
