#pragma once
// An in-process transport: discovery and opening over a list of ModelAdapters; records
// the pipe names asked for.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/Transport.h"
#include "ModelAdapter.h"

namespace kestrel::test {

class InProcessTransport : public Transport {
 public:
  std::vector<ModelAdapter*> adapters;
  int countOverride = -1;  // what CountInterfaces answers instead of the list size
  std::vector<std::string> pipesOpened;
  std::vector<int> devicesOpened;
  std::atomic<bool>* openGate = nullptr;  // when set, opening a device waits until it turns true
  std::atomic<bool> openEntered{false};   // a device open has begun
  AdapterListener* listener = nullptr;    // set by StartWatching; the test calls it

  bool StartWatching(AdapterListener* l) override {
    listener = l;
    return true;
  }
  void StopWatching() override { listener = nullptr; }

  int CountInterfaces() override {
    return countOverride >= 0 ? countOverride : static_cast<int>(adapters.size());
  }
  DeviceInterfaceInfo GetInterfaceInfo(int index) override {
    if (index < 0 || index >= static_cast<int>(adapters.size())) return {};
    return {"dev" + std::to_string(index), "Adapter", adapters[static_cast<size_t>(index)]->adapterId};
  }
  std::unique_ptr<Endpoint> OpenInterface(int index) override {
    openEntered = true;
    while (openGate != nullptr && !*openGate) std::this_thread::yield();
    devicesOpened.push_back(index);
    current_ = index;
    if (index < 0 || index >= static_cast<int>(adapters.size())) return nullptr;
    ModelAdapter* a = adapters[static_cast<size_t>(index)];
    return a->deviceOpens ? a->MakeEndpoint() : nullptr;
  }
  std::unique_ptr<Endpoint> OpenPipe(const std::string& name) override {
    pipesOpened.push_back(name);
    if (current_ < 0 || current_ >= static_cast<int>(adapters.size())) return nullptr;
    ModelAdapter* a = adapters[static_cast<size_t>(current_)];
    if (name == "PIPE01") return a->outPipeOpens ? a->MakeEndpoint() : nullptr;
    if (name == "PIPE00") return a->inPipeOpens ? a->MakeEndpoint() : nullptr;
    return nullptr;
  }

 private:
  int current_ = -1;
};

}  // namespace kestrel::test
