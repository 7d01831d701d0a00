// Windows: the C runtime's descriptors over wide-character names, _commit for the flush,
// MoveFileExW (write-through) for the replacement. NTFS has no folder flush; the
// write-through move is what makes the rename durable.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <shellapi.h>

#include <vector>

#include "../Os.h"

namespace qrplatform::os {

namespace {

// Names arrive as UTF-8. (std::filesystem::path would take a std::string's bytes in the
// narrow code page instead.)
std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
  s.pop_back();  // the terminating zero
  return s;
}

UINT g_consoleOutputCp = 0;
void RestoreConsoleOutput() { SetConsoleOutputCP(g_consoleOutputCp); }

void Why(std::string* why, int err) {
  if (why) *why = std::strerror(err);
}

void WhyLast(std::string* why) {
  if (why) *why = "system error " + std::to_string(GetLastError());
}

}  // namespace

unsigned long ProcessId() { return GetCurrentProcessId(); }

bool IsDirectory(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int CreateNew(const std::string& path, bool* exists, std::string* why) {
  const int fd = _wopen(Wide(path).c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  *exists = fd < 0 && errno == EEXIST;
  if (fd < 0) Why(why, errno);
  return fd;
}

void KeepMode(int, const std::string&) {}

bool WriteAll(int fd, const uint8_t* data, size_t n, std::string* why) {
  while (n > 0) {
    const unsigned chunk = n > (1u << 30) ? (1u << 30) : static_cast<unsigned>(n);
    const int w = _write(fd, data, chunk);
    if (w <= 0) {
      Why(why, errno);
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool KernelCopy(int, int, uint64_t n, bool* failed, std::string*) {
  *failed = false;
  return n == 0;
}

bool CopyFileInto(int dst, const std::string& source, std::string* why) {
  const int src = _wopen(Wide(source).c_str(), _O_RDONLY | _O_BINARY);
  if (src < 0) {
    Why(why, errno);
    return false;
  }
  char buf[64 * 1024];
  bool ok = true;
  for (;;) {
    const int got = _read(src, buf, sizeof buf);
    if (got < 0) {
      Why(why, errno);
      ok = false;
      break;
    }
    if (got == 0) break;
    if (!WriteAll(dst, reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(got), why)) {
      ok = false;
      break;
    }
  }
  _close(src);
  return ok;
}

void StartWriteback(int) {}

bool Sync(int fd, std::string* why) {
  if (_commit(fd) == 0) return true;
  Why(why, errno);
  return false;
}

bool Close(int fd, std::string* why) {
  if (_close(fd) == 0) return true;
  Why(why, errno);
  return false;
}

bool Rename(const std::string& from, const std::string& to, std::string* why) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  WhyLast(why);
  return false;
}

void Remove(const std::string& path) { (void)_wremove(Wide(path).c_str()); }

bool SyncFolder(const std::string&) { return true; }

bool WriteAt(const std::string& path, uint64_t offset, const uint8_t* data, size_t n) {
  const int fd = _wopen(Wide(path).c_str(), _O_WRONLY | _O_BINARY);
  if (fd < 0) return false;
  const __int64 at = static_cast<__int64>(offset);
  bool ok = _filelengthi64(fd) >= at + static_cast<__int64>(n) && _lseeki64(fd, at, SEEK_SET) == at &&
            WriteAll(fd, data, n, nullptr) && _commit(fd) == 0;
  ok = (_close(fd) == 0) && ok;
  return ok;
}

int OpenAppend(const std::string& path, std::string* why) {
  const int fd = _wopen(Wide(path).c_str(), _O_RDWR | _O_CREAT | _O_APPEND | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) Why(why, errno);
  return fd;
}

int64_t FileLength(int fd) { return _filelengthi64(fd); }

bool Truncate(int fd, uint64_t length) { return _chsize_s(fd, static_cast<__int64>(length)) == 0; }

int64_t ReadAt(int fd, uint64_t offset, uint8_t* data, size_t n) {
  if (_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) < 0) return -1;
  return _read(fd, data, static_cast<unsigned>(n));
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

void StartCommandLine(int& argc, char**& argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The console keeps its output code page after the program ends: put it back then.
  g_consoleOutputCp = GetConsoleOutputCP();
  if (g_consoleOutputCp != 0 && g_consoleOutputCp != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
    std::atexit(RestoreConsoleOutput);
  int n = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (wide == nullptr) return;
  static std::vector<std::string> strings;
  static std::vector<char*> pointers;
  strings.clear();
  for (int i = 0; i < n; ++i) strings.push_back(Narrow(wide[i]));
  LocalFree(wide);
  pointers.clear();
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  argc = n;
  argv = pointers.data();
}

}  // namespace qrplatform::os
