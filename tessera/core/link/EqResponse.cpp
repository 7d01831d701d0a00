#include "tessera/core/link/EqResponse.h"

#include <algorithm>
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

namespace {
// The last point stays just inside the band's Nyquist limit, where it still exists.
constexpr double kBelowNyquist = 0.999;
}  // namespace

SampledResponse SampleBand(const EqBandCoeffs& c, int sampleHz, int n) {
  SampledResponse r;
  if (sampleHz <= 0) return r;
  r.hz = LogFrequencies(kPlotLowHz, sampleHz / 2.0 * kBelowNyquist, n);
  r.db.reserve(r.hz.size());
  for (double hz : r.hz) r.db.push_back(BandMagnitudeDb(c, hz, sampleHz));
  return r;
}

EqPlot SampleEqPlot(const std::array<EqBandParams, kEqBands>& bands,
                    const std::array<EqBandCoeffs, kEqBands>& coeffs, int n, int bandPoints) {
  int top = 8000;
  for (const auto& b : bands) top = std::max(top, static_cast<int>(b.sampleHz));
  EqPlot plot;
  plot.topHz = top / 2.0;
  plot.combined.hz = LogFrequencies(kPlotLowHz, plot.topHz * kBelowNyquist, n);
  plot.combined.db.reserve(plot.combined.hz.size());
  for (double hz : plot.combined.hz) plot.combined.db.push_back(CombinedMagnitudeDb(bands, coeffs, hz));
  for (size_t i = 0; i < bands.size(); ++i)
    if (bands[i].enabled && bands[i].sampleHz > 0)
      plot.bands.push_back(SampleBand(coeffs[i], bands[i].sampleHz, bandPoints));
  return plot;
}

}  // namespace tessera::link
