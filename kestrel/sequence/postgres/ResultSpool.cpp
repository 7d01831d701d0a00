#include "sequence/postgres/ResultSpool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

namespace kestrel::pool {

namespace {

const char* KindName(SpooledResult::Kind k) {
  switch (k) {
    case SpooledResult::Kind::kProgrammed: return "programmed";
    case SpooledResult::Kind::kFailed: return "failed";
    case SpooledResult::Kind::kWasted: return "wasted";
  }
  return "?";
}

// Fields are separated by tabs; a tab, newline or backslash inside one is escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

bool ToLong(const std::string& s, long long* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  *v = std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

// The spool is opened without following a link and locked for the whole call: two
// processes of one station may both spool while the database is away.
class LockedFile {
 public:
  LockedFile(const std::string& path, bool create, std::string* error) {
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
    if (fd_ < 0) {
      if (errno != ENOENT || create) *error = path + ": " + std::strerror(errno);
      return;
    }
    if (::flock(fd_, LOCK_EX) != 0) {
      *error = path + ": " + std::strerror(errno);
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~LockedFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

  // The whole content; a last line without its newline (cut by a crash) is dropped from
  // the file, so the next line appended does not run on from it.
  bool ReadWhole(std::string* text, std::string* error) {
    text->clear();
    char buf[65536];
    off_t at = 0;
    for (;;) {
      const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
      if (n < 0) {
        if (errno == EINTR) continue;
        *error = std::strerror(errno);
        return false;
      }
      if (n == 0) break;
      text->append(buf, static_cast<size_t>(n));
      at += n;
    }
    const size_t whole = text->rfind('\n') == std::string::npos ? 0 : text->rfind('\n') + 1;
    if (whole != text->size()) {
      text->resize(whole);
      if (::ftruncate(fd_, static_cast<off_t>(whole)) != 0 || ::fsync(fd_) != 0) {
        *error = std::strerror(errno);
        return false;
      }
    }
    return true;
  }

 private:
  int fd_ = -1;
};

std::vector<SpooledResult> ParseLines(const std::string& text) {
  std::vector<SpooledResult> out;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    SpooledResult r;
    if (SpooledResult::FromLine(line, &r)) out.push_back(r);
  }
  return out;
}

}  // namespace

std::string SpooledResult::ToLine() const {
  const BoardRecord& b = record;
  std::ostringstream s;
  s << "v1\t" << KindName(kind) << '\t' << b.address.DisplayText() << '\t' << Escape(b.station) << '\t' << b.slot
    << '\t' << Escape(b.adapter.text()) << '\t' << b.imageChecksum << '\t' << Escape(b.result) << '\t' << b.startedUnixMs
    << '\t' << b.finishedUnixMs << '\t' << Escape(b.toolVersion);
  return s.str();
}

bool SpooledResult::FromLine(const std::string& line, SpooledResult* out) {
  std::vector<std::string> f;
  size_t at = 0;
  for (;;) {
    const size_t tab = line.find('\t', at);
    f.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
    if (tab == std::string::npos) break;
    at = tab + 1;
  }
  if (f.size() != 11 || f[0] != "v1") return false;
  SpooledResult r;
  if (f[1] == "programmed") r.kind = Kind::kProgrammed;
  else if (f[1] == "failed") r.kind = Kind::kFailed;
  else if (f[1] == "wasted") r.kind = Kind::kWasted;
  else return false;
  const auto address = BtAddress::FromDisplayText(f[2]);
  long long slot = 0, checksum = 0, started = 0, finished = 0;
  if (!address || !ToLong(f[4], &slot) || !ToLong(f[6], &checksum) || !ToLong(f[8], &started) ||
      !ToLong(f[9], &finished))
    return false;
  r.record.address = *address;
  r.record.station = Unescape(f[3]);
  r.record.slot = static_cast<int>(slot);
  r.record.adapter = AdapterId::FromText(Unescape(f[5]));
  r.record.imageChecksum = static_cast<uint32_t>(checksum);
  r.record.result = Unescape(f[7]);
  r.record.startedUnixMs = started;
  r.record.finishedUnixMs = finished;
  r.record.toolVersion = Unescape(f[10]);
  *out = r;
  return true;
}

bool ResultSpool::Append(const SpooledResult& result, std::string* error) {
  LockedFile f(path_, true, error);
  if (f.fd() < 0) return false;
  std::string ignored;
  if (!f.ReadWhole(&ignored, error)) return false;
  const std::string line = result.ToLine() + "\n";
  // One write: with O_APPEND the line lands whole after whatever is there.
  const ssize_t n = ::write(f.fd(), line.data(), line.size());
  if (n != static_cast<ssize_t>(line.size())) {
    *error = path_ + ": " + (n < 0 ? std::strerror(errno) : "short write");
    if (n > 0) (void)::ftruncate(f.fd(), ::lseek(f.fd(), 0, SEEK_END) - n);
    return false;
  }
  if (::fsync(f.fd()) != 0) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::vector<SpooledResult> ResultSpool::Pending(std::string* error) const {
  LockedFile f(path_, false, error);
  if (f.fd() < 0) return {};
  std::string text;
  if (!f.ReadWhole(&text, error)) return {};
  return ParseLines(text);
}

bool ResultSpool::Replay(const std::function<bool(const SpooledResult&)>& send, int* sent, std::string* error) {
  *sent = 0;
  LockedFile f(path_, false, error);
  if (f.fd() < 0) return error->empty();  // no spool: nothing to send
  std::string text;
  if (!f.ReadWhole(&text, error)) return false;
  const std::vector<SpooledResult> lines = ParseLines(text);
  for (const SpooledResult& r : lines) {
    if (!send(r)) {
      *error = "the pool database did not take a spooled result";
      return false;
    }
    ++*sent;
  }
  if (::ftruncate(f.fd(), 0) != 0 || ::fsync(f.fd()) != 0) {
    *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace kestrel::pool
