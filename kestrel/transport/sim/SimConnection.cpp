#include "transport/sim/SimConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "core/Transport.h"
#include "transport/sim/SimWire.h"

namespace kestrel {

std::shared_ptr<SimConnection> SimConnection::Connect(const std::string& socketPath) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return nullptr;
  std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return nullptr;
  }
  // A simulator that stops reading must not hang a worker for good.
  timeval limit{};
  limit.tv_sec = 5;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  return std::make_shared<SimConnection>(fd);
}

SimConnection::~SimConnection() {
  if (fd_ >= 0) close(fd_);
}

bool SimConnection::Write(const uint8_t* data, size_t length, size_t* written) {
  *written = 0;
  // A zero-length message would look like a closed connection to the adapter.
  if (data == nullptr || length == 0 || length > kMaxTransfer) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  ssize_t n = send(fd_, data, length, MSG_NOSIGNAL);
  if (n < 0) return false;
  *written = static_cast<size_t>(n);
  return true;
}

bool SimConnection::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
  *received = 0;
  if (buffer == nullptr || length == 0) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (pendingPos_ >= pending_.size()) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      int wait = -1;
      if (timeoutMs >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        wait = static_cast<int>(std::max<long long>(0, left.count()));
      }
      pollfd p{fd_, POLLIN, 0};
      int r = poll(&p, 1, wait);
      if (r > 0) break;
      if (r == 0) return false;  // timed out
      if (errno != EINTR) return false;
    }
    std::vector<uint8_t> message(1 + simwire::kMaxInTransfer);
    ssize_t n = recv(fd_, message.data(), message.size(), MSG_TRUNC);
    // Nothing (the adapter is gone), an oversized transfer or a bus error: the read fails.
    if (n <= 0 || static_cast<size_t>(n) > message.size()) return false;
    if (message[0] != simwire::kWireData) return false;
    pending_.assign(message.begin() + 1, message.begin() + n);
    pendingPos_ = 0;
  }
  size_t n = std::min(length, pending_.size() - pendingPos_);
  std::memcpy(buffer, pending_.data() + pendingPos_, n);
  pendingPos_ += n;
  *received = n;
  return true;
}

}  // namespace kestrel
