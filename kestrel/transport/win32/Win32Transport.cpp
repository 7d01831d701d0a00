#include "transport/win32/Win32Transport.h"

#include <setupapi.h>

#include <vector>

#include "transport/win32/Win32Endpoint.h"

// Windows 8 and later; the library exports them, this toolchain's header only has the types.
extern "C" {
DECLSPEC_IMPORT CONFIGRET WINAPI CM_Register_Notification(PCM_NOTIFY_FILTER filter, PVOID context,
                                                          PCM_NOTIFY_CALLBACK callback,
                                                          PHCMNOTIFICATION notification);
DECLSPEC_IMPORT CONFIGRET WINAPI CM_Unregister_Notification(HCMNOTIFICATION notification);
}

namespace kestrel {
namespace {

constexpr DWORD kPropertyBufferBytes = 256;
constexpr size_t kMaxDisplayName = 256;

std::string Utf8(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

// A text property of the device, read into a 256-byte buffer; "" when it cannot be read.
std::string DeviceProperty(HDEVINFO set, SP_DEVINFO_DATA* devInfo, DWORD property) {
  wchar_t buffer[kPropertyBufferBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, devInfo, property, &type, reinterpret_cast<BYTE*>(buffer),
                                         sizeof buffer - sizeof(wchar_t), nullptr)) {
    return {};
  }
  size_t length = 0;
  while (length < sizeof buffer / sizeof buffer[0] && buffer[length] != L'\0') ++length;
  return Utf8(buffer, length);
}

HANDLE OpenPath(const std::string& path, bool overlapped) {
  if (path.empty()) return INVALID_HANDLE_VALUE;
  std::wstring wide = Wide(path);
  return CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
}

}  // namespace

Win32Transport::Win32Transport() : classGuid_(kAdapterInterfaceClass) {}

Win32Transport::~Win32Transport() { StopWatching(); }

DWORD CALLBACK Win32Transport::OnDeviceChange(HCMNOTIFICATION, PVOID context, CM_NOTIFY_ACTION action,
                                              PCM_NOTIFY_EVENT_DATA, DWORD) {
  if (action == CM_NOTIFY_ACTION_DEVICEINTERFACEARRIVAL || action == CM_NOTIFY_ACTION_DEVICEINTERFACEREMOVAL) {
    auto* self = static_cast<Win32Transport*>(context);
    {
      std::lock_guard<std::mutex> lock(self->watchMutex_);
      self->changed_ = true;
    }
    self->watchWake_.notify_one();
  }
  return ERROR_SUCCESS;
}

bool Win32Transport::StartWatching(AdapterListener* listener) {
  if (listener == nullptr || watcher_.joinable()) return false;
  CM_NOTIFY_FILTER filter{};
  filter.cbSize = sizeof filter;
  filter.FilterType = CM_NOTIFY_FILTER_TYPE_DEVICEINTERFACE;
  filter.u.DeviceInterface.ClassGuid = kAdapterInterfaceClass;
  if (CM_Register_Notification(&filter, this, &Win32Transport::OnDeviceChange, &notification_) != CR_SUCCESS) {
    notification_ = nullptr;
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(watchMutex_);
    stop_ = false;
    changed_ = false;
  }
  watcher_ = std::thread([this, listener] {
    std::unique_lock<std::mutex> lock(watchMutex_);
    for (;;) {
      watchWake_.wait(lock, [this] { return stop_ || changed_; });
      if (stop_) return;
      changed_ = false;
      lock.unlock();
      listener->AdaptersChanged();
      lock.lock();
    }
  });
  return true;
}

void Win32Transport::StopWatching() {
  // Returns once no callback of the registration runs any more.
  if (notification_ != nullptr) CM_Unregister_Notification(notification_);
  notification_ = nullptr;
  if (!watcher_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(watchMutex_);
    stop_ = true;
  }
  watchWake_.notify_one();
  watcher_.join();
}

int Win32Transport::CountInterfaces() {
  classGuid_ = kAdapterInterfaceClass;
  HDEVINFO set = SetupDiGetClassDevsW(&classGuid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  for (DWORD index = 0; index < static_cast<DWORD>(kMaxInterfaces); ++index) {
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (SetupDiEnumDeviceInterfaces(set, nullptr, &classGuid_, index, &data)) {
      ++count;
    } else if (GetLastError() == ERROR_NO_MORE_ITEMS) {
      break;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return count;
}

DeviceInterfaceInfo Win32Transport::GetInterfaceInfo(int index) {
  DeviceInterfaceInfo info;
  if (index < 0) return info;
  classGuid_ = kAdapterInterfaceClass;
  HDEVINFO set = SetupDiGetClassDevsW(&classGuid_, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return info;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (SetupDiEnumDeviceInterfaces(set, nullptr, &classGuid_, static_cast<DWORD>(index), &data)) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
    if (required >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
      std::vector<uint8_t> storage(required + sizeof(wchar_t), 0);  // zeroed: a terminator is always there
      auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
      detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
      SP_DEVINFO_DATA devInfo{};
      devInfo.cbSize = sizeof devInfo;
      if (SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, &devInfo)) {
        size_t chars = 0;
        size_t maxChars = (storage.size() - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
        while (chars < maxChars && detail->DevicePath[chars] != L'\0') ++chars;
        std::string path = Utf8(detail->DevicePath, chars);
        info.displayName = DeviceProperty(set, &devInfo, SPDRP_FRIENDLYNAME);
        if (info.displayName.empty()) info.displayName = DeviceProperty(set, &devInfo, SPDRP_DEVICEDESC);
        if (info.displayName.empty()) info.displayName = path.substr(0, kMaxDisplayName);
        info.devicePath = path;
        // Windows 98/ME kept the instance in the registry under DeviceClasses; those
        // systems are not supported, so the path rule is the only one.
        info.adapterId = AdapterId::WindowsDevicePath(path);
      }
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return info;
}

std::unique_ptr<Endpoint> Win32Transport::OpenInterface(int index) {
  currentPath_ = GetInterfaceInfo(index).devicePath;
  HANDLE h = OpenPath(currentPath_, false);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32Endpoint>(h, Win32Endpoint::Kind::kDevice);
}

std::unique_ptr<Endpoint> Win32Transport::OpenPipe(const std::string& name) {
  Win32Endpoint::Kind kind;
  if (name == "PIPE01") {
    kind = Win32Endpoint::Kind::kOut;
  } else if (name == "PIPE00") {
    kind = Win32Endpoint::Kind::kIn;
  } else {
    return nullptr;
  }
  if (currentPath_.empty()) return nullptr;
  HANDLE h = OpenPath(currentPath_ + "\\" + name, true);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32Endpoint>(h, kind);
}

}  // namespace kestrel
