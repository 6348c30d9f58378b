#include "spectrum.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "errors.h"
#include "harmonics.h"

namespace {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMinWindow = 64;  // shorter windows resolve nothing worth drawing

// The longest window up to about a quarter of a second (16384 samples at 44.1 and
// 48 kHz: bins 3 Hz apart, fine enough for the lowest octave drawn) that fits.
size_t windowLength(size_t available, int sampleRate) {
  size_t length = kMinWindow;
  while (length * 2 <= available && length < size_t(sampleRate) / 4) length *= 2;
  return length;
}

// In-place radix-2 FFT; the size is a power of two, twiddles holds
// exp(-2 pi j k / size) for k below size / 2.
void fft(std::vector<Complex>& data, const std::vector<Complex>& twiddles) {
  const size_t n = data.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j |= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  for (size_t half = 1; half < n; half *= 2) {
    const size_t stride = n / (2 * half);
    for (size_t start = 0; start < n; start += 2 * half)
      for (size_t k = 0; k < half; ++k) {
        const Complex odd = data[start + k + half] * twiddles[k * stride];
        data[start + k + half] = data[start + k] - odd;
        data[start + k] += odd;
      }
  }
}

// Windows of `length` samples under the 7-term Blackman-Harris window, transformed.
struct WindowedTransform {
  explicit WindowedTransform(size_t length)
      : window(blackmanHarris7(length)), twiddles(length / 2), data(length) {
    for (double w : window) windowSum += w;
    for (size_t k = 0; k < twiddles.size(); ++k)
      twiddles[k] = std::polar(1.0, -2.0 * kPi * double(k) / double(length));
  }
  // The window's spectrum of samples from `start` on, in data.
  void transform(const std::vector<float>& samples, size_t start) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = window[i] * double(samples[start + i]);
    fft(data, twiddles);
  }

  std::vector<double> window;
  double windowSum = 0.0;
  std::vector<Complex> twiddles, data;
};

}  // namespace

Spectrum averageSpectrum(const std::vector<float>& samples, int sampleRate, size_t delay) {
  const SampleRange range = steadyRange(samples.size(), sampleRate, delay);
  if (range.size() < kMinWindow) throw HostError("the output is too short to draw its spectrum");
  const size_t length = windowLength(range.size(), sampleRate), hop = length / 2;
  WindowedTransform windowed(length);

  Spectrum spectrum;
  spectrum.binWidth = double(sampleRate) / double(length);
  spectrum.windowLength = length;
  std::vector<double> power(length / 2 + 1, 0.0);
  for (size_t start = range.begin; start + length <= range.end; start += hop) {
    windowed.transform(samples, start);
    for (size_t k = 0; k < power.size(); ++k) power[k] += std::norm(windowed.data[k]);
    ++spectrum.windows;
  }
  // A sine's energy is split between the bin and its mirror image; DC and the
  // half-rate bin have no mirror.
  for (size_t k = 0; k < power.size(); ++k) {
    const double side = k == 0 || k == length / 2 ? 1.0 : 2.0;
    spectrum.amplitudes.push_back(side * std::sqrt(power[k] / double(spectrum.windows)) /
                                  windowed.windowSum);
  }
  return spectrum;
}

SpectralLine strongestOtherLine(const std::vector<float>& samples, int sampleRate, size_t delay,
                                double fundamental, double low, double high) {
  const SampleRange range = steadyRange(samples.size(), sampleRate, delay);
  SpectralLine line;
  if (range.size() < kMinWindow || fundamental <= 0.0) return line;
  size_t length = kMinWindow;
  while (length * 2 <= range.size() && length < 65536) length *= 2;
  WindowedTransform windowed(length);
  windowed.transform(samples, range.begin + (range.size() - length) / 2);
  const double binWidth = double(sampleRate) / double(length);
  constexpr double kHarmonicBins = 12.0;  // the window's main lobe is 8 bins to each side
  for (size_t k = 1; k < length / 2; ++k) {
    const double frequency = double(k) * binWidth;
    if (frequency < low || frequency > high) continue;
    const double nearest = std::max(1.0, std::round(frequency / fundamental)) * fundamental;
    if (std::fabs(frequency - nearest) <= kHarmonicBins * binWidth) continue;
    const double amplitude = 2.0 * std::abs(windowed.data[k]) / windowed.windowSum;
    if (amplitude > line.amplitude) line = {frequency, amplitude};
  }
  return line;
}
