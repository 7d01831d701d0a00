#pragma once
// Messages raised during an operation are held and delivered, in order, after the
// operation has returned, so a modal message box never opens while the core is in
// the middle of a change (and a click in the window behind it cannot re-enter it).
//
// How a view uses it: nothing to do. CTesseraView holds its operations' messages in
// its queue and hands them to the view's MessageSink when the outermost operation
// ends. A message raised while nothing is held (a dialog model used on its own) goes
// straight through. A message raised while the sink is showing an earlier one (a
// nested event loop) joins the queue and is shown after it.
#include <deque>
#include <string>

#include "tessera/core/common/MessageSink.h"

namespace tessera {

class MessageQueue : public MessageSink {
 public:
  explicit MessageQueue(MessageSink& target) : target_(target) {}

  void Show(const std::string& text) override;
  // Holds messages until the matching Release; holds nest.
  void Hold() { ++holds_; }
  // Ends one hold; the last one delivers what is queued, in order.
  void Release();
  bool Held() const { return holds_ > 0; }
  size_t Pending() const { return queue_.size(); }

 private:
  void Deliver();
  MessageSink& target_;
  std::deque<std::string> queue_;
  int holds_ = 0;
  bool delivering_ = false;
};

}  // namespace tessera
