#pragma once
#include "transport/win32/WinApi.h"

#include "core/Transport.h"

namespace kestrel {

// One endpoint opened by CreateFile on an adapter's device path: the device itself (no
// transfers; closing it is "USB Reset"), the out pipe or the in pipe. The pipes are opened
// for overlapped I/O only so that a read can be given up after its timeout; every call
// still completes before it returns.
class Win32Endpoint : public Endpoint {
 public:
  enum class Kind { kDevice, kOut, kIn };
  // Writes wait at most this long for the driver to take a packet.
  static constexpr DWORD kWriteTimeoutMs = 5000;

  Win32Endpoint(HANDLE handle, Kind kind) : handle_(handle), kind_(kind) {}
  ~Win32Endpoint() override;
  Win32Endpoint(const Win32Endpoint&) = delete;
  Win32Endpoint& operator=(const Win32Endpoint&) = delete;

  bool Write(const uint8_t* data, size_t length, size_t* written) override;
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override;

 private:
  // One transfer: ReadFile or WriteFile, waited for at most timeoutMs (INFINITE allowed).
  bool Transfer(bool write, void* buffer, DWORD length, DWORD* done, DWORD timeoutMs);

  HANDLE handle_;
  Kind kind_;
};

}  // namespace kestrel
