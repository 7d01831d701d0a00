#pragma once
// Runs kestrel-adapter-sim in a fresh temporary folder for one test and always stops it
// and removes the folder, also when the test fails (or the test process dies: the
// simulator gets SIGTERM with its parent).
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace kestrel::testing {

class SimProcess {
 public:
  SimProcess() {
    char pattern[] = "/tmp/kestrel-sim-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
  }
  ~SimProcess() {
    Stop();
    if (!dir_.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(dir_, ec);
    }
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  static bool Available() {
#ifdef KESTREL_SIM_PATH
    return true;
#else
    return false;
#endif
  }

  // Starts the simulator on dir() with args and waits until its control socket exists.
  bool Start(const std::vector<std::string>& args) {
#ifdef KESTREL_SIM_PATH
    if (dir_.empty()) return false;
    std::vector<std::string> all = {KESTREL_SIM_PATH, dir_};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      FILE* quiet = std::freopen("/dev/null", "w", stdout);  // its "ready" line
      (void)quiet;
      std::vector<char*> argv;
      for (auto& a : all) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pid_ < 0) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      if (std::filesystem::exists(dir_ + "/control.sock")) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        exitStatus_ = status;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
#else
    (void)args;
#endif
    return false;
  }

  // SIGTERM, then SIGKILL if it does not end within five seconds. The exit status.
  int Stop() {
    if (pid_ <= 0) return exitStatus_;
    kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    exitStatus_ = status;
    return status;
  }

  // One control command; the reply line, or "" when the control socket cannot be used.
  // The socket's name appears at bind(), a moment before the simulator listens on it, so
  // a refused connection is tried again for up to two seconds.
  std::string Control(const std::string& line) const {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = dir_ + "/control.sock";
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    int fd = -1;
    bool connected = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
      fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) break;
      if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        connected = true;
        break;
      }
      const int err = errno;
      close(fd);
      fd = -1;
      if (err != ECONNREFUSED || std::chrono::steady_clock::now() > deadline) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::string reply;
    std::string out = line + "\n";
    if (connected &&
        send(fd, out.data(), out.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(out.size())) {
      char c = 0;
      while (read(fd, &c, 1) == 1 && c != '\n') reply += c;
    }
    if (fd >= 0) close(fd);
    return reply;
  }

  std::vector<uint8_t> Flash(int board) const {
    std::ifstream in(dir_ + "/board" + std::to_string(board) + ".bin", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};

}  // namespace kestrel::testing
