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

constexpr double kAboveNyquist = -1.0;

struct HarmonicLevels {
  std::vector<double> amplitudes;  // harmonic n at [n - 1]: peak amplitude or kAboveNyquist
  double dc = 0.0;
};

// Measures harmonics 1..count of the fundamental over the steady part of the
// samples, skipping delay samples of plug-in latency at the start. Returns no
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
