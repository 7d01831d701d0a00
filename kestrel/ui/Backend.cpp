#include "ui/Backend.h"

#include "transport/TransportChoice.h"

namespace kestrel::ui {

BackendChoice ChooseBackend(const BackendArgs& args) {
  TransportChoice chosen = ChooseTransport(args.simDir.toStdString(), args.usbId.toStdString(), args.notice);
  BackendChoice c;
  c.transport = std::move(chosen.transport);
  c.description = QString::fromStdString(chosen.description);
  c.error = QString::fromStdString(chosen.error);
  return c;
}

}  // namespace kestrel::ui
