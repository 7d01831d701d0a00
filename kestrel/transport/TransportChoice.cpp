#include "transport/TransportChoice.h"

#ifdef KESTREL_HAVE_SIM
#include "transport/sim/SimTransport.h"
#endif
#ifdef KESTREL_HAVE_USB
#include "transport/usb/UsbTransport.h"
#endif
#ifdef KESTREL_HAVE_WIN32
#include "transport/win32/Win32Transport.h"
#endif

namespace kestrel {

TransportChoice ChooseTransport(const std::string& simDir, const std::string& usbId,
                                std::function<void(const std::string&)> notice) {
  TransportChoice c;
  if (!simDir.empty()) {
#ifdef KESTREL_HAVE_SIM
    c.transport = std::make_unique<SimTransport>(simDir);
    c.description = "模拟适配器: " + simDir;
#else
    c.error = "this build has no simulated adapters";
#endif
    return c;
  }
#if defined(KESTREL_HAVE_WIN32)
  // The adapters are found by their driver's device-interface class; nothing to choose.
  (void)usbId;
  (void)notice;
  c.transport = std::make_unique<Win32Transport>();
  c.description = "USB 适配器";
#elif defined(KESTREL_HAVE_USB)
  UsbVidPid ids;
  if (!usbId.empty() ? !UsbVidPid::Parse(usbId, &ids) : !UsbVidPid::FromEnvironment(&ids)) {
    c.error = std::string("the adapters' USB id is unknown: pass --usb-id VVVV:PPPP or set ") + kUsbVidPidVariable;
    return c;
  }
  auto usb = std::make_unique<UsbTransport>(ids);
  if (!usb->ok()) {
    c.error = "libusb could not be initialised";
    return c;
  }
  if (notice) usb->SetNotice(std::move(notice));
  c.transport = std::move(usb);
  c.description = "USB 适配器: " + ids.ToString();
#else
  (void)usbId;
  (void)notice;
  c.error = "this build has no USB backend; use --sim DIR";
#endif
  return c;
}

}  // namespace kestrel
