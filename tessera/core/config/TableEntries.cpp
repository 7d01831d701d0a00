#include "config/TableEntries.h"

#include <cstring>

#include "common/ByteIo.h"

namespace tessera {

void KeyEventEntry::Encode(uint8_t* out) const {
  PutI32(out, 0, event);
  PutU32(out, 4, gpioMask);
  PutI32(out, 8, type);
  PutI32(out, 12, state);
}
KeyEventEntry KeyEventEntry::Decode(const uint8_t* in) {
  return {GetI32(in, 0), GetU32(in, 4), GetI32(in, 8), GetI32(in, 12)};
}

void LedEventEntry::Encode(uint8_t* out) const {
  PutI32(out, 0, event);
  PutI32(out, 4, led);
  PutI32(out, 8, reserved);
  PutU32(out, 12, onMs);
  PutU32(out, 16, offMs);
  PutU8(out, 20, repeatS);
  PutU8(out, 21, flashCount);
  PutU16(out, 22, padding);
  PutI32(out, 24, timeoutMs);
}
LedEventEntry LedEventEntry::Decode(const uint8_t* in) {
  LedEventEntry e;
  e.event = GetI32(in, 0);
  e.led = GetI32(in, 4);
  e.reserved = GetI32(in, 8);
  e.onMs = GetU32(in, 12);
  e.offMs = GetU32(in, 16);
  e.repeatS = GetU8(in, 20);
  e.flashCount = GetU8(in, 21);
  e.padding = GetU16(in, 22);
  e.timeoutMs = GetI32(in, 24);
  return e;
}

std::string SoundEffectEntry::PathText() const {
  size_t n = 0;
  while (n < path.size() && path[n] != '\0') ++n;
  return std::string(path.data(), n);
}
void SoundEffectEntry::SetPath(const std::string& text) {
  path.fill('\0');
  size_t n = text.size() < kPathSize ? text.size() : kPathSize - 1;
  std::memcpy(path.data(), text.data(), n);
}

void SoundEffectEntry::Encode(uint8_t* out) const {
  PutI32(out, 0, enabled);
  PutI32(out, 4, event);
  PutI32(out, 8, kind);
  std::memcpy(out + 12, path.data(), kPathSize);
  PutI32(out, 268, fileSize);
  PutI32(out, 272, pattern);
  PutI32(out, 276, mode);
  PutU32(out, 280, duration);
  PutU32(out, 284, pause);
  PutI32(out, 288, f1Gain);
  PutU32(out, 292, f1Step);
  PutI32(out, 296, f1Enable);
  PutI32(out, 300, f2Gain);
  PutU32(out, 304, f2Step);
  PutI32(out, 308, f2Enable);
}
SoundEffectEntry SoundEffectEntry::Decode(const uint8_t* in) {
  SoundEffectEntry e;
  e.enabled = GetI32(in, 0);
  e.event = GetI32(in, 4);
  e.kind = GetI32(in, 8);
  std::memcpy(e.path.data(), in + 12, kPathSize);
  e.fileSize = GetI32(in, 268);
  e.pattern = GetI32(in, 272);
  e.mode = GetI32(in, 276);
  e.duration = GetU32(in, 280);
  e.pause = GetU32(in, 284);
  e.f1Gain = GetI32(in, 288);
  e.f1Step = GetU32(in, 292);
  e.f1Enable = GetI32(in, 296);
  e.f2Gain = GetI32(in, 300);
  e.f2Step = GetU32(in, 304);
  e.f2Enable = GetI32(in, 308);
  return e;
}

void EqBandParams::Encode(uint8_t* out) const {
  PutI32(out, 0, enabled);
  PutI32(out, 4, type);
  PutI32(out, 8, highLow);
  PutF32(out, 12, gainDb);
  PutI32(out, 16, centerHz);
  PutI32(out, 20, sampleHz);
  PutI32(out, 24, bandwidthHz);
}
EqBandParams EqBandParams::Decode(const uint8_t* in) {
  return {GetI32(in, 0), GetI32(in, 4), GetI32(in, 8), GetF32(in, 12),
          GetI32(in, 16), GetI32(in, 20), GetI32(in, 24)};
}

void EqBandCoeffs::Encode(uint8_t* out) const {
  PutU8(out, 0, enabled);
  PutI32(out, 1, a1);
  PutI32(out, 5, a2);
  PutI32(out, 9, b0);
  PutI32(out, 13, b1);
  PutI32(out, 17, b2);
}
EqBandCoeffs EqBandCoeffs::Decode(const uint8_t* in) {
  return {GetU8(in, 0), GetI32(in, 1), GetI32(in, 5), GetI32(in, 9), GetI32(in, 13), GetI32(in, 17)};
}

void VoiceEqParams::Encode(uint8_t* out) const {
  PutU8(out, 0, type);
  PutU8(out, 1, highLow);
  PutU16(out, 2, padding);
  PutI32(out, 4, gainDb);
  PutI32(out, 8, centerHz);
  PutI32(out, 12, sampleHz);
  PutI32(out, 16, bandwidthHz);
}
VoiceEqParams VoiceEqParams::Decode(const uint8_t* in) {
  return {GetU8(in, 0), GetU8(in, 1), GetU16(in, 2), GetI32(in, 4),
          GetI32(in, 8), GetI32(in, 12), GetI32(in, 16)};
}

}  // namespace tessera
