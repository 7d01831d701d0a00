#pragma once
// How the download engine reaches the USB download adapters. A backend (simulated
// adapters, libusb, Windows device interfaces) implements Transport for discovery and
// opening, and Endpoint for one opened endpoint. The engine adds on top what every
// backend shares: TransportResult codes, length checks, read retries, slot handles.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace kestrel {

// Result of PipeRead / PipeWrite; the values are the adapter tool's own.
enum class TransportResult : int {
  kDone = 0,
  kInvalidHandle = 1,
  kReadFailed = 2,    // a read failed at least once (even if a later attempt delivered)
  kWriteFailed = 4,
  kBadPointer = 6,
  kBadLength = 7,     // length 0 or above 4096
};

constexpr size_t kMaxTransfer = 4096;
constexpr int kMaxInterfaces = 127;

// What identifies a download adapter: where it is plugged, not what it is, so two
// adapters with the same USB ids stay two and a board moved to another adapter meets
// another identity. Every backend makes it here:
//   libusb      the bus path "BUS-PORT.PORT..." ("1-2.3": bus 1, hub port 2, port 3);
//   simulator   "sim-adapter-N", N the simulated adapter's number;
//   Windows     the instance part of the device interface path ("6&2a0b&0&2").
// The engine keeps a failed burn's address for the adapter with this identity only, and
// its text is what the production log and the address pool store as the adapter.
// Empty: the adapter cannot be told apart and its slot is never opened.
class AdapterId {
 public:
  AdapterId() = default;
  // bus and the port numbers from the root hub down (libusb_get_port_numbers); none
  // when the ports are unknown.
  static AdapterId UsbBusPath(int bus, const uint8_t* ports, int portCount);
  static AdapterId Simulated(int index);
  static AdapterId WindowsDevicePath(const std::string& devicePath);
  // An identity as stored in a log row or the pool, or written by a test.
  static AdapterId FromText(std::string text) { return AdapterId(std::move(text)); }

  const std::string& text() const { return text_; }
  bool empty() const { return text_.empty(); }
  bool operator==(const AdapterId& other) const { return text_ == other.text_; }
  bool operator!=(const AdapterId& other) const { return text_ != other.text_; }
  bool operator<(const AdapterId& other) const { return text_ < other.text_; }

 private:
  explicit AdapterId(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

struct DeviceInterfaceInfo {
  std::string devicePath;
  std::string displayName;
  AdapterId adapterId;  // empty: the slot is never opened
};

// One opened endpoint: the device itself, the out pipe ("PIPE01") or the in pipe
// ("PIPE00"). Called from the slot's worker thread only.
class Endpoint {
 public:
  virtual ~Endpoint() = default;
  // One write of the whole length; true and the count taken, or false.
  virtual bool Write(const uint8_t* data, size_t length, size_t* written) = 0;
  // One read attempt of up to length bytes; waits at most timeoutMs for data.
  // False on error, on timeout, or when the adapter is gone.
  virtual bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) = 0;
};

// Told when adapters appear or disappear. Called on a thread of the transport's own;
// ProductionEngine::WatchAdapters is the listener a window uses (it runs RefreshSlots).
class AdapterListener {
 public:
  virtual ~AdapterListener() = default;
  virtual void AdaptersChanged() = 0;
};

// Discovery and opening. Not safe to call from two threads at once: ProductionEngine
// serialises its calls (its helper threads open slots while a plug-in may recount).
class Transport {
 public:
  virtual ~Transport() = default;
  // Starts telling listener about plugging until StopWatching (or destruction); false
  // when the backend cannot watch. One listener at a time. A notification may be a
  // false alarm (nothing changed); it is never missed for a real change.
  virtual bool StartWatching(AdapterListener* /*listener*/) { return false; }
  // Returns once no notification is running or will come.
  virtual void StopWatching() {}
  // Present interfaces of the adapter class, 0..127.
  virtual int CountInterfaces() = 0;
  // All strings empty when the index yields no interface.
  virtual DeviceInterfaceInfo GetInterfaceInfo(int index) = 0;
  // Opens the device of interface index and makes its path the current one.
  virtual std::unique_ptr<Endpoint> OpenInterface(int index) = 0;
  // Opens pipe name ("PIPE01" out, "PIPE00" in) of the current device path.
  virtual std::unique_ptr<Endpoint> OpenPipe(const std::string& name) = 0;
};

// The instance part of a device path: after its first "#" up to its last "#", the text
// between that part's first and last "#". "\\?\usb#vid_1234&pid_5678#6&2a0b&0&2#{guid}"
// gives "6&2a0b&0&2"; a path with fewer than three "#" gives "".
std::string InstanceIdFromDevicePath(const std::string& devicePath);

}  // namespace kestrel
