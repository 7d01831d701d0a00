// tessera-board-sim: a board on a pseudo-terminal for tests, demonstrations and users
// without hardware. It prints "PORT <path>", sends "LINK+CHECK" at a set interval and
// times each answer, answers every command with "CMD+OK" (or "CMD+FAIL" when it is
// malformed), keeps the state the commands set and records every byte it receives.
//
// Faults are settings NAME or NAME=VALUE, the form kestrel-adapter-sim's --fault takes
// (that one adds the board's number): given with --fault SETTING on the command line or
// "fault SETTING" on standard input while it runs. kFaultHelp lists them; the older
// flags (--garbage N, --split N, ...) and control words stay as other spellings.
// Control lines on standard input:
//   state | stats | probe | fault SETTING | garbage N | nul N | split N | mute | unmute |
//   slow MS | hangup | quit | send TEXT (TEXT as it stands, "\r" and "\n" written as escapes)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "BoardState.h"

namespace {

using Clock = std::chrono::steady_clock;
volatile sig_atomic_t g_stop = 0;

struct Options {
  int checkIntervalMs = 1000;
  std::string statePath, transcriptPath, linkPath;
  size_t garbage = 0, nul = 0;
  int split = 1, splitGapMs = 10, slowMs = 0, hangupAfter = 0, probes = 0;
  size_t nulBeforeReply = 0;
  bool mute = false, checkInReply = false;
};

constexpr const char* kFaultHelp =
    "Faults (--fault SETTING, repeatable; or the control line \"fault SETTING\"):\n"
    "  garbage=N           N bytes of random text, sent once connected\n"
    "  nul=N               N NUL bytes, sent once connected\n"
    "  nul-before-reply=N  N NUL bytes written just ahead of each reply\n"
    "  split=N             each reply written in N pieces\n"
    "  split-gap=MS        milliseconds between the pieces of a reply\n"
    "  check-in-reply      a link check written between the pieces of a split reply\n"
    "  slow=MS             milliseconds before each reply\n"
    "  mute | unmute       answer no command / answer again\n"
    "  hangup-after=N      hang up on the N-th command, then come back on a new port\n";

// Applies one fault setting; false with the reason for anything else.
bool ApplyFault(Options& o, const std::string& setting, std::string* error) {
  const size_t eq = setting.find('=');
  const std::string name = setting.substr(0, eq);
  long long n = 0;
  bool number = false;
  if (eq != std::string::npos) {
    const std::string value = setting.substr(eq + 1);
    char* end = nullptr;
    n = std::strtoll(value.c_str(), &end, 10);
    number = !value.empty() && end != nullptr && *end == '\0' && n >= 0 && n <= 1'000'000'000;
    if (!number) {
      *error = "fault " + setting + ": the value must be a whole number from 0";
      return false;
    }
  }
  const std::pair<const char*, bool*> flags[] = {{"check-in-reply", &o.checkInReply}, {"mute", &o.mute}};
  for (const auto& [flag, target] : flags) {
    if (name == flag && eq == std::string::npos) {
      *target = true;
      return true;
    }
  }
  if (name == "unmute" && eq == std::string::npos) {
    o.mute = false;
    return true;
  }
  if (number) {
    if (name == "garbage") return o.garbage = static_cast<size_t>(n), true;
    if (name == "nul") return o.nul = static_cast<size_t>(n), true;
    if (name == "nul-before-reply") return o.nulBeforeReply = static_cast<size_t>(n), true;
    if (name == "split") return o.split = static_cast<int>(n), true;
    if (name == "split-gap") return o.splitGapMs = static_cast<int>(n), true;
    if (name == "slow") return o.slowMs = static_cast<int>(n), true;
    if (name == "hangup-after") return o.hangupAfter = static_cast<int>(n), true;
  }
  *error = "unknown fault " + setting + " (see --help)";
  return false;
}

struct Pending {
  Clock::time_point due;
  std::string bytes;
};

class Board {
 public:
  explicit Board(Options o) : o_(std::move(o)) {
    if (!o_.transcriptPath.empty()) transcript_ = std::fopen(o_.transcriptPath.c_str(), "wb");
  }
  ~Board() {
    if (transcript_) std::fclose(transcript_);
    if (master_ >= 0) ::close(master_);
    if (!o_.linkPath.empty()) std::filesystem::remove(o_.linkPath);
  }

