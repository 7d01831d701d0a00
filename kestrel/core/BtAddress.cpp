#include "core/BtAddress.h"

#include <cstdio>

namespace kestrel {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

BtAddress BtAddress::Next() const {
  BtAddress next = *this;
  for (uint8_t& b : next.bytes) {
    b = static_cast<uint8_t>(b + 1);
    if (b != 0) break;  // no carry into the next byte
  }
  return next;
}

std::string BtAddress::DisplayText() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[5], bytes[4], bytes[3],
                bytes[2], bytes[1], bytes[0]);
  return text;
}

std::optional<BtAddress> BtAddress::FromDisplayText(const std::string& text) {
  if (text.size() != 17) return std::nullopt;
  BtAddress a;
  for (int i = 0; i < 6; ++i) {
    size_t at = static_cast<size_t>(i) * 3;
    if (i > 0 && text[at - 1] != ':' && text[at - 1] != '-') return std::nullopt;
    int hi = HexDigit(text[at]);
    int lo = HexDigit(text[at + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    a.bytes[static_cast<size_t>(5 - i)] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return a;
}

bool BtAddress::ParseBox(const std::string& text, uint8_t* byte) {
  std::string s;
  for (char c : text)
    if (c != 'h') s.push_back(c);
  if (s.size() % 2 != 0) s.push_back('0');
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]);
    if (hi < 0) {
      *byte = 0;
      return false;
    }
    int lo = HexDigit(s[i + 1]);
    if (lo < 0) {
      *byte = static_cast<uint8_t>(hi * 16);
      return false;
    }
    *byte = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

}  // namespace kestrel
