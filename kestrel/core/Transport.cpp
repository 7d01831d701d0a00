#include "core/Transport.h"

namespace kestrel {

std::string InstanceIdFromDevicePath(const std::string& devicePath) {
  size_t first = devicePath.find('#');
  size_t last = devicePath.rfind('#');
  if (first == std::string::npos || last == first) return {};
  // The part after the first "#" up to and including the last one.
  std::string part = devicePath.substr(first + 1, last - first);
  size_t a = part.find('#');
  size_t b = part.rfind('#');
  if (a == std::string::npos || a == b) return {};
  return part.substr(a + 1, b - a - 1);
}

}  // namespace kestrel
