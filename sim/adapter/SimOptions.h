#pragma once
// Command line and fault settings of kestrel-adapter-sim.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::sim {

// Faults of one adapter; every one is off by default.
struct BoardFaults {
  enum class Connect { kNone, kEe00, kNoEe, kNoReply };
  Connect connect = Connect::kNone;
  // k > 0: the k-th data transfer of the next ReadFlash reply fails on the bus (once).
  int readFailOnce = 0;
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

// Applies one fault setting such as "connect=ee00", "read-fail-once", "drop-data=3",
// "flip=100", "vanish=5000", "no-id". False with a message for anything else.
bool ApplyFault(BoardFaults* faults, const std::string& setting, std::string* error);

// Parses argv; false with a message (also for --help, with the usage as message).
bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* error);

std::string SimUsage();

}  // namespace kestrel::sim
