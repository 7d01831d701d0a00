#pragma once
// Which adapters the window works with, chosen as kestrel-cli chooses them: --sim DIR for
// the simulated adapters, else USB with --usb-id VVVV:PPPP or KESTREL_USB_VIDPID.
#include <QString>
#include <QStringList>
#include <memory>

#include "core/Transport.h"

namespace kestrel::ui {

struct BackendChoice {
  std::unique_ptr<Transport> transport;  // null when error is set
  QString description;                   // shown in the window, e.g. "模拟适配器: /tmp/a"
  QString error;
};

struct BackendArgs {
  QString simDir;
  QString usbId;  // empty: the environment variable
};

BackendChoice ChooseBackend(const BackendArgs& args);

}  // namespace kestrel::ui
