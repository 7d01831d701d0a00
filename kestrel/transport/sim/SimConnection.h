#pragma once
// One connection to a simulated adapter's socket. Writes go out as one message each;
// each message from the adapter is one bulk IN transfer, handed out to reads in order
// (a read takes at most what one transfer brought, like a short packet ends a USB read).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrel {

class SimConnection {
 public:
  // Null when the socket is missing or nobody listens on it.
  static std::shared_ptr<SimConnection> Connect(const std::string& socketPath);
  explicit SimConnection(int fd) : fd_(fd) {}
  ~SimConnection();
  SimConnection(const SimConnection&) = delete;
  SimConnection& operator=(const SimConnection&) = delete;

  bool Write(const uint8_t* data, size_t length, size_t* written);
  // timeoutMs < 0 waits without limit.
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs);

 private:
  std::mutex mutex_;
  int fd_;
  std::vector<uint8_t> pending_;  // rest of the last transfer not yet read
  size_t pendingPos_ = 0;
};

}  // namespace kestrel
