#include "ModelAdapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrel::test {

namespace {

class ModelEndpoint : public Endpoint {
 public:
  explicit ModelEndpoint(ModelAdapter& adapter) : adapter_(adapter) {}
  bool Write(const uint8_t* data, size_t length, size_t* written) override {
    return adapter_.Write(data, length, written);
  }
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override {
    return adapter_.Read(buffer, length, received, timeoutMs);
  }

 private:
  ModelAdapter& adapter_;
};

}  // namespace

void ModelAdapter::Fault(const std::string& setting) {
  std::string error;
  EXPECT_TRUE(model.SetFault(setting, &error)) << setting << ": " << error;
}

int ModelAdapter::Commands(uint8_t op) const {
  return static_cast<int>(
      std::count_if(writes.begin(), writes.end(), [op](const auto& w) { return !w.empty() && w[0] == op; }));
}

std::unique_ptr<Endpoint> ModelAdapter::MakeEndpoint() { return std::make_unique<ModelEndpoint>(*this); }

bool ModelAdapter::Write(const uint8_t* data, size_t length, size_t* written) {
  *written = 0;
  if (model.gone()) return false;
  writes.emplace_back(data, data + length);
  if (onProgramStart && length == 64 && data[0] == 0xA9) onProgramStart();
  if (!model.Write(data, length)) return false;
  *written = length;
  return true;
}

bool ModelAdapter::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
  readsAsked.push_back(length);
  *received = 0;
  // A gate the test never opens fails the read after a minute instead of hanging.
  const auto gateDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (gate != nullptr && !gate->load()) {
    if (std::chrono::steady_clock::now() > gateDeadline) {
      ADD_FAILURE() << "the read gate stayed closed for a minute";
      return false;
    }
    std::this_thread::yield();
  }
  switch (model.Read(buffer, length, received)) {
    case sim::InProcessAdapter::ReadResult::kData:
      return true;
    case sim::InProcessAdapter::ReadResult::kNothing:
      clock_.Advance(timeoutMs);  // nothing to hand over: the attempt waits out its time
      return false;
    case sim::InProcessAdapter::ReadResult::kFailed:
      break;
  }
  return false;  // a failed transfer or a removed adapter fails at once
}

}  // namespace kestrel::test
