#include "sequence/postgres/PoolAdmin.h"

#include <cstdio>
#include <memory>

#include "sequence/postgres/PgConnection.h"
#include "sequence/postgres/PoolSchema.h"
#include "sequence/postgres/PoolSequence.h"

namespace kestrel::pool {

namespace {

std::unique_ptr<PgConnection> Connect(const std::string& url, std::string* message) {
  if (!PgConnection::CheckUrl(url, message)) return nullptr;
  std::string error;
  auto conn = PgConnection::Open(url, &error);
  if (!conn) *message = "cannot reach the pool database (" + PgConnection::Where(url) + "): " + error;
  return conn;
}

bool Failed(const PgResult& r, std::string* message) {
  if (r.ok()) return false;
  *message = "the pool database: " + r.error();
  return true;
}

// The pool's range and next address; false with a message when there is no such pool.
bool LoadPool(PgConnection& c, const std::string& name, uint64_t* first, uint64_t* last, uint64_t* next,
              std::string* message) {
  PgResult r = c.Exec(std::string("SELECT first, last, ") + kNextAddress + " FROM " + kPoolsTable + " WHERE name = $1",
                      {name});
  if (!r.ok() || r.rows() != 1) {
    *message = !r.ok() && r.state() != "42P01" ? "the pool database: " + r.error()
                                                : "there is no pool \"" + name + "\" in this database; create it with kestrel-cli pool init";
    return false;
  }
  *first = static_cast<uint64_t>(r.number(0, 0));
  *last = static_cast<uint64_t>(r.number(0, 1));
  *next = static_cast<uint64_t>(r.number(0, 2));
  return true;
}

std::string Csv(const std::string& field) {
  if (field.find_first_of(",\"\n\r") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string Pad(const std::string& s, size_t width) { return s.size() >= width ? s + " " : s + std::string(width - s.size(), ' '); }

}  // namespace

bool InitPool(const std::string& url, const std::string& name, const BtAddress& first, const BtAddress& last,
              std::string* message) {
  const uint64_t a = AddressNumber(first), b = AddressNumber(last);
  if (name.empty()) {
    *message = "the pool needs a name";
    return false;
  }
  if (a > b) {
    *message = "the first address " + first.DisplayText() + " is past the last " + last.DisplayText();
    return false;
  }
  auto c = Connect(url, message);
  if (!c) return false;
  // Two operators creating pools at once must not race on CREATE TABLE.
  if (!c->ExecScript("BEGIN; SELECT pg_advisory_xact_lock(" + std::to_string(kStationLockClass) + ", 0);" +
                         kSchemaSql,
                     message)) {
    c->ExecScript("ROLLBACK", message);
    return false;
  }
  PgResult r = c->Exec(std::string("INSERT INTO ") + kPoolsTable +
                           " (name, first, last, next_seq) VALUES ($1, $2, $3, '') ON CONFLICT (name) DO NOTHING "
                           "RETURNING id",
                       {name, std::to_string(a), std::to_string(b)});
  if (Failed(r, message)) {
    c->ExecScript("ROLLBACK", message);
    return false;
  }
  if (r.rows() != 1) {
    std::string ignored;
    c->ExecScript("ROLLBACK", &ignored);
    uint64_t f = 0, l = 0, n = 0;
    if (LoadPool(*c, name, &f, &l, &n, message))
      *message = "pool \"" + name + "\" exists already (" + NumberAddress(f).DisplayText() + " to " +
                 NumberAddress(l).DisplayText() + ", " + std::to_string(n > l ? 0 : l - n + 1) + " left)";
    return false;
  }
  // Named after the pool's id: a pool's name may be any text.
  const std::string seq = "pool_next_" + r.text(0, 0);
  if (!c->ExecScript("CREATE SEQUENCE " + seq + " AS bigint MINVALUE " + std::to_string(a) + " MAXVALUE " +
                         std::to_string(b) + " START " + std::to_string(a) + " NO CYCLE; UPDATE " + kPoolsTable +
                         " SET next_seq = '" + seq + "' WHERE id = " + r.text(0, 0),
                     message)) {
    std::string ignored;
    c->ExecScript("ROLLBACK", &ignored);
    return false;
  }
  if (!c->ExecScript("COMMIT", message)) return false;
  *message = "pool \"" + name + "\": " + first.DisplayText() + " to " + last.DisplayText() + ", " +
             std::to_string(b - a + 1) + " addresses";
  return true;
}

int64_t ReapPool(const std::string& url, const std::string& name, std::string* message) {
  auto c = Connect(url, message);
  if (!c) return -1;
  uint64_t f = 0, l = 0, n = 0;
  if (!LoadPool(*c, name, &f, &l, &n, message)) return -1;
  PgResult stations = c->Exec(std::string("SELECT DISTINCT s.id, s.name FROM ") + kStationsTable + " s JOIN " +
                                  kAddressesTable +
                                  " a ON a.pool = s.pool AND a.station = s.name "
                                  "WHERE s.pool = $1 AND a.state = 'handed_out'",
                              {name});
  if (Failed(stations, message)) return -1;
  int64_t wasted = 0;
  const std::string cls = std::to_string(kStationLockClass);
  for (int i = 0; i < stations.rows(); ++i) {
    // Holding the station's lock while wasting keeps it from starting meanwhile; a
    // station that holds it itself is alive and its boards may still finish.
    PgResult got = c->Exec("SELECT pg_try_advisory_lock($1, $2)", {cls, stations.text(i, 0)});
    if (Failed(got, message)) return -1;
    if (got.text(0, 0) != "t") continue;
    PgResult r = c->Exec(std::string("UPDATE ") + kAddressesTable +
                             " SET state = 'wasted', finished_at = now(), result = 'left handed out' "
                             "WHERE pool = $1 AND station = $2 AND state = 'handed_out'",
                         {name, stations.text(i, 1)});
    c->Exec("SELECT pg_advisory_unlock($1, $2)", {cls, stations.text(i, 0)});
    if (Failed(r, message)) return -1;
    wasted += r.affected();
  }
  return wasted;
}

bool WritePoolStatus(const std::string& url, const std::string& name, std::ostream& out, std::string* message) {
  auto c = Connect(url, message);
  if (!c) return false;
  uint64_t first = 0, last = 0, next = 0;
  if (!LoadPool(*c, name, &first, &last, &next, message)) return false;
  const std::string counts =
      "count(*) FILTER (WHERE state = 'handed_out'), count(*) FILTER (WHERE state = 'programmed'), "
      "count(*) FILTER (WHERE state = 'failed'), count(*) FILTER (WHERE state = 'wasted')";
  PgResult total = c->Exec("SELECT " + counts + " FROM " + kAddressesTable + " WHERE pool = $1", {name});
  if (Failed(total, message)) return false;
  out << "pool \"" << name << "\": " << NumberAddress(first).DisplayText() << " to "
      << NumberAddress(last).DisplayText();
  if (next <= last) out << ", next " << NumberAddress(next).DisplayText();
  out << "\nhanded out " << total.text(0, 0) << ", programmed " << total.text(0, 1) << ", failed "
      << total.text(0, 2) << ", wasted " << total.text(0, 3) << ", remaining " << (next > last ? 0 : last - next + 1)
      << "\n";
  long long recorded = 0;
  for (int col = 0; col < 4; ++col) recorded += total.number(0, col);
  if (const long long skipped = static_cast<long long>(next - first) - recorded; skipped > 0)
    out << skipped << " address(es) skipped: taken by a hand-out that never committed (a lost connection or a "
                      "server crash); on no board\n";

  // A station is live when its session holds its lock.
  PgResult per = c->Exec("SELECT s.name, EXISTS (SELECT 1 FROM pg_locks l WHERE l.locktype = 'advisory' AND "
                         "l.classid = " + std::to_string(kStationLockClass) +
                             " AND l.objid = s.id AND l.objsubid = 2 AND l.granted), "
                             "coalesce(s.host, ''), " + counts + " FROM " + kStationsTable + " s LEFT JOIN " +
                             kAddressesTable +
                             " a ON a.pool = s.pool AND a.station = s.name WHERE s.pool = $1 "
                             "GROUP BY s.id, s.name, s.host ORDER BY s.name",
                         {name});
  if (Failed(per, message)) return false;
  out << "\n" << Pad("station", 20) << Pad("live", 6) << Pad("host", 16)
      << "handed_out  programmed  failed  wasted\n";
  for (int i = 0; i < per.rows(); ++i)
    out << Pad(per.text(i, 0), 20) << Pad(per.text(i, 1) == "t" ? "yes" : "no", 6) << Pad(per.text(i, 2), 16)
        << Pad(per.text(i, 3), 12) << Pad(per.text(i, 4), 12) << Pad(per.text(i, 5), 8) << per.text(i, 6) << "\n";

  PgResult hours = c->Exec("SELECT to_char(date_trunc('hour', coalesce(finished_at, handed_out_at)), "
                           "'YYYY-MM-DD HH24:00'), " + counts + " FROM " + kAddressesTable +
                               " WHERE pool = $1 GROUP BY 1 ORDER BY 1",
                           {name});
  if (Failed(hours, message)) return false;
  out << "\n" << Pad("hour", 20) << "handed_out  programmed  failed  wasted\n";
  for (int i = 0; i < hours.rows(); ++i)
    out << Pad(hours.text(i, 0), 20) << Pad(hours.text(i, 1), 12) << Pad(hours.text(i, 2), 12)
        << Pad(hours.text(i, 3), 8) << hours.text(i, 4) << "\n";
  return true;
}

bool WritePoolCsv(const std::string& url, const std::string& name, std::ostream& out, std::string* message) {
  auto c = Connect(url, message);
  if (!c) return false;
  uint64_t f = 0, l = 0, n = 0;
  if (!LoadPool(*c, name, &f, &l, &n, message)) return false;
  // Times in UTC, whatever the server's or the session's zone: the file travels.
  if (Failed(c->Exec("SET TIME ZONE 'UTC'"), message)) return false;
  const char* ts = "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'";
  PgResult r = c->Exec(std::string("SELECT address, state, station, coalesce(slot::text, ''), coalesce(adapter, ''), "
                                   "coalesce(image_checksum::text, ''), coalesce(result, ''), "
                                   "to_char(handed_out_at, ") + ts + "), coalesce(to_char(started_at, " + ts +
                           "), ''), coalesce(to_char(finished_at, " + ts + "), ''), coalesce(tool_version, '') FROM " +
                           kAddressesTable + " WHERE pool = $1 ORDER BY address",
                       {name});
  if (Failed(r, message)) return false;
  out << "address,state,station,slot,adapter,image_checksum,result,handed_out,started,finished,tool_version\n";
  for (int i = 0; i < r.rows(); ++i) {
    out << NumberAddress(static_cast<uint64_t>(r.number(i, 0))).DisplayText();
    for (int col = 1; col < 11; ++col) {
      std::string v = r.text(i, col);
      if (col == 5 && !v.empty()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08llx", std::strtoull(v.c_str(), nullptr, 10));
        v = hex;
      }
      out << ',' << Csv(v);
    }
    out << "\n";
  }
  return true;
}

}  // namespace kestrel::pool
