#include "tessera/core/config/ImageBuilder.h"

#include <array>
#include <bit>
#include <cstring>

namespace tessera {

namespace {

constexpr uint16_t kPoly = 0x8005;

// kTables[m][b]: CRC (initial value 0) of the byte b followed by m zero bytes. A CRC
// with initial value 0 is linear, so the CRC of a 32-byte block is the XOR over the
// block's bytes d_i of kTables[31 - i][d_i] plus the constant contribution of the
// initial value: 32 independent look-ups, no chain from one byte to the next. The
// tables take 32 x 256 x 2 = 16 KiB and stay in the first-level cache.
using CrcTables = std::array<std::array<uint16_t, 256>, 32>;

constexpr CrcTables MakeTables() {
  CrcTables t{};
  for (unsigned b = 0; b < 256; ++b) {
    uint16_t crc = static_cast<uint16_t>(b << 8);
    for (int i = 0; i < 8; ++i) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ kPoly : crc << 1);
    t[0][b] = crc;
  }
  for (size_t m = 1; m < t.size(); ++m)
    for (unsigned b = 0; b < 256; ++b) {
      const uint16_t prev = t[m - 1][b];
      t[m][b] = static_cast<uint16_t>((prev << 8) ^ t[0][prev >> 8]);
    }
  return t;
}

constexpr CrcTables kTables = MakeTables();

// Contribution of the initial value 0xFFFF over a 32-byte block: the CRC of 32 zero
// bytes with that initial value.
constexpr uint16_t InitContribution() {
  uint16_t crc = kCrc16CmsInit;
  for (int i = 0; i < 32; ++i) crc = static_cast<uint16_t>((crc << 8) ^ kTables[0][crc >> 8]);
  return crc;
}
constexpr uint16_t kInit32 = InitContribution();
static_assert(kInit32 == 0x8029, "32 zero bytes must give 0x8029");

[[maybe_unused]] constexpr uint64_t Swap64(uint64_t v) {
  uint64_t r = 0;
  for (int i = 0; i < 8; ++i) r = (r << 8) | ((v >> (8 * i)) & 0xFF);
  return r;
}

inline uint64_t LoadLe64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = Swap64(v);
  return v;
}
inline void StoreLe64(uint8_t* p, uint64_t v) {
  if constexpr (std::endian::native == std::endian::big) v = Swap64(v);
  std::memcpy(p, &v, 8);
}

// The eight look-ups of one little-endian 64-bit word holding block bytes 8q .. 8q + 7;
// byte 8q + j uses table 31 - 8q - j, i.e. `base` - j with base = 31 - 8q.
template <int Base>
inline uint16_t Word64Crc(uint64_t w) {
  return static_cast<uint16_t>(kTables[Base][w & 0xFF] ^ kTables[Base - 1][(w >> 8) & 0xFF] ^
                               kTables[Base - 2][(w >> 16) & 0xFF] ^ kTables[Base - 3][(w >> 24) & 0xFF] ^
                               kTables[Base - 4][(w >> 32) & 0xFF] ^ kTables[Base - 5][(w >> 40) & 0xFF] ^
                               kTables[Base - 6][(w >> 48) & 0xFF] ^ kTables[Base - 7][w >> 56]);
}

inline uint16_t BlockCrcWords(uint64_t w0, uint64_t w1, uint64_t w2, uint64_t w3) {
  return static_cast<uint16_t>(kInit32 ^ Word64Crc<31>(w0) ^ Word64Crc<23>(w1) ^ Word64Crc<15>(w2) ^
                               Word64Crc<7>(w3));
}

// Encodes one whole block: 32 bytes from src (XOR-ed with the rearranged key in both
// 32-bit halves of each 64-bit word), then the CRC high byte first.
inline void EncodeBlock(uint8_t* dest, const uint8_t* src, uint64_t mask) {
  const uint64_t w0 = LoadLe64(src) ^ mask, w1 = LoadLe64(src + 8) ^ mask, w2 = LoadLe64(src + 16) ^ mask,
                 w3 = LoadLe64(src + 24) ^ mask;
  StoreLe64(dest, w0);
  StoreLe64(dest + 8, w1);
  StoreLe64(dest + 16, w2);
  StoreLe64(dest + 24, w3);
  const uint16_t crc = BlockCrcWords(w0, w1, w2, w3);
  dest[32] = static_cast<uint8_t>(crc >> 8);
  dest[33] = static_cast<uint8_t>(crc);
}

