#include "transport/usb/UsbDeviceHandle.h"

namespace kestrel {

bool FindAdapterInterface(libusb_device* device, UsbAdapterInterface* found) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != 0 &&
      libusb_get_config_descriptor(device, 0, &config) != 0) {
    return false;
  }
  UsbAdapterInterface anyClass;
  bool haveVendor = false;
  for (int i = 0; i < config->bNumInterfaces && !haveVendor; ++i) {
    const libusb_interface& itf = config->interface[i];
    if (itf.num_altsetting < 1) continue;
    const libusb_interface_descriptor& alt = itf.altsetting[0];
    UsbAdapterInterface candidate;
    candidate.number = alt.bInterfaceNumber;
    for (int e = 0; e < alt.bNumEndpoints; ++e) {
      const libusb_endpoint_descriptor& ep = alt.endpoint[e];
      if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
      if ((ep.bEndpointAddress & LIBUSB_ENDPOINT_DIR_MASK) == LIBUSB_ENDPOINT_IN) {
        if (candidate.in == 0) {
          candidate.in = ep.bEndpointAddress;
          if (ep.wMaxPacketSize != 0) candidate.inPacketSize = ep.wMaxPacketSize;
        }
      } else if (candidate.out == 0) {
        candidate.out = ep.bEndpointAddress;
      }
    }
    if (candidate.in == 0 || candidate.out == 0) continue;
    if (alt.bInterfaceClass == LIBUSB_CLASS_VENDOR_SPEC) {
      *found = candidate;
      haveVendor = true;
    } else if (anyClass.number < 0) {
      anyClass = candidate;
    }
  }
  libusb_free_config_descriptor(config);
  if (haveVendor) return true;
  if (anyClass.number < 0) return false;
  *found = anyClass;
  return true;
}

std::shared_ptr<UsbDeviceHandle> UsbDeviceHandle::Open(std::shared_ptr<libusb_context> context,
                                                       libusb_device* device, int* error) {
  int ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = LIBUSB_ERROR_NOT_FOUND;
  UsbAdapterInterface itf;
  if (device == nullptr || !FindAdapterInterface(device, &itf)) return nullptr;
  std::shared_ptr<UsbDeviceHandle> h(new UsbDeviceHandle());
  h->context_ = std::move(context);
  h->device_ = libusb_ref_device(device);
  if ((*error = libusb_open(device, &h->handle_)) != 0) {
    h->handle_ = nullptr;
    return nullptr;
  }
  // Where the platform supports it, a kernel driver bound to the interface is detached
  // while we hold it and given back on release.
  libusb_set_auto_detach_kernel_driver(h->handle_, 1);
  if ((*error = libusb_claim_interface(h->handle_, itf.number)) != 0) return nullptr;
  h->interface_ = itf.number;
  h->out_ = itf.out;
  h->in_ = itf.in;
  h->inPacketSize_ = itf.inPacketSize;
  return h;
}

UsbDeviceHandle::~UsbDeviceHandle() {
  if (handle_ != nullptr) {
    if (interface_ >= 0) libusb_release_interface(handle_, interface_);
    libusb_close(handle_);
  }
  if (device_ != nullptr) libusb_unref_device(device_);
}

}  // namespace kestrel
