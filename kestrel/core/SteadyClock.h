#pragma once
#include "core/Clock.h"

namespace kestrel {

// The real clock: std::chrono::steady_clock and std::this_thread::sleep_for.
class SteadyClock : public Clock {
 public:
  int64_t NowMs() override;
  void SleepMs(int ms) override;
};

}  // namespace kestrel
