#pragma once
// What the simulated adapters and SimTransport agree on: the names of the sockets in
// the simulator's folder and the framing of what an adapter sends back.
//
// Host to adapter: one SOCK_SEQPACKET message per pipe write, so the adapter sees the
// transfer boundaries a real bulk OUT pipe gives it (the two WriteRegister forms differ
// only by length). Adapter to host: one message per bulk IN transfer, led by one status
// byte: kWireData (the rest is data) or kWireError (the transfer failed on the bus, the
// host's read reports a failure and nothing is delivered).
#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrel::simwire {

constexpr uint8_t kWireData = 0x00;
constexpr uint8_t kWireError = 0x01;
// Largest data part of one adapter-to-host message.
constexpr size_t kMaxInTransfer = 4096;

// "adapter<n>.sock"; "adapter<n>.noid.sock" for an adapter that reports no instance
// identity (it is counted but never opened).
inline std::string AdapterSocketName(int index, bool noInstanceId) {
  return "adapter" + std::to_string(index) + (noInstanceId ? ".noid.sock" : ".sock");
}

inline constexpr const char* kControlSocketName = "control.sock";

inline std::string BoardFlashName(int index) { return "board" + std::to_string(index) + ".bin"; }

// Parses an adapter socket name; false for anything else (control.sock, flash files).
inline bool ParseAdapterSocketName(const std::string& name, int* index, bool* noInstanceId) {
  const std::string prefix = "adapter";
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  size_t pos = prefix.size();
  size_t digits = 0;
  long value = 0;
  while (pos < name.size() && name[pos] >= '0' && name[pos] <= '9' && digits < 6) {
    value = value * 10 + (name[pos] - '0');
    ++pos;
    ++digits;
  }
  if (digits == 0) return false;
  std::string rest = name.substr(pos);
  if (rest == ".sock") {
    *noInstanceId = false;
  } else if (rest == ".noid.sock") {
    *noInstanceId = true;
  } else {
    return false;
  }
  *index = static_cast<int>(value);
  return true;
}

}  // namespace kestrel::simwire
