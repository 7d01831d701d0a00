#pragma once
// Which adapters the window works with: kestrel::ChooseTransport, the choice kestrel-cli
// makes too, in the window's strings.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

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
  // Why an adapter cannot be opened or a slot's pipe gave up (any thread).
  std::function<void(const std::string&)> notice;
};

BackendChoice ChooseBackend(const BackendArgs& args);

}  // namespace kestrel::ui
