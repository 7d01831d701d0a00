#include "tessera/core/document/GpioPool.h"

namespace tessera {

void AllocateGpioPool(PageHost& host, uint32_t packageMask, CPageSystem* system, CPageLED* led, CPageButton* keys) {
  // Each page takes its pins out of the pool before the next one sees it: a pin the
  // System page uses is never offered to an LED, one either uses never to a key.
  host.SetAvailableGpioMask(packageMask & ~host.ReservedGpioMask());
  if (system) system->AllocateGpios(host.AvailableGpioMask());
  if (led) led->AllocateGpios(host.AvailableGpioMask());
  if (keys) keys->DropUnavailableKeys(host.AvailableGpioMask());
}

}  // namespace tessera