  bool OpenPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return false;
    path_ = ::ptsname(master_);
    // Raw line settings from the start, so nothing is echoed or translated before the
    // tool opens its side (it sets them again when it opens).
    const int slave = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) return false;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B115200);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);
    if (!o_.linkPath.empty()) {
      std::error_code ec;
      std::filesystem::remove(o_.linkPath, ec);
      std::filesystem::create_symlink(path_, o_.linkPath, ec);
    }
    std::printf("PORT %s\n", path_.c_str());
    std::fflush(stdout);
    connected_ = false;
    return true;
  }

  int Run() {
    if (!OpenPty()) {
      std::fprintf(stderr, "tessera-board-sim: cannot open a pseudo-terminal: %s\n",
                   std::strerror(errno));
      return 1;
    }
    QueueFlood();
    nextProbe_ = Clock::now() + std::chrono::milliseconds(o_.checkIntervalMs);
    bool stdinOpen = true;
    std::string control;
    while (!g_stop) {
      pollfd fds[2] = {{master_, POLLIN, 0}, {0, POLLIN, 0}};
      if (connected_ && !out_.empty() && out_.front().due <= Clock::now()) fds[0].events |= POLLOUT;
      const int n = ::poll(fds, stdinOpen ? 2 : 1, NextTimeoutMs());
      if (n < 0 && errno != EINTR) break;
      if (fds[0].revents & POLLIN) ReadMaster();
      const bool hup = (fds[0].revents & POLLHUP) != 0;
      if (hup != !connected_) SetConnected(!hup);
      if (hup) ::usleep(5000);  // nobody on the other side yet: do not spin
      if (connected_) WriteDue();
      if (connected_ && o_.checkIntervalMs > 0 && Clock::now() >= nextProbe_) SendProbe();
      if (stdinOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
        char buf[512];
        const ssize_t got = ::read(0, buf, sizeof buf);
        if (got <= 0) {
          stdinOpen = false;
        } else {
          control.append(buf, static_cast<size_t>(got));
          for (size_t nl; (nl = control.find('\n')) != std::string::npos;) {
            const std::string line = control.substr(0, nl);
            control.erase(0, nl + 1);
            if (!Control(line)) g_stop = 1;
          }
        }
      }
      if (o_.probes > 0 && static_cast<int>(latenciesUs_.size()) >= o_.probes) break;
    }
    PrintStats();
    return 0;
  }

 private:
  int NextTimeoutMs() const {
    auto next = Clock::now() + std::chrono::milliseconds(100);
    if (connected_ && o_.checkIntervalMs > 0) next = std::min(next, nextProbe_);
    if (connected_ && !out_.empty()) next = std::min(next, out_.front().due);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
    return static_cast<int>(std::max<long long>(0, ms.count()));
  }

  void SetConnected(bool on) {
    connected_ = on;
    if (!on) {
      // What would have gone to a closed port is lost, as on a real line.
      out_.clear();
      probeSent_.reset();
      parse_.clear();
    } else {
      nextProbe_ = Clock::now() + std::chrono::milliseconds(o_.checkIntervalMs);
    }
  }

  void ReadMaster() {
    char buf[4096];
    for (;;) {
      const ssize_t got = ::read(master_, buf, sizeof buf);
      if (got <= 0) return;
      const auto now = Clock::now();
      if (transcript_) {
        std::fwrite(buf, 1, static_cast<size_t>(got), transcript_);
        std::fflush(transcript_);
      }
      for (ssize_t i = 0; i < got; ++i) {
        if (buf[i] != '"') {
          if (parse_.size() < 4096) parse_ += buf[i];
          continue;
        }
        std::string command;
        command.swap(parse_);
        command.erase(0, command.find_first_not_of("\r\n \t"));
        if (!command.empty()) Command(command, now);
        if (master_ < 0) return;  // hung up
      }
    }
  }

  void Command(const std::string& command, Clock::time_point now) {
    if (command == "LINK+OK") {
      if (probeSent_) {
        latenciesUs_.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(now - *probeSent_).count());
        probeSent_.reset();
      }
      return;
    }
    const bool ok = state_.Apply(command);
    SaveState();
    if (o_.hangupAfter > 0 && state_.commands >= o_.hangupAfter) {
      o_.hangupAfter = 0;
      HangUp();
      return;
    }
    if (o_.mute) return;
    const std::string reply = std::string(o_.nulBeforeReply, '\0') + (ok ? "CMD+OK\r\n" : "CMD+FAIL\r\n");
    auto due = now + std::chrono::milliseconds(o_.slowMs);
    const size_t pieces = static_cast<size_t>(std::clamp(o_.split, 1, static_cast<int>(reply.size())));
    const size_t step = (reply.size() + pieces - 1) / pieces;
    for (size_t at = 0; at < reply.size(); at += step) {
      if (at > 0 && o_.checkInReply) {
        // A link check written between two pieces of the reply, as its own write.
        out_.push_back({due, std::string("LINK+CHECK")});
        due += std::chrono::milliseconds(o_.splitGapMs);
      }
      out_.push_back({due, reply.substr(at, step)});
      due += std::chrono::milliseconds(o_.splitGapMs);
    }
  }

  void SendProbe() {
    if (probeSent_) ++missed_;
    nextProbe_ = Clock::now() + std::chrono::milliseconds(o_.checkIntervalMs);
    // Straight to the line, ahead of anything queued, so the timing starts at the write.
    const std::string probe = "LINK+CHECK";
    if (::write(master_, probe.data(), probe.size()) == static_cast<ssize_t>(probe.size())) {
      probeSent_ = Clock::now();
      ++probes_;
    }
  }

  void WriteDue() {
    while (!out_.empty() && out_.front().due <= Clock::now()) {
      auto& front = out_.front();
      const ssize_t put = ::write(master_, front.bytes.data(), front.bytes.size());
      if (put < 0) return;  // the line is full: try again when it drains
      front.bytes.erase(0, static_cast<size_t>(put));
      if (!front.bytes.empty()) return;
      out_.pop_front();
    }
  }

  void QueueFlood() {
    std::mt19937 rng(5830);
    auto queue = [&](size_t total, bool zeros) {
      for (size_t left = total; left > 0;) {
        const size_t n = std::min<size_t>(left, 4096);
        std::string chunk(n, '\0');
        if (!zeros)
          for (auto& c : chunk) {
            do c = static_cast<char>(rng() & 0xFF);
            while (c == '"' || c == '\0');
          }
        out_.push_back({Clock::now(), std::move(chunk)});
        left -= n;
      }
    };
    queue(o_.garbage, false);
    queue(o_.nul, true);
    o_.garbage = o_.nul = 0;
  }

  void HangUp() {
    std::printf("HANGUP %s\n", path_.c_str());
    std::fflush(stdout);
    ::close(master_);
    master_ = -1;
    connected_ = false;
    out_.clear();
    probeSent_.reset();
    parse_.clear();
    // A board that comes back shows up as a new port (the link path follows it).
    if (!OpenPty()) g_stop = 1;
  }

  bool Control(const std::string& line) {
    std::istringstream in(line);
    std::string word;
    long long n = 0;
    in >> word;
    const bool hasNumber = static_cast<bool>(in >> n);
    if (word == "fault") {
      std::string setting = line.substr(line.find("fault") + 5), error;
      setting.erase(0, setting.find_first_not_of(" \t"));
      while (!setting.empty() && (setting.back() == ' ' || setting.back() == '\r')) setting.pop_back();
      if (ApplyFault(o_, setting, &error)) {
        QueueFlood();
      } else {
        std::printf("ERROR %s\n", error.c_str());
      }
    } else if (word == "state") {
      std::printf("STATE %s\n", state_.ToJson().dump().c_str());
    } else if (word == "stats") {
      PrintStats();
    } else if (word == "probe") {
      if (connected_) SendProbe();
    } else if (word == "garbage" && hasNumber) {
      o_.garbage = static_cast<size_t>(std::max(0LL, n));
      QueueFlood();
    } else if (word == "nul" && hasNumber) {
      o_.nul = static_cast<size_t>(std::max(0LL, n));
      QueueFlood();
    } else if (word == "split" && hasNumber) {
      o_.split = static_cast<int>(n);
    } else if (word == "mute") {
      o_.mute = true;
    } else if (word == "unmute") {
      o_.mute = false;
    } else if (word == "slow" && hasNumber) {
      o_.slowMs = static_cast<int>(n);
    } else if (word == "hangup") {
      HangUp();
    } else if (word == "send") {
      std::string text = line.size() > 5 ? line.substr(5) : std::string();
      for (auto [esc, c] : {std::pair<const char*, char>{"\\r", '\r'}, {"\\n", '\n'}})
        for (size_t at; (at = text.find(esc)) != std::string::npos;) text.replace(at, 2, 1, c);
      out_.push_back({Clock::now(), text});
    } else if (word == "quit") {
      return false;
    } else if (!word.empty()) {
      std::printf("UNKNOWN %s\n", line.c_str());
    }
    std::printf("DONE %s\n", word.c_str());
    std::fflush(stdout);
    return true;
  }

  // The state file is replaced whole: written to a new file of an unpredictable name
  // beside it (created exclusively, so a link planted there is never followed), then
  // renamed over it.
  void SaveState() {
    if (o_.statePath.empty()) return;
    std::string tmp = o_.statePath + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
      std::fprintf(stderr, "tessera-board-sim: cannot write %s: %s\n", o_.statePath.c_str(), std::strerror(errno));
      return;
    }
    const std::string text = state_.ToJson().dump(2) + "\n";
    bool ok = true;
    for (size_t at = 0; ok && at < text.size();) {
      const ssize_t put = ::write(fd, text.data() + at, text.size() - at);
      if (put < 0 && errno == EINTR) continue;
      ok = put > 0;
      if (ok) at += static_cast<size_t>(put);
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(tmp.c_str(), o_.statePath.c_str()) != 0) {
      std::fprintf(stderr, "tessera-board-sim: cannot write %s: %s\n", o_.statePath.c_str(), std::strerror(errno));
      ::unlink(tmp.c_str());
    }
  }

  void PrintStats() {
    std::vector<long long> v = latenciesUs_;
    std::sort(v.begin(), v.end());
    auto pct = [&](double p) -> long long {
      if (v.empty()) return 0;
      return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
    };
    nlohmann::json j{{"probes", probes_},      {"answered", v.size()}, {"missed", missed_},
                     {"median_us", pct(0.5)}, {"p99_us", pct(0.99)},  {"max_us", v.empty() ? 0 : v.back()}};
    std::printf("STATS %s\n", j.dump().c_str());
    std::fflush(stdout);
  }

  Options o_;
  int master_ = -1;
  std::string path_;
  bool connected_ = false;
  std::FILE* transcript_ = nullptr;
  std::deque<Pending> out_;
  std::string parse_;
  board::BoardState state_;
  Clock::time_point nextProbe_{};
  std::optional<Clock::time_point> probeSent_;
  std::vector<long long> latenciesUs_;
  long long probes_ = 0, missed_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"tessera-board-sim: a simulated board on a pseudo-terminal"};
  app.set_version_flag("--version", std::string("tessera-board-sim ") + QR_VERSION);
  Options o;
  app.add_option("--check-interval", o.checkIntervalMs,
                 "milliseconds between link checks; 0 sends none")->capture_default_str();
  app.add_option("--state", o.statePath, "JSON file rewritten after every command");
  app.add_option("--transcript", o.transcriptPath, "file receiving every byte the board reads");
  app.add_option("--link", o.linkPath, "symbolic link to the port, kept pointing at it");
  app.add_option("--garbage", o.garbage, "bytes of random garbage to send once connected");
  app.add_option("--nul", o.nul, "NUL bytes to send once connected");
  app.add_option("--split", o.split, "write each reply in this many pieces");
  app.add_option("--split-gap", o.splitGapMs, "milliseconds between the pieces of a reply");
  app.add_option("--slow", o.slowMs, "milliseconds before each reply");
  app.add_flag("--mute", o.mute, "answer no command");
  app.add_option("--hangup-after", o.hangupAfter,
                 "hang up on receiving this many commands, then come back on a new port");
  app.add_option("--probes", o.probes, "stop after this many answered link checks");
  std::vector<std::string> faults;
  app.add_option("--fault", faults, "a fault SETTING, repeatable (listed below)");
  app.footer(kFaultHelp);
  CLI11_PARSE(app, argc, argv);
  for (const auto& setting : faults) {
    std::string error;
    if (!ApplyFault(o, setting, &error)) {
      std::fprintf(stderr, "tessera-board-sim: %s\n", error.c_str());
      return 2;
    }
  }

  struct sigaction sa {};
  sa.sa_handler = [](int) { g_stop = 1; };
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  return Board(o).Run();
}
