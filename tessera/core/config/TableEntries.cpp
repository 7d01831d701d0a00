#include "tessera/core/config/TableEntries.h"

#include <cstring>

#include "tessera/core/common/ByteIo.h"

namespace tessera {

void KeyEventEntry::Encode(uint8_t* out) const {
  PutI32(out, kAtEvent, event);
  PutU32(out, kAtGpioMask, gpioMask);
  PutI32(out, kAtType, type);
  PutI32(out, kAtState, state);
}
KeyEventEntry KeyEventEntry::Decode(const uint8_t* in) {
  return {GetI32(in, kAtEvent), GetU32(in, kAtGpioMask), GetI32(in, kAtType), GetI32(in, kAtState)};
}

void LedEventEntry::Encode(uint8_t* out) const {
  PutI32(out, kAtEvent, event);
  PutI32(out, kAtLed, led);
  PutI32(out, kAtReserved, reserved);
  PutU32(out, kAtOnMs, onMs);
  PutU32(out, kAtOffMs, offMs);
  PutU8(out, kAtRepeatS, repeatS);
  PutU8(out, kAtFlashCount, flashCount);
  PutU16(out, kAtPadding, padding);
  PutI32(out, kAtTimeoutMs, timeoutMs);
}
LedEventEntry LedEventEntry::Decode(const uint8_t* in) {
  LedEventEntry e;
  e.event = GetI32(in, kAtEvent);
  e.led = GetI32(in, kAtLed);
  e.reserved = GetI32(in, kAtReserved);
  e.onMs = GetU32(in, kAtOnMs);
  e.offMs = GetU32(in, kAtOffMs);
  e.repeatS = GetU8(in, kAtRepeatS);
  e.flashCount = GetU8(in, kAtFlashCount);
  e.padding = GetU16(in, kAtPadding);
  e.timeoutMs = GetI32(in, kAtTimeoutMs);
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
  PutI32(out, kAtEnabled, enabled);
  PutI32(out, kAtEvent, event);
  PutI32(out, kAtKind, kind);
  std::memcpy(out + kAtPath, path.data(), kPathSize);
  PutI32(out, kAtFileSize, fileSize);
  PutI32(out, kAtPattern, pattern);
  PutI32(out, kAtMode, mode);
  PutU32(out, kAtDuration, duration);
  PutU32(out, kAtPause, pause);
  PutI32(out, kAtF1Gain, f1Gain);
  PutU32(out, kAtF1Step, f1Step);
  PutI32(out, kAtF1Enable, f1Enable);
  PutI32(out, kAtF2Gain, f2Gain);
  PutU32(out, kAtF2Step, f2Step);
  PutI32(out, kAtF2Enable, f2Enable);
}
SoundEffectEntry SoundEffectEntry::Decode(const uint8_t* in) {
  SoundEffectEntry e;
  e.enabled = GetI32(in, kAtEnabled);
  e.event = GetI32(in, kAtEvent);
  e.kind = GetI32(in, kAtKind);
  std::memcpy(e.path.data(), in + kAtPath, kPathSize);
  e.fileSize = GetI32(in, kAtFileSize);
  e.pattern = GetI32(in, kAtPattern);
  e.mode = GetI32(in, kAtMode);
  e.duration = GetU32(in, kAtDuration);
  e.pause = GetU32(in, kAtPause);
  e.f1Gain = GetI32(in, kAtF1Gain);
  e.f1Step = GetU32(in, kAtF1Step);
  e.f1Enable = GetI32(in, kAtF1Enable);
  e.f2Gain = GetI32(in, kAtF2Gain);
  e.f2Step = GetU32(in, kAtF2Step);
  e.f2Enable = GetI32(in, kAtF2Enable);
  return e;
}

void EqBandParams::Encode(uint8_t* out) const {
  PutI32(out, kAtEnabled, enabled);
  PutI32(out, kAtType, type);
  PutI32(out, kAtHighLow, highLow);
  PutF32(out, kAtGainDb, gainDb);
  PutI32(out, kAtCenterHz, centerHz);
  PutI32(out, kAtSampleHz, sampleHz);
  PutI32(out, kAtBandwidthHz, bandwidthHz);
}
EqBandParams EqBandParams::Decode(const uint8_t* in) {
  return {GetI32(in, kAtEnabled), GetI32(in, kAtType), GetI32(in, kAtHighLow), GetF32(in, kAtGainDb),
          GetI32(in, kAtCenterHz), GetI32(in, kAtSampleHz), GetI32(in, kAtBandwidthHz)};
}

void EqBandCoeffs::Encode(uint8_t* out) const {
  PutU8(out, kAtEnabled, enabled);
  PutI32(out, kAtA1, a1);
  PutI32(out, kAtA2, a2);
  PutI32(out, kAtB0, b0);
  PutI32(out, kAtB1, b1);
  PutI32(out, kAtB2, b2);
}
EqBandCoeffs EqBandCoeffs::Decode(const uint8_t* in) {
  return {GetU8(in, kAtEnabled), GetI32(in, kAtA1), GetI32(in, kAtA2), GetI32(in, kAtB0), GetI32(in, kAtB1), GetI32(in, kAtB2)};
}

void VoiceEqParams::Encode(uint8_t* out) const {
  PutU8(out, kAtType, type);
  PutU8(out, kAtHighLow, highLow);
  PutU16(out, kAtPadding, padding);
  PutI32(out, kAtGainDb, gainDb);
  PutI32(out, kAtCenterHz, centerHz);
  PutI32(out, kAtSampleHz, sampleHz);
  PutI32(out, kAtBandwidthHz, bandwidthHz);
}
VoiceEqParams VoiceEqParams::Decode(const uint8_t* in) {
  return {GetU8(in, kAtType), GetU8(in, kAtHighLow), GetU16(in, kAtPadding), GetI32(in, kAtGainDb),
          GetI32(in, kAtCenterHz), GetI32(in, kAtSampleHz), GetI32(in, kAtBandwidthHz)};
}

}  // namespace tessera
