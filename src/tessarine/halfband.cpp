#include "halfband.h"

#include "vectorclones.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The modified Bessel function of the first kind, order 0, by its power series
// (which converges fast for the arguments a Kaiser window takes).
double besselI0(double x) {
  double sum = 1.0, term = 1.0;
  for (int k = 1; k < 60; k++) {
    term *= (x / (2.0 * k)) * (x / (2.0 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

// Sixteen lanes of floats: GCC's vector type, which each build maps onto its own
// registers (one AVX-512 register, two AVX ones, four SSE ones). Loads and stores go through memcpy, as
// the data need not be aligned; the type never crosses a call.
typedef float Lanes __attribute__((vector_size(64)));
constexpr long kLanes = 16;


// total[m] = sum over j of c_j (ahead[m + j] + back[m - j]), j in order, for m from
// `from` in steps of `vectors` x 16 while a whole step fits; returns where it stopped.
// The step's sums are held in registers across the taps.
template <int vectors>
inline __attribute__((always_inline)) long sumPairsIn(const float* ahead, const float* back,
                                                      const HalfbandDesign& design,
                                                      float* __restrict total, long from, long n) {
  constexpr long step = vectors * kLanes;
  long m = from;
  for (; m + step <= n; m += step) {
    Lanes sums[vectors] = {};
    for (int j = 0; j < design.pairs; j++) {
      const float tap = design.taps[j];
      for (int v = 0; v < vectors; v++) {
        Lanes a, b;
        std::memcpy(&a, ahead + m + j + v * kLanes, sizeof(a));
        std::memcpy(&b, back + m - j + v * kLanes, sizeof(b));
        sums[v] += tap * (a + b);
      }
    }
    std::memcpy(total + m, sums, sizeof(sums));
  }
  return m;
}

// The last few sums one by one, in the same order of operations.
inline void sumPairsEach(const float* ahead, const float* back, const HalfbandDesign& design,
                         float* __restrict total, long from, long n) {
  for (long m = from; m < n; m++) {
    float sum = 0.0f;
    for (int j = 0; j < design.pairs; j++) sum += design.taps[j] * (ahead[m + j] + back[m - j]);
    total[m] = sum;
  }
}

// All n sums: 64 at a time (four vectors, to hide the latency of the additions),
// then 16, then one by one, every one in the same order of operations.
inline __attribute__((always_inline)) void sumPairs(const float* ahead, const float* back,
                                                    const HalfbandDesign& design,
                                                    float* __restrict total, long n) {
  long m = sumPairsIn<4>(ahead, back, design, total, 0, n);
  m = sumPairsIn<1>(ahead, back, design, total, m, n);
  sumPairsEach(ahead, back, design, total, m, n);
}

}  // namespace

HalfbandDesign designHalfband(int pairs, double beta) {
  HalfbandDesign design;
  design.pairs = std::clamp(pairs, 1, kHalfbandMaxPairs);
  const double half = 2.0 * design.pairs;  // the window reaches zero just past the last tap
  double taps[kHalfbandMaxPairs];
  double sum = 0.0;
  for (int j = 0; j < design.pairs; j++) {
    const double t = 2.0 * j + 1.0;
    const double sinc = (j % 2 == 0 ? 1.0 : -1.0) / (M_PI * t);  // sin(pi t / 2) / (pi t)
    const double ratio = t / half;
    taps[j] = sinc * besselI0(beta * std::sqrt(1.0 - ratio * ratio)) / besselI0(beta);
    sum += 2.0 * taps[j];
  }
  // The centre tap is 1/2: the pairs must add up to the other half.
  for (int j = 0; j < design.pairs; j++) design.taps[j] = (float)(taps[j] * 0.5 / sum);
  return design;
}

void HalfbandInterpolator::setDesign(const HalfbandDesign& newDesign) {
  design = newDesign;
  reset();
}

void HalfbandInterpolator::reset() {
  std::memset(line, 0, sizeof(line));
}

// out[2m] = 2 sum_j c_j (x[m - K + 1 + j] + x[m - K - j]) and out[2m + 1] = x[m - K + 1],
// K pairs: the taps fall on the even outputs, the centre on the odd ones.
TESSARINE_VECTOR_CLONES
void HalfbandInterpolator::process(const float* in, float* out, long n) {
  const long pairs = design.pairs, history = 2 * pairs - 1;
  std::memcpy(line + history, in, (size_t)n * sizeof(float));
  const float* base = line + history - pairs;  // base[m] = x[m - K]
  float* __restrict total = sum;
  sumPairs(base + 1, base, design, total, n);
  for (long m = 0; m < n; m++) {
    out[2 * m] = 2.0f * total[m];
    out[2 * m + 1] = base[m + 1];
  }
  std::memmove(line, line + n, (size_t)history * sizeof(float));
}

void HalfbandDecimator::setDesign(const HalfbandDesign& newDesign, int newShift) {
  design = newDesign;
  shift = std::clamp(newShift, 0, 7);
  const long pairs = design.pairs, delayFrames = 2 * pairs - 1 + shift;
  // With the delay D, out[m] = v[2m - D] / 2 + sum_j c_j (v[2m - D - 2j - 1] + v[2m - D + 2j + 1]).
  tapsOnOdd = delayFrames % 2 == 0;
  tapsBack = tapsOnOdd ? delayFrames / 2 + 1 : (delayFrames + 1) / 2;
  tapsAhead = tapsOnOdd ? delayFrames / 2 : (delayFrames - 1) / 2;
  centreBack = tapsOnOdd ? delayFrames / 2 : (delayFrames + 1) / 2;
  history = std::max(tapsBack + pairs - 1, centreBack);
  reset();
}

void HalfbandDecimator::reset() {
  std::memset(even, 0, sizeof(even));
  std::memset(odd, 0, sizeof(odd));
}

TESSARINE_VECTOR_CLONES
void HalfbandDecimator::process(const float* in, float* out, long n) {
  float* __restrict evenFrames = even + history;
  float* __restrict oddFrames = odd + history;
  for (long k = 0; k < n; k++) {
    evenFrames[k] = in[2 * k];
    oddFrames[k] = in[2 * k + 1];
  }
  const float* taps = (tapsOnOdd ? odd : even) + history;
  const float* __restrict centre = (tapsOnOdd ? even : odd) + history - centreBack;
  float* __restrict total = sum;
  sumPairs(taps - tapsAhead, taps - tapsBack, design, total, n);
  for (long m = 0; m < n; m++) out[m] = 0.5f * centre[m] + total[m];
  std::memmove(even, even + n, (size_t)history * sizeof(float));
  std::memmove(odd, odd + n, (size_t)history * sizeof(float));
}
