#pragma once
// The weights of the shaping loop from the six normalised harmonic values: the
// arithmetic both plug-in formats use, so that the same values give the same bits.

#include "shaper.h"

constexpr int kShaperHarmonics = 6;

// values[i] (normalised, 1st, 2nd, 3rd, 4th, 5th, 7th harmonic) stands for the linear
// amplitude 10^(3v - 3); fills the six weights and the normalisation factor.
void shaperComputeWeights(const float values[kShaperHarmonics], ShaperWeights& weights);
