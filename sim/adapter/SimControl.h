#pragma once
// The simulator's control side: one text command per line on DIR/control.sock, one
// reply line each ("ok ..." or "error ...").
//   unplug N          the adapter's socket disappears, open connections are closed
//   plug N            the socket appears again (the board keeps its flash)
//   fault N SETTING   sets one fault, as --fault does (connect=..., read-fail-once[=K],
//                     drop-data=N, flip[=OFFSET], vanish=BYTES, no-id)
//   clear N           turns every fault of board N off (no-id stays until the next plug)
//   status            "ok" and one word per board: plugged or unplugged
#include <memory>
#include <string>
#include <vector>

#include "SimAdapter.h"

namespace kestrel::sim {

class SimControl {
 public:
  explicit SimControl(std::vector<std::unique_ptr<SimAdapter>>* adapters) : adapters_(adapters) {}
  // Carries out one command line; returns the reply line without its newline.
  std::string Execute(const std::string& line);

 private:
  std::vector<std::unique_ptr<SimAdapter>>* adapters_;
};

}  // namespace kestrel::sim
