#include "harmonics.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "textformat.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kResyncInterval = 1024;    // samples between exact phasor recomputations
constexpr double kMinSineAmplitude = 1e-5;  // -100 dBFS: quieter is treated as silence
constexpr double kMinCycles = 4.0;          // fewer, and the window cannot tell harmonics apart
constexpr size_t kMinSegment = 16;          // samples; anything shorter is not worth measuring

// A stretch of signal under the window, probed one frequency at a time.
class WindowedSegment {
 public:
  WindowedSegment(const float* samples, const std::vector<double>& window)
      : weighted_(window.size()) {
    for (size_t i = 0; i < window.size(); ++i) {
      weighted_[i] = window[i] * double(samples[i]);
      windowSum_ += window[i];
    }
  }

  // The sinusoid at the frequency as cos and sin amplitudes, corrected for the
  // window's coherent gain: a full-scale sine has amplitude 1.
  std::pair<double, double> fit(double cyclesPerSample) const {
    double re = 0.0, im = 0.0;
    correlate(cyclesPerSample, re, im);
    return {2.0 * re / windowSum_, -2.0 * im / windowSum_};
  }

  double amplitude(double cyclesPerSample) const {
    const auto [cosAmp, sinAmp] = fit(cyclesPerSample);
    return std::hypot(cosAmp, sinAmp);
  }

  double mean() const {
    double sum = 0.0;
    for (double v : weighted_) sum += v;
    return sum / windowSum_;
  }

 private:
  // Sum of weighted[n] * exp(-j 2 pi f n), with the rotating phasor recomputed
  // exactly at intervals so rounding cannot build up over long signals.
  void correlate(double cyclesPerSample, double& re, double& im) const {
    const double omega = -2.0 * kPi * cyclesPerSample;
    const double stepRe = std::cos(omega), stepIm = std::sin(omega);
    for (size_t start = 0; start < weighted_.size(); start += kResyncInterval) {
      double pRe = std::cos(omega * double(start)), pIm = std::sin(omega * double(start));
      const size_t end = std::min(weighted_.size(), start + kResyncInterval);
      for (size_t i = start; i < end; ++i) {
        re += weighted_[i] * pRe;
        im += weighted_[i] * pIm;
        const double nextRe = pRe * stepRe - pIm * stepIm;
        pIm = pRe * stepIm + pIm * stepRe;
        pRe = nextRe;
      }
    }
  }

  std::vector<double> weighted_;
  double windowSum_ = 0.0;
};

// Coarse frequency in cycles per sample from the interpolated times of the
// first and last upward zero crossings; 0 if there are fewer than two.
double zeroCrossingFrequency(const float* x, size_t count, double offset) {
  double first = -1.0, last = -1.0;
  size_t crossings = 0;
  for (size_t i = 1; i < count; ++i) {
    const double a = double(x[i - 1]) - offset, b = double(x[i]) - offset;
    if (a >= 0.0 || b < 0.0) continue;
    const double t = double(i - 1) + a / (a - b);
    if (crossings++ == 0) first = t;
    last = t;
  }
  return crossings >= 2 ? double(crossings - 1) / (last - first) : 0.0;
}

// Golden-section search for the amplitude peak within one bin either side of
// the coarse estimate; the window's main lobe is four bins wide, so the
// amplitude has a single peak there.
double refineFrequency(const WindowedSegment& segment, double coarse, size_t count) {
  const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
  double lo = std::max(0.0, coarse - 1.0 / double(count));
  double hi = std::min(0.5, coarse + 1.0 / double(count));
  double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
  double fa = segment.amplitude(a), fb = segment.amplitude(b);
  for (int i = 0; i < 60 && hi - lo > 1e-12; ++i) {
    if (fa < fb) {
      lo = a, a = b, fa = fb;
      b = lo + ratio * (hi - lo), fb = segment.amplitude(b);
    } else {
      hi = b, b = a, fb = fa;
      a = hi - ratio * (hi - lo), fa = segment.amplitude(a);
    }
  }
  return (lo + hi) / 2.0;
}

// Power left after subtracting the fitted sine and offset, relative to the
// power of the signal around its offset.
double residualDb(const float* x, size_t count, double f, std::pair<double, double> sine,
                  double offset) {
  double residual = 0.0, signal = 0.0;
  for (size_t i = 0; i < count; ++i) {
    const double phase = 2.0 * kPi * f * double(i);
    const double centred = double(x[i]) - offset;
    const double error = centred - sine.first * std::cos(phase) - sine.second * std::sin(phase);
    residual += error * error;
    signal += centred * centred;
  }
  return signal > 0.0 ? 10.0 * std::log10(residual / signal) : 0.0;
}

