#include "transport/usb/UsbVidPid.h"

#include <cstdio>
#include <cstdlib>

namespace kestrel {
namespace {

bool ParseHex4(const std::string& text, size_t pos, uint16_t* out) {
  unsigned value = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    char c = text[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  *out = static_cast<uint16_t>(value);
  return true;
}

}  // namespace

bool UsbVidPid::Parse(const std::string& text, UsbVidPid* out) {
  if (out == nullptr || text.size() != 9 || text[4] != ':') return false;
  UsbVidPid v;
  if (!ParseHex4(text, 0, &v.vendorId) || !ParseHex4(text, 5, &v.productId)) return false;
  *out = v;
  return true;
}

bool UsbVidPid::FromEnvironment(UsbVidPid* out) {
  const char* text = std::getenv(kUsbVidPidVariable);
  return text != nullptr && Parse(text, out);
}

std::string UsbVidPid::ToString() const {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04x:%04x", vendorId, productId);
  return buf;
}

}  // namespace kestrel
