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
  // Filters n frames in place, one at a time: the output does not depend on how
  // the frames are split into calls (unless the state turned non-finite, when it
  // starts afresh at the end of the call).
  void process(float* samples, long n);
  // Two filters of the same design over two channels in one pass: the two
  // recursions run side by side (what each gives is what process gives).
  static void processPair(tessarinedcfilter& first, float* firstSamples, tessarinedcfilter& second,
                          float* secondSamples, long n);

 private:
  // Transposed direct form II, y = b0 x + s1, with the state written so that the
  // recursion from one frame to the next is one multiplication and one addition:
  // s1' = c1 x + s2 - a1 s1 and s2' = c2 x - a2 s1, c1 = b1 - a1 b0, c2 = b2 - a2 b0.
  struct State {
    double s1, s2;
  };
  double frame(State& state, double x) const;
  void keep(const State& state);

  double b0 = 1.0, c1 = 0.0, c2 = 0.0, a1 = 0.0, a2 = 0.0;
  double s1 = 0.0, s2 = 0.0;
};
