// Burning a 1 MiB image through the adapter simulator at a set transfer rate, on one, four
// and (at 500 kB/s) sixteen adapters. Besides the wall time each run reports what the transfers and the
// fixed waits alone take (bytes moved per adapter / rate + waits), so the counters show
// the tool's own overhead and how well the slots run in parallel (vs_one_board: the
// station's time against one board's).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/ProductionEngine.h"
#include "sequence/local/LocalSequence.h"
#include "core/SteadyClock.h"

#if __has_include("transport/sim/SimTransport.h") && defined(KESTREL_SIM_PATH)
#include "transport/sim/SimTransport.h"

namespace kestrel {
namespace {

constexpr int kEraseMs = 200;
constexpr size_t kImageLength = 1 << 20;

// The real clock, also adding up the fixed waits the engine asks for.
class WaitCountingClock : public SteadyClock {
 public:
  void SleepMs(int ms) override {
    waitedMs += ms;
    SteadyClock::SleepMs(ms);
  }
  std::atomic<int64_t> waitedMs{0};
};

// Counts every byte that crosses an adapter's pipes, per adapter.
class CountingEndpoint : public Endpoint {
 public:
  CountingEndpoint(std::unique_ptr<Endpoint> inner, std::atomic<uint64_t>& bytes, std::atomic<uint64_t>& transfers)
      : inner_(std::move(inner)), bytes_(bytes), transfers_(transfers) {}
  bool Write(const uint8_t* data, size_t length, size_t* written) override {
    const bool ok = inner_->Write(data, length, written);
    if (ok) bytes_ += *written, ++transfers_;
    return ok;
  }
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override {
    const bool ok = inner_->Read(buffer, length, received, timeoutMs);
    if (ok) bytes_ += *received, ++transfers_;
    return ok;
  }

 private:
  std::unique_ptr<Endpoint> inner_;
  std::atomic<uint64_t>& bytes_;
  std::atomic<uint64_t>& transfers_;
};

class CountingTransport : public Transport {
 public:
  explicit CountingTransport(const std::string& dir) : inner_(dir) {}
  int CountInterfaces() override { return inner_.CountInterfaces(); }
  DeviceInterfaceInfo GetInterfaceInfo(int index) override { return inner_.GetInterfaceInfo(index); }
  std::unique_ptr<Endpoint> OpenInterface(int index) override {
    current_ = index;
    return inner_.OpenInterface(index);
  }
  std::unique_ptr<Endpoint> OpenPipe(const std::string& name) override {
    auto pipe = inner_.OpenPipe(name);
    if (!pipe || current_ < 0 || current_ >= kSlotCount) return pipe;
    const size_t n = static_cast<size_t>(current_);
    return std::make_unique<CountingEndpoint>(std::move(pipe), bytes[n], transfers[n]);
  }
  std::array<std::atomic<uint64_t>, kSlotCount> bytes{};
  std::array<std::atomic<uint64_t>, kSlotCount> transfers{};

