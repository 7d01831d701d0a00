#include "ui/Backend.h"

#if __has_include("transport/sim/SimTransport.h")
#include "transport/sim/SimTransport.h"
#define KESTREL_UI_HAVE_SIM 1
#endif
#if __has_include("transport/usb/UsbTransport.h")
#include "transport/usb/UsbTransport.h"
#define KESTREL_UI_HAVE_USB 1
#endif

namespace kestrel::ui {

BackendChoice ChooseBackend(const BackendArgs& args) {
  BackendChoice c;
  if (!args.simDir.isEmpty()) {
#ifdef KESTREL_UI_HAVE_SIM
    c.transport = std::make_unique<SimTransport>(args.simDir.toStdString());
    c.description = QStringLiteral("模拟适配器: %1").arg(args.simDir);
#else
    c.error = QStringLiteral("this build has no simulated adapters");
#endif
    return c;
  }
#ifdef KESTREL_UI_HAVE_USB
  UsbVidPid ids;
  const bool known = !args.usbId.isEmpty() ? UsbVidPid::Parse(args.usbId.toStdString(), &ids)
                                           : UsbVidPid::FromEnvironment(&ids);
  if (!known) {
    c.error = QStringLiteral("the adapters' USB id is unknown: pass --usb-id VVVV:PPPP or set %1")
                  .arg(QString::fromLatin1(kUsbVidPidVariable));
    return c;
  }
  auto usb = std::make_unique<UsbTransport>(ids);
  if (!usb->ok()) {
    c.error = QStringLiteral("libusb could not be initialised");
    return c;
  }
  c.transport = std::move(usb);
  c.description = QStringLiteral("USB 适配器: %1").arg(QString::fromStdString(ids.ToString()));
#else
  c.error = QStringLiteral("this build has no USB backend; use --sim DIR");
#endif
  return c;
}

}  // namespace kestrel::ui
