#pragma once
// Magnitude response of the equalizer as the board runs it: each band's quantised
// biquad (b0 + b1 z^-1 + b2 z^-2) / (16384 + a1 z^-1 + a2 z^-2) evaluated on the unit
// circle, and the five bands in series.
#include <array>
#include <vector>

#include "tessera/core/config/TableEntries.h"

namespace tessera::link {

// |H| in dB of one band at hz for its sampling rate.
double BandMagnitudeDb(const EqBandCoeffs& c, double hz, int sampleHz);

// n frequencies spread evenly on a logarithmic axis from lo to hi (both included).
std::vector<double> LogFrequencies(double lo, double hi, int n);

// The bands in series, each at its own sampling rate; a band counts only when it is
// enabled and only below half its sampling rate (above it the band does not exist).
double CombinedMagnitudeDb(const std::array<EqBandParams, kEqBands>& bands,
                           const std::array<EqBandCoeffs, kEqBands>& coeffs, double hz);

// A response sampled for drawing: |H| in dB at each frequency.
struct SampledResponse {
  std::vector<double> hz, db;
};
// Where the plots' frequency axis starts.
inline constexpr double kPlotLowHz = 20;

// One band at its sampling rate, on n frequencies from kPlotLowHz to just below half
// the sampling rate.
SampledResponse SampleBand(const EqBandCoeffs& c, int sampleHz, int n);

// What the equalizer page draws: the bands in series on n frequencies up to just below
// half the highest sampling rate (at least 8000 Hz), and each enabled band alone on
// bandPoints frequencies.
struct EqPlot {
  SampledResponse combined;
  std::vector<SampledResponse> bands;
  double topHz = 0;  // end of the axis: half the highest sampling rate
};
EqPlot SampleEqPlot(const std::array<EqBandParams, kEqBands>& bands,
                    const std::array<EqBandCoeffs, kEqBands>& coeffs, int n, int bandPoints);

}  // namespace tessera::link
