#pragma once
// The average spectrum of a signal, for drawing.

#include <cstddef>
#include <vector>

struct Spectrum {
  double binWidth = 0.0;           // Hz between bins; bin k is at k * binWidth
  std::vector<double> amplitudes;  // bins 0 (DC) to half the window length (half the rate)
  size_t windows = 0;              // how many windows were averaged
  size_t windowLength = 0;         // samples in each
};

// The spectrum of the steady part of samples (the part measureHarmonics looks at),
// averaged over Blackman-Harris windows that overlap by half (Welch's method).
// Amplitudes are calibrated like the harmonic levels: a sine of peak amplitude A
// centred on a bin reads A there. Throws HostError when too little signal is left.
Spectrum averageSpectrum(const std::vector<float>& samples, int sampleRate, size_t delay);

// The strongest spectral line between `low` and `high` Hz that is not a harmonic of
// `fundamental` (nor the fundamental itself): what aliasing, intermodulation or
// noise left in the steady part of samples. Read from one 7-term Blackman-Harris
// window (side lobes below -180 dB) of up to 65536 samples; bins within 12 of a
// harmonic belong to it. The amplitude is calibrated as a sine's peak amplitude;
// 0 when the band holds no bin outside the harmonics.
struct SpectralLine {
  double frequency = 0.0;
  double amplitude = 0.0;
};
SpectralLine strongestOtherLine(const std::vector<float>& samples, int sampleRate, size_t delay,
                                double fundamental, double low, double high);
