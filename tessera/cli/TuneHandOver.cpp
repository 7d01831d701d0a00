#include "tessera/cli/TuneHandOver.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#ifdef _WIN32
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
#ifdef _WIN32
// The arguments are UTF-8 (qrplatform::StartCommandLine); Windows takes names as UTF-16.
std::wstring Wide(const std::string& s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* w, int n) {
  const int len = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(len > 0 ? len : 0), '\0');
  if (len > 0) WideCharToMultiByte(CP_UTF8, 0, w, n, s.data(), len, nullptr, nullptr);
  return s;
}
#endif

std::string OwnFolder(const char* argv0) {
  std::string self;
#ifdef _WIN32
  wchar_t buf[MAX_PATH + 1];
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) self = Narrow(buf, static_cast<int>(n));
#else
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n > 0) self.assign(buf.data(), static_cast<size_t>(n));
#endif
  if (self.empty() && argv0) self = argv0;
  const auto cut = self.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : self.substr(0, cut + 1);
}

#ifdef _WIN32
// Starts the program and waits for it; -1 (and why) when it cannot be started.
int RunAndWait(const std::string& program, std::vector<std::string> args, std::string* why) {
  args[0] = program;
  std::wstring line = Wide(WindowsCommandLine(args));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    *why = "Windows error " + std::to_string(GetLastError());
    return -1;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}
#endif

}  // namespace

std::string WindowsCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos) {
      line += a;
      continue;
    }
    line += '"';
    size_t backslashes = 0;
    for (char c : a) {
      if (c == '\\') {
        ++backslashes;
        continue;
      }
      // Backslashes before a quote are doubled and the quote escaped; elsewhere they stand.
      line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
      backslashes = 0;
      line += c;
    }
    line.append(2 * backslashes, '\\');  // before the closing quote
    line += '"';
  }
  return line;
}

int RunTuneProgram(int argc, char** argv) {
  const std::string beside = OwnFolder(argc > 0 ? argv[0] : nullptr) + kTuneName;
  std::string tried = beside, why;
#ifdef _WIN32
  const std::vector<std::string> args(argv, argv + argc);
  int status = RunAndWait(beside, args, &why);
  if (status < 0) {
    wchar_t found[MAX_PATH + 1];
    const DWORD n = SearchPathW(nullptr, Wide(kTuneName).c_str(), nullptr, MAX_PATH, found, nullptr);
    tried += std::string(" or ") + kTuneName + " on the PATH";
    if (n > 0 && n < MAX_PATH) status = RunAndWait(Narrow(found, static_cast<int>(n)), args, &why);
  }
  if (status >= 0) return status;
#else
  std::vector<char*> args(argv, argv + argc);
  args.push_back(nullptr);
  args[0] = const_cast<char*>(beside.c_str());
  execv(beside.c_str(), args.data());
  if (errno == ENOENT) {
    args[0] = const_cast<char*>(kTuneName);
    execvp(kTuneName, args.data());
    tried += std::string(" or ") + kTuneName + " on the PATH";
  }
  why = std::strerror(errno);
#endif
  std::cerr << "tessera-cli: the live-tuning commands are run by " << kTuneName
            << ", which could not be started (" << tried << ": " << why
            << "). Install it beside tessera-cli.\n";
  return 1;
}

}  // namespace tessera::cli
