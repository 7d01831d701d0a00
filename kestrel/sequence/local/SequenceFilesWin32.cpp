// Windows: LockFileEx on the lock file (on a byte far past its text, so a second process
// can still read who holds it), the image through one HANDLE with FlushFileBuffers,
// identity by volume serial number and file index.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <filesystem>

#include "sequence/local/SequenceFiles.h"

#include "qrplatform/Utf8Path.h"

namespace kestrel {

namespace {

std::wstring Wide(const std::string& s) { return qrplatform::PathFromUtf8(s).wstring(); }
std::string LastError() { return "system error " + std::to_string(GetLastError()); }
constexpr DWORD kLockOffset = 0x7FFFFFF0;

struct Identity {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
};

bool IdentityOf(HANDLE h, Identity* id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  id->volume = info.dwVolumeSerialNumber;
  id->high = info.nFileIndexHigh;
  id->low = info.nFileIndexLow;
  return true;
}

}  // namespace

struct LocalSequence::Handles::Os {
  HANDLE lock = INVALID_HANDLE_VALUE;
  HANDLE image = INVALID_HANDLE_VALUE;
  Identity id;
};

LocalSequence::Handles::Handles() : os(new Os) {}
LocalSequence::Handles::~Handles() {
  Close();
  delete os;
}

std::string HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (GetComputerNameA(name, &size) && size > 0) return std::string(name, size);
  return "unknown";
}

unsigned long ProcessIdNumber() { return GetCurrentProcessId(); }

bool LocalSequence::Handles::Lock(const std::string& lockPath, bool* held, std::string* holder,
                                  std::string* why) {
  *held = false;
  HANDLE h = CreateFileW(Wide(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *why = LastError();
    return false;
  }
  OVERLAPPED at{};
  at.Offset = kLockOffset;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    if (GetLastError() == ERROR_LOCK_VIOLATION) {
      *held = true;
      char text[512] = {};
      DWORD got = 0;
      if (ReadFile(h, text, sizeof text - 1, &got, nullptr)) holder->assign(text, got);
      while (!holder->empty() && (holder->back() == '\n' || holder->back() == '\r')) holder->pop_back();
    } else {
      *why = LastError();
    }
    CloseHandle(h);
    return false;
  }
  const std::string me = HostName() + " " + std::to_string(ProcessIdNumber()) + "\r\n";
  DWORD wrote = 0;
  if (SetEndOfFile(h)) WriteFile(h, me.data(), static_cast<DWORD>(me.size()), &wrote, nullptr);
  os->lock = h;
  return true;
}

bool LocalSequence::Handles::OpenImage(const std::string& path, bool* readOnly, std::string* why) {
  *readOnly = false;
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    *readOnly = true;
    *why = "the file is read-only";
    return false;
  }
  // Shared for deletion too: the configuration tool may replace the image meanwhile.
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *readOnly = GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_WRITE_PROTECT;
    *why = LastError();
    return false;
  }
  if (!IdentityOf(h, &os->id)) {
    *why = LastError();
    CloseHandle(h);
    return false;
  }
  os->image = h;
  return true;
}

uint64_t LocalSequence::Handles::ImageSize() const {
  LARGE_INTEGER size{};
  if (os->image == INVALID_HANDLE_VALUE || !GetFileSizeEx(os->image, &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

bool LocalSequence::Handles::ReadImage(uint64_t offset, uint8_t* data, size_t n) const {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD got = 0;
  return ReadFile(os->image, data, static_cast<DWORD>(n), &got, &at) && got == n;
}

bool LocalSequence::Handles::WriteImage(uint64_t offset, const uint8_t* data, size_t n, std::string* why) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD wrote = 0;
  if (!WriteFile(os->image, data, static_cast<DWORD>(n), &wrote, &at) || wrote != n ||
      !FlushFileBuffers(os->image)) {
    *why = LastError();
    return false;
  }
  return true;
}

bool LocalSequence::Handles::StillNamed(const std::string& path) const {
  if (os->image == INVALID_HANDLE_VALUE) return false;
  HANDLE h = CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  Identity now;
  const bool ok = IdentityOf(h, &now);
  CloseHandle(h);
  return ok && now.volume == os->id.volume && now.high == os->id.high && now.low == os->id.low;
}

void LocalSequence::Handles::Close() {
  if (os->image != INVALID_HANDLE_VALUE) CloseHandle(os->image);
  os->image = INVALID_HANDLE_VALUE;
  if (os->lock != INVALID_HANDLE_VALUE) CloseHandle(os->lock);  // closing drops the lock
  os->lock = INVALID_HANDLE_VALUE;
}

}  // namespace kestrel
