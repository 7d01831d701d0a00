#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/ImageBuilder.h"

namespace tessera {
namespace {

TEST(Crc16Cms, CheckValueOver123456789) {
  const char* s = "123456789";
  const auto* p = reinterpret_cast<const uint8_t*>(s);
  EXPECT_EQ(Crc16CmsBitwise(p, 9), 0xAEE7);
  EXPECT_EQ(Crc16Cms(p, 9), 0xAEE7);
}

TEST(Crc16Cms, ErasedAndZeroBlocks) {
  uint8_t ff[32], zero[32];
  std::memset(ff, 0xFF, 32);
  std::memset(zero, 0, 32);
  EXPECT_EQ(Crc16CmsBitwise(ff, 32), 0x000C);
  EXPECT_EQ(Crc16CmsBitwise(zero, 32), 0x8029);
  EXPECT_EQ(BlockCrc32Bytes(ff), 0x000C);
  EXPECT_EQ(BlockCrc32Bytes(zero), 0x8029);

  // And as encoded: stored high byte first.
  uint8_t out[34 * 2];
  uint8_t src[64];
  std::memset(src, 0xFF, 32);
  std::memset(src + 32, 0, 32);
  RecordingSink sink;
  ASSERT_TRUE(ImageBuilder::EncodeCrcImage(out, src, 0, 64, sizeof out, sink));
  EXPECT_EQ(out[32], 0x00);
  EXPECT_EQ(out[33], 0x0C);
  EXPECT_EQ(out[66], 0x80);
  EXPECT_EQ(out[67], 0x29);
}

TEST(Crc16Cms, FastBlockCrcMatchesBitwiseOnRandomBlocks) {
  std::mt19937 rng(12345);
  uint8_t block[32];
  for (int i = 0; i < 20000; ++i) {
    for (auto& b : block) b = static_cast<uint8_t>(rng());
    if (i % 7 == 0) block[rng() % 32] = 0xFF;  // a few near-erased patterns
    ASSERT_EQ(BlockCrc32Bytes(block), Crc16CmsBitwise(block, 32)) << "block " << i;
  }
}

TEST(Crc16Cms, TableCrcMatchesBitwiseForAnyLengthAndInit) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(300);
  for (int i = 0; i < 500; ++i) {
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    const size_t n = rng() % data.size();
    const auto init = static_cast<uint16_t>(rng());
    ASSERT_EQ(Crc16Cms(data.data(), n, init), Crc16CmsBitwise(data.data(), n, init));
  }
}

// The whole encoder against a straightforward step-by-step implementation.
void ReferenceEncode(std::vector<uint8_t>& dest, const std::vector<uint8_t>& src, uint32_t key, size_t length) {
  const size_t blocks = (length + 31) / 32;
  for (size_t k = 0; k < blocks; ++k) {
    for (size_t j = 0; j < 8; ++j) {
      uint32_t w = 0;
      for (int b = 3; b >= 0; --b) {
        const size_t at = 32 * k + 4 * j + static_cast<size_t>(b);
        w = (w << 8) | (at < length ? src[at] : 0xFF);
      }
      w = ImageBuilder::ScrambleWord(key, static_cast<uint32_t>(32 * k + 4 * j), w);
      for (int b = 0; b < 4; ++b) dest[34 * k + 4 * j + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    const uint16_t init = static_cast<uint16_t>((dest[34 * k + 32] << 8) | dest[34 * k + 33]);  // 0xFFFF fill
    const uint16_t crc = Crc16CmsBitwise(&dest[34 * k], 32, init);
    dest[34 * k + 32] = static_cast<uint8_t>(crc >> 8);
    dest[34 * k + 33] = static_cast<uint8_t>(crc);
  }
}

TEST(EncodeCrcImage, MatchesBitwiseReferenceOnRandomImages) {
  std::mt19937 rng(99);
  for (uint32_t key : {0u, 0x12345678u, 0xA5C3F00Fu}) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{33}, size_t{4096}, size_t{70001}}) {
      std::vector<uint8_t> src(length);
      for (auto& b : src) b = static_cast<uint8_t>(rng());
      const size_t size = ImageBuilder::CrcImageSize(length) + 8;
      std::vector<uint8_t> fast(size, 0xFF), ref(size, 0xFF);
      RecordingSink sink;
      ASSERT_TRUE(ImageBuilder::EncodeCrcImage(fast.data(), src.data(), key, length, size, sink));
      ReferenceEncode(ref, src, key, length);
      ASSERT_EQ(fast, ref) << "key " << key << " length " << length;
      EXPECT_TRUE(sink.messages.empty());
    }
  }
}

TEST(EncodeCrcImage, RefusesATooSmallDestinationWritingNothing) {
  std::vector<uint8_t> src(64, 0x11), dest(67, 0xAB);
  RecordingSink sink;
  EXPECT_FALSE(ImageBuilder::EncodeCrcImage(dest.data(), src.data(), 0, 64, dest.size(), sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "crc bin file is too large!! ");
  EXPECT_EQ(dest, std::vector<uint8_t>(67, 0xAB));
}

TEST(EncodeCrcImage, ExactDestinationSizeIsEnough) {
  std::vector<uint8_t> src(64, 0x11), dest(68, 0xFF);
  RecordingSink sink;
  EXPECT_TRUE(ImageBuilder::EncodeCrcImage(dest.data(), src.data(), 0, 64, dest.size(), sink));
  EXPECT_TRUE(sink.messages.empty());
}

TEST(ImageChecksum, Examples) {
  const uint8_t six[] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(ImageChecksum(six, 6), 0xFFFFFFF3u);
  EXPECT_EQ(ImageChecksum(six, 0), 0xFFFFFFFFu);
  EXPECT_EQ(ImageChecksum(six, 3), ~uint32_t{1 + 2 + 3});
  EXPECT_EQ(ImageChecksum(six, 4), ~uint32_t{1});
  EXPECT_EQ(ImageChecksum(six, 5), ~uint32_t{1 + 5});
}

TEST(ScrambleWord, KeyZeroCopiesTheWord) {
  for (uint32_t off = 0; off < 0x1000; off += 0x100)
    EXPECT_EQ(ImageBuilder::ScrambleWord(0, off, 0xDEADBEEF), 0xDEADBEEFu);
}

TEST(ScrambleWord, RearrangementTableRows) {
  // k0 = 0x11 (least significant), k1 = 0x22, k2 = 0x33, k3 = 0x44.
  const uint32_t key = 0x44332211;
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x000, 0), 0x11224433u);  // 0: k0 k1 k3 k2
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x100, 0), 0x11334422u);  // 1: k0 k2 k3 k1
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x5FC, 0), 0x22113344u);  // 5: k1 k0 k2 k3
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x700, 0), 0x22334411u);  // 7: k1 k2 k3 k0
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0xA00, 0), 0x22443311u);  // 10: k1 k3 k2 k0
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0xF00, 0), 0x33441122u);  // 15: k2 k3 k0 k1
  // Only bits 8..11 of the offset count; the data word is XOR-ed.
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x10FFF, 0), 0x33441122u);
  EXPECT_EQ(ImageBuilder::ScrambleWord(key, 0x000, 0xFFFFFFFF), ~0x11224433u);
}

}  // namespace
}  // namespace tessera
