#pragma once
// The weights of the shaping loop from the six normalised harmonic values: the
// arithmetic both plug-in formats use, so that the same values give the same bits.

#include <cstdint>

#include "shaper.h"

constexpr int kShaperHarmonics = 6;

// values[i] (normalised, 1st, 2nd, 3rd, 4th, 5th, 7th harmonic) stands for the linear
// amplitude 10^(3v - 3); fills the six weights and the normalisation factor.
void shaperComputeWeights(const float values[kShaperHarmonics], ShaperWeights& weights);

// The weights of the last block and the bit patterns of the six values they came
// from. The six power functions cost more than shaping a short block, so they run
// again only when a value differs, bit for bit; the same values give the same
// weights, so the output is what computing them every block would give.
struct ShaperWeightCache {
  // The weights for values, computed only when they changed.
  const ShaperWeights& refresh(const float values[kShaperHarmonics]);

  ShaperWeights weights = {};
  std::uint32_t source[kShaperHarmonics] = {};
  bool valid = false;
};
