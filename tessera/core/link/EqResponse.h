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

}  // namespace tessera::link
