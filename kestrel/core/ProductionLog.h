#pragma once
// The production log: one CSV row per slot result, appended to a file and flushed to the
// disk as each slot ends. A row lands whole or not at all: a write cut short (a full disk)
// is taken back out, and a row torn by a crash is cut off when the file is opened again,
// so the next row never starts in the middle of a line. A new (or empty) file gets a
// header row first. The engine writes it when given a path
// (ProductionEngine::SetLogFile); a window offers the folder (default beside the image)
// and passes the file's path; kestrel-cli burn --log FILE does the same.
//
// Columns: time (local, ISO 8601 with offset), station (host name), slot, operation,
// adapter (instance identity), image (path), checksum (0x%04x of the loaded image),
// address (the one programmed, empty when none), result (number), result text
// (English, from the result table), seconds (the sequence's duration, 0.1 s).
#include <cstdint>
#include <mutex>
#include <string>

#include "core/EngineEvents.h"
#include "qrplatform/Files.h"

namespace kestrel {

struct ProductionLogRow {
  int64_t wallTimeMs = 0;  // milliseconds since 1970 (UTC)
  std::string station;
  SlotReport report;
  std::string imagePath;
  bool hasChecksum = false;
  uint16_t checksum = 0;
};

class ProductionLog {
 public:
  static const char* const kHeader;  // the first row of a new file, without line end

  ProductionLog() = default;
  ~ProductionLog();
  ProductionLog(const ProductionLog&) = delete;
  ProductionLog& operator=(const ProductionLog&) = delete;

  // Opens path for appending (creating it and its folder), writing the header when the
  // file is empty. False when it cannot; the log is then closed.
  bool Open(const std::string& path);
  void CloseFile();
  bool IsOpen() const;
  std::string Path() const;
  // Appends one row and flushes it to the disk; false (and the file as it was) when it
  // cannot. Safe from several workers at once.
  bool Append(const ProductionLogRow& row);

  // The row's text with its line end ("\r\n"); fields with a comma, quote or line break
  // are quoted.
  static std::string FormatRow(const ProductionLogRow& row);
  // This computer's name; "unknown" when the system does not say.
  static std::string StationName();

 private:
  mutable std::mutex mutex_;
  qrplatform::AppendFile file_;
  std::string path_;
};

}  // namespace kestrel
