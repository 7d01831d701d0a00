#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "tessera/core/eq/CEqConfigDlg.h"
#include "tessera/core/eq/EqCoefficients.h"

namespace tessera {
namespace {

EqBandParams Band(int type, int highLow, float gain, int centerHz) {
  EqBandParams b;
  b.enabled = 1;
  b.type = type;
  b.highLow = highLow;
  b.gainDb = gain;
  b.centerHz = centerHz;
  b.sampleHz = 44100;
  b.bandwidthHz = 100;
  return b;
}

struct Expected {
  int a1, a2, b0, b1, b2;
};

void ExpectCoeffs(const EqBandParams& b, Expected e) {
  const EqBandCoeffs c = ComputeEqCoefficients(b);
  EXPECT_EQ(c.a1, e.a1);
  EXPECT_EQ(c.a2, e.a2);
  EXPECT_EQ(c.b0, e.b0);
  EXPECT_EQ(c.b1, e.b1);
  EXPECT_EQ(c.b2, e.b2);
}

TEST(EqCoefficients, ZeroGainIsTheIdentityFilter) {
  // 0 dB takes the cut formulas, whose double-precision normaliser gives b0 = 16384 exactly.
  ExpectCoeffs(Band(0, 0, 0.0f, 500), {-31118, 14813, 16384, -31118, 14813});
  const EqBandCoeffs peak = ComputeEqCoefficients(Band(1, 0, 0.0f, 1000));
  EXPECT_EQ(peak.b1, peak.a1);
  EXPECT_EQ(peak.b2, peak.a2);
}

TEST(EqCoefficients, PeakBoostAndCut) {
  ExpectCoeffs(Band(1, 0, 6.0f, 1000), {-32207, 16152, 16498, -32207, 16038});
  ExpectCoeffs(Band(1, 0, -6.0f, 1000), {-31982, 15926, 16269, -31982, 16040});
  // highLow has no effect on a peak band.
  ExpectCoeffs(Band(1, 1, 6.0f, 1000), {-32207, 16152, 16498, -32207, 16038});
}

TEST(EqCoefficients, LowShelfBoostAndCut) {
  ExpectCoeffs(Band(0, 0, 6.0f, 200), {-32107, 15736, 16520, -32101, 15606});
  ExpectCoeffs(Band(0, 0, -6.0f, 200), {-31835, 15477, 16248, -31842, 15606});
  // bandwidth has no effect on a shelf.
  EqBandParams wide = Band(0, 0, 6.0f, 200);
  wide.bandwidthHz = 5000;
  ExpectCoeffs(wide, {-32107, 15736, 16520, -32101, 15606});
}

TEST(EqCoefficients, HighShelfBoostAndCut) {
  ExpectCoeffs(Band(0, 1, 6.0f, 5000), {-16960, 6026, 28316, -36552, 13685});
  ExpectCoeffs(Band(0, 1, -6.0f, 5000), {-21149, 7918, 9479, -9813, 3486});
}

// Values worked out by hand-transcribing the formulas into a separate script. Each
// row flips by at least one unit if one of the single-precision roundings (K, K2, S,
// W, U, Q, Rf, N), the pi or 0.05 constant, or the choice of formula is changed,
// which the seven reference bands above do not all detect.
TEST(EqCoefficients, RoundingSensitiveBands) {
  struct Row {
    int type, highLow;
    float gain;
    int fc, fs, bw;
    Expected want;
  };
  const Row rows[] = {
      {0, 0, 0.1f, 200, 8000, 100, {-29141, 13120, 16394, -29138, 13111}},
      {0, 0, 9.75f, 12000, 44100, 100, {2668, 2887, 32832, 25404, 9175}},
      {1, 0, -24.0f, 16000, 48000, 50, {16039, 15696, 16061, 16039, 16018}},
      {0, 0, 0.0f, 500, 48000, 100, {-31252, 14935, 16383, -31252, 14935}},
      {0, 0, 0.0f, 20, 8000, 100, {-32404, 16024, 16384, -32404, 16024}},
      {0, 1, 0.0f, 20, 8000, 100, {-32404, 16024, 16383, -32404, 16024}},
      {1, 0, 0.0f, 20, 8000, 1, {-32751, 16371, 16383, -32751, 16371}},
      {1, 0, 0.0f, 20, 16000, 1000, {-27389, 11006, 16384, -27389, 11006}},
      {0, 0, 0.0f, 20, 16000, 100, {-32586, 16203, 16384, -32586, 16203}},
      {0, 1, 18.0f, 100, 48000, 100, {-32464, 16083, 129367, -257885, 128520}},
      {0, 1, -12.5f, 1000, 16000, 100, {-28315, 12468, 4476, -6510, 2569}},
      {1, 1, 3.3f, 2000, 48000, 1000, {-29727, 14392, 16844, -29727, 13932}},
      {0, 1, -3.3f, 8000, 44100, 100, {-11606, 4288, 12786, -6504, 2783}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.type << "/" << r.highLow << " " << r.gain << " dB " << r.fc << "@" << r.fs
                                      << " bw " << r.bw);
    EqBandParams b = Band(r.type, r.highLow, r.gain, r.fc);
    b.sampleHz = r.fs;
    b.bandwidthHz = r.bw;
    ExpectCoeffs(b, r.want);
  }
}

TEST(EqCoefficients, EnabledIsTheLowByteAndRecordIsPacked) {
  EqBandParams b = Band(1, 0, 6.0f, 1000);
  b.enabled = 0x101;
  const EqBandCoeffs c = ComputeEqCoefficients(b);
  EXPECT_EQ(c.enabled, 1);
  uint8_t bytes[EqBandCoeffs::kSize];
  c.Encode(bytes);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1], static_cast<uint8_t>(-32207 & 0xFF));  // a1 straight after the enable byte
}

