#pragma once
// One simulated download adapter with its board: a listening socket in the simulator's
// folder, its connections, the transfer rate, its faults, plug and unplug. The command
// set itself is SimBoard's.
// Every adapter runs on its own thread, so several transfer in parallel at the set rate.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "SimBoard.h"
#include "SimOptions.h"

namespace kestrel::sim {

class SimAdapter : private SimBoard::Link {
 public:
  struct Settings {
    std::string dir;
    int index = 0;
    size_t flashSize = 0;
    uint64_t rate = 0;  // bytes/s, 0 = unlimited
    int eraseMs = 0;
  };

  SimAdapter(Settings settings, BoardFaults faults);
  ~SimAdapter() override;
  SimAdapter(const SimAdapter&) = delete;
  SimAdapter& operator=(const SimAdapter&) = delete;

  // Creates the erased flash file, plugs the adapter and starts its thread.
  bool Start(std::string* error);
  // Ends the thread, closes every connection and removes the socket.
  void Stop();

  // From other threads; each returns once the adapter thread has carried it out.
  bool Unplug();
  bool Plug(std::string* error);
  bool SetFault(const std::string& setting, std::string* error);
  void ClearFaults();
  bool plugged() const { return plugged_.load(); }

 private:
  enum class Request { kNone, kUnplug, kPlug };

  void Run();
  // Carries out a pending plug/unplug request; called wherever the thread may wait.
  void ServiceRequests();
  bool DoPlug(std::string* error);
  void DoUnplug();
  bool Aborted(uint64_t generation) const;
  void Wake();

  // Returns false when the connection is broken and must be closed.
  bool HandleMessage(int fd, const uint8_t* data, size_t length);
  bool SendMessage(int fd, uint8_t status, const uint8_t* data, size_t length);

  // SimBoard::Link, for the transfer in hand (on currentFd_).
  bool Send(uint8_t status, const uint8_t* data, size_t length) override;
  bool Wait(int ms) override;
  BoardFaults Faults() override;
  bool TakeReadFailure(int transfer) override;
  // Waits for the rate budget of bytes; false when the adapter was unplugged meanwhile.
  bool Pace(size_t bytes);
  bool SleepMs(int ms);
  // Counts traffic toward the vanish fault; returns how many of bytes may still pass.
  size_t Admit(size_t bytes);
  bool VanishDue();

  Settings settings_;
  SimBoard board_;
  std::string socketPath_;

  std::mutex mutex_;  // guards faults_, request_, requestOk_, requestError_, restartTraffic_
  std::condition_variable cv_;
  std::mutex postMutex_;  // one plug/unplug request at a time
  BoardFaults faults_;
  Request request_ = Request::kNone;
  bool requestOk_ = false;
  std::string requestError_;
  bool restartTraffic_ = false;  // a vanish budget was set: traffic counts from zero

  std::atomic<bool> stop_{false};
  std::atomic<bool> plugged_{false};
  std::atomic<bool> requestPending_{false};
  int wakeFd_ = -1;
  std::thread thread_;

  // Adapter thread only.
  int listenFd_ = -1;
  std::vector<int> conns_;
  uint64_t generation_ = 0;  // bumped by every unplug
  uint64_t traffic_ = 0;
  std::chrono::steady_clock::time_point nextFree_{};
  int currentFd_ = -1;
};

}  // namespace kestrel::sim
