#pragma once
// What the line's operator does with a pool: create it, see how it goes, waste what dead
// stations left handed out, and export every address's record.
#include <cstdint>
#include <ostream>
#include <string>

#include "core/BtAddress.h"

namespace kestrel::pool {

// Creates the tables when they are missing and the pool [first, last]. False (with the
// reason) when the pool exists already or the range is empty.
bool InitPool(const std::string& url, const std::string& name, const BtAddress& first, const BtAddress& last,
              std::string* message);

// Addresses in the database that belong to stations not running now and are still
// handed out become wasted. A live station (holding its lock) is left alone.
// -1 when the database cannot be used.
int64_t ReapPool(const std::string& url, const std::string& name, std::string* message);

// Totals by state and the remaining count, then the same per station and per hour.
bool WritePoolStatus(const std::string& url, const std::string& name, std::ostream& out, std::string* message);

// One CSV row per address handed out, in address order, with a header.
bool WritePoolCsv(const std::string& url, const std::string& name, std::ostream& out, std::string* message);

}  // namespace kestrel::pool
