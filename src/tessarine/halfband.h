#pragma once
// Linear-phase half-band lowpass filters, the building blocks of the oversampler: an
// interpolator that doubles the rate and a decimator that halves it. A half-band
// filter has every second tap zero but the centre one (1/2), so each output costs one
// multiplication per pair of symmetric taps. Every output is summed in the same
// order whatever the vector width, so every build gives the same bits.

constexpr int kHalfbandMaxPairs = 48;
// Input frames one call takes at most.
constexpr long kHalfbandMaxInput = 2048;

// The taps at distance 1, 3, 5, ... from the centre: a windowed sinc, normalised so
// that the filter passes DC at exactly 1.
struct HalfbandDesign {
  int pairs = 0;
  float taps[kHalfbandMaxPairs] = {};
};

// `pairs` symmetric pairs (a filter of 4 pairs - 1 taps) under a Kaiser window of
// shape `beta`. Not for the audio thread (it takes a few microseconds).
HalfbandDesign designHalfband(int pairs, double beta);

// Doubles the rate: each input frame becomes two output frames. The delay is
// 2 pairs - 1 output frames.
class HalfbandInterpolator {
 public:
  void setDesign(const HalfbandDesign& design);
  void reset();
  long delay() const { return 2L * design.pairs - 1; }
  // n input frames (at most kHalfbandMaxInput) to 2n output frames.
  void process(const float* in, float* out, long n);

 private:
  HalfbandDesign design;
  // The last 2 pairs - 1 inputs, then the new ones.
  float line[2 * kHalfbandMaxPairs + kHalfbandMaxInput] = {};
  float sum[kHalfbandMaxInput] = {};
};

// Halves the rate: every two input frames become one output frame. `shift` delays
// the output by that many more input frames, so that a cascade can make its total
// delay a whole number of frames at the lowest rate. The delay is
// 2 pairs - 1 + shift input frames.
class HalfbandDecimator {
 public:
  void setDesign(const HalfbandDesign& design, int shift);
  void reset();
  long delay() const { return 2L * design.pairs - 1 + shift; }
  // 2n input frames (n at most kHalfbandMaxInput / 2) to n output frames.
  void process(const float* in, float* out, long n);

 private:
  HalfbandDesign design;
  int shift = 0;
  // The input split into its even and odd frames: the taps all fall on one of the
  // two, the centre on the other. Each line keeps `history` frames of the last call.
  long history = 0;
  long tapsBack = 0, tapsAhead = 0, centreBack = 0;
  bool tapsOnOdd = false;
  static constexpr long kMaxHistory = 2 * kHalfbandMaxPairs + 8;
  float even[kMaxHistory + kHalfbandMaxInput / 2] = {};
  float odd[kMaxHistory + kHalfbandMaxInput / 2] = {};
  float sum[kHalfbandMaxInput / 2] = {};
};
