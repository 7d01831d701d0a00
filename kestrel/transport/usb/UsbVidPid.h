#pragma once
// Vendor and product id of the download adapters on USB, as "vvvv:pppp" (hexadecimal).
#include <cstdint>
#include <string>

namespace kestrel {

struct UsbVidPid {
  uint16_t vendorId = 0;
  uint16_t productId = 0;

  // Exactly four hexadecimal digits, a colon, four hexadecimal digits; false otherwise.
  static bool Parse(const std::string& text, UsbVidPid* out);
  // From KESTREL_USB_VIDPID; false when it is unset or malformed.
  static bool FromEnvironment(UsbVidPid* out);
  std::string ToString() const;
};

inline constexpr const char* kUsbVidPidVariable = "KESTREL_USB_VIDPID";

}  // namespace kestrel
