#include "ui/Backend.h"

#include "transport/TransportChoice.h"

namespace kestrel::ui {

BackendChoice ChooseBackend(const BackendArgs& args) {
  BackendChoice c;
  AdapterNotices* notices = c.notices.get();
  TransportChoice chosen = ChooseTransport(args.simDir.toStdString(), args.usbId.toStdString(),
                                           [notices, also = args.notice](const std::string& text) {
                                             if (also) also(text);
                                             notices->Post(text);
                                           });
  c.transport = std::move(chosen.transport);
  c.description = QString::fromStdString(chosen.description);
  c.error = QString::fromStdString(chosen.error);
  return c;
}

}  // namespace kestrel::ui
