#pragma once
// Addresses from a pool shared by the stations of a line, kept in PostgreSQL. Each
// address is committed as "handed out" to this station, in one short transaction, before
// HandOut returns; a board's result moves it to programmed, failed or wasted. A live
// station holds a session-level advisory lock on its name, so a second station with the
// same name is refused; when a station comes back, what it left handed out is wasted.
// Results that cannot reach the database are spooled to a local file (ResultSpool) and
// sent when it is back; meanwhile no address is handed out.
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "core/AddressSequence.h"
#include "sequence/postgres/ResultSpool.h"

namespace kestrel::pool {

class PgConnection;

struct PoolConfig {
  std::string url;       // libpq connection string or URI; no password in it
  std::string pool;      // the pool's name
  std::string station;   // empty: the host name
  std::string spoolDir;  // empty: $XDG_STATE_HOME/kestrel (~/.local/state/kestrel)
  // After losing the database, HandOut tries to reconnect at most this often, so the
  // boards of a run do not each wait out a connection time-out.
  std::chrono::milliseconds reconnectEvery{5000};
};

class PoolSequence : public AddressSequence {
 public:
  // Connects, takes the station's lock, sends what an earlier run spooled and wastes the
  // station's addresses still handed out. Null with *status and *message on failure.
  static std::shared_ptr<PoolSequence> Open(const PoolConfig& config, SequenceStatus* status, std::string* message);
  ~PoolSequence() override;

  SequenceStatus HandOut(const AdapterId& adapter, BtAddress* address, std::string* message) override;
  SequenceStatus Confirm(const BoardRecord& record, std::string* message) override;
  SequenceStatus GiveUp(const BoardRecord& record, Loss loss, std::string* message) override;
  uint64_t Remaining() const override;
  std::optional<BtAddress> PeekNext() const override;
  SequenceStatus SetRange(const BtAddress& first, std::optional<BtAddress> last, std::string* message) override;
  std::string Describe() const override;
  void Release() override;

  const std::string& station() const { return config_.station; }
  const std::string& spoolPath() const { return spool_.path(); }
  // What Open found: results sent from the spool and addresses wasted as left over.
  int replayedAtOpen() const { return replayedAtOpen_; }
  int wastedAtOpen() const { return wastedAtOpen_; }

 private:
  PoolSequence(PoolConfig config, std::string spoolPath);
  // Connection, station lock and spool; at open also wastes what the station left
  // handed out. Under mu_.
  SequenceStatus Connect(bool atOpen, std::string* message);
  SequenceStatus Record(const SpooledResult& result, std::string* message);
  enum class SendResult { kSent, kLost, kRejected };
  SendResult Send(const SpooledResult& result);
  bool ReplaySpool(int* sent, std::string* message);
  void NoteLost();
  void Refresh() const;

  PoolConfig config_;
  ResultSpool spool_;
  std::string where_;
  mutable std::mutex mu_;
  mutable std::unique_ptr<PgConnection> conn_;
  bool released_ = false;
  int stationId_ = 0;
  mutable uint64_t next_ = 0;  // last known values, shown while the database is away
  uint64_t last_ = 0;
  std::chrono::steady_clock::time_point lastAttempt_{};
  std::string lastError_;
  int replayedAtOpen_ = 0;
  int wastedAtOpen_ = 0;
};

// The seam for the command line and the window: a pool behind the engine's interface.
std::shared_ptr<AddressSequence> OpenPool(const PoolConfig& config, SequenceStatus* status, std::string* message);

// 48-bit number <-> address (byte 0 least significant), as the database stores it.
uint64_t AddressNumber(const BtAddress& a);
BtAddress NumberAddress(uint64_t n);
// This machine's name, the default station name.
std::string HostName();

}  // namespace kestrel::pool
