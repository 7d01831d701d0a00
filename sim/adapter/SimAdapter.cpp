#include "SimAdapter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "transport/sim/SimWire.h"

namespace kestrel::sim {
namespace {

constexpr size_t kMaxConnections = 16;
constexpr int kSliceMs = 20;

}  // namespace

SimAdapter::SimAdapter(Settings settings, BoardFaults faults)
    : settings_(std::move(settings)), faults_(faults) {}

SimAdapter::~SimAdapter() {
  Stop();
  if (wakeFd_ >= 0) close(wakeFd_);
}

bool SimAdapter::Start(std::string* error) {
  std::string flashPath = settings_.dir + "/" + simwire::BoardFlashName(settings_.index);
  if (!board_.Create(flashPath, settings_.flashSize, settings_.eraseMs, error)) return false;
  wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0) {
    *error = std::string("eventfd: ") + std::strerror(errno);
    return false;
  }
  if (!DoPlug(error)) return false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void SimAdapter::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  if (thread_.joinable()) {
    Wake();
    thread_.join();
  }
  DoUnplug();
}

void SimAdapter::Wake() {
  if (wakeFd_ < 0) return;
  uint64_t one = 1;
  ssize_t n = write(wakeFd_, &one, sizeof one);
  (void)n;
}

bool SimAdapter::Unplug() {
  std::lock_guard<std::mutex> serial(postMutex_);
  std::unique_lock<std::mutex> lock(mutex_);
  if (stop_) return false;
  request_ = Request::kUnplug;
  requestPending_ = true;
  Wake();
  cv_.wait(lock, [this] { return request_ == Request::kNone || stop_; });
  return request_ == Request::kNone && requestOk_;
}

bool SimAdapter::Plug(std::string* error) {
  std::lock_guard<std::mutex> serial(postMutex_);
  std::unique_lock<std::mutex> lock(mutex_);
  if (stop_) return false;
  request_ = Request::kPlug;
  requestPending_ = true;
  Wake();
  cv_.wait(lock, [this] { return request_ == Request::kNone || stop_; });
  if (request_ != Request::kNone) return false;
  if (!requestOk_) *error = requestError_;
  return requestOk_;
}

bool SimAdapter::SetFault(const std::string& setting, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!ApplyFault(&faults_, setting, error)) return false;
  // A byte budget set while running counts from now, not from the last plug.
  if (setting.rfind("vanish", 0) == 0) restartTraffic_ = true;
  return true;
}

void SimAdapter::ClearFaults() {
  std::lock_guard<std::mutex> lock(mutex_);
  bool noId = faults_.noInstanceId;
  faults_ = BoardFaults{};
  faults_.noInstanceId = noId;  // the socket's name changes only with a replug
}

void SimAdapter::ServiceRequests() {
  if (!requestPending_.load()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  Request r = request_;
  lock.unlock();
  bool ok = true;
  std::string error;
  if (r == Request::kUnplug) {
    DoUnplug();
  } else if (r == Request::kPlug) {
    ok = DoPlug(&error);
  }
  lock.lock();
  requestOk_ = ok;
  requestError_ = error;
  request_ = Request::kNone;
  requestPending_ = false;
  lock.unlock();
  cv_.notify_all();
}

bool SimAdapter::DoPlug(std::string* error) {
  if (listenFd_ >= 0) return true;
  bool noId = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    noId = faults_.noInstanceId;
  }
  socketPath_ = settings_.dir + "/" + simwire::AdapterSocketName(settings_.index, noId);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath_.size() >= sizeof addr.sun_path) {
    *error = socketPath_ + ": path too long for a socket";
    return false;
  }
  std::memcpy(addr.sun_path, socketPath_.c_str(), socketPath_.size() + 1);
  unlink(socketPath_.c_str());
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 8) != 0) {
    *error = socketPath_ + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  listenFd_ = fd;
  traffic_ = 0;
  plugged_ = true;
  return true;
}

void SimAdapter::DoUnplug() {
  if (listenFd_ >= 0) {
    close(listenFd_);
    listenFd_ = -1;
    unlink(socketPath_.c_str());
  }
  for (int c : conns_) close(c);
  conns_.clear();
  ++generation_;
  board_.AbandonProgramming();
  plugged_ = false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!restartTraffic_ && faults_.vanishAfter >= 0 && traffic_ >= static_cast<uint64_t>(faults_.vanishAfter)) {
    faults_.vanishAfter = -1;  // it vanished; a replug brings back a sound adapter
  }
}

bool SimAdapter::Aborted(uint64_t generation) const { return stop_.load() || generation != generation_; }

