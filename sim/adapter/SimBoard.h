#pragma once
// The adapter's command set over its board's flash, apart from how transfers travel:
// SimAdapter carries transfers over its socket and hands each one to HandleTransfer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "SimFlash.h"
#include "SimOptions.h"

namespace kestrel::sim {

class SimBoard {
 public:
  // What the board needs from the adapter around it.
  class Link {
   public:
    virtual ~Link() = default;
    // One IN transfer to the host (status byte of the wire format, then data); false
    // when the adapter went away meanwhile.
    virtual bool Send(uint8_t status, const uint8_t* data, size_t length) = 0;
    // Waits ms; false when the adapter went away meanwhile.
    virtual bool Wait(int ms) = 0;
    virtual BoardFaults Faults() = 0;
    // True (once) when the given data transfer of a ReadFlash reply is to fail; transfer
    // 0 is the answer to a command.
    virtual bool TakeReadFailure(int transfer) = 0;
  };

  // Creates (or truncates) the flash file at size bytes, erased; an empty path keeps the
  // flash in memory.
  bool Create(const std::string& flashPath, size_t flashSize, int eraseMs, std::string* error);
  // Carries out the commands of one OUT transfer; false when the link broke.
  bool HandleTransfer(const uint8_t* data, size_t length, Link& link);
  // A pulled adapter forgets a programming run it had not finished.
  void AbandonProgramming() { programming_ = false; }
  const SimFlash& flash() const { return flash_; }
  void LoadFlash(const uint8_t* contents, size_t length) { flash_.Load(contents, length); }

 private:
  bool Reply(Link& link, const uint8_t* bytes, size_t length);
  bool SendFlash(Link& link, uint64_t length);
  void ProgramPacket(const uint8_t* packet, Link& link);
  void FinishProgramming(Link& link);

  SimFlash flash_;
  int eraseMs_ = 0;
  bool programming_ = false;
  uint64_t progLength_ = 0;
  uint64_t progOffset_ = 0;
  long dataPackets_ = 0;
};

}  // namespace kestrel::sim
