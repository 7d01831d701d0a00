#pragma once
// The five configuration pages, each a Designer form bound to its page of the document.
#include "tessera/ui/pages/PageView.h"

namespace tessera::ui {

PageView* CreateSystemPage(PageController& c);
PageView* CreateBluetoothPage(PageController& c);
PageView* CreateWavePage(PageController& c);
PageView* CreateLedPage(PageController& c);
PageView* CreateKeyPage(PageController& c);

}  // namespace tessera::ui
