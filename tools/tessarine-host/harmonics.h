#pragma once
// Measures the sinusoids in a signal: the frequency of a test sine, and the
// levels of its harmonics after processing.

#include <cstddef>
#include <string>
#include <vector>

struct SineEstimate {
  bool isSine = false;
  double frequency = 0.0;   // Hz
  double amplitude = 0.0;   // peak amplitude, linear
  double residualDb = 0.0;  // power left after removing the fitted sine, relative to the signal
  std::string verdict;      // why the signal is not a sine; empty for a sine
};

// A signal whose residual after removing its fundamental stays below this is a sine.
constexpr double kSineResidualLimitDb = -40.0;

// Finds the fundamental of channel samples and decides whether they are a sine.
SineEstimate estimateSine(const std::vector<float>& samples, int sampleRate);

// Where harmonic n of the fundamental lies in the sampled output. One above half
// the rate folds (aliases) back into 0..rate/2; two harmonics may land within a bin
// of each other, or of the DC offset, where no fit can tell them apart, so they are
// measured as one line.
struct HarmonicLine {
  double frequency = 0.0;  // n times the fundamental, Hz
  double folded = 0.0;     // where it lies, Hz: frequency folded into 0..rate/2
  bool aboveNyquist = false;
  bool atNyquist = false;  // within a bin of half the rate: only its cosine part shows
  int sharedWith = 0;      // 0: a line of its own (or the first on it); m: measured with
                           // harmonic m < n; kSharedWithDc: measured as the DC offset
};
constexpr int kSharedWithDc = -1;

struct HarmonicLevels {
  // Harmonic n at [n - 1]: the peak amplitude of the line it lies on, which a
  // harmonic sharing a line has in common with the first one there.
  std::vector<double> amplitudes;
  std::vector<HarmonicLine> lines;  // harmonic n at [n - 1]
  double dc = 0.0;
};

// Measures harmonics 1..count of the fundamental over the steady part of the
// samples, skipping delay samples of plug-in latency at the start: all of them in
// one least-squares fit, each at the frequency it lies at after folding. Returns no
// amplitudes when too little signal is left to measure.
HarmonicLevels measureHarmonics(const std::vector<float>& samples, int sampleRate,
                                double fundamental, int count, size_t delay);

struct LevelSummary {
  double peak = 0.0;
  double rms = 0.0;
  double dc = 0.0;
};

LevelSummary summarizeLevels(const std::vector<float>& samples);

// 20 log10 |linear|; -inf for silence.
double toDb(double linear);
// toDb as the tool prints it: two decimals, without the "-0.00" that rounding a
// tiny negative value gives.
std::string dbText(double linear);

// The part of a rendered signal free of start-up and end effects, which the
// measurements look at: 5 % or at least 10 ms is dropped at each end, plus the
// plug-in's latency (delay samples) at the start.
struct SampleRange {
  size_t begin = 0;
  size_t end = 0;
  size_t size() const { return end > begin ? end - begin : 0; }
};
SampleRange steadyRange(size_t frames, int sampleRate, size_t delay);

// 4-term Blackman-Harris window of count samples, periodic: side lobes at -92 dB
// and falling further away, so a full-scale tone does not leak into the
// measurement of its harmonics.
std::vector<double> blackmanHarris(size_t count);
// The 7-term Blackman-Harris window: side lobes below -180 dB for a main lobe
// twice as wide, so that a full-scale tone leaves a spectrum drawn down to -140 dB
// clean.
std::vector<double> blackmanHarris7(size_t count);
