#pragma once
// Adapters served by kestrel-adapter-sim in a folder: each socket adapter<n>.sock is one
// present adapter, counted in the order of n. A socket that appears or disappears is an
// adapter plugged in or pulled out.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Transport.h"
#include "transport/sim/SimConnection.h"

namespace kestrel {

class SimTransport : public Transport {
 public:
  explicit SimTransport(std::string dir);
  ~SimTransport() override;

  // Watches the folder with inotify: an adapter socket created, removed or renamed there
  // is a plug or an unplug.
  bool StartWatching(AdapterListener* listener) override;
  void StopWatching() override;

  int CountInterfaces() override;
  DeviceInterfaceInfo GetInterfaceInfo(int index) override;
  std::unique_ptr<Endpoint> OpenInterface(int index) override;
  std::unique_ptr<Endpoint> OpenPipe(const std::string& name) override;

  // The device path the last OpenInterface made current.
  const std::string& currentPath() const { return currentPath_; }
  // The path OpenPipe opens for name: the current device path, a backslash and name.
  std::string PipePath(const std::string& name) const { return currentPath_ + "\\" + name; }

 private:
  struct Entry {
    int index;
    bool noInstanceId;
    std::string name;
  };
  std::vector<Entry> List() const;

  std::string dir_;
  std::string currentPath_;
  std::thread watcher_;
  int inotifyFd_ = -1;
  int stopFd_ = -1;  // eventfd that ends the watcher
  // The connection of the first pipe opened on a device; its partner pipe shares it.
  std::weak_ptr<SimConnection> unpaired_;
  std::string unpairedPath_;
  std::string unpairedName_;
};

}  // namespace kestrel