// Rows of the rearrangement table: the key byte index of the new word's bytes, most
// significant first.
constexpr uint8_t kRearrange[16][4] = {
    {0, 1, 3, 2}, {0, 2, 3, 1}, {0, 2, 1, 3}, {0, 3, 1, 2}, {0, 3, 2, 1}, {1, 0, 2, 3}, {1, 0, 3, 2}, {1, 2, 3, 0},
    {1, 2, 0, 3}, {1, 3, 0, 2}, {1, 3, 2, 0}, {2, 0, 1, 3}, {2, 0, 3, 1}, {2, 1, 0, 3}, {2, 1, 3, 0}, {2, 3, 0, 1},
};

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

}  // namespace

uint16_t Crc16Cms(const uint8_t* data, size_t n, uint16_t init) {
  uint16_t crc = init;
  for (size_t i = 0; i < n; ++i) crc = static_cast<uint16_t>((crc << 8) ^ kTables[0][(crc >> 8) ^ data[i]]);
  return crc;
}

uint16_t Crc16CmsBitwise(const uint8_t* data, size_t n, uint16_t init) {
  uint16_t crc = init;
  for (size_t i = 0; i < n; ++i) {
    crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
    for (int b = 0; b < 8; ++b) crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ kPoly : crc << 1);
  }
  return crc;
}

uint16_t BlockCrc32Bytes(const uint8_t* block32) {
  return BlockCrcWords(LoadLe64(block32), LoadLe64(block32 + 8), LoadLe64(block32 + 16), LoadLe64(block32 + 24));
}

uint32_t ImageChecksum(const uint8_t* data, size_t n) {
  uint32_t s = 0;
  const size_t groups = n / 4;
  // Four partial sums so the adds do not form one long chain.
  uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  size_t g = 0;
  for (; g + 4 <= groups; g += 4) {
    s0 += data[4 * g];
    s1 += data[4 * g + 4];
    s2 += data[4 * g + 8];
    s3 += data[4 * g + 12];
  }
  for (; g < groups; ++g) s0 += data[4 * g];
  s = s0 + s1 + s2 + s3;
  for (size_t i = groups * 4; i < n; ++i) s += data[i];
  return ~s;
}

uint32_t ImageBuilder::RearrangedKey(uint32_t key, uint32_t offset) {
  const uint8_t* row = kRearrange[(offset >> 8) & 0xF];
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | ((key >> (8 * row[i])) & 0xFF);
  return v;
}

uint32_t ImageBuilder::ScrambleWord(uint32_t key, uint32_t offset, uint32_t word) {
  return RearrangedKey(key, offset) ^ word;
}

bool ImageBuilder::EncodeCrcImage(uint8_t* dest, const uint8_t* src, uint32_t key, size_t length, size_t destSize,
                                  MessageSink& sink) {
  const size_t blocks = (length + kBlockData - 1) / kBlockData;
  if (blocks > destSize / kBlockSize) {
    sink.Show(kTooLargeMessage);
    return false;
  }
  const size_t whole = length / kBlockData;
  size_t k = 0;
  if (key == 0) {
    // Two blocks per round so the look-ups of neighbouring blocks overlap.
    for (; k + 2 <= whole; k += 2) {
      EncodeBlock(dest + k * kBlockSize, src + k * kBlockData, 0);
      EncodeBlock(dest + (k + 1) * kBlockSize, src + (k + 1) * kBlockData, 0);
    }
    for (; k < whole; ++k) EncodeBlock(dest + k * kBlockSize, src + k * kBlockData, 0);
  } else {
    for (; k < whole; ++k) {
      // A 32-byte block lies inside one 256-byte range, so bits 8..11 of the plain
      // offset, and with them the rearranged key, are the same for its eight words.
      const uint64_t m = RearrangedKey(key, static_cast<uint32_t>(k * kBlockData));
      EncodeBlock(dest + k * kBlockSize, src + k * kBlockData, m | (m << 32));
    }
  }
  if (whole < blocks) {
    uint8_t tail[kBlockData];
    std::memset(tail, 0xFF, sizeof tail);
    std::memcpy(tail, src + whole * kBlockData, length - whole * kBlockData);
    const uint64_t m = key == 0 ? 0 : RearrangedKey(key, static_cast<uint32_t>(whole * kBlockData));
    EncodeBlock(dest + whole * kBlockSize, tail, m | (m << 32));
  }
  return true;
}

bool ImageBuilder::SplitPath(const std::string& path, std::string& folder, std::string& base, std::string& ext) {
  folder.clear();
  base.clear();
  ext.clear();
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  ext = path.substr(dot + 1);
  size_t sep = std::string::npos;
  for (size_t i = path.size(); i-- > 0;)
    if (IsSeparator(path[i])) {
      sep = i;
      break;
    }
  if (sep == std::string::npos) return false;
  folder = path.substr(0, sep + 1);
  const size_t nextDot = path.find('.', sep + 1);
  base = path.substr(sep + 1, nextDot == std::string::npos ? std::string::npos : nextDot - sep - 1);
  return true;
}

}  // namespace tessera
