#pragma once
// Time as the download engine sees it: the fixed waits of the adapter protocol and the
// bounds on retried reads. Production uses SteadyClock; tests pass a clock that only
// counts, so the waits cost no real time.
#include <chrono>
#include <cstdint>

namespace kestrel {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on a monotonic scale; only differences mean anything.
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int ms) = 0;
  // Milliseconds since 1970 (UTC), for the production log's time column.
  virtual int64_t WallTimeMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace kestrel
