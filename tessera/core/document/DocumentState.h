#pragma once
// Everything a user can edit in the configuration tool, as one value: the pages
// (members, tables, selector lists, enable states), the two selections, the two paths
// and the GPIO pool. The image buffers are scratch space of Generate image and not
// part of it.
//
// How a view uses it: CTesseraView::Snapshot() before and after a change, and
// CTesseraView::Restore(state) to undo or redo it. Restore assigns the state back and
// nothing else: no handler runs, no message is raised, no table is emptied; the
// observers hear one Reset.
#include <cstdint>
#include <string>

#include "tessera/core/common/Selector.h"
#include "tessera/core/pages/CPageBluetooth.h"
#include "tessera/core/pages/CPageButton.h"
#include "tessera/core/pages/CPageEQ.h"
#include "tessera/core/pages/CPageEcho.h"
#include "tessera/core/pages/CPageLED.h"
#include "tessera/core/pages/CPageSystem.h"
#include "tessera/core/pages/CPageWave.h"

namespace tessera {

struct DocumentState {
  CPageSystem system;
  CPageBluetooth bluetooth;
  CPageWave wave;
  CPageLED led;
  CPageButton button;
  CPageEQ eq;
  CPageEcho echo;
  Selector flashType;
  Selector chipType;
  std::string binPath;
  std::string imagePath;
  uint32_t availableGpioMask = 0;
  uint32_t reservedGpioMask = 0;
  bool keyPageCreated = false;
};

}  // namespace tessera
