#pragma once
// Commands sent to a board one at a time, each waiting for its answer ("CMD+OK" or
// "CMD+FAIL") before the next goes: tessera-cli's tuning commands. The answer is looked
// for in every received byte (ReplyScanner); silence past the time-out, a refusal or the
// port going away ends the run. Plain C++ on a LinkTimer, fed by whoever owns the port.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tessera/core/link/BoardPort.h"
#include "tessera/core/link/LinkProtocol.h"
#include "tessera/core/link/ReplyScanner.h"

namespace tessera::link {

class CommandRun {
 public:
  enum class Outcome { kRunning, kAllAnswered, kRefused, kNoAnswer, kPortLost };

  // send writes one command (logging it as its page would); timeout is restarted for
  // every command.
  CommandRun(std::vector<Outgoing> commands, std::function<void(const Outgoing&)> send, LinkTimer& timeout,
             int timeoutMs);

  // Sends the first command (a run without commands is answered at once).
  void Start();
  void BytesArrived(std::string_view bytes);
  void TimedOut();
  void PortLost();

  Outcome outcome() const { return outcome_; }
  // One line per answered command: the command without its line end, "->", the answer
  // as the log shows it ("CMD OK!", "CMD FAIL!").
  const std::vector<std::string>& answered() const { return answered_; }
  // Why the run ended early, naming the command; empty otherwise.
  const std::string& error() const { return error_; }

 private:
  void SendNext();
  std::string Shown() const;

  std::vector<Outgoing> commands_;
  std::function<void(const Outgoing&)> send_;
  LinkTimer& timeout_;
  int timeoutMs_;
  ReplyScanner replies_;
  size_t next_ = 0;  // index of the command being answered
  int totalBefore_ = 0, failedBefore_ = 0;
  Outcome outcome_ = Outcome::kRunning;
  std::vector<std::string> answered_;
  std::string error_;
};

}  // namespace tessera::link
