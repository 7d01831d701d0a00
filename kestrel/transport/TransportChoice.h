#pragma once
// Which adapters kestrel-cli and the window work with, chosen in this one place: --sim DIR
// for the simulated adapters, else USB with --usb-id VVVV:PPPP or KESTREL_USB_VIDPID.
#include <functional>
#include <memory>
#include <string>

#include "core/Transport.h"

namespace kestrel {

struct TransportChoice {
  std::unique_ptr<Transport> transport;  // null when error is set
  std::string description;               // for the window, e.g. "模拟适配器: /tmp/a"
  std::string error;
};

// notice: told, in words for the operator, why an adapter cannot be opened or a slot's
// pipe gave up (backends that know such things; called on the thread that ran into it).
TransportChoice ChooseTransport(const std::string& simDir, const std::string& usbId,
                                std::function<void(const std::string&)> notice = {});

}  // namespace kestrel
