#pragma once
// The GPIO pool handed round the pages in their allocation priority.
#include <cstdint>

#include "tessera/core/pages/CPageButton.h"
#include "tessera/core/pages/CPageLED.h"
#include "tessera/core/pages/CPageSystem.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

// The host's available mask becomes the package's GPIOs less its reserved ones; then
// each page takes its pins in priority order, storing what it leaves in the host: the
// System page, then the LED page, then the keys (entries without a free pin are
// cleared). A page passed as null (its window does not exist yet) takes nothing.
void AllocateGpioPool(PageHost& host, uint32_t packageMask, CPageSystem* system, CPageLED* led, CPageButton* keys);

}  // namespace tessera
