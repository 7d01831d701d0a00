#include "common/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tessera {

namespace fs = std::filesystem;

namespace {

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

std::string ErrnoText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

std::atomic<unsigned> g_counter{0};

// A name in the target's folder that no one else uses: ".<name>.tmp<pid>.<n>".
std::string TemporaryName(const std::string& path, unsigned attempt) {
  const fs::path p(path);
  std::string name(1, '.');
  name.append(p.filename().string());
  name.append(".tmp");
#ifdef _WIN32
  name += std::to_string(GetCurrentProcessId());
#else
  name += std::to_string(getpid());
#endif
  name.push_back('.');
  name.append(std::to_string(g_counter.fetch_add(1) + attempt));
  return (p.parent_path() / name).string();
}

#ifdef _WIN32

std::wstring Wide(const std::string& s) { return fs::path(s).wstring(); }

bool WriteAll(FILE* f, const uint8_t* data, size_t n) {
  return n == 0 || std::fwrite(data, 1, n, f) == n;
}

// Writes through a callback into a temporary, then moves it over the target.
template <typename Fill>
bool AtomicReplace(const std::string& path, Fill&& fill, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) {
    SetError(error, "cannot replace " + path + ": it is a directory");
    return false;
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string tmp = TemporaryName(path, attempt);
    const int fd = _wopen(Wide(tmp).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      SetError(error, ErrnoText("cannot create", tmp, errno));
      return false;
    }
    FILE* f = _fdopen(fd, "wb");
    if (!f) {
      _close(fd);
      _wremove(Wide(tmp).c_str());
      SetError(error, "cannot open " + tmp);
      return false;
    }
    bool ok = fill(f, error);
    ok = ok && std::fflush(f) == 0 && _commit(_fileno(f)) == 0;
    if (std::fclose(f) != 0) ok = false;
    if (ok && !MoveFileExW(Wide(tmp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      SetError(error, "cannot rename the temporary over " + path);
      ok = false;
    } else if (!ok && error && error->empty()) {
      SetError(error, "cannot write " + tmp);
    }
    if (!ok) _wremove(Wide(tmp).c_str());
    return ok;
  }
  SetError(error, "cannot find a free temporary name beside " + path);
  return false;
}

#else

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

void SyncFolder(const std::string& path) {
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);  // best effort: the rename itself has happened
    ::close(fd);
  }
}

template <typename Fill>
bool AtomicReplace(const std::string& path, Fill&& fill, std::string* error) {
  struct stat old {};
  const bool hadOld = ::stat(path.c_str(), &old) == 0;
  if (hadOld && S_ISDIR(old.st_mode)) {
    SetError(error, "cannot replace " + path + ": it is a directory");
    return false;
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string tmp = TemporaryName(path, attempt);
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      SetError(error, ErrnoText("cannot create", tmp, errno));
      return false;
    }
    bool ok = fill(fd, error);
    if (ok && hadOld) (void)::fchmod(fd, old.st_mode & 07777);
    if (ok && ::fsync(fd) != 0) {
      SetError(error, ErrnoText("cannot flush", tmp, errno));
      ok = false;
    }
    if (::close(fd) != 0 && ok) {
      SetError(error, ErrnoText("cannot close", tmp, errno));
      ok = false;
    }
    if (ok && ::rename(tmp.c_str(), path.c_str()) != 0) {
      SetError(error, ErrnoText("cannot rename the temporary over", path, errno));
      ok = false;
    }
    if (!ok) {
      ::unlink(tmp.c_str());
      return false;
    }
    SyncFolder(path);
    return true;
  }
  SetError(error, "cannot find a free temporary name beside " + path);
  return false;
}

#endif

}  // namespace

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, std::string* error) {
#ifdef _WIN32
  return AtomicReplace(
      path,
      [&](FILE* f, std::string* err) {
        if (WriteAll(f, data, n)) return true;
        SetError(err, "cannot write " + path);
        return false;
      },
      error);
#else
  return AtomicReplace(
      path,
      [&](int fd, std::string* err) {
        if (WriteAll(fd, data, n)) return true;
        SetError(err, ErrnoText("cannot write", path, errno));
        return false;
      },
      error);
#endif
}

bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error) {
  FILE* in = std::fopen(from.c_str(), "rb");
  if (!in) {
    SetError(error, ErrnoText("cannot open", from, errno));
    return false;
  }
  auto copy = [&](auto out, std::string* err) {
    std::vector<uint8_t> buf(64 * 1024);
    for (;;) {
      const size_t got = std::fread(buf.data(), 1, buf.size(), in);
      if (got > 0 && !WriteAll(out, buf.data(), got)) {
        SetError(err, "cannot write " + to);
        return false;
      }
      if (got < buf.size()) {
        if (std::ferror(in)) {
          SetError(err, "cannot read " + from);
          return false;
        }
        return true;
      }
    }
  };
  const bool ok = AtomicReplace(to, copy, error);
  std::fclose(in);
  return ok;
}

bool FileSize(const std::string& path, uint64_t& size, std::string* error) {
  std::error_code ec;
  const fs::path p(path);
  if (!fs::is_regular_file(p, ec)) {
    SetError(error, "not a readable file: " + path);
    return false;
  }
  const auto s = fs::file_size(p, ec);
  if (ec) {
    SetError(error, "cannot examine " + path + ": " + ec.message());
    return false;
  }
  size = s;
  return true;
}

namespace {

bool ReadUpTo(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, bool failIfLonger,
              std::string* error) {
  out.clear();
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) {
    SetError(error, "cannot read " + path + ": it is a directory");
    return false;
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    SetError(error, ErrnoText("cannot open", path, errno));
    return false;
  }
  std::vector<uint8_t> buf(64 * 1024);
  bool ok = true;
  for (;;) {
    // One byte beyond the limit is asked for when a longer file is an error.
    const size_t remaining = maxBytes - out.size();
    size_t want = std::min(buf.size(), remaining);
    if (failIfLonger && remaining < buf.size()) want = remaining + 1;
    if (want == 0) break;
    const size_t got = std::fread(buf.data(), 1, want, f);
    out.insert(out.end(), buf.data(), buf.data() + got);
    if (out.size() > maxBytes) {
      SetError(error, path + " is longer than " + std::to_string(maxBytes) + " bytes");
      ok = false;
      break;
    }
    if (got < want) {
      if (std::ferror(f)) {
        SetError(error, "cannot read " + path);
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error) {
  return ReadUpTo(path, out, maxBytes, true, error);
}

bool ReadFilePrefix(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error) {
  return ReadUpTo(path, out, maxBytes, false, error);
}

}  // namespace tessera
