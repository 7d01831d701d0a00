#pragma once
// A download adapter with its board inside the host's process: the same command set and
// faults as the simulator's socket adapters (SimBoard, ApplyFault), with transfers
// handed over by call. Behind an in-process transport the engine talks to the adapter
// model itself, so an engine test that fails means the engine and the model disagree.
//
// Transfers keep their boundaries as on a bulk pipe: each OUT call is one transfer to
// the adapter; each answer is one IN transfer, of which a read takes at most what it
// asked for and the next read takes the rest. Safe to call from several threads.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "SimBoard.h"
#include "SimOptions.h"

namespace kestrel::sim {

class InProcessAdapter : private SimBoard::Link {
 public:
  enum class ReadResult { kData, kNothing, kFailed };

  explicit InProcessAdapter(size_t flashSize = 0x100000);
  InProcessAdapter(const InProcessAdapter&) = delete;
  InProcessAdapter& operator=(const InProcessAdapter&) = delete;

  // One fault setting in the simulator's grammar. Setting vanish= plugs a vanished
  // adapter back in and counts its traffic from zero.
  bool SetFault(const std::string& setting, std::string* error);

  // One OUT transfer; false (nothing taken) when the adapter is gone.
  bool Write(const uint8_t* data, size_t length);
  // Up to length bytes of the next IN transfer. kNothing: no transfer is waiting;
  // kFailed: the transfer failed on the bus, or the adapter is gone and nothing it sent
  // before is left.
  ReadResult Read(uint8_t* buffer, size_t length, size_t* received);

  bool gone() const;
  // Bytes that crossed the pipes, both directions, since the last vanish= setting.
  uint64_t traffic() const;
  std::vector<uint8_t> Flash() const;
  // The board's flash as it arrives (up to the flash's size).
  void LoadFlash(const std::vector<uint8_t>& contents);

 private:
  struct Transfer {
    bool failed = false;
    std::vector<uint8_t> data;
  };

  bool Send(uint8_t status, const uint8_t* data, size_t length) override;
  bool Wait(int ms) override;
  BoardFaults Faults() override { return faults_; }
  bool TakeReadFailure(int transfer) override;
  // Counts traffic toward the vanish fault; how many of bytes may still pass.
  size_t Admit(size_t bytes);

  mutable std::mutex mutex_;
  SimBoard board_;
  BoardFaults faults_;
  std::deque<Transfer> in_;
  size_t inPos_ = 0;  // taken of in_.front()
  uint64_t traffic_ = 0;
  bool gone_ = false;
};

}  // namespace kestrel::sim
