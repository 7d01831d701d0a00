#include "sequence/postgres/PoolSequence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "sequence/postgres/PgConnection.h"
#include "sequence/postgres/PoolSchema.h"

namespace kestrel::pool {

namespace {

constexpr const char* kHandOutStatement = "kestrel_hand_out";

std::string SafeName(const std::string& s) {
  std::string out;
  for (char c : s) out += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') ? c : '_';
  return out;
}

bool MakeFolders(const std::string& path, std::string* error) {
  std::string at;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    at = path.substr(0, i);
    if (at.empty()) continue;
    if (::mkdir(at.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = at + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string DefaultSpoolDir() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return std::string(state) + "/kestrel";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.local/state/kestrel";
  return "/var/tmp/kestrel";
}

std::string Ms(int64_t ms) { return std::to_string(ms); }

const char* StateName(SpooledResult::Kind k) {
  switch (k) {
    case SpooledResult::Kind::kProgrammed: return "programmed";
    case SpooledResult::Kind::kFailed: return "failed";
    case SpooledResult::Kind::kWasted: return "wasted";
  }
  return "failed";
}

}  // namespace

uint64_t AddressNumber(const BtAddress& a) {
  uint64_t n = 0;
  for (int i = 5; i >= 0; --i) n = (n << 8) | a.bytes[static_cast<size_t>(i)];
  return n;
}

BtAddress NumberAddress(uint64_t n) {
  BtAddress a;
  for (size_t i = 0; i < 6; ++i) a.bytes[i] = static_cast<uint8_t>(n >> (8 * i));
  return a;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || !*name) return "station";
  return name;
}

PoolSequence::PoolSequence(PoolConfig config, std::string spoolPath)
    : config_(std::move(config)), spool_(std::move(spoolPath)), where_(PgConnection::Where(config_.url)) {}

PoolSequence::~PoolSequence() { Release(); }

std::shared_ptr<PoolSequence> PoolSequence::Open(const PoolConfig& given, SequenceStatus* status,
                                                 std::string* message) {
  PoolConfig config = given;
  if (config.station.empty()) config.station = HostName();
  if (config.pool.empty()) {
    *status = SequenceStatus::kRefused;
    *message = "the pool needs a name";
    return nullptr;
  }
  if (!PgConnection::CheckUrl(config.url, message)) {
    *status = SequenceStatus::kRefused;
    return nullptr;
  }
  if (config.spoolDir.empty()) config.spoolDir = DefaultSpoolDir();
  if (!MakeFolders(config.spoolDir, message)) {
    *status = SequenceStatus::kUnavailable;
    *message = "cannot create the folder for results kept while the database is away: " + *message;
    return nullptr;
  }
  const std::string spool =
      config.spoolDir + "/pool-" + SafeName(config.pool) + "-" + SafeName(config.station) + ".spool";
  std::shared_ptr<PoolSequence> seq(new PoolSequence(config, spool));
  std::lock_guard lock(seq->mu_);
  *status = seq->Connect(true, message);
  if (*status != SequenceStatus::kOk) return nullptr;
  return seq;
}

SequenceStatus PoolSequence::Connect(bool atOpen, std::string* message) {
  lastAttempt_ = std::chrono::steady_clock::now();
  conn_.reset();
  std::string error;
  auto conn = PgConnection::Open(config_.url, &error);
  if (!conn) {
    *message = "cannot reach the pool database (" + where_ + "): " + error;
    return SequenceStatus::kUnavailable;
  }
  PgResult pool = conn->Exec(std::string("SELECT first, last, ") + kNextAddress + " FROM " + kPoolsTable +
                                 " WHERE name = $1",
                             {config_.pool});
  if (!pool.ok() || pool.rows() != 1) {
    *message = pool.ok() || pool.state() == "42P01"
                   ? "the database (" + where_ + ") has no pool \"" + config_.pool +
                         "\"; create it with: kestrel-cli pool init URL --name NAME --first A --last B"
                   : "the pool database (" + where_ + "): " + pool.error();
    return pool.ok() || pool.state() == "42P01" ? SequenceStatus::kRefused : SequenceStatus::kUnavailable;
  }
  last_ = static_cast<uint64_t>(pool.number(0, 1));
  next_ = static_cast<uint64_t>(pool.number(0, 2));

  // The station's row gives the lock a key of its own (no two names share it).
  PgResult st = conn->Exec(std::string("INSERT INTO ") + kStationsTable +
                               " (pool, name) VALUES ($1, $2) ON CONFLICT (pool, name) DO UPDATE SET name = "
                               "EXCLUDED.name RETURNING id, coalesce(host, ''), coalesce(pid, 0)",
                           {config_.pool, config_.station});
  if (!st.ok() || st.rows() != 1) {
    *message = "the pool database (" + where_ + "): " + st.error();
    return SequenceStatus::kUnavailable;
  }
  const int id = static_cast<int>(st.number(0, 0));
  // A station killed a moment ago may still hold its lock: the server ends that session
  // only when it notices the closed connection. Asked again for about a second.
  bool locked = false;
  for (int attempt = 0; attempt < 10 && !locked; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    PgResult held = conn->Exec("SELECT pg_try_advisory_lock($1, $2)",
                               {std::to_string(kStationLockClass), std::to_string(id)});
    if (!held.ok()) {
      *message = "the pool database (" + where_ + "): " + held.error();
      return SequenceStatus::kUnavailable;
    }
    locked = held.text(0, 0) == "t";
  }
  if (!locked) {
    *message = "station \"" + config_.station + "\" of pool \"" + config_.pool + "\" is in use by process " +
               st.text(0, 2) + " on " + st.text(0, 1) + "; a second station here needs a name of its own";
    return SequenceStatus::kHeld;
  }
  conn->Exec(std::string("UPDATE ") + kStationsTable + " SET host = $2, pid = $3, since = now() WHERE id = $1",
             {std::to_string(id), HostName(), std::to_string(::getpid())});
  if (!conn->Prepare(kHandOutStatement,
                     std::string("INSERT INTO ") + kAddressesTable +
                         " (pool, address, state, station, adapter) SELECT name, nextval(next_seq::regclass), "
                         "'handed_out', $2, $3 FROM " + kPoolsTable + " WHERE name = $1 RETURNING address",
                     3, message)) {
    *message = "the pool database (" + where_ + "): " + *message;
    return SequenceStatus::kUnavailable;
  }
  stationId_ = id;
  conn_ = std::move(conn);

  // First what an earlier run could not send (its boards' results), then, at the start
  // only, whatever that run left handed out: those boards never finished, or finished
  // unrecorded. A reconnection during a run leaves them: its boards are still burning.
  int sent = 0;
  if (!ReplaySpool(&sent, message)) return SequenceStatus::kUnavailable;
  if (!atOpen) return SequenceStatus::kOk;
  PgResult wasted = conn_->Exec(std::string("UPDATE ") + kAddressesTable +
                                    " SET state = 'wasted', finished_at = now(), result = 'left handed out' "
                                    "WHERE pool = $1 AND station = $2 AND state = 'handed_out'",
                                {config_.pool, config_.station});
  if (!wasted.ok()) {
    *message = "the pool database (" + where_ + "): " + wasted.error();
    conn_.reset();
    return SequenceStatus::kUnavailable;
  }
  replayedAtOpen_ = sent;
  wastedAtOpen_ = static_cast<int>(wasted.affected());
  return SequenceStatus::kOk;
}

bool PoolSequence::ReplaySpool(int* sent, std::string* message) {
  std::string error;
  // A line the database rejects for its content (not for a lost connection) is
  // passed over: it would otherwise stop this station from ever opening again.
  if (spool_.Replay([this](const SpooledResult& r) { return Send(r) != SendResult::kLost; }, sent, &error))
    return true;
  *message = "results kept in " + spool_.path() + " could not be sent: " + error;
  if (conn_ && !conn_->alive()) conn_.reset();
  return false;
}

// The station's own name is used, whatever the record says: the addresses are its.
// A result applies to an address still handed out; "programmed" also to one given up
// or wasted meanwhile (a board that completed is what counts). Sending it again
// changes nothing.
PoolSequence::SendResult PoolSequence::Send(const SpooledResult& r) {
  const BoardRecord& b = r.record;
  PgResult res = conn_->Exec(
      std::string("UPDATE ") + kAddressesTable +
          " SET state = $3, slot = $4, adapter = $5, image_checksum = $6, result = $7, "
          "started_at = CASE WHEN $8::bigint > 0 THEN to_timestamp($8::bigint / 1000.0) END, "
          "finished_at = CASE WHEN $9::bigint > 0 THEN to_timestamp($9::bigint / 1000.0) ELSE now() END, "
          "tool_version = $10 "
          "WHERE pool = $1 AND address = $2 AND station = $11 AND "
          "(state = 'handed_out' OR ($3 = 'programmed' AND state <> 'programmed'))",
      {config_.pool, std::to_string(AddressNumber(b.address)), std::string(StateName(r.kind)),
       std::to_string(b.slot), b.adapter.text(), std::to_string(b.imageChecksum), b.result, Ms(b.startedUnixMs),
       Ms(b.finishedUnixMs), b.toolVersion, config_.station});
  if (res.ok()) return SendResult::kSent;
  if (!conn_->alive()) return SendResult::kLost;
  lastError_ = res.error();
  return SendResult::kRejected;
}

void PoolSequence::NoteLost() {
  if (conn_ && !conn_->alive()) conn_.reset();
}

SequenceStatus PoolSequence::HandOut(const AdapterId& adapter, BtAddress* address, std::string* message) {
  std::lock_guard lock(mu_);
  if (released_) {
    *message = "the pool was released";
    return SequenceStatus::kUnavailable;
  }
  if (!conn_) {
    // Away: no board starts until the database answers again and the spooled results
    // are in.
    if (std::chrono::steady_clock::now() - lastAttempt_ < config_.reconnectEvery) {
      *message = "the pool database (" + where_ + ") is away; no new board starts until it is back";
      return SequenceStatus::kUnavailable;
    }
    const SequenceStatus s = Connect(false, message);
    if (s != SequenceStatus::kOk) {
      if (s == SequenceStatus::kUnavailable) *message += "; no new board starts until it is back";
      return s;
    }
  }
  // One statement, so one transaction, committed (and on the server's disk) before the
  // address is used. The sequence, not a row lock, keeps stations from sharing one.
  PgResult r = conn_->ExecPrepared(kHandOutStatement, {config_.pool, config_.station, adapter.text()});
  if (!r.ok() && r.state() == kSequenceEnd) {
    next_ = last_ + 1;
    *message = "pool \"" + config_.pool + "\" is used up: its last address " + NumberAddress(last_).DisplayText() +
               " was handed out, 0 left";
    return SequenceStatus::kExhausted;
  }
  if (!r.ok() || r.rows() != 1) {
    *message = "the pool database (" + where_ + "): " + (r.ok() ? "the pool is gone" : r.error()) +
               "; no new board starts";
    NoteLost();
    return SequenceStatus::kUnavailable;
  }
  const uint64_t n = static_cast<uint64_t>(r.number(0, 0));
  next_ = n + 1;
  *address = NumberAddress(n);
  return SequenceStatus::kOk;
}

SequenceStatus PoolSequence::Record(const SpooledResult& result, std::string* message) {
  std::lock_guard lock(mu_);
  if (conn_) {
    const SendResult sent = Send(result);
    if (sent == SendResult::kSent) return SequenceStatus::kOk;
    if (sent == SendResult::kRejected) {
      *message = "the pool database refused the result for " + result.record.address.DisplayText() + ": " + lastError_;
      return SequenceStatus::kUnavailable;
    }
  }
  NoteLost();
  std::string error;
  if (!spool_.Append(result, &error)) {
    *message = "the result for " + result.record.address.DisplayText() +
               " reached neither the pool database nor the local spool: " + error;
    return SequenceStatus::kUnavailable;
  }
  *message = "the pool database (" + where_ + ") is away; the result for " + result.record.address.DisplayText() +
             " is kept in " + spool_.path() + " and sent when it is back";
  return SequenceStatus::kOk;
}

SequenceStatus PoolSequence::Confirm(const BoardRecord& record, std::string* message) {
  return Record(SpooledResult{SpooledResult::Kind::kProgrammed, record}, message);
}

SequenceStatus PoolSequence::GiveUp(const BoardRecord& record, Loss loss, std::string* message) {
  return Record(SpooledResult{loss == Loss::kFailed ? SpooledResult::Kind::kFailed : SpooledResult::Kind::kWasted,
                              record},
                message);
}

void PoolSequence::Refresh() const {
  if (!conn_) return;
  PgResult r = conn_->Exec(std::string("SELECT ") + kNextAddress + " FROM " + kPoolsTable + " WHERE name = $1",
                           {config_.pool});
  if (r.ok() && r.rows() == 1) next_ = static_cast<uint64_t>(r.number(0, 0));
}

uint64_t PoolSequence::Remaining() const {
  std::lock_guard lock(mu_);
  Refresh();
  return next_ > last_ ? 0 : last_ - next_ + 1;
}

std::optional<BtAddress> PoolSequence::PeekNext() const {
  std::lock_guard lock(mu_);
  Refresh();
  if (next_ > last_) return std::nullopt;
  return NumberAddress(next_);
}

SequenceStatus PoolSequence::SetRange(const BtAddress&, std::optional<BtAddress>, std::string* message) {
  *message = "the addresses come from pool \"" + config_.pool +
             "\"; its range is set once, with kestrel-cli pool init, not per station";
  return SequenceStatus::kRefused;
}

std::string PoolSequence::Describe() const {
  const uint64_t left = Remaining();
  std::lock_guard lock(mu_);
  std::string d = "pool \"" + config_.pool + "\" (" + where_ + "), station \"" + config_.station + "\": " +
                  std::to_string(left) + " addresses left";
  if (!conn_) d += ", database away";
  return d;
}

void PoolSequence::Release() {
  std::lock_guard lock(mu_);
  if (released_) return;
  released_ = true;
  std::string ignored;
  if (!conn_ && !spool_.Pending(&ignored).empty()) {
    // Results spooled during the run go now if the database is back; otherwise the
    // station's next start sends them.
    (void)Connect(false, &ignored);
  }
  // The lock is given up before the session ends, so the station can start again at once
  // (the server ends a closed session a moment later).
  if (conn_) conn_->Exec("SELECT pg_advisory_unlock_all()");
  conn_.reset();
}

std::shared_ptr<AddressSequence> OpenPool(const PoolConfig& config, SequenceStatus* status, std::string* message) {
  return PoolSequence::Open(config, status, message);
}

}  // namespace kestrel::pool
