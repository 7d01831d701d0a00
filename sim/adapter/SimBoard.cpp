#include "SimBoard.h"

#include <algorithm>
#include <vector>

#include "transport/sim/SimWire.h"

namespace kestrel::sim {
namespace {

// The adapter's command set.
constexpr uint8_t kOpWriteRegister = 0xA2;
constexpr uint8_t kOpConnect = 0xA3;
constexpr uint8_t kOpRelease = 0xA4;
constexpr uint8_t kOpEraseChip = 0xA5;
constexpr uint8_t kOpProgramStart = 0xA9;
constexpr uint8_t kOpProgramData = 0xAA;
constexpr uint8_t kOpProgramLast = 0xAB;
constexpr uint8_t kOpReadFlash = 0xAC;

constexpr uint8_t kAck = 0xEE;
constexpr uint8_t kConnected = 0x03;
constexpr size_t kConnectReplyLength = 11;
constexpr size_t kPacketLength = 64;
constexpr size_t kPacketPayload = 60;
constexpr size_t kWriteRegisterLong = 9;
constexpr size_t kWriteRegisterShort = 5;
// Flash data goes back in transfers of this size; the host reads at most this much.
constexpr size_t kReadChunk = 2048;

uint32_t Get24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
}

}  // namespace

bool SimBoard::Create(const std::string& flashPath, size_t flashSize, int eraseMs, std::string* error) {
  eraseMs_ = eraseMs;
  return flash_.Create(flashPath, flashSize, error);
}

bool SimBoard::Reply(Link& link, const uint8_t* bytes, size_t length) {
  if (link.TakeReadFailure(0) && !link.Send(simwire::kWireError, nullptr, 0)) return false;
  for (int i = 0; i < std::max(1, link.Faults().replies); ++i) {
    if (!link.Send(simwire::kWireData, bytes, length)) return false;
  }
  return true;
}

bool SimBoard::SendFlash(Link& link, uint64_t length) {
  std::vector<uint8_t> chunk(kReadChunk);
  uint64_t sent = 0;
  const long long stop = link.Faults().readStopAfter;
  if (stop >= 0) length = std::min<uint64_t>(length, static_cast<uint64_t>(stop));
  for (int transfer = 1; sent < length; ++transfer) {
    if (link.TakeReadFailure(transfer) && !link.Send(simwire::kWireError, nullptr, 0)) return false;
    size_t n = static_cast<size_t>(std::min<uint64_t>(kReadChunk, length - sent));
    for (size_t i = 0; i < n; ++i) chunk[i] = flash_.Read(sent + i);
    if (!link.Send(simwire::kWireData, chunk.data(), n)) return false;
    sent += n;
  }
  return true;
}

void SimBoard::ProgramPacket(const uint8_t* packet, Link& link) {
  if (packet[0] == kOpProgramStart) {
    progLength_ = Get24(packet + 1);
    progOffset_ = 0;
    dataPackets_ = 0;
    programming_ = true;
    size_t n = static_cast<size_t>(std::min<uint64_t>(kPacketPayload, progLength_));
    for (size_t i = 0; i < n; ++i) flash_.Program(i, packet[4 + i]);
    progOffset_ = n;
    if (progOffset_ >= progLength_) FinishProgramming(link);
    return;
  }
  if (!programming_) return;  // data without a start packet has nowhere to go
  ++dataPackets_;
  if (link.Faults().dropData == dataPackets_) return;  // lost on the way: the adapter never sees it
  // Only the image length from the start packet says how much of a last packet is data.
  size_t n = static_cast<size_t>(std::min<uint64_t>(kPacketPayload, progLength_ - progOffset_));
  for (size_t i = 0; i < n; ++i) flash_.Program(progOffset_ + i, packet[1 + i]);
  progOffset_ += n;
  if (packet[0] == kOpProgramLast) FinishProgramming(link);
}

void SimBoard::FinishProgramming(Link& link) {
  programming_ = false;
  long long flip = link.Faults().flipOffset;
  if (flip >= 0) flash_.Flip(static_cast<uint64_t>(flip));
  flash_.Sync();
}

bool SimBoard::HandleTransfer(const uint8_t* data, size_t length, Link& link) {
  size_t pos = 0;
  while (pos < length) {
    const uint8_t op = data[pos];
    const size_t rest = length - pos;
    bool ok = true;
    switch (op) {
      case kOpConnect:
      case kOpRelease: {
        pos += 1;
        BoardFaults::Connect fault = op == kOpConnect ? link.Faults().connect : BoardFaults::Connect::kNone;
        uint8_t reply[kConnectReplyLength] = {kAck, op == kOpConnect ? kConnected : uint8_t{0x00}};
        if (fault == BoardFaults::Connect::kEe00) reply[1] = 0x00;
        if (fault == BoardFaults::Connect::kNoEe) reply[0] = 0x00, reply[1] = 0x00;
        if (fault == BoardFaults::Connect::kUnacked) reply[0] = 0x00;
        if (fault != BoardFaults::Connect::kNoReply) ok = Reply(link, reply, sizeof reply);
        break;
      }
      case kOpEraseChip: {
        pos += 1;
        if (!link.Wait(eraseMs_)) return false;
        programming_ = false;
        flash_.Erase();
        flash_.Sync();
        const BoardFaults::Erase fault = link.Faults().erase;
        const uint8_t reply[] = {fault == BoardFaults::Erase::kNoEe ? uint8_t{0x00} : kAck, 0x00};
        if (fault != BoardFaults::Erase::kNoReply) ok = Reply(link, reply, sizeof reply);
        break;
      }
      case kOpWriteRegister:
        // The two forms differ only by the length of their transfer.
        if (rest == kWriteRegisterLong) {
          const uint8_t reply[] = {kAck, 0x00};
          ok = Reply(link, reply, sizeof reply);
        } else if (rest == kWriteRegisterShort) {
          const uint8_t reply[] = {kAck, data[pos + 1], data[pos + 2], data[pos + 3], data[pos + 4]};
          ok = Reply(link, reply, sizeof reply);
        }
        pos = length;
        break;
      case kOpReadFlash:
        if (rest < 4) {
          pos = length;
          break;
        }
        pos += 4;
        ok = SendFlash(link, Get24(data + pos - 3));
        break;
      case kOpProgramStart:
      case kOpProgramData:
      case kOpProgramLast:
        if (rest < kPacketLength) {
          pos = length;  // a torn packet is discarded
          break;
        }
        ProgramPacket(data + pos, link);
        pos += kPacketLength;
        break;
      default:
        pos = length;  // unknown command: the rest of the transfer is ignored
        break;
    }
    if (!ok) return false;
  }
  return true;
}

}  // namespace kestrel::sim
