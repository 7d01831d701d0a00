#include "InProcessAdapter.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "transport/sim/SimWire.h"

namespace kestrel::sim {

InProcessAdapter::InProcessAdapter(size_t flashSize) {
  std::string error;
  if (!board_.Create(std::string(), flashSize, 0, &error)) throw std::runtime_error("in-process flash: " + error);
}

bool InProcessAdapter::SetFault(const std::string& setting, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ApplyFault(&faults_, setting, error)) return false;
  if (setting.rfind("vanish=", 0) == 0) {
    traffic_ = 0;
    gone_ = faults_.vanishAfter == 0;
  }
  return true;
}

size_t InProcessAdapter::Admit(size_t bytes) {
  size_t allowed = bytes;
  if (faults_.vanishAfter >= 0) {
    const auto limit = static_cast<uint64_t>(faults_.vanishAfter);
    allowed = static_cast<size_t>(std::min<uint64_t>(bytes, traffic_ >= limit ? 0 : limit - traffic_));
  }
  traffic_ += allowed;
  if (allowed < bytes || (faults_.vanishAfter >= 0 && traffic_ >= static_cast<uint64_t>(faults_.vanishAfter))) {
    gone_ = true;
    board_.AbandonProgramming();
  }
  return allowed;
}

bool InProcessAdapter::Write(const uint8_t* data, size_t length) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (gone_) return false;
  // The part that crossed before the adapter went away still reaches it.
  const size_t allowed = Admit(length);
  const bool vanished = allowed < length;
  if (allowed > 0) board_.HandleTransfer(data, allowed, *this);
  return !vanished;
}

InProcessAdapter::ReadResult InProcessAdapter::Read(uint8_t* buffer, size_t length, size_t* received) {
  std::lock_guard<std::mutex> lock(mutex_);
  *received = 0;
  if (in_.empty()) return gone_ ? ReadResult::kFailed : ReadResult::kNothing;
  Transfer& t = in_.front();
  if (t.failed) {
    in_.pop_front();
    return ReadResult::kFailed;
  }
  const size_t n = std::min(length, t.data.size() - inPos_);
  std::memcpy(buffer, t.data.data() + inPos_, n);
  inPos_ += n;
  *received = n;
  if (inPos_ >= t.data.size()) {
    in_.pop_front();
    inPos_ = 0;
  }
  return ReadResult::kData;
}

bool InProcessAdapter::Send(uint8_t status, const uint8_t* data, size_t length) {
  // Called by the board inside Write, with mutex_ held.
  if (gone_) return false;
  const size_t allowed = Admit(length);
  if (allowed > 0 || allowed == length) {
    Transfer t;
    t.failed = status != simwire::kWireData;
    if (allowed > 0) t.data.assign(data, data + allowed);
    if (t.failed || !t.data.empty()) in_.push_back(std::move(t));
  }
  return !gone_;
}

bool InProcessAdapter::Wait(int /*ms*/) { return !gone_; }

bool InProcessAdapter::TakeReadFailure(int transfer) {
  if (transfer == 0) {
    const bool fail = faults_.replyFailOnce;
    faults_.replyFailOnce = false;
    return fail;
  }
  if (faults_.readFailOnce != transfer) return false;
  faults_.readFailOnce = 0;
  return true;
}

bool InProcessAdapter::gone() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return gone_;
}

uint64_t InProcessAdapter::traffic() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return traffic_;
}

void InProcessAdapter::LoadFlash(const std::vector<uint8_t>& contents) {
  std::lock_guard<std::mutex> lock(mutex_);
  board_.LoadFlash(contents.data(), contents.size());
}

std::vector<uint8_t> InProcessAdapter::Flash() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> out(board_.flash().size());
  for (size_t i = 0; i < out.size(); ++i) out[i] = board_.flash().Read(i);
  return out;
}

}  // namespace kestrel::sim
