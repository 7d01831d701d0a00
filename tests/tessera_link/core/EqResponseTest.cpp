// The plotted response follows the quantised coefficients the board runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tessera/core/eq/EqCoefficients.h"
#include "tessera/core/link/EqResponse.h"
#include "tessera/core/pages/CPageEQ.h"

namespace tessera::link {
namespace {

EqBandParams Band(int type, int highLow, float gain, int centre) {
  EqBandParams b = CPageEQ::DefaultBand();
  b.enabled = 1;
  b.type = type;
  b.highLow = highLow;
  b.gainDb = gain;
  b.centerHz = centre;
  return b;
}

TEST(EqResponse, BandsShapeTheCurveWhereTheirParametersSay) {
  struct Case {
    const char* name;
    EqBandParams band;
    double hz, db, tolerance;
  };
  const std::vector<Case> cases = {
      {"identity filter", Band(0, 0, 0, 500), 1000, 0, 0.01},
      {"peak +6 at its centre", Band(1, 0, 6, 1000), 1000, 6, 0.2},
      {"peak +6 far below", Band(1, 0, 6, 1000), 50, 0, 0.1},
      {"peak -6 at its centre", Band(1, 0, -6, 1000), 1000, -6, 0.2},
      // Truncation leaves b0+b1+b2 = 25 and 16384+a1+a2 = 13: the board's shelf reaches
      // 5.68 dB, not 6, and the plot shows what the board runs.
      {"low shelf +6 near DC", Band(0, 0, 6, 200), 1, 20 * std::log10(25.0 / 13.0), 0.01},
      {"low shelf +6 far above", Band(0, 0, 6, 200), 10000, 0, 0.2},
      {"high shelf -6 near the top", Band(0, 1, -6, 5000), 20000, -6, 0.5},
  };
  for (const auto& c : cases) {
    const auto coeffs = ComputeEqCoefficients(c.band);
    EXPECT_NEAR(BandMagnitudeDb(coeffs, c.hz, c.band.sampleHz), c.db, c.tolerance) << c.name;
  }

  std::array<EqBandParams, kEqBands> bands{};
  for (auto& b : bands) b = CPageEQ::DefaultBand();
  bands[1] = Band(1, 0, 6, 1000);
  bands[3] = Band(1, 0, 6, 1000);
  bands[4] = Band(1, 0, -12, 1000);
  bands[4].enabled = 0;  // a band switched off does not count
  bands[3].sampleHz = 8000;
  std::array<EqBandCoeffs, kEqBands> coeffs{};
  for (size_t i = 0; i < bands.size(); ++i) coeffs[i] = ComputeEqCoefficients(bands[i]);
  EXPECT_NEAR(CombinedMagnitudeDb(bands, coeffs, 1000), 12, 0.4);
  EXPECT_NEAR(CombinedMagnitudeDb(bands, coeffs, 5000), BandMagnitudeDb(coeffs[1], 5000, 44100),
              1e-9) << "band 3 runs at 8 kHz and ends at 4 kHz";

  const auto f = LogFrequencies(20, 22050, 4);
  ASSERT_EQ(f.size(), 4u);
  EXPECT_DOUBLE_EQ(f.front(), 20);
  EXPECT_DOUBLE_EQ(f.back(), 22050);
  EXPECT_NEAR(f[2] / f[1], f[1] / f[0], 1e-9);
}

TEST(EqResponse, SampledCurvesAreTheMathsAtTheirPoints) {
  const EqBandParams peak = Band(1, 0, 6, 1000);
  const auto coeffs = ComputeEqCoefficients(peak);
  const SampledResponse r = SampleBand(coeffs, 44100, 240);
  ASSERT_EQ(r.hz.size(), 240u);
  ASSERT_EQ(r.db.size(), 240u);
  EXPECT_DOUBLE_EQ(r.hz.front(), kPlotLowHz);
  EXPECT_LT(r.hz.back(), 22050);
  EXPECT_GT(r.hz.back(), 22000);
  for (size_t i : {size_t{0}, size_t{100}, size_t{239}})
    EXPECT_DOUBLE_EQ(r.db[i], BandMagnitudeDb(coeffs, r.hz[i], 44100)) << i;
  // A Q of 10 peak falls between two of 240 points: within a third of a dB of its top.
  EXPECT_NEAR(*std::max_element(r.db.begin(), r.db.end()), 6, 0.35) << "the peak is on the curve";
  EXPECT_TRUE(SampleBand(coeffs, 0, 10).hz.empty());

  // The page: the bands in series up to half the highest rate, each enabled band alone.
  std::array<EqBandParams, kEqBands> bands{};
  for (auto& b : bands) b = CPageEQ::DefaultBand();
  bands[1] = peak;
  bands[2] = Band(0, 1, -6, 5000);
  bands[2].sampleHz = 48000;
  std::array<EqBandCoeffs, kEqBands> all{};
  for (size_t i = 0; i < bands.size(); ++i) all[i] = ComputeEqCoefficients(bands[i]);
  const EqPlot plot = SampleEqPlot(bands, all, 300, 200);
  EXPECT_DOUBLE_EQ(plot.topHz, 24000);
  ASSERT_EQ(plot.combined.hz.size(), 300u);
  ASSERT_EQ(plot.bands.size(), 2u);
  EXPECT_EQ(plot.bands[1].hz.size(), 200u);
  EXPECT_LT(plot.bands[1].hz.back(), 24000);
  for (size_t i : {size_t{0}, size_t{150}, size_t{299}})
    EXPECT_DOUBLE_EQ(plot.combined.db[i], CombinedMagnitudeDb(bands, all, plot.combined.hz[i])) << i;
  // With every band off the page draws a flat line up to 4 kHz at the least.
  std::array<EqBandParams, kEqBands> off{};
  for (auto& b : off) b = CPageEQ::DefaultBand(), b.sampleHz = 1;
  EXPECT_DOUBLE_EQ(SampleEqPlot(off, all, 10, 10).topHz, 4000);
}

}  // namespace
}  // namespace tessera::link