TEST(EqCoefficients, CentreAtHalfTheSamplingRateStaysDefined) {
  // The dialog accepts 20000 Hz at 8000 Hz; tan() is near its pole at fc/fs = 0.5,
  // 1.5 and 2.5. The result is meaningless but must not be undefined behaviour.
  for (int fc : {4000, 12000, 20000, 19999}) {
    EqBandParams b = Band(0, 1, -24.0f, fc);
    b.sampleHz = 8000;
    const EqBandCoeffs c = ComputeEqCoefficients(b);
    const EqBandCoeffs again = ComputeEqCoefficients(b);
    EXPECT_EQ(c, again);
    b.type = 1;
    (void)ComputeEqCoefficients(b);
  }
}

TEST(EqGainCut, FourDecimalsWithTheSinglePrecisionConstant) {
  const float g = CutGainToFourDecimals(0.1f);
  EXPECT_EQ(g, std::nextafter(0.1f, 0.0f));  // just below 0.1
  EXPECT_EQ(GainTimes10000(g), 999);
  EXPECT_EQ(GainTimes10000(CutGainToFourDecimals(-0.3f)), -2999);
  EXPECT_EQ(GainTimes10000(CutGainToFourDecimals(-3.5f)), -35000);
  EXPECT_EQ(CutGainToFourDecimals(0.0001f), 0.0f);  // the product is taken in double
  EXPECT_EQ(CutGainToFourDecimals(6.0f), 6.0f);
}

