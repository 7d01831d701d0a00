#pragma once
// An adapter with its board, in process: answers the command packets as the adapter
// does, keeps the board's flash, logs every transfer and can be told to misbehave.
// Each instance is used by one slot worker at a time; tests look at it after the
// operation has ended.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Transport.h"
#include "FakeClock.h"

namespace kestrel::test {

class FakeAdapter {
 public:
  explicit FakeAdapter(FakeClock& clock, size_t flashSize = 0x100000) : flash(flashSize, 0x5A), clock_(clock) {}

  // --- behaviour (set before the operation) ---
  std::vector<uint8_t> connectReply{0xEE, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> eraseReply{0xEE, 0x00};
  std::string instanceId = "inst";
  bool deviceOpens = true;
  bool outPipeOpens = true;
  bool inPipeOpens = true;
  int failReads = 0;            // the next n read attempts fail
  int dropDataPacket = -1;      // the data packet with this index (0 = first AA/AB) is lost
  long flipByteAt = -1;         // this flash byte is flipped once programming ends
  long vanishAfterBytes = -1;   // after this many bytes moved in both directions, the adapter is gone
  size_t maxReadChunk = 4096;   // the adapter hands over at most this much per read
  std::atomic<bool>* gate = nullptr;  // when set, reads wait until it turns true
  std::function<void()> onProgramStart;  // called when a start packet arrives

  // --- what happened ---
  std::vector<uint8_t> flash;
  std::vector<std::vector<uint8_t>> writes;  // every write, as sent
  std::vector<size_t> readsAsked;            // length of every read attempt
  int connects = 0, releases = 0, erases = 0;

  bool Write(const uint8_t* data, size_t length, size_t* written);
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs);
  bool Gone() const { return vanishAfterBytes >= 0 && moved_ >= vanishAfterBytes; }
  long Moved() const { return moved_; }  // bytes moved so far, both directions
  std::unique_ptr<Endpoint> MakeEndpoint();

 private:
  void Command(const uint8_t* packet, size_t length);
  void ProgramPacket(const uint8_t* packet);
  void Queue(const std::vector<uint8_t>& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

  FakeClock& clock_;
  std::deque<uint8_t> pending_;
  long moved_ = 0;
  bool programming_ = false;
  size_t programLength_ = 0;
  size_t programOffset_ = 0;
  int dataPackets_ = 0;
};

}  // namespace kestrel::test
