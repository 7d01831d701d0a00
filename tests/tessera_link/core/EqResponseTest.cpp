// The plotted response follows the quantised coefficients the board runs.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tessera::link
