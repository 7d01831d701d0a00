#pragma once
// The throwaway PostgreSQL cluster of pgcluster.sh, from a test. Tests share the one
// CTest's fixture started (its folder in KESTREL_TEST_PG_DIR); run alone, the test
// program starts one of its own and removes it at exit. A test that stops or restarts
// the server uses a private one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace pooltest {

class PgCluster {
 public:
  explicit PgCluster(std::string dir, bool owned = true) : dir_(std::move(dir)), owned_(owned) {}
  ~PgCluster() {
    if (owned_) Run("remove");
  }
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  bool Start() { return Run("start"); }
  bool Stop() { return Run("stop"); }
  bool Restart() { return Run("restart"); }
  // The socket's folder is the cluster's own (pgcluster.sh names it in DIR/where).
  std::string Url() const {
    std::ifstream where(dir_ + "/where");
    std::string home;
    std::getline(where, home);
    return "host=" + home + " user=postgres dbname=postgres";
  }
  const std::string& dir() const { return dir_; }

  static PgCluster& Shared() {
    if (const char* dir = std::getenv("KESTREL_TEST_PG_DIR"); dir && *dir) {
      static PgCluster fixture(dir, false);
      return fixture;
    }
    static PgCluster own(FreshDir("kestrel-pg"), true);
    static const bool started = own.Start();
    if (!started && own.Unavailable().empty()) ADD_FAILURE() << "the test cluster did not start";
    return own;
  }

  // Why this system cannot run a server at all (pgcluster.sh said so), or "".
  std::string Unavailable() const {
    std::ifstream file(dir_ + "/unavailable");
    std::string why;
    std::getline(file, why);
    return why;
  }

  static std::string FreshDir(const std::string& prefix) {
    std::random_device rd;
    return (std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(rd()) + std::to_string(rd())))
        .string();
  }

 private:
  bool Run(const std::string& cmd) {
    const std::string line = std::string("'") + KESTREL_PGCLUSTER_SCRIPT + "' " + cmd + " '" + dir_ + "' >/dev/null";
    return std::system(line.c_str()) == 0;
  }

  std::string dir_;
  bool owned_;
};

// A pool name no other test uses, so tests can share one database.
inline std::string UniqueName(const std::string& base) {
  std::random_device rd;
  return base + "_" + std::to_string(rd() % 1000000);
}

// Where the fixture found that this system cannot run a server at all, a test that needs
// one is reported as skipped with the reason instead of failing.
#define POOL_TEST_NEEDS_SERVER()                                                         \
  if (const std::string why = ::pooltest::PgCluster::Shared().Unavailable(); !why.empty()) \
  GTEST_SKIP() << "no PostgreSQL server can run here: " << why

}  // namespace pooltest
