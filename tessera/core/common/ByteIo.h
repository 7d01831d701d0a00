#pragma once
// Little-endian field access at explicit offsets. The firmware and the configuration
// file read fixed byte positions, so nothing here relies on struct layout or packing.
#include <cstddef>
#include <cstdint>

namespace tessera {

inline void PutU8(uint8_t* base, size_t off, uint32_t v) { base[off] = static_cast<uint8_t>(v); }
inline void PutU16(uint8_t* base, size_t off, uint32_t v) {
  base[off] = static_cast<uint8_t>(v);
  base[off + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* base, size_t off, uint32_t v) {
  for (int i = 0; i < 4; ++i) base[off + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutI32(uint8_t* base, size_t off, int32_t v) { PutU32(base, off, static_cast<uint32_t>(v)); }
inline void PutF32(uint8_t* base, size_t off, float v) {
  static_assert(sizeof(float) == 4);
  uint32_t bits;
  __builtin_memcpy(&bits, &v, 4);
  PutU32(base, off, bits);
}

inline uint8_t GetU8(const uint8_t* base, size_t off) { return base[off]; }
inline uint16_t GetU16(const uint8_t* base, size_t off) {
  return static_cast<uint16_t>(base[off] | (base[off + 1] << 8));
}
inline uint32_t GetU32(const uint8_t* base, size_t off) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | base[off + i];
  return v;
}
inline int32_t GetI32(const uint8_t* base, size_t off) { return static_cast<int32_t>(GetU32(base, off)); }
inline float GetF32(const uint8_t* base, size_t off) {
  uint32_t bits = GetU32(base, off);
  float v;
  __builtin_memcpy(&v, &bits, 4);
  return v;
}

}  // namespace tessera