// Solves the square system in place by Gaussian elimination with partial
// pivoting; a singular direction gets 0.
std::vector<double> solveLinear(std::vector<double> matrix, std::vector<double> rhs) {
  const size_t n = rhs.size();
  for (size_t col = 0; col < n; ++col) {
    size_t pivot = col;
    for (size_t r = col + 1; r < n; ++r)
      if (std::fabs(matrix[r * n + col]) > std::fabs(matrix[pivot * n + col])) pivot = r;
    for (size_t c = 0; c < n; ++c) std::swap(matrix[col * n + c], matrix[pivot * n + c]);
    std::swap(rhs[col], rhs[pivot]);
    if (matrix[col * n + col] == 0.0) continue;
    for (size_t r = col + 1; r < n; ++r) {
      const double factor = matrix[r * n + col] / matrix[col * n + col];
      for (size_t c = col; c < n; ++c) matrix[r * n + c] -= factor * matrix[col * n + c];
      rhs[r] -= factor * rhs[col];
    }
  }
  std::vector<double> solution(n, 0.0);
  for (size_t row = n; row-- > 0;) {
    double sum = rhs[row];
    for (size_t c = row + 1; c < n; ++c) sum -= matrix[row * n + c] * solution[c];
    solution[row] = matrix[row * n + row] != 0.0 ? sum / matrix[row * n + row] : 0.0;
  }
  return solution;
}

// 1, then cos and sin of each harmonic of the phase, by angle addition.
void harmonicBasis(double phase, int harmonics, std::vector<double>& basis) {
  const double c1 = std::cos(phase), s1 = std::sin(phase);
  double c = c1, s = s1;
  basis[0] = 1.0;
  for (int h = 1; h <= harmonics; ++h) {
    basis[size_t(2 * h - 1)] = c;
    basis[size_t(2 * h)] = s;
    const double next = c * c1 - s * s1;
    s = s * c1 + c * s1;
    c = next;
  }
}

// Fits the chosen columns of harmonicBasis (0, the offset, always among them) to
// the samples together, by least squares weighted with the window. Fitting them
// jointly keeps a strong line from leaking into a weak neighbour even when the tone
// spans only a few dozen bins. A harmonic above half the rate needs no column of
// its own frequency: sampled, its cosine and sine are those of the line it folds
// to. Returns one coefficient per column, in their order.
std::vector<double> fitColumns(const float* x, const std::vector<double>& window, double f,
                               int harmonics, const std::vector<size_t>& columns) {
  const size_t terms = columns.size();
  std::vector<double> normal(terms * terms, 0.0), rhs(terms, 0.0);
  std::vector<double> basis(size_t(1 + 2 * harmonics)), chosen(terms);
  for (size_t i = 0; i < window.size(); ++i) {
    harmonicBasis(2.0 * kPi * f * double(i), harmonics, basis);
    for (size_t r = 0; r < terms; ++r) chosen[r] = basis[columns[r]];
    for (size_t r = 0; r < terms; ++r) {
      const double weighted = window[i] * chosen[r];
      rhs[r] += weighted * double(x[i]);
      for (size_t c = r; c < terms; ++c) normal[r * terms + c] += weighted * chosen[c];
    }
  }
  for (size_t r = 0; r < terms; ++r)
    for (size_t c = 0; c < r; ++c) normal[r * terms + c] = normal[c * terms + r];
  return solveLinear(std::move(normal), std::move(rhs));
}

// Where each harmonic lies, in cycles per sample, and which share a line: closer
// than sameLine (one bin of the measured stretch) to DC, or to a lower harmonic's
// line, the fit could not tell them apart.
std::vector<HarmonicLine> placeHarmonics(double f, int count, int sampleRate, double sameLine) {
  std::vector<HarmonicLine> lines;
  std::vector<double> at;  // folded frequency, cycles per sample
  for (int n = 1; n <= count; ++n) {
    const double cycles = double(n) * f;
    double folded = cycles - std::floor(cycles);
    if (folded > 0.5) folded = 1.0 - folded;
    HarmonicLine line;
    line.frequency = cycles * sampleRate;
    line.folded = folded * sampleRate;
    line.aboveNyquist = cycles > 0.5;
    line.atNyquist = 0.5 - folded < sameLine;
    if (folded < sameLine) line.sharedWith = kSharedWithDc;
    for (int m = 1; m < n && line.sharedWith == 0; ++m)
      if (lines[size_t(m - 1)].sharedWith == 0 && std::fabs(folded - at[size_t(m - 1)]) < sameLine)
        line.sharedWith = m;
    lines.push_back(line);
    at.push_back(folded);
  }
  return lines;
}

// window[i] = a0 - a1 cos(x) + a2 cos(2x) - ..., x = 2 pi i / count: periodic, as
// a window over a stretch of a longer signal should be.
std::vector<double> cosineSum(size_t count, std::initializer_list<double> terms) {
  std::vector<double> window(count, 0.0);
  const double step = 2.0 * kPi / double(count);
  for (size_t i = 0; i < count; ++i) {
    double sign = 1.0, k = 0.0;
    for (double a : terms) {
      window[i] += sign * a * std::cos(k * step * double(i));
      sign = -sign;
      k += 1.0;
    }
  }
  return window;
}

}  // namespace

