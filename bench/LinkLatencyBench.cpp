// Link-check latency over a pseudo-terminal: from the board's "LINK+CHECK" leaving its
// side to the tool's complete "LINK+OK\"" arriving back, 1000 probes, with the tool's
// CSerialLink on an ordinary Qt event loop. The older design read with time-outs of up
// to 771 ms and paused 100 ms after an empty read, so an answer could take ~871 ms.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tessera/link/CSerialLink.h"

namespace {

using Clock = std::chrono::steady_clock;

// The board's side: sends each probe after the previous answer and a short pause,
// and times the answer.
std::vector<double> RunBoard(int master, int probes, std::atomic<bool>& failed) {
  std::vector<double> us;
  us.reserve(static_cast<size_t>(probes));
  for (int i = 0; i < probes && !failed; ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
    const auto t0 = Clock::now();
    if (::write(master, "LINK+CHECK", 10) != 10) {
      failed = true;
      break;
    }
    std::string got;
    while (got.find("LINK+OK\"") == std::string::npos) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, 2000) <= 0) {
        failed = true;
        return us;
      }
      char buf[64];
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  return us;
}

void BM_LinkCheckAnswer(benchmark::State& state) {
  const int probes = static_cast<int>(state.range(0));
  for (auto _ : state) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
      state.SkipWithError("no pseudo-terminal");
      return;
    }
    tessera::CSerialLink link;
    if (!link.Open(QString::fromLocal8Bit(::ptsname(master)))) {
      state.SkipWithError("the link did not open the pseudo-terminal");
      ::close(master);
      return;
    }
    std::atomic<bool> failed{false};
    std::vector<double> us;
    QEventLoop loop;  // the tool idles in its event loop as the window does
    std::thread board([&] {
      us = RunBoard(master, probes, failed);
      QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    board.join();
    link.Close();
    ::close(master);
    if (failed || us.empty()) {
      state.SkipWithError("a link check went unanswered");
      return;
    }
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) {
      return us[std::min(us.size() - 1, static_cast<size_t>(q * static_cast<double>(us.size())))];
    };
    state.SetIterationTime(at(0.5) / 1e6);
    state.counters["median_ms"] = at(0.5) / 1000;
    state.counters["p99_ms"] = at(0.99) / 1000;
    state.counters["max_ms"] = us.back() / 1000;
    state.counters["older_design_worst_ms"] = 771 + 100;
    state.counters["p99_target_ms"] = 5;
  }
}
BENCHMARK(BM_LinkCheckAnswer)->Arg(1000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
