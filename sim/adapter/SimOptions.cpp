#include "SimOptions.h"

#include <cerrno>
#include <cstdlib>

namespace kestrel::sim {
namespace {

bool ParseNumber(const std::string& text, long long min, long long max, long long* out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

std::string SimUsage() {
  return "usage: kestrel-adapter-sim DIR --boards N [options]\n"
         "  serves N simulated download adapters as DIR/adapter<n>.sock, each with its\n"
         "  board's flash in DIR/board<n>.bin, and a control socket DIR/control.sock\n"
         "options:\n"
         "  --boards N          number of adapters, 1..127 (required)\n"
         "  --flash-kb K        flash size of every board in KiB (default 4096)\n"
         "  --rate B            transfer rate per adapter in bytes/s, 0 = unlimited (default 0)\n"
         "  --erase-ms MS       chip erase time in ms (default 200)\n"
         "  --fault N:SETTING   fault of board N, repeatable; SETTING is one of\n"
         "                        connect=none|ee00|noee|unacked|noreply  Connect's answer\n"
         "                        erase=none|noee|noreply   EraseChip's answer (it erases anyway)\n"
         "                        replies=N                 every answer sent N times (1..64)\n"
         "                        reply-fail-once           the next answer follows a failed transfer\n"
         "                        read-fail-once[=K]        the K-th transfer of the next ReadFlash fails\n"
         "                        read-stop=BYTES           ReadFlash answers stop after BYTES\n"
         "                        drop-data=N               the N-th data packet of each run is lost\n"
         "                        flip[=OFFSET]             a flash bit flips after programming\n"
         "                        vanish=BYTES              unplugged after BYTES both ways (-1 off)\n"
         "                        no-id                     reports no instance identity\n"
         "  kestrel-adapter-sim --control DIR COMMAND...   sends one control command\n";
}

bool ApplyFault(BoardFaults* faults, const std::string& setting, std::string* error) {
  size_t eq = setting.find('=');
  std::string key = setting.substr(0, eq);
  std::string value = eq == std::string::npos ? std::string() : setting.substr(eq + 1);
  bool hasValue = eq != std::string::npos;
  long long n = 0;
  if (key == "connect") {
    if (value == "none") {
      faults->connect = BoardFaults::Connect::kNone;
    } else if (value == "ee00") {
      faults->connect = BoardFaults::Connect::kEe00;
    } else if (value == "noee") {
      faults->connect = BoardFaults::Connect::kNoEe;
    } else if (value == "noreply") {
      faults->connect = BoardFaults::Connect::kNoReply;
    } else if (value == "unacked") {
      faults->connect = BoardFaults::Connect::kUnacked;
    } else {
      *error = "connect= takes none, ee00, noee, unacked or noreply";
      return false;
    }
    return true;
  }
  if (key == "erase") {
    if (value == "none") {
      faults->erase = BoardFaults::Erase::kNone;
    } else if (value == "noee") {
      faults->erase = BoardFaults::Erase::kNoEe;
    } else if (value == "noreply") {
      faults->erase = BoardFaults::Erase::kNoReply;
    } else {
      *error = "erase= takes none, noee or noreply";
      return false;
    }
    return true;
  }
  if (key == "replies") {
    if (!ParseNumber(value, 1, 64, &n)) {
      *error = "replies= takes 1..64";
      return false;
    }
    faults->replies = static_cast<int>(n);
    return true;
  }
  if (key == "reply-fail-once" && !hasValue) {
    faults->replyFailOnce = true;
    return true;
  }
  if (key == "read-fail-once") {
    if (!hasValue) {
      faults->readFailOnce = 1;
      return true;
    }
    if (!ParseNumber(value, 0, 1 << 20, &n)) {
      *error = "read-fail-once= takes a transfer number from 1 (0 turns it off)";
      return false;
    }
    faults->readFailOnce = static_cast<int>(n);
    return true;
  }
  if (key == "read-stop") {
    if (!ParseNumber(value, -1, 1LL << 32, &n)) {
      *error = "read-stop= takes a byte count (-1 turns it off)";
      return false;
    }
    faults->readStopAfter = n;
    return true;
  }
  if (key == "drop-data") {
    if (!ParseNumber(value, 0, 1 << 24, &n)) {
      *error = "drop-data= takes a packet number from 1 (0 turns it off)";
      return false;
    }
    faults->dropData = static_cast<long>(n);
    return true;
  }
  if (key == "flip") {
    if (!hasValue) {
      faults->flipOffset = 0;
      return true;
    }
    if (!ParseNumber(value, -1, 1LL << 32, &n)) {
      *error = "flip= takes a flash offset (-1 turns it off)";
      return false;
    }
    faults->flipOffset = n;
    return true;
  }
  if (key == "vanish") {
    if (!ParseNumber(value, -1, 1LL << 40, &n)) {
      *error = "vanish= takes a byte count (-1 turns it off)";
      return false;
    }
    faults->vanishAfter = n;
    return true;
  }
  if (key == "no-id" && !hasValue) {
    faults->noInstanceId = true;
    return true;
  }
  *error = "unknown fault setting: " + setting;
  return false;
}

bool ParseSimOptions(int argc, char** argv, SimOptions* options, std::string* error) {
  std::vector<std::string> faultArgs;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
        inlineValue = true;
      }
    }
    auto takeValue = [&](std::string* out) {
      if (inlineValue) {
        *out = value;
        return true;
      }
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    long long n = 0;
    std::string v;
    if (arg == "--help" || arg == "-h") {
      *error = SimUsage();
      return false;
    } else if (arg == "--boards") {
      if (!takeValue(&v)) return false;
      if (!ParseNumber(v, 1, 127, &n)) {
        *error = "--boards takes 1..127";
        return false;
      }
      options->boards = static_cast<int>(n);
    } else if (arg == "--flash-kb") {
      if (!takeValue(&v)) return false;
      if (!ParseNumber(v, 1, 16 * 1024, &n)) {
        *error = "--flash-kb takes 1..16384";
        return false;
      }
      options->flashKb = static_cast<size_t>(n);
    } else if (arg == "--rate") {
      if (!takeValue(&v)) return false;
      if (!ParseNumber(v, 0, 1LL << 40, &n)) {
        *error = "--rate takes a byte rate, 0 = unlimited";
        return false;
      }
      options->rate = static_cast<uint64_t>(n);
    } else if (arg == "--erase-ms") {
      if (!takeValue(&v)) return false;
      if (!ParseNumber(v, 0, 600000, &n)) {
        *error = "--erase-ms takes 0..600000";
        return false;
      }
      options->eraseMs = static_cast<int>(n);
    } else if (arg == "--fault") {
      if (!takeValue(&v)) return false;
      faultArgs.push_back(v);
    } else if (arg.rfind("-", 0) == 0) {
      *error = "unknown option " + arg;
      return false;
    } else if (options->dir.empty()) {
      options->dir = arg;
    } else {
      *error = "unexpected argument " + arg;
      return false;
    }
  }
  if (options->dir.empty() || options->boards == 0) {
    *error = SimUsage();
    return false;
  }
  options->faults.assign(static_cast<size_t>(options->boards), BoardFaults{});
  for (const std::string& f : faultArgs) {
    size_t colon = f.find(':');
    long long board = 0;
    if (colon == std::string::npos || !ParseNumber(f.substr(0, colon), 0, options->boards - 1, &board)) {
      *error = "--fault takes BOARD:SETTING with BOARD below --boards: " + f;
      return false;
    }
    if (!ApplyFault(&options->faults[static_cast<size_t>(board)], f.substr(colon + 1), error)) return false;
  }
  return true;
}

}  // namespace kestrel::sim
