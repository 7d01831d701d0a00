#include "TuneHandOver.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tessera::cli {

namespace {

#ifdef _WIN32
constexpr const char* kTuneName = "tessera-tune.exe";
#else
constexpr const char* kTuneName = "tessera-tune";
#endif

// The folder of the running program, with its separator; empty when unknown.
std::string OwnFolder(const char* argv0) {
  std::string self;
#ifdef _WIN32
  char buf[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) self.assign(buf, n);
#else
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n > 0) self.assign(buf.data(), static_cast<size_t>(n));
#endif
  if (self.empty() && argv0) self = argv0;
  const auto cut = self.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
}

}  // namespace

int RunTuneProgram(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  const std::string beside = OwnFolder(argc > 0 ? argv[0] : nullptr) + kTuneName;
  std::string tried = beside;
#ifdef _WIN32
  args[0] = const_cast<char*>(beside.c_str());
  intptr_t status = _spawnv(_P_WAIT, beside.c_str(), args.data());
  if (status == -1 && errno == ENOENT) {
    args[0] = const_cast<char*>(kTuneName);
    status = _spawnvp(_P_WAIT, kTuneName, args.data());
  }
  if (status != -1) return static_cast<int>(status);
#else
  args[0] = const_cast<char*>(beside.c_str());
  execv(beside.c_str(), args.data());
  if (errno == ENOENT) {
    args[0] = const_cast<char*>(kTuneName);
    execvp(kTuneName, args.data());
    tried += std::string(" or ") + kTuneName + " on the PATH";
  }
#endif
  std::cerr << "tessera-cli: the live-tuning commands are run by " << kTuneName << ", which could not be started ("
            << tried << ": " << std::strerror(errno) << "). Install it beside tessera-cli.\n";
  return 1;
}

}  // namespace tessera::cli
