#pragma once
// One slot: a download adapter and the board wired to it. Holds the three endpoints
// opened for the current operation and moves raw packets over the two pipes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/Clock.h"
#include "core/ReadLimits.h"
#include "core/Transport.h"

namespace kestrel {

class AdapterSlot {
 public:
  AdapterSlot() = default;
  AdapterSlot(const AdapterSlot&) = delete;
  AdapterSlot& operator=(const AdapterSlot&) = delete;

  // Handles are replaced by each operation's opening step; a null endpoint is "none".
  void SetDevice(std::unique_ptr<Endpoint> device);
  void SetOutPipe(std::unique_ptr<Endpoint> pipe) { outPipe_ = std::move(pipe); }
  void SetInPipe(std::unique_ptr<Endpoint> pipe) { inPipe_ = std::move(pipe); }
  // "USB Reset": the device handle only; the pipes stay open.
  void CloseDevice();
  bool DeviceUsable() const;
  bool HasOutPipe() const { return outPipe_ != nullptr; }
  bool HasInPipe() const { return inPipe_ != nullptr; }

  // Checks in this order: pointers (6), out-pipe handle (1), length 1..4096 (7); then one
  // write of the whole length. Failure gives 4 at once.
  TransportResult PipeWrite(const uint8_t* data, size_t length, size_t* written);
  // Same checks on the in pipe; then reads until one attempt delivers. A failed attempt is
  // repeated for at most limits.errorRetryMs, and nothing is waited for beyond waitMs in
  // all; giving up leaves *received at 0. Any failed attempt makes the answer 2, even
  // when a later one delivered.
  TransportResult PipeRead(uint8_t* buffer, size_t length, size_t* received, Clock& clock,
                           const ReadLimits& limits, int waitMs);

 private:
  // The device handle is looked at by the slot's worker and closed by "USB Reset" on the
  // user-interface thread, so it is guarded; the pipes are set only while no worker runs.
  mutable std::mutex deviceMutex_;
  std::unique_ptr<Endpoint> device_;
  std::unique_ptr<Endpoint> outPipe_;
  std::unique_ptr<Endpoint> inPipe_;
};

}  // namespace kestrel
