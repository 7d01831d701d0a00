#pragma once
// A Bluetooth address as the board's record stores it: six bytes, byte 0 the least
// significant. People read and type it the other way round (byte 5 first).
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kestrel {

struct BtAddress {
  std::array<uint8_t, 6> bytes{};  // bytes[0] least significant

  // The next address, counting as a 48-bit number; FF:FF:FF:FF:FF:FF wraps to zero.
  BtAddress Next() const;
  // "%02x:%02x:%02x:%02x:%02x:%02x" with byte 5 first.
  std::string DisplayText() const;
  // "AA:BB:CC:DD:EE:FF" (byte 5 first; ':' or '-' between pairs, case-insensitive).
  static std::optional<BtAddress> FromDisplayText(const std::string& text);

  // One address box of the production dialog into one byte: every lower-case 'h' is
  // dropped, an odd count gets a '0' appended (a lone "A" is 0xA0), each pair of hex
  // digits gives the byte, high digit first. An empty box leaves *byte alone. A box with
  // any other character fails, leaving *byte at 0 (bad first digit of the pair) or at the
  // first digit times 16.
  static bool ParseBox(const std::string& text, uint8_t* byte);

  bool operator==(const BtAddress&) const = default;
};

}  // namespace kestrel