SineEstimate estimateSine(const std::vector<float>& samples, int sampleRate) {
  SineEstimate estimate;
  const SampleRange range = steadyRange(samples.size(), sampleRate, 0);
  estimate.verdict = "too short to analyse";
  if (range.size() < kMinSegment) return estimate;
  const float* x = samples.data() + range.begin;
  const WindowedSegment segment(x, blackmanHarris(range.size()));
  const double offset = segment.mean();
  const double coarse = zeroCrossingFrequency(x, range.size(), offset);
  estimate.verdict = "no periodic signal found";
  if (coarse <= 0.0 || coarse >= 0.5) return estimate;
  const double f = refineFrequency(segment, coarse, range.size());
  const auto sine = segment.fit(f);
  estimate.frequency = f * sampleRate;
  estimate.amplitude = std::hypot(sine.first, sine.second);
  estimate.residualDb = residualDb(x, range.size(), f, sine, offset);
  if (estimate.amplitude <= kMinSineAmplitude)
    estimate.verdict = "silent";
  else if (f * double(range.size()) < kMinCycles)
    estimate.verdict = strprintf("fewer than %.0f cycles to analyse", kMinCycles);
  else if (estimate.residualDb >= kSineResidualLimitDb)
    estimate.verdict =
        strprintf("%.1f dB left after removing %.3f Hz", estimate.residualDb, estimate.frequency);
  else
    estimate.verdict.clear();
  estimate.isSine = estimate.verdict.empty();
  return estimate;
}

HarmonicLevels measureHarmonics(const std::vector<float>& samples, int sampleRate,
                                double fundamental, int count, size_t delay) {
  HarmonicLevels levels;
  const SampleRange range = steadyRange(samples.size(), sampleRate, delay);
  if (range.size() < kMinSegment) return levels;
  const double f = fundamental / sampleRate;
  levels.lines = placeHarmonics(f, count, sampleRate, 1.0 / double(range.size()));
  std::vector<size_t> columns = {0};
  for (int n = 1; n <= count; ++n) {
    const HarmonicLine& line = levels.lines[size_t(n - 1)];
    if (line.sharedWith != 0) continue;
    columns.push_back(size_t(2 * n - 1));
    if (!line.atNyquist) columns.push_back(size_t(2 * n));
  }
  const std::vector<double> fit =
      fitColumns(samples.data() + range.begin, blackmanHarris(range.size()), f, count, columns);
  levels.dc = fit[0];
  levels.amplitudes.assign(size_t(count), 0.0);
  for (size_t term = 1; term < columns.size(); ++term) {
    if (columns[term] % 2 == 0) continue;  // a sine, taken with its cosine
    const bool withSine = term + 1 < columns.size() && columns[term + 1] == columns[term] + 1;
    levels.amplitudes[(columns[term] - 1) / 2] =
        std::hypot(fit[term], withSine ? fit[term + 1] : 0.0);
  }
  for (int n = 1; n <= count; ++n) {
    const int shared = levels.lines[size_t(n - 1)].sharedWith;
    if (shared == kSharedWithDc)
      levels.amplitudes[size_t(n - 1)] = std::fabs(levels.dc);
    else if (shared > 0)
      levels.amplitudes[size_t(n - 1)] = levels.amplitudes[size_t(shared - 1)];
  }
  return levels;
}

LevelSummary summarizeLevels(const std::vector<float>& samples) {
  LevelSummary summary;
  double sum = 0.0, squares = 0.0;
  for (float s : samples) {
    summary.peak = std::max(summary.peak, std::fabs(double(s)));
    sum += s;
    squares += double(s) * double(s);
  }
  if (!samples.empty()) {
    summary.dc = sum / double(samples.size());
    summary.rms = std::sqrt(squares / double(samples.size()));
  }
  return summary;
}

double toDb(double linear) {
  return 20.0 * std::log10(std::fabs(linear));
}

std::string dbText(double linear) {
  const double db = toDb(linear);
  return strprintf("%.2f", std::fabs(db) < 0.005 ? 0.0 : db);
}

SampleRange steadyRange(size_t frames, int sampleRate, size_t delay) {
  const size_t skip = std::max(size_t(sampleRate) / 100, frames / 20);
  SampleRange range{std::min(frames, skip + delay), frames > skip ? frames - skip : 0};
  if (range.end < range.begin) range.end = range.begin;
  return range;
}

std::vector<double> blackmanHarris(size_t count) {
  return cosineSum(count, {0.35875, 0.48829, 0.14128, 0.01168});
}

std::vector<double> blackmanHarris7(size_t count) {
  return cosineSum(count, {0.27105140069342, 0.43329793923448, 0.21812299954311, 0.06592544638803,
                           0.01081174209837, 0.00077658482522, 0.00001388721735});
}
