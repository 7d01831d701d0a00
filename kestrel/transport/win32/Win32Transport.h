#pragma once
// Download adapters on Windows: instances of the adapter's device-interface class, found
// with SetupAPI and opened by CreateFile on the interface's device path; the pipes are
// the device path, a backslash and "PIPE01" (out) or "PIPE00" (in).
#include "transport/win32/WinApi.h"

#include <cfgmgr32.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/Transport.h"

namespace kestrel {

// {37538c66-9584-42d3-9632-ebad0a230d13}
inline constexpr GUID kAdapterInterfaceClass = {
    0x37538c66, 0x9584, 0x42d3, {0x96, 0x32, 0xeb, 0xad, 0x0a, 0x23, 0x0d, 0x13}};

class Win32Transport : public Transport {
 public:
  Win32Transport();
  ~Win32Transport() override;

  // Device-change notifications of the adapter's interface class (arrival and removal),
  // registered with the configuration manager; the listener is called from a thread of
  // ours, never from the system's callback.
  bool StartWatching(AdapterListener* listener) override;
  void StopWatching() override;

  int CountInterfaces() override;
  DeviceInterfaceInfo GetInterfaceInfo(int index) override;
  std::unique_ptr<Endpoint> OpenInterface(int index) override;
  std::unique_ptr<Endpoint> OpenPipe(const std::string& name) override;

  const std::string& currentPath() const { return currentPath_; }

 private:
  GUID classGuid_;
  // The device path of the interface opened last (UTF-8). Kept as a string rather than
  // a fixed buffer, so a long path is never cut short before a pipe suffix is added.
  std::string currentPath_;

  static DWORD CALLBACK OnDeviceChange(HCMNOTIFICATION notification, PVOID context, CM_NOTIFY_ACTION action,
                                       PCM_NOTIFY_EVENT_DATA data, DWORD size);
  HCMNOTIFICATION notification_ = nullptr;
  std::thread watcher_;
  std::mutex watchMutex_;
  std::condition_variable watchWake_;
  bool changed_ = false;  // guarded by watchMutex_
  bool stop_ = false;     // guarded by watchMutex_
};

}  // namespace kestrel
