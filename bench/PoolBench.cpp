// Handing out addresses from the shared pool: 1, 8 and 32 stations at once, each with its
// own database session, on a PostgreSQL server on this machine (started for the run by
// tests/kestrel_pool/pgcluster.sh, fsync and synchronous_commit on). Each iteration is
// one HandOut: one committed transaction. Reports addresses per second over all stations
// and the latency of one address at the 50th and 99th percentile over all of them.
//
// KESTREL_BENCH_PG=URL uses an existing server instead (the pool "bench" is made there).
#include <benchmark/benchmark.h>

#if defined(KESTREL_PGCLUSTER_SCRIPT)
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "sequence/postgres/PoolAdmin.h"
#include "sequence/postgres/PoolSequence.h"

namespace kestrel::pool {
namespace {

class Server {
 public:
  Server() {
    if (const char* url = std::getenv("KESTREL_BENCH_PG"); url && *url) {
      url_ = url;
    } else {
      std::random_device rd;
      dir_ = (std::filesystem::temp_directory_path() / ("kestrel-pool-bench-" + std::to_string(rd()))).string();
      if (Run("fresh")) {
        std::ifstream where(dir_ + "/where");
        std::string home;
        std::getline(where, home);
        url_ = "host=" + home + " user=postgres dbname=postgres";
      }
    }
    spool_ = (std::filesystem::temp_directory_path() / "kestrel-pool-bench-spool").string();
    std::string message;
    name_ = "bench" + std::to_string(std::random_device{}() % 100000);
    if (!url_.empty() && !InitPool(url_, name_, NumberAddress(0), NumberAddress((uint64_t{1} << 40) - 1), &message))
      url_.clear();
  }
  ~Server() {
    if (!dir_.empty()) Run("remove");
    std::filesystem::remove_all(spool_);
  }
  const std::string& url() const { return url_; }
  PoolConfig Config(int stations, int station) const {
    return {url_, name_, "bench-" + std::to_string(stations) + "-" + std::to_string(station), spool_};
  }

 private:
  bool Run(const char* cmd) {
    const std::string line = std::string("'") + KESTREL_PGCLUSTER_SCRIPT + "' " + cmd + " '" + dir_ + "' >/dev/null";
    return std::system(line.c_str()) == 0;
  }
  std::string dir_, url_, name_, spool_;
};

Server& TheServer() {
  static Server server;
  return server;
}

// Latencies of every station in one run, and how many stations are done with it.
std::mutex latenciesMutex;
std::vector<double> latenciesUs;
std::atomic<int> stationsDone{0};

void BM_PoolHandOut(benchmark::State& state) {
  Server& server = TheServer();
  if (server.url().empty()) {
    state.SkipWithError("no PostgreSQL server for the benchmark");
    return;
  }
  if (state.thread_index() == 0) {
    std::lock_guard lock(latenciesMutex);
    latenciesUs.clear();
    stationsDone = 0;
  }
  SequenceStatus status;
  std::string message;
  auto station = PoolSequence::Open(server.Config(state.threads(), state.thread_index()), &status, &message);
  if (!station) {
    state.SkipWithError(message.c_str());
    return;
  }
  std::vector<double> mine;
  mine.reserve(4096);
  for (auto _ : state) {
    BtAddress a;
    const auto t0 = std::chrono::steady_clock::now();
    if (station->HandOut(AdapterId::FromText("bench"), &a, &message) != SequenceStatus::kOk) {
      state.SkipWithError(message.c_str());
      break;
    }
    mine.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  station->Release();
  std::lock_guard lock(latenciesMutex);
  latenciesUs.insert(latenciesUs.end(), mine.begin(), mine.end());
  // The last station to finish reports for all (counters are summed over the threads).
  if (++stationsDone == state.threads() && !latenciesUs.empty()) {
    std::sort(latenciesUs.begin(), latenciesUs.end());
    auto at = [](double q) { return latenciesUs[static_cast<size_t>(q * static_cast<double>(latenciesUs.size() - 1))]; };
    state.counters["p50_ms"] = at(0.50) / 1000.0;
    state.counters["p99_ms"] = at(0.99) / 1000.0;
  }
  state.counters["addresses_per_s"] =
      benchmark::Counter(static_cast<double>(mine.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PoolHandOut)->Threads(1)->Threads(8)->Threads(32)->UseRealTime()->MinTime(3.0);

}  // namespace
}  // namespace kestrel::pool
#endif

BENCHMARK_MAIN();