void SimAdapter::Run() {
  std::vector<uint8_t> buffer(64 * 1024);
  while (!stop_) {
    ServiceRequests();
    std::vector<pollfd> fds;
    fds.push_back({wakeFd_, POLLIN, 0});
    if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
    for (int c : conns_) fds.push_back({c, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) {
      uint64_t count = 0;
      ssize_t n = read(wakeFd_, &count, sizeof count);
      (void)n;
      continue;  // requests and stop are looked at on top of the loop
    }
    size_t i = 1;
    if (listenFd_ >= 0) {
      if ((fds[1].revents & POLLIN) != 0) {
        int c = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (c >= 0) {
          if (conns_.size() < kMaxConnections) {
            conns_.push_back(c);
          } else {
            close(c);
          }
        }
      }
      i = 2;
    }
    const uint64_t generation = generation_;
    for (; i < fds.size() && !Aborted(generation); ++i) {
      if (fds[i].revents == 0) continue;
      int fd = fds[i].fd;
      if (std::find(conns_.begin(), conns_.end(), fd) == conns_.end()) continue;
      ssize_t n = recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
      bool keep = n > 0;
      if (keep && static_cast<size_t>(n) <= buffer.size()) {
        keep = HandleMessage(fd, buffer.data(), static_cast<size_t>(n));
      }
      // A transfer larger than any the adapter accepts is dropped whole.
      if (!keep) {
        auto it = std::find(conns_.begin(), conns_.end(), fd);
        if (it != conns_.end() && generation == generation_) {
          close(fd);
          conns_.erase(it);
        }
      }
    }
  }
  DoUnplug();
}

size_t SimAdapter::Admit(size_t bytes) {
  long long limit = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    limit = faults_.vanishAfter;
    if (restartTraffic_) traffic_ = 0;
    restartTraffic_ = false;
  }
  size_t allowed = bytes;
  if (limit >= 0) {
    uint64_t left = traffic_ >= static_cast<uint64_t>(limit) ? 0 : static_cast<uint64_t>(limit) - traffic_;
    allowed = static_cast<size_t>(std::min<uint64_t>(bytes, left));
  }
  traffic_ += allowed;
  return allowed;
}

bool SimAdapter::VanishDue() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !restartTraffic_ && faults_.vanishAfter >= 0 && traffic_ >= static_cast<uint64_t>(faults_.vanishAfter);
}

bool SimAdapter::SleepMs(int ms) {
  const uint64_t generation = generation_;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < until) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kSliceMs)));
    ServiceRequests();
    if (Aborted(generation)) return false;
  }
  return true;
}

bool SimAdapter::Pace(size_t bytes) {
  if (settings_.rate == 0 || bytes == 0) return true;
  const uint64_t generation = generation_;
  auto now = std::chrono::steady_clock::now();
  // The link runs at the set average rate: a sleep that overshoots one transfer's
  // slot is made up by the next ones, but an idle link saves up no more than a
  // short burst, so a host that pauses cannot then transfer faster than the rate.
  const auto burst = std::chrono::milliseconds(2);
  if (nextFree_ < now - burst) nextFree_ = now - burst;
  auto cost = std::chrono::nanoseconds(
      static_cast<int64_t>(static_cast<long double>(bytes) * 1e9L / static_cast<long double>(settings_.rate)));
  nextFree_ += cost;
  while (std::chrono::steady_clock::now() < nextFree_) {
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(nextFree_ - std::chrono::steady_clock::now());
    std::this_thread::sleep_for(std::min<std::chrono::microseconds>(left, std::chrono::milliseconds(kSliceMs)));
    ServiceRequests();
    if (Aborted(generation)) return false;
  }
  return true;
}

bool SimAdapter::SendMessage(int fd, uint8_t status, const uint8_t* data, size_t length) {
  const uint64_t generation = generation_;
  size_t allowed = Admit(length);
  bool vanish = allowed < length;
  if (allowed > 0 || !vanish) {
    if (!Pace(allowed)) return false;
    std::vector<uint8_t> message(allowed + 1);
    message[0] = status;
    if (allowed > 0) std::memcpy(message.data() + 1, data, allowed);
    for (;;) {
      ssize_t n = send(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) break;
      if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
      // The host is not reading yet; keep answering plug requests meanwhile.
      pollfd p[2] = {{fd, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
      poll(p, 2, kSliceMs);
      if (p[1].revents != 0) {
        uint64_t count = 0;
        ssize_t r = read(wakeFd_, &count, sizeof count);
        (void)r;
      }
      ServiceRequests();
      if (Aborted(generation)) return false;
    }
  }
  if (vanish || VanishDue()) {
    DoUnplug();
    return false;
  }
  return true;
}

bool SimAdapter::Send(uint8_t status, const uint8_t* data, size_t length) {
  return SendMessage(currentFd_, status, data, length);
}

bool SimAdapter::Wait(int ms) { return SleepMs(ms); }

BoardFaults SimAdapter::Faults() {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_;
}

bool SimAdapter::TakeReadFailure(int transfer) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (transfer == 0) {
    bool fail = faults_.replyFailOnce;
    faults_.replyFailOnce = false;
    return fail;
  }
  if (faults_.readFailOnce != transfer) return false;
  faults_.readFailOnce = 0;
  return true;
}

bool SimAdapter::HandleMessage(int fd, const uint8_t* data, size_t length) {
  const uint64_t generation = generation_;
  size_t allowed = Admit(length);
  if (!Pace(allowed)) return false;
  currentFd_ = fd;
  if (!board_.HandleTransfer(data, allowed, *this)) return false;
  if (allowed < length || VanishDue()) {
    DoUnplug();
    return false;
  }
  return !Aborted(generation);
}

}  // namespace kestrel::sim
