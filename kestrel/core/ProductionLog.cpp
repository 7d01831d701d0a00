#include "core/ProductionLog.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "qrplatform/Utf8Path.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kestrel {

const char* const ProductionLog::kHeader =
    "time,station,slot,operation,adapter,image,checksum,address,result,result text,seconds";

namespace {

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string LocalTime(int64_t wallTimeMs) {
  const std::time_t seconds = static_cast<std::time_t>(wallTimeMs / 1000);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &seconds);
#else
  localtime_r(&seconds, &tm);
#endif
  char text[96];
  // %z is "+0800"; on Windows its text form is not portable, so the offset is computed.
#ifdef _WIN32
  std::tm utc{};
  gmtime_s(&utc, &seconds);
  utc.tm_isdst = tm.tm_isdst;
  const long offset = static_cast<long>(std::difftime(std::mktime(&tm), std::mktime(&utc)) / 60);
#else
  const long offset = tm.tm_gmtoff / 60;
#endif
  const long a = offset < 0 ? -offset : offset;
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, offset < 0 ? '-' : '+', a / 60,
                a % 60);
  return text;
}

}  // namespace

ProductionLog::~ProductionLog() { CloseFile(); }

bool ProductionLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
  path_.clear();
  std::error_code ec;
  const std::filesystem::path p = qrplatform::PathFromUtf8(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  std::string why;
  if (!file_.Open(path, &why)) return false;
  if (file_.Size() == 0) {
    const std::string header = std::string(kHeader) + "\r\n";
    if (!file_.Append(reinterpret_cast<const uint8_t*>(header.data()), header.size(), &why)) {
      file_.Close();
      return false;
    }
  }
  path_ = path;
  return true;
}

void ProductionLog::CloseFile() {
  std::lock_guard<std::mutex> lock(mutex_);
  file_.Close();
  path_.clear();
}

bool ProductionLog::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.IsOpen();
}

std::string ProductionLog::Path() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return path_;
}

std::string ProductionLog::FormatRow(const ProductionLogRow& row) {
  const SlotReport& r = row.report;
  char checksum[8] = "";
  if (row.hasChecksum) std::snprintf(checksum, sizeof checksum, "0x%04x", static_cast<unsigned>(row.checksum));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
  std::string line = LocalTime(row.wallTimeMs);
  line += "," + Field(row.station);
  line += "," + std::to_string(r.slot);
  line += "," + std::string(OperationName(r.op));
  line += "," + Field(r.adapterId.text());
  line += "," + Field(row.imagePath);
  line += "," + std::string(checksum);
  line += "," + (r.hasAddress ? r.address.DisplayText() : std::string());
  line += "," + std::to_string(ToInt(r.result));
  line += "," + Field(SlotResultText(r.result));
  line += "," + std::string(seconds);
  return line + "\r\n";
}

bool ProductionLog::Append(const ProductionLogRow& row) {
  const std::string line = FormatRow(row);
  std::lock_guard<std::mutex> lock(mutex_);
  std::string why;
  return file_.Append(reinterpret_cast<const uint8_t*>(line.data()), line.size(), &why);
}

std::string ProductionLog::StationName() {
#ifdef _WIN32
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size) && size > 0) return std::string(name, size);
#else
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
#endif
  return "unknown";
}

}  // namespace kestrel