 private:
  SimTransport inner_;
  int current_ = -1;
};

// kestrel-adapter-sim in a temporary folder for the length of one benchmark.
class Simulator {
 public:
  Simulator(int boards, uint64_t rate) {
    char pattern[] = "/tmp/kestrel-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::vector<std::string> args = {KESTREL_SIM_PATH, dir_, "--boards", std::to_string(boards), "--flash-kb", "2048",
                                     "--rate", std::to_string(rate), "--erase-ms", std::to_string(kEraseMs)};
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (int i = 0; i < 1000 && !std::filesystem::exists(dir_ + "/control.sock"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~Simulator() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

// How far a 1 ms sleep overshoots on this machine now. The simulator paces every transfer
// with a sleep, so each transfer costs it about this much beyond the rate.
double SleepOvershootSeconds() {
  using C = std::chrono::steady_clock;
  double total = 0;
  for (int i = 0; i < 200; ++i) {
    const auto a = C::now();
    std::this_thread::sleep_for(std::chrono::microseconds(1000));
    total += std::chrono::duration<double>(C::now() - a).count() - 0.001;
  }
  return total / 200;
}

// Wall time of one board per rate, for the ratio of the four-board run.
std::map<uint64_t, double> g_oneBoardWall;

void BM_Burn1MiB(benchmark::State& st) {
  const int boards = static_cast<int>(st.range(0));
  const uint64_t rate = static_cast<uint64_t>(st.range(1));  // bytes per second and adapter, 0 = unlimited
  Simulator sim(boards, rate);
  const std::string image = sim.dir() + "/image.IMG";
  {
    std::vector<char> bytes(kImageLength);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    std::fill(bytes.begin() + 0x80000, bytes.begin() + 0x80000 + 1178, 0);
    std::fill(bytes.begin() + 0x80000 + 1178, bytes.begin() + 0x81000, static_cast<char>(0xFF));
    bytes[0x80000] = 1;
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  CountingTransport transport(sim.dir());
  WaitCountingClock clock;
  EngineEvents events;
  ProductionEngine engine(transport, clock, events, WithLocalSequence(sim.dir() + "/rb", ReadLimits{}));
  engine.RefreshSlots();
  if (engine.DeviceCount() != boards || engine.LoadImage(image) != ImageError::kNone) {
    st.SkipWithError("simulator did not come up");
    return;
  }
  double wall = 0, reference = 0, transfers = 0;
  int64_t runs = 0;
  bool allOk = true;
  for (auto _ : st) {
    for (auto& b : transport.bytes) b = 0;
    for (auto& t : transport.transfers) t = 0;
    clock.waitedMs = 0;
    const auto start = std::chrono::steady_clock::now();
    engine.Start(Operation::kBurn);
    engine.WaitIdle();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    st.SetIterationTime(seconds);
    wall += seconds;
    // Each adapter has its own rate; the slowest slot bounds the run.
    uint64_t maxBytes = 0;
    for (auto& b : transport.bytes) maxBytes = std::max<uint64_t>(maxBytes, b.load());
    const double waits = static_cast<double>(clock.waitedMs.load()) / boards / 1000.0 + kEraseMs / 1000.0;
    reference += (rate ? static_cast<double>(maxBytes) / static_cast<double>(rate) : 0.0) + waits;
    transfers += static_cast<double>(transport.transfers[0].load());
    ++runs;
    for (int r : engine.View().lastResult)
      if (r > 0) allOk = false;
  }
  if (!allOk) st.SkipWithError("a slot failed");
  wall /= static_cast<double>(runs);
  reference /= static_cast<double>(runs);
  if (boards == 1) g_oneBoardWall[rate] = wall;
  st.counters["wall_s"] = wall;
  st.counters["transfers_waits_s"] = reference;
  st.counters["overhead_pct"] = (wall / reference - 1.0) * 100.0;
  // Not part of the tool: what the simulator's pacing of each transfer is likely to add.
  if (rate != 0) st.counters["sim_pacing_est_s"] = transfers / static_cast<double>(runs) * SleepOvershootSeconds();
  if (boards > 1 && g_oneBoardWall.count(rate)) st.counters["vs_one_board"] = wall / g_oneBoardWall[rate];
}
// 500 kB/s is about what a full-speed USB adapter writing serial flash achieves; 2 MB/s
// makes the simulator's per-transfer pacing error visible; unlimited shows what the tool
// and the simulator's own work add to the fixed waits.
BENCHMARK(BM_Burn1MiB)
    ->ArgNames({"boards", "rate"})
    ->Args({1, 500'000})->Args({4, 500'000})->Args({16, 500'000})
    ->Args({1, 2'000'000})->Args({4, 2'000'000})
    ->Args({1, 0})->Args({4, 0})
    ->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kestrel
#endif

BENCHMARK_MAIN();
