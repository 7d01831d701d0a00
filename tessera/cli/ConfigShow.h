#pragma once
// Readable listing of a configuration file, page by page, with the values in the
// units the pages show (seconds, milliseconds, volts, names).
#include <cstdint>
#include <string>
#include <vector>

namespace tessera {

// False (with error) only for a file shorter than its fixed part.
bool ShowConfig(const std::vector<uint8_t>& file, std::string& text, std::string& error);

}  // namespace tessera
