#include "core/AdapterSlot.h"

#include <algorithm>

namespace kestrel {

void AdapterSlot::SetDevice(std::unique_ptr<Endpoint> device) {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  device_ = std::move(device);
}

void AdapterSlot::CloseDevice() {
  std::unique_ptr<Endpoint> closing;
  {
    std::lock_guard<std::mutex> lock(deviceMutex_);
    closing = std::move(device_);
  }
}

bool AdapterSlot::DeviceUsable() const {
  std::lock_guard<std::mutex> lock(deviceMutex_);
  return device_ != nullptr;
}

TransportResult AdapterSlot::PipeWrite(const uint8_t* data, size_t length, size_t* written) {
  if (data == nullptr || written == nullptr) return TransportResult::kBadPointer;
  if (!outPipe_) return TransportResult::kInvalidHandle;
  if (length == 0 || length > kMaxTransfer) return TransportResult::kBadLength;
  *written = 0;
  size_t taken = 0;
  if (!outPipe_->Write(data, length, &taken)) return TransportResult::kWriteFailed;
  *written = std::min(taken, length);
  return TransportResult::kDone;
}

TransportResult AdapterSlot::PipeRead(uint8_t* buffer, size_t length, size_t* received,
                                      Clock& clock, const ReadLimits& limits, int waitMs) {
  if (buffer == nullptr || received == nullptr) return TransportResult::kBadPointer;
  if (!inPipe_) return TransportResult::kInvalidHandle;
  if (length == 0 || length > kMaxTransfer) return TransportResult::kBadLength;
  *received = 0;
  const int64_t start = clock.NowMs();
  int64_t firstFailure = -1;
  bool failed = false;
  for (;;) {
    const int64_t waited = clock.NowMs() - start;
    const int remaining = static_cast<int>(std::max<int64_t>(1, waitMs - waited));
    size_t got = 0;
    if (inPipe_->Read(buffer, length, &got, remaining)) {
      *received = std::min(got, length);
      return failed ? TransportResult::kReadFailed : TransportResult::kDone;
    }
    failed = true;
    const int64_t now = clock.NowMs();
    if (firstFailure < 0) firstFailure = now;
    if (now - start >= waitMs || now - firstFailure >= limits.errorRetryMs) {
      return TransportResult::kReadFailed;
    }
    clock.SleepMs(limits.retryPauseMs);
  }
}

}  // namespace kestrel
