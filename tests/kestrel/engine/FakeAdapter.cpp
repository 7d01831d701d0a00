#include "FakeAdapter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrel::test {

namespace {

class FakeEndpoint : public Endpoint {
 public:
  explicit FakeEndpoint(FakeAdapter& adapter) : adapter_(adapter) {}
  bool Write(const uint8_t* data, size_t length, size_t* written) override {
    return adapter_.Write(data, length, written);
  }
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override {
    return adapter_.Read(buffer, length, received, timeoutMs);
  }

 private:
  FakeAdapter& adapter_;
};

uint32_t Le(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

std::unique_ptr<Endpoint> FakeAdapter::MakeEndpoint() { return std::make_unique<FakeEndpoint>(*this); }

bool FakeAdapter::Write(const uint8_t* data, size_t length, size_t* written) {
  if (Gone()) return false;
  writes.emplace_back(data, data + length);
  moved_ += static_cast<long>(length);
  *written = length;
  if (programming_) {
    for (size_t at = 0; at + 64 <= length && programming_; at += 64) ProgramPacket(data + at);
    return true;
  }
  Command(data, length);
  return true;
}

bool FakeAdapter::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
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
  if (Gone()) return false;  // a removed adapter fails at once
  if (failReads > 0) {
    --failReads;
    return false;
  }
  if (pending_.empty()) {
    clock_.Advance(timeoutMs);  // nothing to send: the attempt waits out its time
    return false;
  }
  size_t n = std::min({length, pending_.size(), maxReadChunk});
  if (vanishAfterBytes >= 0) n = std::min<size_t>(n, static_cast<size_t>(vanishAfterBytes - moved_));
  std::copy_n(pending_.begin(), n, buffer);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
  moved_ += static_cast<long>(n);
  *received = n;
  return n > 0;
}

void FakeAdapter::Command(const uint8_t* p, size_t length) {
  switch (p[0]) {
    case 0xA3:
      ++connects;
      Queue(connectReply);
      break;
    case 0xA4:
      ++releases;
      Queue({0xEE, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0});
      break;
    case 0xA5:
      ++erases;
      std::fill(flash.begin(), flash.end(), 0xFF);
      Queue(eraseReply);
      break;
    case 0xA2:
      Queue(length == 9 ? std::vector<uint8_t>{0xEE, 0x00} : std::vector<uint8_t>{0xEE, 0, 0, 0, 0});
      break;
    case 0xA9:
      if (length != 64) break;
      if (onProgramStart) onProgramStart();
      programLength_ = Le(p + 1, 3);
      programOffset_ = std::min<size_t>(60, programLength_);
      std::copy_n(p + 4, std::min(programOffset_, flash.size()), flash.begin());
      dataPackets_ = 0;
      programming_ = programOffset_ < programLength_;
      break;
    case 0xAC: {
      const size_t n = std::min<size_t>(Le(p + 1, 3), flash.size());
      pending_.insert(pending_.end(), flash.begin(), flash.begin() + static_cast<long>(n));
      break;
    }
    default:
      break;
  }
  if (!programming_ && p[0] == 0xA9 && flipByteAt >= 0) flash[static_cast<size_t>(flipByteAt)] ^= 0x01;
}

void FakeAdapter::ProgramPacket(const uint8_t* packet) {
  const bool last = packet[0] == 0xAB;
  const size_t n = last ? programLength_ - programOffset_ : 60;
  if (dataPackets_++ != dropDataPacket) {
    for (size_t i = 0; i < n && programOffset_ + i < flash.size(); ++i) flash[programOffset_ + i] = packet[1 + i];
  }
  programOffset_ += n;
  if (last || programOffset_ >= programLength_) {
    programming_ = false;
    if (flipByteAt >= 0) flash[static_cast<size_t>(flipByteAt)] ^= 0x01;
  }
}

}  // namespace kestrel::test
