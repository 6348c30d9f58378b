// Measures what the HQ chain promises, on the processor itself: the aliasing left
// by every oversampling factor at 44.1 and 48 kHz, the pass band, the DC left after
// the high-pass, the peaks behind the clamp and the latency against the one
// reported. Prints tables; nothing here is timed.
//
//   build/release/bench/hqquality [alias|passband|dc|limit|latency]...   (default: all)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "harmonics.h"
#include "spectrum.h"
#include "tessarineprocessor.h"

namespace {

constexpr int kFactors[] = {1, 2, 4, 8};
constexpr double kRates[] = {44100.0, 48000.0};

struct Setting {
  int factor = 4;
  bool dcFilter = true;
  bool limit = false;
  float values[kShaperHarmonics] = {1, 1, 1, 1, 1, 1};  // normalised: 1 is 0 dB
};

// Runs `in` through a fresh processor in blocks of 512, as a host would.
std::vector<float> render(const std::vector<float>& in, double rate, const Setting& setting) {
  static tessarineprocessor processor;  // large: kept out of the stack
  processor = tessarineprocessor();
  processor.setSampleRate(rate);
  processor.setQuality(setting.factor, setting.dcFilter, setting.limit);
  processor.setValues(setting.values);
  processor.reset();
  std::vector<float> out(in.size());
  for (size_t at = 0; at < in.size(); at += 512) {
    const long n = (long)std::min<size_t>(512, in.size() - at);
    const float* inputs[2] = {in.data() + at, nullptr};
    float* outputs[2] = {out.data() + at, nullptr};
    processor.process(inputs, outputs, n, false, true);
  }
  return out;
}

long latencyOf(const Setting& setting) {
  static tessarineprocessor processor;
  processor.setQuality(setting.factor, setting.dcFilter, setting.limit);
  return processor.getLatency();
}

std::vector<float> sine(size_t frames, double frequency, double rate, double amplitude) {
  std::vector<float> wave(frames);
  for (size_t i = 0; i < frames; i++)
    wave[i] = (float)(amplitude * std::sin(2.0 * M_PI * frequency * (double)i / rate));
  return wave;
}

double db(double linear) {
  return 20.0 * std::log10(std::max(linear, 1e-30));
}

// Every line between 20 Hz and 20 kHz that is not a harmonic, for sines at -1 dBFS
// from 1 to 20 kHz with all six harmonics at 0 dB and the clamp off: the worst one
// per factor and rate, and where.
void alias() {
  std::printf("Aliasing: strongest non-harmonic line 20 Hz - 20 kHz, sines 1-20 kHz at -1 dBFS,\n"
              "all six harmonics at 0 dB, limit off, DC filter on (dBc, at input frequency)\n");
  std::printf("%8s", "factor");
  for (double rate : kRates) std::printf("  %28.1f kHz", rate / 1000.0);
  std::printf("\n");
  for (int factor : kFactors) {
    std::printf("%7dx", factor);
    for (double rate : kRates) {
      Setting setting;
      setting.factor = factor;
      const size_t settle = (size_t)rate;  // one second for the DC filter
      double worst = -400.0, worstInput = 0.0, worstLine = 0.0;
      for (int k = 1; k <= 20; k++) {
        const double f = 1000.0 * k;
        const std::vector<float> out = render(sine(settle + 80000, f, rate, std::pow(10.0, -1.0 / 20.0)), rate, setting);
        const std::vector<float> steady(out.begin() + (long)settle, out.end());
        const HarmonicLevels levels = measureHarmonics(steady, (int)rate, f, 1, 0);
        const SpectralLine line = strongestOtherLine(steady, (int)rate, 0, f, 20.0, 20000.0);
        const double dbc = db(line.amplitude / levels.amplitudes.at(0));
        if (dbc > worst) worst = dbc, worstInput = f, worstLine = line.frequency;
      }
      std::printf("  %7.1f dBc (%5.0f Hz at %5.0f Hz)", worst, worstLine, worstInput);
    }
    std::printf("\n");
  }
}

// With only the 1st harmonic up, the level of the fundamental at -20 dBFS against
// the plain curve (factor 1, no filter), from 20 Hz to 20 kHz.
void passband() {
  std::printf("\nPass band: fundamental against the plain curve, 1st harmonic only, -20 dBFS in (dB)\n");
  const double frequencies[] = {10, 20, 50, 100, 1000, 5000, 10000, 15000, 18000, 19000, 20000};
  for (double rate : kRates) {
    std::printf("%.1f kHz\n%10s", rate / 1000.0, "Hz");
    for (double f : frequencies) std::printf(" %8.0f", f);
    std::printf("\n");
    Setting plain;
    plain.factor = 1, plain.dcFilter = false;
    for (float& v : plain.values) v = 0.0f;
    plain.values[0] = 1.0f;
    for (int factor : kFactors) {
      std::printf("%9dx", factor);
      double lo = 0.0, hi = 0.0;
      for (double f : frequencies) {
        Setting setting = plain;
        setting.factor = factor, setting.dcFilter = true;
        const size_t frames = (size_t)(rate * 2.5);
        const std::vector<float> in = sine(frames, f, rate, 0.1);
        const std::vector<float> a = render(in, rate, setting), b = render(in, rate, plain);
        const size_t skip = (size_t)rate;  // the high-pass settled
        const std::vector<float> ta(a.begin() + (long)skip, a.end()), tb(b.begin() + (long)skip, b.end());
        const double gain = db(measureHarmonics(ta, (int)rate, f, 1, 0).amplitudes.at(0) /
                               measureHarmonics(tb, (int)rate, f, 1, 0).amplitudes.at(0));
        std::printf(" %8.3f", gain);
        if (f >= 20) lo = std::min(lo, gain), hi = std::max(hi, gain);
      }
      std::printf("   (20 Hz - 20 kHz: %+.3f .. %+.3f)\n", lo, hi);
    }
  }
  std::printf("DC filter: second-order Butterworth, -3 dB at %.1f Hz\n", tessarinedcfilter::kCutoffHz);
}

// The largest mean of 100 ms (sliding by 10 ms) from 0.5 s after the start of a
// steady sine, and from 0.5 s after a 0.3 s burst ends; 2nd and 4th harmonic at 0 dB.
void dc() {
  std::printf("\nDC: largest mean of any 100 ms, 2nd and 4th at 0 dB, others -60 dB (dBFS)\n");
  std::printf("%8s %18s %18s %18s\n", "factor", "silence", "steady -6 dBFS", "after burst");
  const double rate = 48000.0;
  Setting setting;
  for (float& v : setting.values) v = 0.0f;
  setting.values[1] = setting.values[3] = 1.0f;
  const size_t frames = (size_t)(rate * 2.0), window = (size_t)(rate * 0.1), half = (size_t)(rate * 0.5);
  const auto worstMean = [&](const std::vector<float>& out, size_t from) {
    double worst = 0.0;
    for (size_t at = from; at + window <= out.size(); at += window / 10) {
      double sum = 0.0;
      for (size_t i = at; i < at + window; i++) sum += out[i];
      worst = std::max(worst, std::fabs(sum / (double)window));
    }
    return db(worst);
  };
  for (int factor : kFactors) {
    setting.factor = factor;
    const std::vector<float> silence(frames, 0.0f);
    const std::vector<float> steady = sine(frames, 1000.0, rate, 0.5);
    std::vector<float> burst = steady;
    const size_t burstEnd = (size_t)(rate * 0.3);
    std::fill(burst.begin() + (long)burstEnd, burst.end(), 0.0f);
    std::printf("%7dx %14.1f dB %14.1f dB %14.1f dB\n", factor, worstMean(render(silence, rate, setting), half),
                worstMean(render(steady, rate, setting), half),
                worstMean(render(burst, rate, setting), burstEnd + half));
  }
}

// Peaks of the output for input peaks of +3.5 dBFS with the clamp on, over harmonic
// settings, frequencies, factors and the DC filter on and off.
void limit() {
  std::printf("\nLimit: largest output peak for sines peaking at +3.5 dBFS, limit on (dBFS)\n");
  const double rate = 48000.0, frequencies[] = {50, 1000, 5000, 12000, 19000};
  for (bool dcFilter : {false, true}) {
    std::printf("DC filter %s:", dcFilter ? "on " : "off");
    for (int factor : kFactors) {
      double worst = -400.0;
      for (int pattern = 0; pattern < 64 + 6; pattern++) {
        Setting setting;
        setting.factor = factor, setting.dcFilter = dcFilter, setting.limit = true;
        for (int i = 0; i < kShaperHarmonics; i++)
          setting.values[i] = pattern < 64 ? ((pattern >> i) & 1 ? 1.0f : 0.0f) : (i == pattern - 64 ? 1.0f : 0.0f);
        for (double f : frequencies) {
          const std::vector<float> out = render(sine((size_t)rate, f, rate, std::pow(10.0, 3.5 / 20.0)), rate, setting);
          for (size_t i = (size_t)(rate * 0.5); i < out.size(); i++) worst = std::max(worst, db(std::fabs(out[i])));
        }
      }
      std::printf("  %dx %+.2f", factor, worst);
    }
    std::printf("\n");
  }
}

// The peak of a small impulse's response, which a linear-phase chain puts exactly
// at its delay, against the latency the processor reports.
void latency() {
  std::printf("\nLatency: reported and measured (impulse peak), frames\n");
  for (double rate : kRates) {
    for (int factor : kFactors) {
      Setting setting;
      setting.factor = factor, setting.dcFilter = false;
      for (float& v : setting.values) v = 0.0f;
      setting.values[0] = 1.0f;
      std::vector<float> in(4096, 0.0f);
      in[1000] = 0.01f;
      const std::vector<float> out = render(in, rate, setting);
      const long peak = (long)(std::max_element(out.begin(), out.end(), [](float a, float b) {
                                 return std::fabs(a) < std::fabs(b);
                               }) - out.begin()) - 1000;
      std::printf("  %.1f kHz %dx: reported %ld, measured %ld\n", rate / 1000.0, factor, latencyOf(setting), peak);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all = {"alias", "passband", "dc", "limit", "latency"};
  std::vector<std::string> chosen(argv + 1, argv + argc);
  if (chosen.empty()) chosen = all;
  for (const std::string& name : chosen) {
    if (name == "alias") alias();
    else if (name == "passband") passband();
    else if (name == "dc") dc();
    else if (name == "limit") limit();
    else if (name == "latency") latency();
    else {
      std::fprintf(stderr, "hqquality: unknown measurement '%s' (alias, passband, dc, limit, latency)\n", name.c_str());
      return 2;
    }
  }
  return 0;
}
