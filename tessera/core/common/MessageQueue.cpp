#include "tessera/core/common/MessageQueue.h"

namespace tessera {

void MessageQueue::Show(const std::string& text) {
  queue_.push_back(text);
  if (holds_ == 0) Deliver();
}

void MessageQueue::Release() {
  if (holds_ > 0) --holds_;
  if (holds_ == 0) Deliver();
}

void MessageQueue::Deliver() {
  // A sink that runs an event loop may let the user start another operation, whose
  // messages then join this queue: the loop below shows them after the current one.
  if (delivering_) return;
  delivering_ = true;
  while (!queue_.empty() && holds_ == 0) {
    std::string text = std::move(queue_.front());
    queue_.pop_front();
    target_.Show(text);
  }
  delivering_ = false;
}

}  // namespace tessera
