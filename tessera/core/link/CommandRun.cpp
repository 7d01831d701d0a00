#include "tessera/core/link/CommandRun.h"

namespace tessera::link {

CommandRun::CommandRun(std::vector<Outgoing> commands, std::function<void(const Outgoing&)> send,
                       LinkTimer& timeout, int timeoutMs)
    : commands_(std::move(commands)), send_(std::move(send)), timeout_(timeout), timeoutMs_(timeoutMs) {}

void CommandRun::Start() {
  next_ = 0;
  SendNext();
}

std::string CommandRun::Shown() const {
  std::string shown = commands_[next_].wire;
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  return shown;
}

void CommandRun::SendNext() {
  if (next_ >= commands_.size()) {
    timeout_.Stop();
    outcome_ = Outcome::kAllAnswered;
    return;
  }
  totalBefore_ = replies_.total();
  failedBefore_ = replies_.failed();
  timeout_.Start(timeoutMs_);
  send_(commands_[next_]);
}

void CommandRun::BytesArrived(std::string_view bytes) {
  replies_.Feed(bytes);
  if (outcome_ != Outcome::kRunning || replies_.total() == totalBefore_) return;
  const bool refused = replies_.failed() > failedBefore_;
  answered_.push_back(Shown() + " -> " + (refused ? "CMD FAIL!" : "CMD OK!"));
  if (refused) {
    timeout_.Stop();
    outcome_ = Outcome::kRefused;
    return;
  }
  ++next_;
  SendNext();
}

void CommandRun::TimedOut() {
  if (outcome_ != Outcome::kRunning) return;
  error_ = Shown() + ": no answer within " + std::to_string(timeoutMs_) + " ms";
  outcome_ = Outcome::kNoAnswer;
}

void CommandRun::PortLost() {
  if (outcome_ != Outcome::kRunning) return;
  timeout_.Stop();
  error_ = Shown() + ": the port went away";
  outcome_ = Outcome::kPortLost;
}

}  // namespace tessera::link
