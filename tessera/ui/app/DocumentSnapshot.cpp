#include "app/DocumentSnapshot.h"

namespace tessera::ui {

DocumentSnapshot DocumentSnapshot::Capture(const CTesseraView& v) {
  return DocumentSnapshot{v.system, v.bluetooth, v.wave, v.led,      v.button, v.eq,
                          v.echo,   v.flashType, v.chipType, v.binPath, v.imagePath, v.available_gpio_mask,
                          v.reserved_gpio_mask};
}

void DocumentSnapshot::RestoreInto(CTesseraView& v) const {
  const bool resize = v.flashType.selected != flashType.selected;
  v.flashType = flashType;
  v.chipType = chipType;
  // A different flash type needs buffers of its size; the pages are put back afterwards,
  // so what the resize does to the sound-effect table is undone with them.
  if (resize) v.AllocateImageBuffers();
  v.system = system;
  v.bluetooth = bluetooth;
  v.wave = wave;
  v.led = led;
  v.button = button;
  v.eq = eq;
  v.echo = echo;
  v.binPath = binPath;
  v.imagePath = imagePath;
  v.available_gpio_mask = available;
  v.reserved_gpio_mask = reserved;
}

}  // namespace tessera::ui
