#include "transport/sim/SimTransport.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "transport/sim/SimEndpoint.h"
#include "transport/sim/SimWire.h"

namespace kestrel {

SimTransport::SimTransport(std::string dir) : dir_(std::move(dir)) {}

SimTransport::~SimTransport() { StopWatching(); }

bool SimTransport::StartWatching(AdapterListener* listener) {
  if (listener == nullptr || watcher_.joinable()) return false;
  inotifyFd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (inotifyFd_ < 0 || stopFd_ < 0 ||
      inotify_add_watch(inotifyFd_, dir_.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
    StopWatching();
    return false;
  }
  watcher_ = std::thread([this, listener] {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
      if (poll(fds, 2, -1) < 0) continue;
      if (fds[1].revents != 0) return;
      // One notification for all the events read at once: a burst of changes (the
      // simulator starting four adapters) is one recount.
      bool adapterChanged = false;
      ssize_t n;
      while ((n = read(inotifyFd_, buffer, sizeof buffer)) > 0) {
        for (char* p = buffer; p < buffer + n;) {
          const auto* e = reinterpret_cast<const inotify_event*>(p);
          int index = 0;
          bool noId = false;
          if ((e->mask & IN_Q_OVERFLOW) != 0 ||
              (e->len > 0 && simwire::ParseAdapterSocketName(e->name, &index, &noId)))
            adapterChanged = true;
          p += sizeof(inotify_event) + e->len;
        }
      }
      if (adapterChanged) listener->AdaptersChanged();
    }
  });
  return true;
}

void SimTransport::StopWatching() {
  if (watcher_.joinable()) {
    const uint64_t one = 1;
    if (write(stopFd_, &one, sizeof one) != sizeof one) {
      // An eventfd counter cannot overflow from one write; nothing else can fail here.
    }
    watcher_.join();
  }
  if (inotifyFd_ >= 0) close(inotifyFd_);
  if (stopFd_ >= 0) close(stopFd_);
  inotifyFd_ = stopFd_ = -1;
}

std::vector<SimTransport::Entry> SimTransport::List() const {
  std::vector<Entry> entries;
  DIR* d = opendir(dir_.c_str());
  if (d == nullptr) return entries;
  while (dirent* e = readdir(d)) {
    Entry entry{0, false, e->d_name};
    if (!simwire::ParseAdapterSocketName(entry.name, &entry.index, &entry.noInstanceId)) continue;
    struct stat st;
    if (lstat((dir_ + "/" + entry.name).c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    entries.push_back(entry);
  }
  closedir(d);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.index != b.index ? a.index < b.index : a.name < b.name;
  });
  if (entries.size() > static_cast<size_t>(kMaxInterfaces)) entries.resize(kMaxInterfaces);
  return entries;
}

int SimTransport::CountInterfaces() { return static_cast<int>(List().size()); }

DeviceInterfaceInfo SimTransport::GetInterfaceInfo(int index) {
  DeviceInterfaceInfo info;
  std::vector<Entry> entries = List();
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return info;
  const Entry& e = entries[static_cast<size_t>(index)];
  info.devicePath = dir_ + "/" + e.name;
  info.displayName = "Simulated download adapter " + std::to_string(e.index);
  if (!e.noInstanceId) info.adapterId = AdapterId::Simulated(e.index);
  return info;
}

std::unique_ptr<Endpoint> SimTransport::OpenInterface(int index) {
  currentPath_ = GetInterfaceInfo(index).devicePath;
  auto connection = SimConnection::Connect(currentPath_);
  if (!connection) return nullptr;
  return std::make_unique<SimEndpoint>(SimEndpoint::Kind::kDevice, std::move(connection));
}

std::unique_ptr<Endpoint> SimTransport::OpenPipe(const std::string& name) {
  SimEndpoint::Kind kind;
  if (name == "PIPE01") {
    kind = SimEndpoint::Kind::kOut;
  } else if (name == "PIPE00") {
    kind = SimEndpoint::Kind::kIn;
  } else {
    return nullptr;
  }
  // The pipe's path is the device path with the pipe's name; the adapter listens on the
  // device path and carries both pipes on one connection.
  std::string pipePath = PipePath(name);
  std::string socketPath = pipePath.substr(0, pipePath.rfind('\\'));
  std::shared_ptr<SimConnection> connection = unpaired_.lock();
  if (connection && unpairedPath_ == socketPath && unpairedName_ != name) {
    unpaired_.reset();
  } else {
    connection = SimConnection::Connect(socketPath);
    if (!connection) return nullptr;
    unpaired_ = connection;
    unpairedPath_ = socketPath;
    unpairedName_ = name;
  }
  return std::make_unique<SimEndpoint>(kind, std::move(connection));
}

}  // namespace kestrel
