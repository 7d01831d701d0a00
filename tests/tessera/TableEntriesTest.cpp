#include <gtest/gtest.h>

#include <vector>

#include "tessera/core/config/TableEntries.h"

namespace tessera {
namespace {

TEST(TableEntries, TableSizesMatchTheFileLayout) {
  EXPECT_EQ(kSoundTableSize + kLedTableSize + kKeyTableSize + kEqParamsTableSize, 14652u);
  EXPECT_EQ(kEqCoeffsTableSize, 105u);
  EXPECT_EQ(kVoiceEqTableSize, 40u);
}

TEST(TableEntries, LedEntryLayout) {
  LedEventEntry e;
  e.event = 3;
  e.led = 4;
  e.onMs = 0x01020304;
  e.offMs = 500;
  e.repeatS = 7;
  e.flashCount = 2;
  e.timeoutMs = -1;
  std::vector<uint8_t> b(LedEventEntry::kSize, 0xAA);
  e.Encode(b.data());
  EXPECT_EQ(b[0], 3);
  EXPECT_EQ(b[4], 4);
  for (int i = 8; i < 12; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[12], 0x04);
  EXPECT_EQ(b[15], 0x01);
  EXPECT_EQ(b[20], 7);
  EXPECT_EQ(b[21], 2);
  EXPECT_EQ(b[22], 0);
  EXPECT_EQ(b[23], 0);
  for (int i = 24; i < 28; ++i) EXPECT_EQ(b[i], 0xFF) << i;
  EXPECT_EQ(LedEventEntry::Decode(b.data()), e);
}

TEST(TableEntries, SoundEffectPathKeepsItsTerminator) {
  SoundEffectEntry e;
  e.SetPath(std::string(300, 'p'));
  EXPECT_EQ(e.PathText().size(), 255u);
  EXPECT_EQ(e.path[255], '\0');
  e.kind = 1;
  e.f2Enable = 1;
  std::vector<uint8_t> b(SoundEffectEntry::kSize);
  e.Encode(b.data());
  EXPECT_EQ(b[8], 1);
  EXPECT_EQ(b[12 + 254], 'p');
  EXPECT_EQ(b[12 + 255], 0);
  EXPECT_EQ(b[308], 1);
  EXPECT_EQ(SoundEffectEntry::Decode(b.data()), e);
}

TEST(TableEntries, EqCoefficientsArePackedWithoutGaps) {
  std::array<EqBandCoeffs, kEqBands> bands{};
  for (int i = 0; i < kEqBands; ++i) bands[i] = {uint8_t(i & 1), -1, 2, 3, 4, int32_t(0x11223344 + i)};
  std::vector<uint8_t> b(kEqCoeffsTableSize);
  EncodeTable(bands, b.data());
  EXPECT_EQ(b[21], 1);       // band 1's enabled byte follows band 0 directly
  EXPECT_EQ(b[21 + 21], 0);  // band 2
  EXPECT_EQ(b[1], 0xFF);     // a1 = -1
  EXPECT_EQ(b[4 * 21 + 17], 0x48);  // band 4 b2 low byte 0x11223348
  std::array<EqBandCoeffs, kEqBands> back{};
  DecodeTable(back, b.data());
  EXPECT_EQ(back, bands);
}

TEST(TableEntries, EqParamsStoreGainAsSingleFloat) {
  EqBandParams p{1, 1, 0, -3.5f, 1000, 44100, 200};
  std::vector<uint8_t> b(EqBandParams::kSize);
  p.Encode(b.data());
  // -3.5f = 0xC0600000
  EXPECT_EQ(b[12], 0x00);
  EXPECT_EQ(b[14], 0x60);
  EXPECT_EQ(b[15], 0xC0);
  EXPECT_EQ(EqBandParams::Decode(b.data()), p);
}

}  // namespace
}  // namespace tessera
