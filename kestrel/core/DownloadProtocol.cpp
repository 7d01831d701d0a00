#include "core/DownloadProtocol.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "core/ImageFile.h"
#include "qrplatform/Files.h"
#include "qrplatform/Utf8Path.h"

namespace kestrel {

namespace {

void PutLe(uint8_t* at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

DownloadProtocol::DownloadProtocol(int slotIndex, AdapterSlot& slot, ProductionState& state,
                                   Clock& clock, EngineEvents& events, const ReadLimits& limits,
                                   std::string readbackDir)
    : slotIndex_(slotIndex),
      slot_(slot),
      state_(state),
      clock_(clock),
      events_(events),
      limits_(limits),
      readbackDir_(std::move(readbackDir)) {}

const std::vector<std::pair<uint32_t, uint32_t>>& DownloadProtocol::ProgramRegisters() {
  // Set up by the adapter after the program data; their meaning is the adapter's business.
  static const std::vector<std::pair<uint32_t, uint32_t>> registers = {
      {0x0080101C, 8}, {0x00801010, 1}, {0x00801018, 2},
      {0x00801014, 60}, {0x00801004, 4}, {0x00801008, 1},
  };
  return registers;
}

void DownloadProtocol::Range(ProgressPhase phase, uint32_t maximum) {
  lastPhase_ = phase;
  events_.ProgressRange(slotIndex_, phase, maximum);
}

bool DownloadProtocol::Send(const uint8_t* data, size_t length) {
  size_t written = 0;
  if (slot_.PipeWrite(data, length, &written) != TransportResult::kDone) return false;
  // A one-byte command counts as sent on a yes; longer packets only when all went out.
  return length == 1 || written == length;
}

bool DownloadProtocol::PollReply(uint8_t* reply, size_t length, size_t clearCount,
                                 int pauseBeforeMs, int pauseAfterMs, int waitMs) {
  std::memset(reply, 0, clearCount);
  size_t got = 0;
  clock_.SleepMs(pauseBeforeMs);
  bool lastOk = slot_.PipeRead(reply, length, &got, clock_, limits_, waitMs) == TransportResult::kDone;
  for (int reads = 1; reads < kPollReads && reply[0] != kAck && lastOk; ++reads) {
    clock_.SleepMs(pauseBeforeMs);
    lastOk = slot_.PipeRead(reply, length, &got, clock_, limits_, waitMs) == TransportResult::kDone;
    clock_.SleepMs(pauseAfterMs);
  }
  return lastOk;
}

bool DownloadProtocol::Connect() {
  const uint8_t packet = kOpConnect;
  if (!Send(&packet, 1)) return false;
  uint8_t reply[11] = {};
  PollReply(reply, sizeof reply, 2, kConnectPauseBeforeMs, kConnectPauseAfterMs, limits_.replyWaitMs);
  return reply[1] == kConnectConfirmed;
}

bool DownloadProtocol::Release() {
  const uint8_t packet = kOpRelease;
  if (!Send(&packet, 1)) return false;
  uint8_t reply[11] = {};
  PollReply(reply, sizeof reply, 2, kConnectPauseBeforeMs, kConnectPauseAfterMs, limits_.replyWaitMs);
  return true;
}

SlotResult DownloadProtocol::EraseChip() {
  const uint8_t packet = kOpEraseChip;
  if (!Send(&packet, 1)) return SlotResult::kAdapterUnusable;
  Range(ProgressPhase::kErase, 0);
  uint8_t reply[4] = {};
  // The adapter answers once the chip is erased. A burn goes on without that answer (the
  // verification finds an unerased flash); a chip erase reports it.
  PollReply(reply, 2, 4, 0, kErasePauseAfterMs, limits_.eraseWaitMs);
  eraseConfirmed_ = reply[0] == kAck;
  return SlotResult::kDone;
}

SlotResult DownloadProtocol::WriteRegister(uint32_t address, uint32_t value) {
  uint8_t packet[9] = {kOpWriteRegister};
  PutLe(packet + 1, address, 4);
  PutLe(packet + 5, value, 4);
  if (!Send(packet, sizeof packet)) return SlotResult::kAdapterUnusable;
  uint8_t reply[2];
  size_t got = 0;
  slot_.PipeRead(reply, sizeof reply, &got, clock_, limits_, limits_.replyWaitMs);
  return SlotResult::kDone;
}

SlotResult DownloadProtocol::WriteShortWord(uint32_t word) {
  uint8_t packet[5] = {kOpWriteRegister};
  PutLe(packet + 1, word, 4);
  if (!Send(packet, sizeof packet)) return SlotResult::kAdapterUnusable;
  uint8_t reply[5];
  size_t got = 0;
  slot_.PipeRead(reply, sizeof reply, &got, clock_, limits_, limits_.replyWaitMs);
  return SlotResult::kDone;
}

std::string DownloadProtocol::ReadbackPath() const {
  char name[32];
  std::snprintf(name, sizeof name, "flashdev%d.bin", slotIndex_);
  return qrplatform::Utf8FromPath(qrplatform::PathFromUtf8(readbackDir_) / name);
}

SlotResult DownloadProtocol::ReadFlash(uint8_t* buffer, uint32_t length, ProgressPhase phase) {
  std::error_code ec;
  std::filesystem::create_directories(qrplatform::PathFromUtf8(readbackDir_), ec);  // an existing folder is fine
  // Written beside the real name and renamed over it once complete, so a failed read
  // (adapter pulled, disk full) leaves the last good file in place. The temporary's name
  // cannot be guessed and is never opened through a link: the folder may be shared.
  qrplatform::ReplacingFile file;
  std::string why;
  if (!file.Create(ReadbackPath(), &why)) return SlotResult::kReadbackFileFailed;
  auto fail = [&](SlotResult r) {
    file.Discard();
    events_.ProgressPosition(slotIndex_, phase, 0);
    return r;
  };
  Range(phase, length);
  events_.ProgressPosition(slotIndex_, phase, 0);

  uint8_t packet[4] = {kOpReadFlash};
  PutLe(packet + 1, length, 3);
  // Without the request in full the adapter sends nothing; waiting would be pointless.
  if (!Send(packet, sizeof packet)) return fail(SlotResult::kAdapterUnusable);
  uint32_t received = 0;
  int64_t lastData = clock_.NowMs();
  while (received < length) {
    events_.ProgressPosition(slotIndex_, phase, received);
    const size_t chunk = std::min<size_t>(kReadChunk, length - received);
    size_t got = 0;
    TransportResult r = slot_.PipeRead(buffer + received, chunk, &got, clock_, limits_, limits_.replyWaitMs);
    if (got > 0) {
      received += static_cast<uint32_t>(got);
      lastData = clock_.NowMs();
      continue;
    }
    // Nothing came: the adapter is gone (the read gave up) or has stopped sending.
    if (r != TransportResult::kDone || clock_.NowMs() - lastData >= limits_.replyWaitMs)
      return fail(SlotResult::kAdapterUnusable);
  }
  if (!file.Write(buffer, length, &why) || !file.Commit(&why)) return fail(SlotResult::kReadbackFileFailed);
  events_.ProgressPosition(slotIndex_, phase, 0);
  return SlotResult::kDone;
}

SlotResult DownloadProtocol::SendImage(const std::vector<uint8_t>& copy, uint32_t length) {
  uint8_t start[kPacketLength] = {kOpProgramStart};
  PutLe(start + 1, length, 3);
  std::memcpy(start + 4, copy.data(), kPacketPayload);  // copy holds at least 60 bytes
  programDataSent_ = true;  // from here on the board may hold part of the copy
  if (!Send(start, sizeof start)) return SlotResult::kAdapterUnusable;

  std::vector<uint8_t> batch(kBatchLength, 0);
  size_t offset = kPacketPayload;
  size_t fill = 0;
  while (offset < length) {
    uint8_t* packet = batch.data() + fill;
    const size_t rest = length - offset;
    if (rest > kPacketPayload) {
      packet[0] = kOpProgramData;
      std::memcpy(packet + 1, copy.data() + offset, kPacketPayload);
      offset += kPacketPayload;
    } else {
      // The last packet: its bytes behind the payload are filler; keep them zero.
      std::memset(packet, 0, kPacketLength);
      packet[0] = kOpProgramLast;
      std::memcpy(packet + 1, copy.data() + offset, rest);
      offset = length;
    }
    fill += kPacketLength;
    if (fill == kBatchLength || offset == length) {
      // A batch that does not go out means the adapter is gone; stop rather than send
      // the rest into nothing and learn it only at the read-back.
      if (!Send(batch.data(), fill)) return SlotResult::kAdapterUnusable;
      events_.ProgressPosition(slotIndex_, ProgressPhase::kProgram, static_cast<uint32_t>(offset));
      fill = 0;
    }
  }
  return SlotResult::kDone;
}

SlotResult DownloadProtocol::ProgramFlash() {
  // The bytes read when the image was loaded: a file changed or cut short since then
  // cannot make the boards differ from one another or from what the checksum describes.
  const std::shared_ptr<const std::vector<uint8_t>> image = state_.image;
  if (!image || image->size() != state_.imageLength) return SlotResult::kImageOpenFailed;
  const uint32_t length = state_.imageLength;

  std::vector<uint8_t> copy;
  std::vector<uint8_t> readback;
  try {
    // The start packet always carries 60 bytes; a shorter image is padded with zeros.
    copy.assign(std::max<size_t>(length, kPacketPayload), 0);
    readback.assign(std::max<size_t>(length, 1), 0);
  } catch (const std::bad_alloc&) {
    return SlotResult::kOutOfMemory;
  }
  std::copy(image->begin(), image->end(), copy.begin());

  SlotResult result = SlotResult::kDone;
  if (Patches()) {
    if (!hasAddress_ && !TakeAddress()) return addressResult_;
    std::memcpy(copy.data() + state_.recordOffset + ImageFile::kAddressField, address_.bytes.data(), 6);
    uint8_t* name = copy.data() + state_.recordOffset + ImageFile::kNameField;
    std::memset(name, 0, ImageFile::kNameLength);
    std::memcpy(name, state_.deviceName.data(), std::min<size_t>(state_.deviceName.size(), ImageFile::kNameLength));
  }

  if (result == SlotResult::kDone) {
    Range(ProgressPhase::kProgram, length);
    result = SendImage(copy, length);
  }
  for (size_t i = 0; result == SlotResult::kDone && i < ProgramRegisters().size(); ++i)
    result = WriteRegister(ProgramRegisters()[i].first, ProgramRegisters()[i].second);
  if (result == SlotResult::kDone) result = WriteShortWord(0x20);
  if (result == SlotResult::kDone) result = WriteShortWord(0x200);
  if (result == SlotResult::kDone) {
    clock_.SleepMs(kProgramToReadbackMs);
    result = ReadFlash(readback.data(), length, ProgressPhase::kVerify);
  }
  if (result == SlotResult::kDone) {
    if (!std::equal(copy.begin(), copy.begin() + length, readback.begin())) {
      result = SlotResult::kVerifyFailed;
    } else {
      std::lock_guard<std::mutex> lock(*state_.mutex);
      ++state_.successCount;
    }
  }
  events_.ProgressPosition(slotIndex_, lastPhase_, 0);
  return result;
}

bool DownloadProtocol::Patches() const {
  return state_.hasRecord && size_t{state_.recordOffset} + 0xA1 <= state_.imageLength;
}

bool DownloadProtocol::TakeAddress() {
  addressResult_ = addressSource_ ? addressSource_(&address_) : SlotResult::kNoAddress;
  hasAddress_ = addressResult_ == SlotResult::kDone;
  return hasAddress_;
}

SlotResult DownloadProtocol::BurnSequence() {
  if (!slot_.DeviceUsable()) return SlotResult::kAdapterUnusable;
  if (!Connect()) return SlotResult::kNotConfirmed;
  // The address is handed out (and stored) before the board is touched: a board is never
  // erased for an address that cannot be had.
  if (Patches() && !TakeAddress()) {
    Release();
    return addressResult_;
  }
  SlotResult r = EraseChip();
  if (r == SlotResult::kDone) r = ProgramFlash();
  Release();
  return r;
}

SlotResult DownloadProtocol::ReadSequence() {
  if (!slot_.DeviceUsable()) return SlotResult::kAdapterUnusable;
  if (!Connect()) return SlotResult::kNotConfirmed;
  std::vector<uint8_t> buffer;
  try {
    buffer.assign(kReadLength512K, 0);
  } catch (const std::bad_alloc&) {
    return SlotResult::kOutOfMemory;
  }
  SlotResult r = ReadFlash(buffer.data(), kReadLength512K);
  Release();
  return r;
}

SlotResult DownloadProtocol::EraseSequence() {
  if (!slot_.DeviceUsable()) return SlotResult::kAdapterUnusable;
  const bool connected = Connect();
  SlotResult r = EraseChip();
  Release();
  if (r != SlotResult::kDone) return r;
  if (!connected) return SlotResult::kNotConfirmed;
  return eraseConfirmed_ ? SlotResult::kDone : SlotResult::kEraseUnconfirmed;
}

}  // namespace kestrel
