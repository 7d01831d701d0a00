// The command line tessera-cli gives tessera-tune on Windows: every argument must come
// back whole from the C runtime's splitting, paths with blanks and trailing backslashes
// included. Under Wine the lines also go through the system's own parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tessera/cli/TuneHandOver.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

struct Case {
  std::vector<std::string> args;
  std::string line;
};

const std::vector<Case> kCases = {
    {{"tessera-tune.exe", "tune-eq", "demo.cfg"}, "tessera-tune.exe tune-eq demo.cfg"},
    {{"x", "C:\\Users\\Li Wei\\My Configs\\a.cfg"}, R"(x "C:\Users\Li Wei\My Configs\a.cfg")"},
    {{"x", "C:\\Board Files\\"}, R"(x "C:\Board Files\\")"},   // the last backslash stays one
    {{"x", "C:\\plain\\"}, R"(x C:\plain\)"},                    // nothing to quote: as it is
    {{"x", ""}, R"(x "")"},
    {{"x", "say \"hi\""}, R"(x "say \"hi\"")"},
    {{"x", "a\\\"b"}, R"(x "a\\\"b")"},
    {{"x", "a\\\\b c"}, R"(x "a\\b c")"},  // backslashes not before a quote stand
    {{"x", "tab\there"}, "x \"tab\there\""},
};

TEST(TuneHandOver, WindowsCommandLinesQuoteOnlyWhatNeedsIt) {
  for (const Case& c : kCases) EXPECT_EQ(tessera::cli::WindowsCommandLine(c.args), c.line);
}

#ifdef _WIN32
TEST(TuneHandOver, TheSystemSplitsTheLinesBackIntoTheArguments) {
  for (const Case& c : kCases) {
    const std::string line = tessera::cli::WindowsCommandLine(c.args);
    const std::wstring wide(line.begin(), line.end());  // the cases are ASCII
    int n = 0;
    LPWSTR* argv = CommandLineToArgvW(wide.c_str(), &n);
    ASSERT_NE(argv, nullptr);
    std::vector<std::string> back;
    for (int i = 0; i < n; ++i) {
      const std::wstring w(argv[i]);
      back.emplace_back(w.begin(), w.end());
    }
    LocalFree(argv);
    EXPECT_EQ(back, c.args) << line;
  }
}
#endif

}  // namespace
