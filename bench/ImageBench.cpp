// Flash-image building speed.
//
//  BM_BuildGd32MbitImage   encode the CRC image of a full "GD_32Mbit" buffer (4084 KiB,
//                          prompt area full) and compute its check value.
//  BM_EncodeCrcImage       the CRC encoding alone, same bytes.
//  BM_Memcpy               a plain memcpy of the same bytes in the same run.
//  BM_EncodeVsMemcpy       both in one loop; counter "ratio" = encode rate / memcpy rate
//                          (1 means as fast as memcpy; the target is at least 0.1).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/FlashLayout.h"
#include "tessera/core/config/ImageBuilder.h"

namespace {

using namespace tessera;

struct Gd32Buffers {
  FlashLayout layout = FlashLayoutFor(3);
  size_t length;  // L: code area + sector + full prompt area = whole buffer
  std::vector<uint8_t> image, crc;
  Gd32Buffers() {
    length = layout.bufferSize;  // 4084 KiB; (C + 4) KiB + 3568 KiB of prompts
    image.assign(layout.bufferSize, 0xFF);
    crc.assign(ImageBuilder::CrcImageSize(length) + 4, 0xFF);
    std::mt19937 rng(2026);
    for (size_t i = 0; i < 300 * 1024; ++i) image[i] = static_cast<uint8_t>(rng());  // firmware
    for (size_t i = layout.promptAreaOffset; i < length; ++i) image[i] = static_cast<uint8_t>(rng());  // prompts
  }
};

Gd32Buffers& Buffers() {
  static Gd32Buffers b;
  return b;
}

void BM_BuildGd32MbitImage(benchmark::State& state) {
  Gd32Buffers& b = Buffers();
  RecordingSink sink;
  for (auto _ : state) {
    const bool ok = ImageBuilder::EncodeCrcImage(b.crc.data(), b.image.data(), 0, b.length, b.crc.size(), sink);
    const size_t n = ImageBuilder::CrcImageSize(b.length);
    const uint32_t check = ImageChecksum(b.crc.data() + ImageBuilder::kChecksumSkip, n - ImageBuilder::kChecksumSkip);
    std::memcpy(b.crc.data() + n, &check, 4);
    benchmark::DoNotOptimize(ok);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.length));
}
BENCHMARK(BM_BuildGd32MbitImage)->Unit(benchmark::kMillisecond);

void BM_EncodeCrcImage(benchmark::State& state) {
  Gd32Buffers& b = Buffers();
  RecordingSink sink;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ImageBuilder::EncodeCrcImage(b.crc.data(), b.image.data(), 0, b.length, b.crc.size(), sink));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.length));
}
BENCHMARK(BM_EncodeCrcImage)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  Gd32Buffers& b = Buffers();
  for (auto _ : state) {
    std::memcpy(b.crc.data(), b.image.data(), b.length);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.length));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

// Byte-at-a-time table CRC over the same blocks, for comparison with the fast path.
void BM_ByteTableCrcBlocks(benchmark::State& state) {
  Gd32Buffers& b = Buffers();
  for (auto _ : state) {
    uint16_t x = 0;
    for (size_t k = 0; k < b.length; k += 32) x ^= Crc16Cms(b.image.data() + k, 32);
    benchmark::DoNotOptimize(x);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * b.length));
}
BENCHMARK(BM_ByteTableCrcBlocks)->Unit(benchmark::kMillisecond);

// Encode and memcpy timed alternately inside one benchmark, so both see the same
// machine state; "ratio" = memcpy time / encode time = encode rate / memcpy rate.
void BM_EncodeVsMemcpy(benchmark::State& state) {
  Gd32Buffers& b = Buffers();
  RecordingSink sink;
  std::vector<uint8_t> copy(b.length);
  double encodeS = 0, copyS = 0;
  using Clock = std::chrono::steady_clock;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    benchmark::DoNotOptimize(
        ImageBuilder::EncodeCrcImage(b.crc.data(), b.image.data(), 0, b.length, b.crc.size(), sink));
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    std::memcpy(copy.data(), b.image.data(), b.length);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    encodeS += std::chrono::duration<double>(t1 - t0).count();
    copyS += std::chrono::duration<double>(t2 - t1).count();
  }
  const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(b.length);
  state.counters["encode_GBps"] = bytes / encodeS / 1e9;
  state.counters["memcpy_GBps"] = bytes / copyS / 1e9;
  state.counters["ratio"] = copyS / encodeS;
}
BENCHMARK(BM_EncodeVsMemcpy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
