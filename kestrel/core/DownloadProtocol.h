#pragma once
// The adapter's command set and the three per-slot sequences (burn, read 512 KiB, chip
// erase). One instance serves one slot for one operation, on that slot's worker thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/AdapterSlot.h"
#include "core/Clock.h"
#include "core/EngineEvents.h"
#include "core/ProductionState.h"
#include "core/ReadLimits.h"
#include "core/SlotResult.h"

namespace kestrel {

// Opcodes: every packet to the adapter starts with one.
enum Opcode : uint8_t {
  kOpWriteRegister = 0xA2,
  kOpConnect = 0xA3,
  kOpRelease = 0xA4,
  kOpEraseChip = 0xA5,
  kOpProgramStart = 0xA9,
  kOpProgramData = 0xAA,
  kOpProgramLast = 0xAB,
  kOpReadFlash = 0xAC,
};

constexpr uint8_t kAck = 0xEE;             // byte 0 of an acknowledging reply
constexpr uint8_t kConnectConfirmed = 0x03; // byte 1 of the reply to Connect
constexpr size_t kPacketLength = 64;
constexpr size_t kPacketPayload = 60;
constexpr size_t kBatchLength = 2048;      // 32 packets per write
constexpr size_t kReadChunk = 2048;
constexpr uint32_t kReadLength512K = 0x80000;
constexpr int kPollReads = 32;
// Fixed waits the adapter needs.
constexpr int kConnectPauseBeforeMs = 50;
constexpr int kConnectPauseAfterMs = 1;
constexpr int kErasePauseAfterMs = 5;
constexpr int kProgramToReadbackMs = 75;

class DownloadProtocol {
 public:
  DownloadProtocol(int slotIndex, AdapterSlot& slot, ProductionState& state, Clock& clock,
                   EngineEvents& events, const ReadLimits& limits, std::string readbackDir);

  // Reads replies into reply (at least 4 bytes) until byte 0 shows 0xEE, a read fails,
  // or 32 reads were made. True when the last read answered yes.
  bool PollReply(uint8_t* reply, size_t length, size_t clearCount, int pauseBeforeMs,
                 int pauseAfterMs, int waitMs);
  bool Connect();
  bool Release();
  SlotResult EraseChip();
  SlotResult WriteRegister(uint32_t address, uint32_t value);
  SlotResult WriteShortWord(uint32_t word);
  // Fills buffer with length flash bytes from address 0 and stores them in the slot's
  // read-back file. 5: the file cannot be created; 3: the adapter stopped answering.
  // The file is replaced only by a complete read: until then the previous one stays.
  SlotResult ReadFlash(uint8_t* buffer, uint32_t length, ProgressPhase phase = ProgressPhase::kRead);
  // Where a burn of an image with a record gets its board's address: asked once, after
  // Connect and before anything is erased. Anything but kDone ends the burn there.
  using AddressSource = std::function<SlotResult(BtAddress*)>;
  void SetAddressSource(AddressSource source) { addressSource_ = std::move(source); }
  // Programs a copy of the image loaded into the state (never the file as it is now),
  // patched with this slot's name and address, and verifies against that copy. An image
  // with a record takes its address from the address source first when it has none yet.
  SlotResult ProgramFlash();
  // The address this burn put into the board's copy; false when it had none.
  bool AddressUsed(BtAddress* address) const {
    if (hasAddress_) *address = address_;
    return hasAddress_;
  }
  // Program data (the start packet on) was offered to the board: its flash may hold the address.
  bool ProgramDataSent() const { return programDataSent_; }
  // The erase got the adapter's 0xEE answer.
  bool EraseConfirmed() const { return eraseConfirmed_; }

  SlotResult BurnSequence();
  SlotResult ReadSequence();
  // Connect, EraseChip and Release are each sent whatever the previous one answered.
  // 3 unusable adapter or erase not sent, 9 Connect not confirmed, 13 no 0xEE answer to
  // the erase, else 0.
  SlotResult EraseSequence();

  std::string ReadbackPath() const;
  // The register writes that follow the program data, in order.
  static const std::vector<std::pair<uint32_t, uint32_t>>& ProgramRegisters();

 private:
  bool Send(const uint8_t* data, size_t length);
  void Range(ProgressPhase phase, uint32_t maximum);  // announces a phase
  // Builds the 2048-byte batches of program-data packets and sends them.
  SlotResult SendImage(const std::vector<uint8_t>& copy, uint32_t length);

  int slotIndex_;
  AdapterSlot& slot_;
  ProductionState& state_;
  Clock& clock_;
  EngineEvents& events_;
  ReadLimits limits_;
  std::string readbackDir_;
  ProgressPhase lastPhase_ = ProgressPhase::kProgram;
  bool TakeAddress();  // from the source; false with result_ set
  bool Patches() const;

  AddressSource addressSource_;
  SlotResult addressResult_ = SlotResult::kDone;
  bool hasAddress_ = false;
  BtAddress address_;
  bool programDataSent_ = false;
  bool eraseConfirmed_ = false;
};

}  // namespace kestrel
