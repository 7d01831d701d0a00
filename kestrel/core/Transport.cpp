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

AdapterId AdapterId::UsbBusPath(int bus, const uint8_t* ports, int portCount) {
  if (bus < 0 || ports == nullptr || portCount <= 0) return {};
  std::string text = std::to_string(bus) + "-";
  for (int i = 0; i < portCount; ++i) text += (i > 0 ? "." : "") + std::to_string(ports[i]);
  return AdapterId(std::move(text));
}

AdapterId AdapterId::Simulated(int index) {
  if (index < 0) return {};
  return AdapterId("sim-adapter-" + std::to_string(index));
}

AdapterId AdapterId::WindowsDevicePath(const std::string& devicePath) {
  return AdapterId(InstanceIdFromDevicePath(devicePath));
}

}  // namespace kestrel
