#pragma once
// The pool's tables. One database may hold many pools; every row names its pool.
//   pools      name, first, last and next_seq: the PostgreSQL sequence that gives the next
//              address (kNextAddress reads it without taking it)
//   addresses  one row per address ever handed out, with its state and its board's result
//   stations   one row per station name; its id keys the station's advisory lock
namespace kestrel::pool {

inline constexpr const char* kPoolsTable = "pools";
inline constexpr const char* kAddressesTable = "addresses";
inline constexpr const char* kStationsTable = "stations";
// The first key of the two-key advisory locks that mark live stations ("kest").
inline constexpr int kStationLockClass = 0x6b657374;

// The addresses come from a sequence, not from a counter in the pool's row: a counter
// would hold its row lock until the commit is on the disk, so the stations of a line
// would wait for one another's fsync one by one. nextval never gives a value twice and
// takes no lock that lasts to the commit; the commit of the address's row also puts the
// sequence's advance on the disk (WAL is written in order), and after a server crash the
// sequence resumes past every value it gave (it may skip some, never repeat one). Its
// MAXVALUE is the pool's last address: past it nextval fails with kSequenceEnd.
inline constexpr const char* kSequenceEnd = "2200H";
// The address HandOut would give next, from a row of pools (last + 1 when used up).
inline constexpr const char* kNextAddress = "coalesce(pg_sequence_last_value(next_seq::regclass) + 1, first)";

inline constexpr const char* kSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS pools (
  id serial UNIQUE,
  name text PRIMARY KEY,
  first bigint NOT NULL CHECK (first >= 0 AND first <= 281474976710655),
  last bigint NOT NULL CHECK (last >= first AND last <= 281474976710655),
  next_seq text NOT NULL,
  created timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE IF NOT EXISTS stations (
  id serial PRIMARY KEY,
  pool text NOT NULL REFERENCES pools (name) ON DELETE CASCADE,
  name text NOT NULL,
  host text,
  pid integer,
  since timestamptz,
  UNIQUE (pool, name)
);
CREATE TABLE IF NOT EXISTS addresses (
  pool text NOT NULL REFERENCES pools (name) ON DELETE CASCADE,
  address bigint NOT NULL,
  state text NOT NULL CHECK (state IN ('handed_out', 'programmed', 'failed', 'wasted')),
  station text NOT NULL,
  slot integer,
  adapter text,
  image_checksum bigint,
  result text,
  handed_out_at timestamptz NOT NULL DEFAULT now(),
  started_at timestamptz,
  finished_at timestamptz,
  tool_version text,
  PRIMARY KEY (pool, address)
);
CREATE INDEX IF NOT EXISTS addresses_station ON addresses (pool, station, state);
)sql";

}  // namespace kestrel::pool
