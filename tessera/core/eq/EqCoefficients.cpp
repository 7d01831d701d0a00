#include "tessera/core/eq/EqCoefficients.h"

#include <cmath>
#include <cstdint>

namespace tessera {

namespace {
// Constants held in single precision; their exact float values matter.
constexpr float kPi = 3.1415925f;     // 0x40490FDA, just below pi: keeps tan finite at fs/2
constexpr float kDbToExp = 0.05f;     // 0x3D4CCCCD
constexpr float kTenThousandth = 0.0001f;  // 0x38D1B717
constexpr double kUnity = 16384.0;

double Single(double x) { return static_cast<double>(static_cast<float>(x)); }
int32_t Trunc(double x) {
  // Converting an out-of-range double is undefined in C++. A meaningless band (centre
  // at or above fs/2) can get there; give it the x86 truncating conversion's result,
  // 0x80000000, which is what such bands have always been stored as.
  if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(x);
}
}  // namespace

EqBandCoeffs ComputeEqCoefficients(const EqBandParams& band) {
  EqBandCoeffs c;
  c.enabled = static_cast<uint8_t>(band.enabled);

  const double g = static_cast<double>(band.gainDb);
  const double fc = static_cast<double>(band.centerHz);
  const double fs = static_cast<double>(band.sampleHz);
  const double bw = static_cast<double>(band.bandwidthHz);

  const double k0 = std::tan(fc * static_cast<double>(kPi) / fs);
  const double k = Single(k0);
  const double k2 = Single(k0 * k);
  const double v = std::pow(10.0, std::fabs(g) * static_cast<double>(kDbToExp));
  const bool boost = g > 0;

  if (band.type != 0) {  // peak
    const double q = Single(fc / bw);
    const double r = (1.0 / q) * k;
    const double rf = Single(r);
    if (boost) {
      const double n = Single(kUnity / (r + k2 + 1));
      c.b0 = Trunc((v * rf + k2 + 1) * n);
      c.b1 = Trunc(2 * (k2 - 1) * n);
      c.b2 = Trunc((1 - v * rf + k2) * n);
      c.a1 = c.b1;
      c.a2 = Trunc((1 - rf + k2) * n);
    } else {
      const double n = kUnity / (v * r + k2 + 1);
      c.b0 = Trunc((rf + k2 + 1) * n);
      c.b1 = Trunc(2 * (k2 - 1) * n);
      c.b2 = Trunc((1 - rf + k2) * n);
      c.a1 = c.b1;
      c.a2 = Trunc((1 - v * r + k2) * n);
    }
    return c;
  }

  const double s = Single(std::sqrt(2.0) * k);
  if (band.highLow == 0) {  // low shelf
    const double w = Single(std::sqrt(2 * v) * k);
    if (boost) {
      const double n = Single(kUnity / (s + k2 + 1));
      c.b0 = Trunc((v * k2 + w + 1) * n);
      c.b1 = Trunc(2 * (v * k2 - 1) * n);
      c.b2 = Trunc((1 - w + v * k2) * n);
      c.a1 = Trunc(2 * (k2 - 1) * n);
      c.a2 = Trunc((1 - s + k2) * n);
    } else {
      const double n = kUnity / (v * k2 + w + 1);
      c.b0 = Trunc((s + k2 + 1) * n);
      c.b1 = Trunc(2 * (k2 - 1) * n);
      c.b2 = Trunc((1 - s + k2) * n);
      c.a1 = Trunc(2 * (v * k2 - 1) * n);
      c.a2 = Trunc((1 - w + v * k2) * n);
    }
    return c;
  }

  // high shelf
  const double w = std::sqrt(2 * v) * k;
  if (boost) {
    const double n = Single(kUnity / (s + k2 + 1));
    c.b0 = Trunc((w + v + k2) * n);
    c.b1 = Trunc(2 * (k2 - v) * n);
    c.b2 = Trunc((v - w + k2) * n);
    c.a1 = Trunc(2 * (k2 - 1) * n);
    c.a2 = Trunc((1 - s + k2) * n);
  } else {
    // Feed-forward and feedback parts are normalised by different denominators.
    const double u = Single(std::sqrt(2 / v) * k);
    const double n1 = kUnity / (w + v + k2);
    c.b0 = Trunc((s + k2 + 1) * n1);
    c.b1 = Trunc(2 * (k2 - 1) * n1);
    c.b2 = Trunc((1 - s + k2) * n1);
    const double p = k2 / v;
    const double n2 = kUnity / (p + u + 1);
    c.a1 = Trunc(2 * (p - 1) * n2);
    c.a2 = Trunc((1 - u + p) * n2);
  }
  return c;
}

float CutGainToFourDecimals(float g) {
  const double whole = std::trunc(static_cast<double>(g) * 10000.0);
  return static_cast<float>(whole * static_cast<double>(kTenThousandth));
}

int GainTimes10000(float g) { return Trunc(static_cast<double>(g) * 10000.0); }

}  // namespace tessera
