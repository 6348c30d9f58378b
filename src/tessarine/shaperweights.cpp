#include "shaperweights.h"

#include <array>
#include <cmath>
#include <cstring>

namespace {

// A parameter value v stands for the linear amplitude 10^(3v - 3).
float weightOf(float value) {
  return (float)std::pow(10.0, (double)(value * 3.0f - 3.0f));
}

// Weight sums from 2^-100 to 2^100 (every parameter value below about -9, or one
// above about 11, far outside the nominal 0..1) leave room for every product and sum
// of the block and for the gain; outside them the weights are taken relative to the
// largest one (see relativeWeights).
constexpr float kLargestPlainSum = 0x1p100f;
constexpr float kSmallestPlainSum = 0x1p-100f;

// The six weights of `weights`, in parameter order.
std::array<float*, kShaperHarmonics> weightSlots(ShaperWeights& weights) {
  return {&weights.one, &weights.two, &weights.three, &weights.four, &weights.five, &weights.seven};
}

// Summed in parameter order, as the normalisation has always been formed.
float weightSum(const ShaperWeights& weights) {
  return weights.one + weights.two + weights.three + weights.four + weights.five + weights.seven;
}

// Only the ratios of the weights reach the output, which is normalised by their sum.
// For parameter values so large that 10^(3v - 3) overflows a float, the weights
// 10^(3v - 3 - e), e being the largest exponent, give the same output without
// overflow (the exponents are formed in double precision: 3v alone may overflow a
// float). Without this, an infinite weight would make the gain 0 and every sample
// of every later block NaN. The same holds for values so small that every weight
// underflows: denormal or zero weights make the gain infinite and the output NaN,
// where the curve they tend to is finite.
void relativeWeights(const float values[kShaperHarmonics], ShaperWeights& weights) {
  double exponents[kShaperHarmonics];
  double largest = -HUGE_VAL;
  for (int i = 0; i < kShaperHarmonics; i++) {
    exponents[i] = (double)values[i] * 3.0 - 3.0;
    largest = std::fmax(largest, exponents[i]);
  }
  const std::array<float*, kShaperHarmonics> targets = weightSlots(weights);
  for (int i = 0; i < kShaperHarmonics; i++)
    *targets[i] = (float)std::pow(10.0, exponents[i] - largest);
}

}  // namespace

const ShaperWeights& ShaperWeightCache::refresh(const float values[kShaperHarmonics]) {
  std::uint32_t bits[kShaperHarmonics];
  std::memcpy(bits, values, sizeof(bits));
  if (valid && std::memcmp(bits, source, sizeof(bits)) == 0) return weights;
  std::memcpy(source, bits, sizeof(bits));
  shaperComputeWeights(values, weights);
  valid = true;
  return weights;
}

void shaperComputeWeights(const float values[kShaperHarmonics], ShaperWeights& weights) {
  const std::array<float*, kShaperHarmonics> targets = weightSlots(weights);
  for (int i = 0; i < kShaperHarmonics; i++) *targets[i] = weightOf(values[i]);
  float gainSum = weightSum(weights);
  if (!(gainSum <= kLargestPlainSum && gainSum >= kSmallestPlainSum)) {
    relativeWeights(values, weights);
    gainSum = weightSum(weights);
  }
  weights.gain = gainSum != 0.0f ? 1.0f / gainSum : 0.0f;
}
