#pragma once
// Second-order shelving and peak equalizer bands as the firmware's biquad expects
// them: H(z) = (b0 + b1 z^-1 + b2 z^-2) / (16384 + a1 z^-1 + a2 z^-2), each
// coefficient scaled so that 1.0 is 16384 and truncated toward zero.
#include "tessera/core/config/TableEntries.h"

namespace tessera {

// Pure function of the band. The mixture of single and double precision below is
// deliberate: coefficients stored in existing images were produced this way, and a
// band must give the same bytes here.
EqBandCoeffs ComputeEqCoefficients(const EqBandParams& band);

// The equalizer page keeps a dialog gain cut to four decimals:
// single(trunc(g * 10000) * 0.0001f), the product taken in double.
float CutGainToFourDecimals(float g);

// trunc(gain * 10000) in double, as the board command carries the gain.
int GainTimes10000(float g);

}  // namespace tessera
