#pragma once
// Block encoder, block CRC, check value and file naming of the flash image
// of the flash image. Plain byte processing, no state.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tessera/core/common/MessageSink.h"

namespace tessera {

// CRC-16/CMS: polynomial 0x8005, initial value 0xFFFF, most significant bit first, no
// reflection, no final XOR. Check value over "123456789" is 0xAEE7.
constexpr uint16_t kCrc16CmsInit = 0xFFFF;

// Table-driven (byte at a time) CRC-16/CMS of any length, starting from `init`.
uint16_t Crc16Cms(const uint8_t* data, size_t n, uint16_t init = kCrc16CmsInit);
// Bit-by-bit reference of the same CRC; slow, used by the tests.
uint16_t Crc16CmsBitwise(const uint8_t* data, size_t n, uint16_t init = kCrc16CmsInit);
// The CRC of one 32-byte block with initial value 0xFFFF, by the fast path the
// encoder uses (32 independent table look-ups, no dependency chain).
uint16_t BlockCrc32Bytes(const uint8_t* block32);

// The image check value: the complement of the u32 sum of the first byte of every
// whole 4-byte group plus every byte of the last n mod 4 bytes (all bytes when n <= 3).
// 01 02 03 04 05 06 -> ~(1 + 5 + 6) = 0xFFFFFFF3.
uint32_t ImageChecksum(const uint8_t* data, size_t n);

class ImageBuilder {
 public:
  static constexpr size_t kBlockData = 32;   // plain bytes per block
  static constexpr size_t kBlockSize = 34;   // plus the CRC, high byte first
  static constexpr size_t kChecksumSkip = 34816;  // CRC form of the first 32 KiB: not summed

  // The exact message of a failed encode.
  static constexpr const char* kTooLargeMessage = "crc bin file is too large!! ";

  // Encodes the first `length` bytes of `src` into ceil(length / 32) blocks of 34 bytes
  // at `dest`: each block holds its 32 plain bytes, every 32-bit word passed through
  // ScrambleWord(key, plain offset, word), followed by the CRC-16/CMS of those 32 bytes
  // (initial value 0xFFFF, as the 0xFF-filled crc buffer gives), high byte
  // first. When length is not a multiple of 32 the last block is padded with 0xFF
  // (erased flash); `src` is never read at or beyond `length`.
  // If blocks x 34 exceeds destSize, shows kTooLargeMessage and returns false with
  // nothing written. Only blocks x 34 bytes of dest are written.
  static bool EncodeCrcImage(uint8_t* dest, const uint8_t* src, uint32_t key, size_t length, size_t destSize,
                             MessageSink& sink);

  // The key's bytes k0 (least significant) .. k3 rearranged by bits 8..11 of `offset`
  // (table in ImageBuilder.cpp), XOR-ed with `word`. Key 0 returns `word` unchanged.
  static uint32_t ScrambleWord(uint32_t key, uint32_t offset, uint32_t word);
  // Just the rearranged key for `offset` (ScrambleWord(key, offset, 0)).
  static uint32_t RearrangedKey(uint32_t key, uint32_t offset);

  // ceil(length / 32) x 34: the CRC image without its 4-byte check value.
  static size_t CrcImageSize(size_t length) { return (length + kBlockData - 1) / kBlockData * kBlockSize; }

  // Splits a path: extension = text after the last "." (a "." in the
  // first character does not count); folder = everything up to and including the last
  // separator; base = text after that separator up to the next ".". Returns false when
  // the path has no "." or no separator; parts found before the failure stay filled
  // (extension first, then folder and base), the rest are empty.
  // Separator: '/' on POSIX; '\\' or '/' on Windows.
  static bool SplitPath(const std::string& path, std::string& folder, std::string& base, std::string& ext);
};

}  // namespace tessera
