#include "tessera/core/common/Gpio.h"

#include <cstdio>

namespace tessera {

std::string GpioText(int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "GPIO%02d", n);
  return buf;
}

void FillGpioCombo(Selector& combo, uint32_t mask) {
  combo.Clear();
  for (int n = 0; n <= kMaxGpio; ++n)
    if (mask & (1u << n)) combo.Add(GpioText(n));
}

int GpioNumberFromText(const std::string& text) {
  int v = 0;
  for (size_t i = 4; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') break;
    v = v * 10 + (c - '0');
    if (v > 1000000) break;  // a number this long is no GPIO; keep the arithmetic bounded
  }
  return v;
}

}  // namespace tessera
