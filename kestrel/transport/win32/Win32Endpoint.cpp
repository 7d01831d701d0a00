#include "transport/win32/Win32Endpoint.h"

namespace kestrel {

Win32Endpoint::~Win32Endpoint() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

bool Win32Endpoint::Transfer(bool write, void* buffer, DWORD length, DWORD* done, DWORD timeoutMs) {
  *done = 0;
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ov.hEvent == nullptr) return false;
  BOOL ok = write ? WriteFile(handle_, buffer, length, nullptr, &ov) : ReadFile(handle_, buffer, length, nullptr, &ov);
  bool result = false;
  if (ok || GetLastError() == ERROR_IO_PENDING) {
    if (WaitForSingleObject(ov.hEvent, timeoutMs) != WAIT_OBJECT_0) {
      // Give the request up; it must be finished before ov and buffer go away.
      CancelIoEx(handle_, &ov);
    }
    result = GetOverlappedResult(handle_, &ov, done, TRUE) != FALSE;
  }
  CloseHandle(ov.hEvent);
  return result;
}

bool Win32Endpoint::Write(const uint8_t* data, size_t length, size_t* written) {
  if (written == nullptr) return false;
  *written = 0;
  if (kind_ != Kind::kOut || data == nullptr || length == 0 || length > kMaxTransfer) return false;
  DWORD done = 0;
  // WriteFile does not change the buffer; the cast only satisfies the shared helper.
  bool ok = Transfer(true, const_cast<uint8_t*>(data), static_cast<DWORD>(length), &done, kWriteTimeoutMs);
  *written = done;
  return ok;
}

bool Win32Endpoint::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
  if (received == nullptr) return false;
  *received = 0;
  if (kind_ != Kind::kIn || buffer == nullptr || length == 0 || length > kMaxTransfer) return false;
  DWORD done = 0;
  DWORD timeout = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  bool ok = Transfer(false, buffer, static_cast<DWORD>(length), &done, timeout);
  *received = done;
  return ok;
}

}  // namespace kestrel
