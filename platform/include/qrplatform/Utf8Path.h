#pragma once
// File names travel through the programs as UTF-8 in std::string. std::filesystem::path
// built from a plain std::string takes the bytes in the system's narrow encoding, which on
// Windows is not UTF-8 (a Chinese name turns into unrelated characters). These build and
// read paths through char8_t, which is UTF-8 on every system.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace qrplatform {

inline std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string Utf8FromPath(const std::filesystem::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

// std::fopen by a UTF-8 name (the wide-character open on Windows).
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// For a command-line program's main(): replaces argv by the command line in UTF-8, and
// makes standard output and error carry the programs' bytes unchanged. Windows hands
// narrow programs their arguments in the ANSI code page, where a Chinese file name is
// lost, so they are taken from the UTF-16 command line instead; its text-mode streams
// would turn "\r\n" into "\r\r\n", and its console would show UTF-8 as another code
// page. Nothing to do elsewhere. The strings live until exit.
void StartCommandLine(int& argc, char**& argv);

}  // namespace qrplatform
