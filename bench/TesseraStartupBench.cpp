// Start-up of the configuration tool's window: from starting the program to the first
// painted frame of its main window, against an empty Qt window started by the same
// program the same way (--bare-window) in the same run. Target: at most 2x.
//
// Each iteration starts the built `tessera` as a process and stops the clock when it
// reports its first paint. The ratio is the MainWindow time over the BareWindow time.
// Runs on the offscreen platform unless a display is set; scripts/bench-startup.sh runs it
// on both (an X display from xvfb-run, and offscreen) and prints the two ratios.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string TesseraPath() {
  if (const char* p = std::getenv("TESSERA_PATH")) return p;
  // The bench programs sit in <build>/bench, the window in <build>/tessera/ui.
  const auto self = std::filesystem::read_symlink("/proc/self/exe");
  return (self.parent_path().parent_path() / "tessera" / "ui" / "tessera").string();
}

// Seconds from starting the program to its "first-paint-ms" line; negative on failure.
double StartToFirstPaint(const std::string& args) {
  const std::string cmd = "'" + TesseraPath() + "' " + args + " 2>/dev/null";
  const auto t0 = std::chrono::steady_clock::now();
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  char line[256];
  double seconds = -1;
  while (std::fgets(line, sizeof line, p)) {
    if (std::string(line).rfind("first-paint-ms", 0) == 0) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      break;
    }
  }
  pclose(p);
  return seconds;
}

void Run(benchmark::State& state, const std::string& args) {
  if (!std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::filesystem::exists(TesseraPath())) {
    state.SkipWithError("tessera is not built (build the target `tessera` or set TESSERA_PATH)");
    return;
  }
  for (auto _ : state) {
    const double s = StartToFirstPaint(args);
    if (s < 0) {
      state.SkipWithError("tessera did not report its first paint");
      return;
    }
    state.SetIterationTime(s);
  }
}

void BareWindow(benchmark::State& state) { Run(state, "--bare-window --quit-after-first-paint --lang en"); }
void MainWindow(benchmark::State& state) { Run(state, "--quit-after-first-paint --lang en"); }
void MainWindowChinese(benchmark::State& state) { Run(state, "--quit-after-first-paint --lang zh_CN"); }

}  // namespace

BENCHMARK(BareWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(MainWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(MainWindowChinese)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_MAIN();
