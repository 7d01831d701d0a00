#pragma once
// Bounds on waiting for the adapter. The in pipe blocks until the adapter has data; a
// removed or hung adapter would never answer, so every read is bounded and a failing
// read is repeated only for a short time, after which its slot gives up on its own.
namespace kestrel {

struct ReadLimits {
  int replyWaitMs = 5000;   // an answer or flash data from a working adapter comes well within this
  int eraseWaitMs = 60000;  // a chip erase answers when the erase is done; large flashes take long
  int errorRetryMs = 3000;  // failing reads are repeated for this long, then the read gives up
  int retryPauseMs = 10;    // pause between repeated failing reads
};

}  // namespace kestrel