TEST(EqConfigDlg, OkRefusesValuesOutsideTheLimitsInControlOrder) {
  CEqConfigDlg d;
  auto texts = [](std::string gain, std::string bw, std::string fc, std::string fs) {
    return [=](int id) -> std::string {
      switch (id) {
        case CEqConfigDlg::kIdGain: return gain;
        case CEqConfigDlg::kIdBandwidth: return bw;
        case CEqConfigDlg::kIdCenter: return fc;
        case CEqConfigDlg::kIdSample: return fs;
        default: return "?";
      }
    };
  };
  auto err = d.ReadBack(texts("18.5", "100", "500", "44100"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CEqConfigDlg::kIdGain);
  EXPECT_EQ(err->message, "“请填入一个在-24和18之间的数字。”");

  err = d.ReadBack(texts("-3", "200", "1000", "7999"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CEqConfigDlg::kIdSample);
  EXPECT_EQ(err->message, "“请填入一个在8000和48000之间的整数。”");
  // Fields before the failing one keep their new values.
  EXPECT_EQ(d.gainDb, -3.0f);
  EXPECT_EQ(d.bandwidthHz, 200);
  EXPECT_EQ(d.centerHz, 1000);
  EXPECT_EQ(d.sampleHz, 44100);

  err = d.ReadBack(texts("x", "0", "500", "44100"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "请键入一个数。");
  err = d.ReadBack(texts("1", "0", "500", "44100"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CEqConfigDlg::kIdBandwidth);
  EXPECT_EQ(err->message, "“请填入一个在1和20000之间的整数。”");
  err = d.ReadBack(texts("1", "20000", "1.5", "44100"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "请键入一个整数。");

  EXPECT_FALSE(d.ReadBack(texts("-24", "20000", "20000", "8000")));
  EXPECT_FALSE(d.ReadBack(texts("18", "1", "1", "48000")));
}

TEST(EqConfigDlg, EditTextsRoundTripThroughReadBack) {
  CEqConfigDlg d = CEqConfigDlg::FromBand(Band(1, 1, -3.25f, 1234));
  EXPECT_EQ(d.ControlText(CEqConfigDlg::kIdGain), "-3.25");
  EXPECT_EQ(d.ControlText(CEqConfigDlg::kIdCenter), "1234");
  CEqConfigDlg copy;
  EXPECT_FALSE(copy.ReadBack([&](int id) { return d.ControlText(id); }));
  EXPECT_EQ(copy.gainDb, d.gainDb);
  EXPECT_EQ(copy.centerHz, 1234);
  EXPECT_EQ(copy.sampleHz, 44100);
  EXPECT_EQ(copy.bandwidthHz, 100);
}

TEST(EqConfigDlg, DeclaredControlsShowAndTakeTypeSideSwitchAndEdits) {
  // What a window binds: the two radio groups, the four edits and the switch.
  CEqConfigDlg d = CEqConfigDlg::FromBand(Band(1, 0, -3.25f, 1234));
  d.enabled = 0;
  ControlSet set(d, CEqConfigDlg::ControlDecls());
  EXPECT_EQ(set.State(CEqConfigDlg::kIdShelving).value, 1);  // Peak
  EXPECT_EQ(set.State(CEqConfigDlg::kIdLowPass).value, 0);   // low side
  EXPECT_EQ(set.State(CEqConfigDlg::kIdGain).text, "-3.25");
  EXPECT_EQ(set.State(CEqConfigDlg::kIdCenter).text, "1234");
  EXPECT_EQ(set.Find(CEqConfigDlg::kIdLowPass)->buttons,
            (std::vector<int>{CEqConfigDlg::kIdLowPass, CEqConfigDlg::kIdHighPass}));

  std::map<int, ControlInput> typed = {{CEqConfigDlg::kIdShelving, {"", 0}}, {CEqConfigDlg::kIdLowPass, {"", 1}},
                                       {CEqConfigDlg::kIdGain, {"6", 0}},    {CEqConfigDlg::kIdBandwidth, {"300", 0}},
                                       {CEqConfigDlg::kIdCenter, {"2000", 0}}, {CEqConfigDlg::kIdSample, {"48001", 0}},
                                       {CEqConfigDlg::kIdEnable, {"", 1}}};
  const ControlReader reader = [&](const ControlInfo& info) { return std::optional(typed.at(info.id)); };
  auto err = set.ReadBack(reader);
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CEqConfigDlg::kIdSample);
  EXPECT_EQ(err->message, "“请填入一个在8000和48000之间的整数。”");
  EXPECT_EQ(d.type, 0);
  EXPECT_EQ(d.highLow, 1);
  EXPECT_EQ(d.gainDb, 6.0f);
  EXPECT_EQ(d.centerHz, 2000);
  EXPECT_EQ(d.enabled, 0) << "the switch comes after the failing edit";

  typed[CEqConfigDlg::kIdSample].text = "16000";
  EXPECT_FALSE(set.ReadBack(reader));
  EXPECT_EQ(d.sampleHz, 16000);
  EXPECT_EQ(d.enabled, 1);
  EXPECT_EQ(d.ToBand().bandwidthHz, 300);
}

TEST(EqConfigDlg, VoiceEqualizerGainIsCutToWholeDecibels) {
  VoiceEqParams v;
  v.type = 1;
  v.gainDb = -3;
  v.centerHz = 1000;
  v.sampleHz = 8000;
  v.bandwidthHz = 200;
  CEqConfigDlg d = CEqConfigDlg::FromVoiceEq(v, 1);
  EXPECT_EQ(d.gainDb, -3.0f);
  EXPECT_EQ(d.enabled, 1);
  d.gainDb = -2.7f;
  EXPECT_EQ(d.ToVoiceEq().gainDb, -2);
  d.gainDb = -3.5f;
  EXPECT_EQ(d.ToVoiceEq().gainDb, -3);
  d.gainDb = 0.9f;
  EXPECT_EQ(d.ToVoiceEq().gainDb, 0);
  EXPECT_EQ(d.ToVoiceEq().type, 1);
  EXPECT_EQ(d.ToVoiceEq().sampleHz, 8000);
}

}  // namespace
}  // namespace tessera
