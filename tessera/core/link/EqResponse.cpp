#include "tessera/core/link/EqResponse.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace tessera::link {

double BandMagnitudeDb(const EqBandCoeffs& c, double hz, int sampleHz) {
  const double w = 2 * std::numbers::pi * hz / sampleHz;
  const std::complex<double> z1 = std::polar(1.0, -w), z2 = std::polar(1.0, -2 * w);
  const auto num = static_cast<double>(c.b0) + static_cast<double>(c.b1) * z1 +
                   static_cast<double>(c.b2) * z2;
  const auto den = 16384.0 + static_cast<double>(c.a1) * z1 + static_cast<double>(c.a2) * z2;
  const double mag = std::abs(num) / std::max(std::abs(den), 1e-12);
  return 20 * std::log10(std::max(mag, 1e-12));
}

std::vector<double> LogFrequencies(double lo, double hi, int n) {
  std::vector<double> f;
  if (n < 2 || lo <= 0 || hi <= lo) return f;
  f.reserve(static_cast<size_t>(n));
  const double step = std::log(hi / lo) / (n - 1);
  for (int i = 0; i < n; ++i) f.push_back(lo * std::exp(step * i));
  f.back() = hi;
  return f;
}

double CombinedMagnitudeDb(const std::array<EqBandParams, kEqBands>& bands,
                           const std::array<EqBandCoeffs, kEqBands>& coeffs, double hz) {
  double db = 0;
  for (size_t i = 0; i < bands.size(); ++i) {
    if (!bands[i].enabled || bands[i].sampleHz <= 0 || hz >= bands[i].sampleHz / 2.0) continue;
    db += BandMagnitudeDb(coeffs[i], hz, bands[i].sampleHz);
  }
  return db;
}

}  // namespace tessera::link
