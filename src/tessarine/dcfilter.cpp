#include "dcfilter.h"

#include <cmath>

void tessarinedcfilter::setSampleRate(double rate) {
  if (!(rate >= 1000.0 && rate <= 1e7)) rate = 48000.0;
  // The bilinear transform of s^2 / (s^2 + s sqrt 2 + 1), prewarped to the cutoff.
  const double k = std::tan(M_PI * kCutoffHz / rate);
  const double norm = 1.0 / (1.0 + M_SQRT2 * k + k * k);
  b0 = norm;
  b1 = -2.0 * norm;
  b2 = norm;
  a1 = 2.0 * (k * k - 1.0) * norm;
  a2 = (1.0 - M_SQRT2 * k + k * k) * norm;
  reset();
}

void tessarinedcfilter::process(float* samples, long n) {
  double first = s1, second = s2;
  for (long i = 0; i < n; i++) {
    const double x = samples[i];
    const double y = b0 * x + first;
    first = b1 * x - a1 * y + second;
    second = b2 * x - a2 * y;
    samples[i] = (float)y;
  }
  // A non-finite state would stay so for ever. (A state decaying towards zero never
  // turns denormal: the processor runs the chain with denormals flushed to zero.)
  const bool broken = !std::isfinite(first) || !std::isfinite(second);
  s1 = broken ? 0.0 : first;
  s2 = broken ? 0.0 : second;
}
