#pragma once
// GPIO choices as the pages show them: "GPIO%02d", bit n of a mask = GPIOn.
#include <cstdint>
#include <string>

#include "tessera/core/common/Selector.h"

namespace tessera {

constexpr int kMaxGpio = 24;        // GPIO0 to GPIO24 at most
constexpr uint8_t kGpioUnused = 0xFF;

std::string GpioText(int n);  // "GPIO05"
// Empties the list and adds one "GPIO%02d" entry per set bit 0..24, ascending.
// The selection is cleared, as deleting a list box's entries clears it.
void FillGpioCombo(Selector& combo, uint32_t mask);
// Decimal number after the first four characters ("GPIO12" -> 12); leading zeros
// allowed, stops at the first non-digit; 0 when there are no digits (an empty text too).
int GpioNumberFromText(const std::string& text);

}  // namespace tessera
