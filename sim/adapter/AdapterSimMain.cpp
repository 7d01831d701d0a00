// kestrel-adapter-sim: download adapters with their boards, served on Unix sockets for
// kestrel's SimTransport. See SimUsage() and SimControl.h for options and control.
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "SimAdapter.h"
#include "SimControl.h"
#include "SimOptions.h"
#include "transport/sim/SimWire.h"

namespace {

using kestrel::sim::SimAdapter;

constexpr size_t kMaxControlLine = 512;
constexpr size_t kMaxControlClients = 16;

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
  *addr = sockaddr_un{};
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

// "--control DIR COMMAND...": sends one command line and prints the reply.
int RunControlClient(int argc, char** argv) {
  if (argc < 4) {
    std::fputs(kestrel::sim::SimUsage().c_str(), stderr);
    return 2;
  }
  std::string line;
  for (int i = 3; i < argc; ++i) line += (i > 3 ? " " : "") + std::string(argv[i]);
  line += "\n";
  sockaddr_un addr;
  std::string path = std::string(argv[2]) + "/" + kestrel::simwire::kControlSocketName;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || !MakeAddress(path, &addr) || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  std::string reply;
  char c = 0;
  while (reply.size() < kMaxControlLine && read(fd, &c, 1) == 1 && c != '\n') reply += c;
  close(fd);
  std::puts(reply.c_str());
  return reply.rfind("ok", 0) == 0 ? 0 : 1;
}

struct ControlClient {
  int fd;
  std::string pending;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "--control") return RunControlClient(argc, argv);
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("kestrel-adapter-sim %s\n", QR_VERSION);
    return 0;
  }

  kestrel::sim::SimOptions options;
  std::string error;
  if (!kestrel::sim::ParseSimOptions(argc, argv, &options, &error)) {
    std::fputs(error.c_str(), stderr);
    if (!error.empty() && error.back() != '\n') std::fputc('\n', stderr);
    return 2;
  }
  mkdir(options.dir.c_str(), 0755);
  // Sockets left behind by a simulator that was killed outright would count as
  // adapters that cannot be opened.
  if (DIR* d = opendir(options.dir.c_str())) {
    while (dirent* e = readdir(d)) {
      int index = 0;
      bool noId = false;
      struct stat st;
      std::string path = options.dir + "/" + e->d_name;
      if (kestrel::simwire::ParseAdapterSocketName(e->d_name, &index, &noId) && lstat(path.c_str(), &st) == 0 &&
          S_ISSOCK(st.st_mode)) {
        unlink(path.c_str());
      }
    }
    closedir(d);
  }

  // SIGTERM and SIGINT end the simulator through the main loop, which removes the
  // sockets; every thread started below inherits the blocked mask.
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  pthread_sigmask(SIG_BLOCK, &mask, nullptr);
  signal(SIGPIPE, SIG_IGN);
  int sigFd = signalfd(-1, &mask, SFD_CLOEXEC);

  std::vector<std::unique_ptr<SimAdapter>> adapters;
  for (int i = 0; i < options.boards; ++i) {
    SimAdapter::Settings s;
    s.dir = options.dir;
    s.index = i;
    s.flashSize = options.flashKb * 1024;
    s.rate = options.rate;
    s.eraseMs = options.eraseMs;
    adapters.push_back(std::make_unique<SimAdapter>(s, options.faults[static_cast<size_t>(i)]));
    if (!adapters.back()->Start(&error)) {
      std::fprintf(stderr, "kestrel-adapter-sim: %s\n", error.c_str());
      return 1;
    }
  }

  // The control socket comes last: once it exists, every adapter is listening.
  std::string controlPath = options.dir + "/" + kestrel::simwire::kControlSocketName;
  sockaddr_un addr;
  unlink(controlPath.c_str());
  int controlFd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (sigFd < 0 || controlFd < 0 || !MakeAddress(controlPath, &addr) ||
      bind(controlFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(controlFd, 8) != 0) {
    std::fprintf(stderr, "kestrel-adapter-sim: %s: %s\n", controlPath.c_str(), std::strerror(errno));
    return 1;
  }
  std::printf("ready %d\n", options.boards);
  std::fflush(stdout);

  kestrel::sim::SimControl control(&adapters);
  std::vector<ControlClient> clients;
  for (;;) {
    std::vector<pollfd> fds = {{sigFd, POLLIN, 0}, {controlFd, POLLIN, 0}};
    for (const auto& c : clients) fds.push_back({c.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if ((fds[1].revents & POLLIN) != 0) {
      int c = accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0 && clients.size() < kMaxControlClients) {
        clients.push_back({c, {}});
      } else if (c >= 0) {
        close(c);
      }
    }
    for (size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      auto it = clients.begin() + static_cast<long>(i - 2);
      char buf[256];
      ssize_t n = recv(it->fd, buf, sizeof buf, MSG_DONTWAIT);
      bool keep = n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
      if (n > 0) it->pending.append(buf, static_cast<size_t>(n));
      size_t nl;
      while (keep && (nl = it->pending.find('\n')) != std::string::npos) {
        std::string reply = control.Execute(it->pending.substr(0, nl)) + "\n";
        it->pending.erase(0, nl + 1);
        keep = send(it->fd, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
      }
      if (it->pending.size() > kMaxControlLine) keep = false;
      if (!keep) {
        close(it->fd);
        it->fd = -1;
      }
    }
    std::erase_if(clients, [](const ControlClient& c) { return c.fd < 0; });
  }
  for (auto& c : clients) close(c.fd);
  close(controlFd);
  unlink(controlPath.c_str());
  for (auto& a : adapters) a->Stop();
  return 0;
}
