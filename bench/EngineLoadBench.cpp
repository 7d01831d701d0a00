// How long a window's thread is held by loading the largest image the adapter takes
// (16 MiB less one byte): the synchronous load reads and checks it all; the asynchronous
// one only starts the loading thread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/ProductionEngine.h"
#include "core/SteadyClock.h"

namespace {

class NoAdapters : public kestrel::Transport {
 public:
  int CountInterfaces() override { return 0; }
  kestrel::DeviceInterfaceInfo GetInterfaceInfo(int) override { return {}; }
  std::unique_ptr<kestrel::Endpoint> OpenInterface(int) override { return nullptr; }
  std::unique_ptr<kestrel::Endpoint> OpenPipe(const std::string&) override { return nullptr; }
};

std::string LargestImage() {
  const std::string path = (std::filesystem::temp_directory_path() / "kestrel-bench-16m.IMG").string();
  std::vector<char> data((1u << 24) - 1);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
  return path;
}

void BM_LoadImage16MiB(benchmark::State& st) {
  const std::string path = LargestImage();
  NoAdapters transport;
  kestrel::SteadyClock clock;
  kestrel::EngineEvents events;
  kestrel::ProductionEngine engine(transport, clock, events, kestrel::EngineOptions{});
  for (auto _ : st) benchmark::DoNotOptimize(engine.LoadImage(path));
  std::filesystem::remove(path);
}

void BM_LoadImageAsync16MiBCall(benchmark::State& st) {
  const std::string path = LargestImage();
  NoAdapters transport;
  kestrel::SteadyClock clock;
  kestrel::EngineEvents events;
  kestrel::ProductionEngine engine(transport, clock, events, kestrel::EngineOptions{});
  for (auto _ : st) {
    benchmark::DoNotOptimize(engine.LoadImageAsync(path));
    st.PauseTiming();
    engine.WaitIdle();
    st.ResumeTiming();
  }
  std::filesystem::remove(path);
}

}  // namespace

BENCHMARK(BM_LoadImage16MiB)->Unit(benchmark::kMillisecond)->Iterations(5);
// Each iteration also waits (untimed) for the whole load, so the count is fixed.
BENCHMARK(BM_LoadImageAsync16MiBCall)->Unit(benchmark::kMicrosecond)->Iterations(20);
BENCHMARK_MAIN();
