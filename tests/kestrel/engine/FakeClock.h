#pragma once
// A clock that only counts: sleeps return at once and move the time on. Shared by the
// slot workers, so it is atomic; the recorded sleeps are for single-slot tests.
#include <atomic>
#include <mutex>
#include <vector>

#include "core/Clock.h"

namespace kestrel::test {

class FakeClock : public Clock {
 public:
  int64_t NowMs() override { return now_.load(); }
  void SleepMs(int ms) override {
    Advance(ms);
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(ms);
  }
  void Advance(int64_t ms) { now_ += ms; }
  std::vector<int> Sleeps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return sleeps_;
  }
  void ClearSleeps() {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.clear();
  }

 private:
  std::atomic<int64_t> now_{1000};
  mutable std::mutex mutex_;
  std::vector<int> sleeps_;
};

}  // namespace kestrel::test
