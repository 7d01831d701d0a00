#pragma once
// Command line and fault settings of kestrel-adapter-sim.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::sim {

// Faults of one adapter; every one is off by default.
struct BoardFaults {
  // Connect's answer: ee00 (acknowledged, not connected), noee (neither), unacked (the
  // connected byte without the acknowledgement), noreply.
  enum class Connect { kNone, kEe00, kNoEe, kNoReply, kUnacked };
  Connect connect = Connect::kNone;
  // EraseChip's answer: noee (no acknowledgement byte), noreply. The chip is erased anyway.
  enum class Erase { kNone, kNoEe, kNoReply };
  Erase erase = Erase::kNone;
  // Every answer to a command is sent this many times (an adapter that chatters).
  int replies = 1;
  // The next answer to a command comes after one transfer that fails on the bus (once).
  bool replyFailOnce = false;
  // k > 0: the k-th data transfer of the next ReadFlash reply fails on the bus (once).
  int readFailOnce = 0;
  // >= 0: every ReadFlash answer stops after this many bytes; the adapter stays plugged
  // and silent.
  long long readStopAfter = -1;
  // n > 0: the n-th program data packet (AA/AB) after each start packet never arrives.
  long dropData = 0;
  // >= 0: flash byte at this offset gets bit 0 flipped when a programming run completes.
  long long flipOffset = -1;
  // >= 0: the adapter vanishes (socket closed and removed) once this many bytes have
  // crossed its pipes, both directions counted, since it was last plugged or since the
  // fault was set while running (once).
  long long vanishAfter = -1;
  // The adapter reports no instance identity (socket adapter<n>.noid.sock).
  bool noInstanceId = false;
};

struct SimOptions {
  std::string dir;
  int boards = 0;
  size_t flashKb = 4096;
  uint64_t rate = 0;  // bytes per second per adapter, 0 = unlimited
  int eraseMs = 200;
  std::vector<BoardFaults> faults;  // one per board
};

// Applies one fault setting such as "connect=ee00", "erase=noreply", "replies=32",
// "reply-fail-once", "read-fail-once", "drop-data=3", "flip=100", "vanish=5000", "no-id".
// False with a message for anything else. The one grammar for every simulated adapter,
// in the simulator's --fault and control socket and in the in-process adapter.
bool ApplyFault(BoardFaults* faults, const std::string& setting, std::string* error);

// Parses argv; false with a message (also for --help, with the usage as message).
bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* error);

std::string SimUsage();

}  // namespace kestrel::sim
