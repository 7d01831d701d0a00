#pragma once
// The whole editable state of the document (pages, selections, paths, GPIO pool), as a
// value. Undo keeps one before and one after each change; the image buffers are not
// part of it: they are refilled by every build and only resized by a flash-type change.
#include <cstdint>
#include <string>

#include "document/CTesseraView.h"

namespace tessera::ui {

struct DocumentSnapshot {
  CPageSystem system;
  CPageBluetooth bluetooth;
  CPageWave wave;
  CPageLED led;
  CPageButton button;
  CPageEQ eq;
  CPageEcho echo;
  Selector flashType, chipType;
  std::string binPath, imagePath;
  uint32_t available = 0, reserved = 0;

  static DocumentSnapshot Capture(const CTesseraView& view);
  void RestoreInto(CTesseraView& view) const;
};

}  // namespace tessera::ui
