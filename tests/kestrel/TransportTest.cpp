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

}  // namespace
}  // namespace kestrel
