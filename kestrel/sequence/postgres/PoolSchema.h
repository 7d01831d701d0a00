#pragma once
// The pool's tables. One database may hold many pools; every row names its pool.
//   pools      name, first, last, next (the address HandOut gives next; last + 1 when used up)
//   addresses  one row per address ever handed out, with its state and its board's result
//   stations   one row per station name; its id keys the station's advisory lock
namespace kestrel::pool {

inline constexpr const char* kPoolsTable = "pools";
inline constexpr const char* kAddressesTable = "addresses";
inline constexpr const char* kStationsTable = "stations";
// The first key of the two-key advisory locks that mark live stations ("kest").
inline constexpr int kStationLockClass = 0x6b657374;

inline constexpr const char* kSchemaSql = R"sql(
CREATE TABLE IF NOT EXISTS pools (
  name text PRIMARY KEY,
  first bigint NOT NULL CHECK (first >= 0 AND first <= 281474976710655),
  last bigint NOT NULL CHECK (last >= first AND last <= 281474976710655),
  next bigint NOT NULL CHECK (next >= first AND next <= last + 1),
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
