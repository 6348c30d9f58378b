#include "dcfilter.h"

#include "vectorclones.h"

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

  // As a state-space system: s' = A s + B x, y = C s + D x with
  // A = [[-a1, 1], [-a2, 0]], B = [b1 - a1 b0, b2 - a2 b0], C = [1, 0], D = b0.
  const double A[2][2] = {{-a1, 1.0}, {-a2, 0.0}};
  const double B[2] = {b1 - a1 * b0, b2 - a2 * b0};
  double power[2][2] = {{1.0, 0.0}, {0.0, 1.0}};  // A^k
  double impulse[kBlock];                         // y at k of a unit impulse at 0
  double powerB[kBlock][2];                       // A^k B
  for (int step = 0; step < kBlock; step++) {
    fromState[0][step] = power[0][0];
    fromState[1][step] = power[0][1];
    powerB[step][0] = power[0][0] * B[0] + power[0][1] * B[1];
    powerB[step][1] = power[1][0] * B[0] + power[1][1] * B[1];
    impulse[step] = step == 0 ? b0 : powerB[step - 1][0];
    const double next[2][2] = {
        {A[0][0] * power[0][0] + A[0][1] * power[1][0], A[0][0] * power[0][1] + A[0][1] * power[1][1]},
        {A[1][0] * power[0][0] + A[1][1] * power[1][0], A[1][0] * power[0][1] + A[1][1] * power[1][1]}};
    for (int r = 0; r < 2; r++)
      for (int c = 0; c < 2; c++) power[r][c] = next[r][c];
  }
  for (int r = 0; r < 2; r++)
    for (int c = 0; c < 2; c++) blockState[r][c] = power[r][c];
  for (int i = 0; i < kBlock; i++) {
    for (int out = 0; out < kBlock; out++) response[i][out] = out >= i ? impulse[out - i] : 0.0;
    toState[0][i] = powerB[kBlock - 1 - i][0];
    toState[1][i] = powerB[kBlock - 1 - i][1];
  }
  reset();
}

void tessarinedcfilter::processFrame(float& sample) {
  const double x = sample;
  const double y = b0 * x + s1;
  s1 = b1 * x - a1 * y + s2;
  s2 = b2 * x - a2 * y;
  sample = (float)y;
}

inline __attribute__((always_inline)) void tessarinedcfilter::processBlock(float* samples) {
  double x[kBlock], y[kBlock];
  for (int k = 0; k < kBlock; k++) x[k] = samples[k];
  for (int k = 0; k < kBlock; k++) y[k] = fromState[0][k] * s1 + fromState[1][k] * s2;
  for (int i = 0; i < kBlock; i++)
    for (int k = 0; k < kBlock; k++) y[k] += response[i][k] * x[i];
  double in1 = 0.0, in2 = 0.0;
  for (int i = 0; i < kBlock; i++) {
    in1 += toState[0][i] * x[i];
    in2 += toState[1][i] * x[i];
  }
  const double next1 = blockState[0][0] * s1 + blockState[0][1] * s2 + in1;
  s2 = blockState[1][0] * s1 + blockState[1][1] * s2 + in2;
  s1 = next1;
  for (int k = 0; k < kBlock; k++) samples[k] = (float)y[k];
}

TESSARINE_VECTOR_CLONES
void tessarinedcfilter::process(float* samples, long n) {
  long i = 0;
  for (; i + kBlock <= n; i += kBlock) processBlock(samples + i);
  for (; i < n; i++) processFrame(samples[i]);
  // Far below anything audible (-400 dB) the state is let go of, so that a tail of
  // silence never ends in denormal numbers, whatever the CPU's settings.
  if (std::fabs(s1) < 1e-20 && std::fabs(s2) < 1e-20) s1 = s2 = 0.0;
  // A non-finite state would stay so for ever.
  if (!std::isfinite(s1) || !std::isfinite(s2)) reset();
}
