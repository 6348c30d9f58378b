#include "dcfilter.h"

#include <cmath>

void tessarinedcfilter::setSampleRate(double rate) {
  if (!(rate >= 1000.0 && rate <= 1e7)) rate = 48000.0;
  // The bilinear transform of s^2 / (s^2 + s sqrt 2 + 1), prewarped to the cutoff.
  const double k = std::tan(M_PI * kCutoffHz / rate);
  const double norm = 1.0 / (1.0 + M_SQRT2 * k + k * k);
  const double b1 = -2.0 * norm, b2 = norm;
  b0 = norm;
  a1 = 2.0 * (k * k - 1.0) * norm;
  a2 = (1.0 - M_SQRT2 * k + k * k) * norm;
  c1 = b1 - a1 * b0;
  c2 = b2 - a2 * b0;
  reset();
}

inline double tessarinedcfilter::frame(State& state, double x) const {
  const double y = b0 * x + state.s1;
  const double next = c1 * x + state.s2 - a1 * state.s1;
  state.s2 = c2 * x - a2 * state.s1;
  state.s1 = next;
  return y;
}

// A non-finite state would stay so for ever. (A state decaying towards zero never
// turns denormal: the processor runs the chain with denormals flushed to zero.)
void tessarinedcfilter::keep(const State& state) {
  const bool broken = !std::isfinite(state.s1) || !std::isfinite(state.s2);
  s1 = broken ? 0.0 : state.s1;
  s2 = broken ? 0.0 : state.s2;
}

void tessarinedcfilter::process(float* samples, long n) {
  State state{s1, s2};
  for (long i = 0; i < n; i++) samples[i] = (float)frame(state, samples[i]);
  keep(state);
}

void tessarinedcfilter::processPair(tessarinedcfilter& first, float* firstSamples,
                                    tessarinedcfilter& second, float* secondSamples, long n) {
  State one{first.s1, first.s2}, two{second.s1, second.s2};
  for (long i = 0; i < n; i++) {
    firstSamples[i] = (float)first.frame(one, firstSamples[i]);
    secondSamples[i] = (float)second.frame(two, secondSamples[i]);
  }
  first.keep(one);
  second.keep(two);
}
