#pragma once
// Oversampling by 1, 2, 4 or 8: a cascade of half-band stages up, and the same
// stages down again. The cascade's delay is made a whole number of frames at the
// plug-in's rate (the last stage down waits the missing fraction), so a host can
// compensate it exactly.

#include "halfband.h"

class tessarineoversampler {
 public:
  static constexpr int kMaxFactor = 8;
  // Frames at the plug-in's rate one call takes at most.
  static constexpr long kMaxFrames = kHalfbandMaxInput / kMaxFactor;

  tessarineoversampler();
  // 1, 2, 4 or 8 (anything else is taken as the nearest of them); clears the state.
  void setFactor(int factor);
  int getFactor() const { return factor; }
  // The delay from input to output, in frames at the plug-in's rate.
  long getLatency() const { return latency; }
  // The same for a factor, without an oversampler (which is large).
  static long latencyOf(int factor);
  // 1, 2, 4 or 8: the factor setFactor takes for a request.
  static int validFactor(int requested);
  // The same for a factor given as a number from a host (an LV2 port, whose range is
  // only a hint): the nearest valid one; 0 for NaN or infinity, which change nothing.
  static int nearestFactor(float requested);
  // Clears every stage's memory, as if the input had been silent for ever.
  void reset();

  // n frames (at most kMaxFrames) to n x factor frames, in a buffer of the
  // oversampler's own that the caller may change in place before downsample.
  float* upsample(const float* in, long n);
  // The buffer upsample returned, back to n frames at the plug-in's rate.
  void downsample(float* out, long n);

 private:
  int factor = 1;
  int stages = 0;
  long latency = 0;
  HalfbandInterpolator up[3];
  HalfbandDecimator down[3];
  float first[kMaxFrames * kMaxFactor];
  float second[kMaxFrames * kMaxFactor];
};
