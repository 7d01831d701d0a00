#pragma once
// The RF page's hopping timer as the page model sees it. The window runs it on a Qt
// timer; tests drive it from a clock they advance themselves.
namespace tessera::link {

class HopTimer {
 public:
  virtual ~HopTimer() = default;
  // (Re)starts the periodic tick; a running timer starts its period again.
  virtual void Start(int periodMs) = 0;
  virtual void Stop() = 0;
};

}  // namespace tessera::link
