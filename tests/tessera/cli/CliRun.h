#pragma once
// Runs the built tessera-cli as a separate program and captures what it prints.
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "../config/TempDir.h"

// Tests that run the program skip themselves when it was not built.
#ifndef TESSERA_CLI_PATH
#define SKIP_WITHOUT_CLI() GTEST_SKIP() << "tessera-cli is not built"
#else
#define SKIP_WITHOUT_CLI() (void)0
#endif

namespace tessera::testing {

struct CliResult {
  int exitCode = -1;
  std::string out, err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// args are passed through the shell, each one quoted.
inline CliResult RunCli(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& cwd = {}) {
  CliResult r;
#ifdef TESSERA_CLI_PATH
  std::string cmd = cwd.empty() ? "" : "cd " + ShellQuote(cwd) + " && ";
  cmd += ShellQuote(TESSERA_CLI_PATH);
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  const std::string outFile = dir.File(".cli_stdout"), errFile = dir.File(".cli_stderr");
  cmd += " >" + ShellQuote(outFile) + " 2>" + ShellQuote(errFile);
  int status = std::system(cmd.c_str());
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  auto out = ReadBytes(outFile), err = ReadBytes(errFile);
  r.out.assign(out.begin(), out.end());
  r.err.assign(err.begin(), err.end());
  std::remove(outFile.c_str());
  std::remove(errFile.c_str());
#else
  (void)dir, (void)args, (void)cwd;
#endif
  return r;
}

}  // namespace tessera::testing
