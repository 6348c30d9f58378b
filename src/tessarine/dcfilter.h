#pragma once
// The high-pass after the shaping curve that takes away the offset the even
// harmonics leave (T2, T4 are -1 and +1 at zero): a second-order Butterworth at
// 7 Hz, in double precision. Its -3 dB point is below 10 Hz and its loss at 20 Hz
// 0.07 dB; half a second after a note starts or ends, no 100 ms of output is off
// zero by more than -160 dBFS (bench/hqquality dc).

class tessarinedcfilter {
 public:
  static constexpr double kCutoffHz = 7.0;

  tessarinedcfilter() { setSampleRate(48000.0); }
  // Designs the filter for the rate (a rate that is no rate is taken as 48 kHz)
  // and clears its memory.
  void setSampleRate(double rate);
  void reset() { s1 = s2 = 0.0; }
  // Filters n frames in place.
  void process(float* samples, long n);

 private:
  // Eight frames at a time from the state alone: the recursion then runs once per
  // block instead of once per frame, and each block's outputs are one vector sum.
  static constexpr int kBlock = 8;
  void processBlock(float* samples);
  void processFrame(float& sample);

  // Transposed direct form II: state s1, s2; y = b0 x + s1.
  double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
  double s1 = 0.0, s2 = 0.0;
  // The same filter over a block: output k is fromState[0][k] s1 + fromState[1][k] s2
  // + sum_i response[i][k] x_i; the state after it is blockState s + sum_i toState[.][i] x_i.
  double fromState[2][kBlock] = {};
  double response[kBlock][kBlock] = {};
  double toState[2][kBlock] = {};
  double blockState[2][2] = {};
};
