#include "transport/usb/UsbEndpoint.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

int UsbEndpoint::Transfer(uint8_t endpoint, uint8_t* data, int length, int* transferred, unsigned timeoutMs) {
  *transferred = 0;
  if (stalled_) return LIBUSB_ERROR_PIPE;
  int r = libusb_bulk_transfer(device_->handle(), endpoint, data, length, transferred, timeoutMs);
  if (r != LIBUSB_ERROR_PIPE) return r;
  // A stall holds the endpoint until its halt is cleared; then the transfer goes again.
  if (libusb_clear_halt(device_->handle(), endpoint) == 0) {
    r = libusb_bulk_transfer(device_->handle(), endpoint, data, length, transferred, timeoutMs);
    if (r != LIBUSB_ERROR_PIPE) return r;
  }
  stalled_ = true;
  if (notice_ && *notice_) {
    (*notice_)("adapter " + devicePath_ + ": the " + (kind_ == Kind::kOut ? "out" : "in") +
               " pipe stalled again after its halt was cleared; the slot gives up");
  }
  return r;
}

bool UsbEndpoint::Write(const uint8_t* data, size_t length, size_t* written) {
  if (written == nullptr) return false;
  *written = 0;
  if (kind_ != Kind::kOut || data == nullptr || length == 0 || length > kMaxTransfer) return false;
  int transferred = 0;
  // libusb takes a non-const buffer for both directions; an OUT transfer only reads it.
  int r = Transfer(device_->outEndpoint(), const_cast<uint8_t*>(data), static_cast<int>(length), &transferred,
                   kWriteTimeoutMs);
  *written = static_cast<size_t>(std::max(transferred, 0));
  return r == 0;
}

bool UsbEndpoint::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
  if (received == nullptr) return false;
  *received = 0;
  if (kind_ != Kind::kIn || buffer == nullptr || length == 0 || length > kMaxTransfer) return false;
  if (pendingPos_ >= pending_.size()) {
    const size_t packet = std::max<size_t>(device_->inPacketSize(), 1);
    const size_t ask = (length + packet - 1) / packet * packet;
    pending_.assign(ask, 0);
    pendingPos_ = 0;
    int got = 0;
    // libusb's 0 means no limit; a negative timeout asks for that.
    unsigned timeout = timeoutMs < 0 ? 0u : static_cast<unsigned>(std::max(timeoutMs, 1));
    int r = Transfer(device_->inEndpoint(), pending_.data(), static_cast<int>(ask), &got, timeout);
    pending_.resize(static_cast<size_t>(std::max(got, 0)));
    // Data that came before a timeout is delivered; any other error fails the read.
    if (r != 0 && !(r == LIBUSB_ERROR_TIMEOUT && got > 0)) {
      pending_.clear();
      return false;
    }
  }
  size_t n = std::min(length, pending_.size() - pendingPos_);
  std::memcpy(buffer, pending_.data() + pendingPos_, n);
  pendingPos_ += n;
  *received = n;
  return true;
}

}  // namespace kestrel
