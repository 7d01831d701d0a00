#pragma once
// The host side of the adapter's command set, just enough to drive a simulated adapter
// from tests: a slot's three endpoints and the packets the download engine sends.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/Transport.h"

namespace kestrel::testing {

struct SimHost {
  std::unique_ptr<Endpoint> device, out, in;

  bool Open(Transport& t, int index) {
    device = t.OpenInterface(index);
    out = t.OpenPipe("PIPE01");
    in = t.OpenPipe("PIPE00");
    return device && out && in;
  }

  bool Send(const std::vector<uint8_t>& bytes) {
    size_t written = 0;
    return out->Write(bytes.data(), bytes.size(), &written) && written == bytes.size();
  }

  // One read; nullopt when it fails.
  std::optional<std::vector<uint8_t>> ReadOnce(size_t max, int timeoutMs = 2000) {
    std::vector<uint8_t> buf(max);
    size_t got = 0;
    if (!in->Read(buf.data(), max, &got, timeoutMs)) return std::nullopt;
    buf.resize(got);
    return buf;
  }

  // Reads until n bytes arrived; failed reads are retried up to `retries` times in all.
  std::optional<std::vector<uint8_t>> ReadExactly(size_t n, int* failures = nullptr, int retries = 0) {
    std::vector<uint8_t> data;
    int failed = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (data.size() < n) {
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      auto part = ReadOnce(std::min<size_t>(2048, n - data.size()));
      if (!part) {
        if (++failed > retries) return std::nullopt;
        continue;
      }
      data.insert(data.end(), part->begin(), part->end());
    }
    if (failures != nullptr) *failures = failed;
    return data;
  }

  // The start packet, then data packets in writes of up to 32 packets, the last one AB.
  bool Program(const std::vector<uint8_t>& image) {
    const size_t len = image.size();
    std::vector<uint8_t> start(64, 0);
    start[0] = 0xA9;
    start[1] = static_cast<uint8_t>(len);
    start[2] = static_cast<uint8_t>(len >> 8);
    start[3] = static_cast<uint8_t>(len >> 16);
    for (size_t i = 0; i < 60 && i < len; ++i) start[4 + i] = image[i];
    if (!Send(start)) return false;
    std::vector<uint8_t> batch;
    for (size_t offset = 60; offset < len;) {
      size_t n = len - offset > 60 ? 60 : len - offset;
      std::vector<uint8_t> packet(64, 0);
      packet[0] = len - offset > 60 ? 0xAA : 0xAB;
      std::copy(image.begin() + static_cast<long>(offset), image.begin() + static_cast<long>(offset + n),
                packet.begin() + 1);
      offset += n;
      batch.insert(batch.end(), packet.begin(), packet.end());
      if (batch.size() == 2048 || offset >= len) {
        if (!Send(batch)) return false;
        batch.clear();
      }
    }
    return true;
  }

  std::optional<std::vector<uint8_t>> ReadFlash(size_t len, int* failures = nullptr, int retries = 0) {
    if (!Send({0xAC, static_cast<uint8_t>(len), static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len >> 16)})) {
      return std::nullopt;
    }
    return ReadExactly(len, failures, retries);
  }
};

inline std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  return v;
}

}  // namespace kestrel::testing
