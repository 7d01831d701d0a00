#include "transport/sim/SimTransport.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "transport/sim/SimEndpoint.h"
#include "transport/sim/SimWire.h"

namespace kestrel {

SimTransport::SimTransport(std::string dir) : dir_(std::move(dir)) {}

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
  if (!e.noInstanceId) info.instanceId = "sim-adapter-" + std::to_string(e.index);
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
