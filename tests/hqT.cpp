// "+tessarine HQ" in both formats: what a host sees, the latency it reports against
// the delay it has, the described plug-in's bits at 1x without filter and clamp, the
// bypass, fresh starts, non-finite input, denormal tails, and the physics the chain
// is for (pass band, DC, peaks) with margins.

#include <doctest/doctest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "hostrecorder.h"
#include "lv2ports.h"
#include "oversampler.h"
#include "tessarinehq.h"
#include "tessarinelv2.h"

namespace {

using Signal = std::vector<float>;

Signal sine(size_t frames, double frequency, double rate, double amplitude) {
  Signal wave(frames);
  for (size_t i = 0; i < frames; i++)
    wave[i] = (float)(amplitude * std::sin(2.0 * M_PI * frequency * (double)i / rate));
  return wave;
}

Signal noise(size_t frames, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> sample(-1.2f, 1.2f);
  Signal out(frames);
  for (float& x : out) x = sample(random);
  return out;
}

bool sameBits(const Signal& a, const Signal& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

const auto factorValue = tessarinehq::valueOf;

// An effect as a host drives it: resumed (stereo), fed blocks of a given length, both
// channels the same input; channel 1's output.
template <class Effect>
struct Hosted {
  HostRecorder host;
  Effect effect{HostRecorder::callback};
  AEffect* e = effect.getAeffect();

  explicit Hosted(double rate = 48000.0) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, (float)rate);
    resume();
  }
  void resume() { e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f); }
  void set(VstInt32 index, float value) { e->setParameter(e, index, value); }
  void setHarmonics(std::initializer_list<float> values) {
    VstInt32 index = 0;
    for (float v : values) set(index++, v);
  }
  Signal run(const Signal& in, size_t block = 512) {
    Signal out(in.size()), other(in.size());
    for (size_t at = 0; at < in.size(); at += block) {
      const size_t n = std::min(block, in.size() - at);
      float* inputs[2] = {const_cast<float*>(in.data()) + at, const_cast<float*>(in.data()) + at};
      float* outputs[2] = {out.data() + at, other.data() + at};
      e->processReplacing(e, inputs, outputs, (VstInt32)n);
    }
    return out;
  }
};

using Hq = Hosted<tessarinehq>;

// The HQ LV2 plug-in with every port connected.
struct HqLv2 {
  const LV2_Descriptor* descriptor = lv2_descriptor(1);
  LV2_Handle handle;
  float ports[kHqPortCount] = {0, -60, -60, -60, -60, -60, 1, 4, 1, 1};

  explicit HqLv2(double rate = 48000.0) : handle(descriptor->instantiate(descriptor, rate, "", nullptr)) {
    REQUIRE(handle);
    for (uint32_t port = 0; port <= kHqPortLimit; port++) descriptor->connect_port(handle, port, &ports[port]);
    descriptor->connect_port(handle, kHqPortLatency, &ports[kHqPortLatency]);
    descriptor->activate(handle);
  }
  ~HqLv2() { descriptor->cleanup(handle); }
  Signal run(const Signal& in) {
    Signal input = in, out(in.size());
    descriptor->connect_port(handle, kHqPortInput1, input.data());
    descriptor->connect_port(handle, kHqPortOutput1, out.data());
    for (uint32_t port : {kHqPortInput2, kHqPortOutput2}) descriptor->connect_port(handle, port, nullptr);
    descriptor->run(handle, (uint32_t)in.size());
    return out;
  }
};

long peakIndex(const Signal& signal) {
  return (long)(std::max_element(signal.begin(), signal.end(),
                                 [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
                signal.begin());
}

// The amplitude of `frequency` in the signal from `from` on, over whole periods.
double amplitudeAt(const Signal& signal, size_t from, double frequency, double rate) {
  double re = 0.0, im = 0.0;
  for (size_t i = from; i < signal.size(); i++) {
    const double phase = 2.0 * M_PI * frequency * (double)i / rate;
    re += signal[i] * std::cos(phase);
    im += signal[i] * std::sin(phase);
  }
  return 2.0 * std::hypot(re, im) / (double)(signal.size() - from);
}

double db(double linear) {
  return 20.0 * std::log10(linear);
}

}  // namespace

TEST_CASE("the HQ effect shows its identity, its settings and the latency of the factor") {
  Hq hq;
  CHECK(hq.e->uniqueID == 0x2B747368);
  CHECK(hq.e->numParams == 9);
  CHECK(hq.e->numPrograms == 10);
  char text[256] = {};
  hq.e->dispatcher(hq.e, effGetProductString, 0, 0, text, 0.0f);
  CHECK(std::string(text) == "+tessarine HQ");
  const char* names[] = {"Oversamp", "DC filte", "Limit"};
  const char* displays[] = {"4x", "on", "on"};
  for (VstInt32 i = 0; i < 3; i++) {
    hq.e->dispatcher(hq.e, effGetParamName, 6 + i, 0, text, 0.0f);
    CHECK(std::string(text) == names[i]);
    hq.e->dispatcher(hq.e, effGetParamDisplay, 6 + i, 0, text, 0.0f);
    CHECK(std::string(text) == displays[i]);
  }
  CHECK(hq.e->initialDelay == tessarineoversampler::latencyOf(4));
  CHECK(hq.e->initialDelay > 0);

  // A new factor: the delay follows and the host hears of it once; the same factor
  // again changes nothing.
  hq.set(6, 0.0f);
  CHECK(hq.e->initialDelay == 0);
  hq.set(6, 0.1f);
  hq.set(6, NAN);
  hq.set(6, 1.0f);
  CHECK(hq.e->initialDelay == tessarineoversampler::latencyOf(8));
  CHECK(hq.host.callsOf(audioMasterIOChanged).size() == 2);
  hq.e->dispatcher(hq.e, effGetParamDisplay, 6, 0, text, 0.0f);
  CHECK(std::string(text) == "8x");
}

TEST_CASE("two threads setting the factor at once leave the delay of the factor that stays") {
  // A host that answers from any thread and records nothing.
  tessarinehq hq([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
    return opcode == audioMasterVersion ? 2400 : 0;
  });
  AEffect* e = hq.getAeffect();
  int wrong = 0;
  for (int trial = 0; trial < 2000; trial++) {
    std::atomic<int> ready{0};
    const auto setAtOnce = [&](float value) {
      ready.fetch_add(1);
      while (ready.load() < 2) {
      }
      e->setParameter(e, 6, value);
    };
    std::thread one(setAtOnce, 0.0f), other(setAtOnce, 1.0f);
    one.join();
    other.join();
    const int factor = tessarinehq::factorOf(hq.getParameter(6));
    wrong += e->initialDelay != tessarineoversampler::latencyOf(factor);
    e->setParameter(e, 6, factorValue(4));
  }
  CHECK(wrong == 0);
}

TEST_CASE("the latency reported is the delay, at every factor and rate, in both formats") {
  for (double rate : {44100.0, 48000.0}) {
    for (int factor : {1, 2, 4, 8}) {
      CAPTURE(rate);
      CAPTURE(factor);
      Hq hq(rate);
      hq.set(6, factorValue(factor));
      hq.set(7, 0.0f);
      Signal impulse(2000, 0.0f);
      impulse[300] = 0.01f;
      const Signal out = hq.run(impulse);
      CHECK(peakIndex(out) - 300 == hq.e->initialDelay);

      HqLv2 lv2(rate);
      lv2.ports[kHqPortOversampling] = (float)factor;
      lv2.ports[kHqPortDcFilter] = 0.0f;
      const Signal lv2Out = lv2.run(impulse);
      CHECK(lv2.ports[kHqPortLatency] == (float)hq.e->initialDelay);
      CHECK(sameBits(lv2Out, out));
    }
  }
}

TEST_CASE("at 1x without filter and clamp HQ is the described curve; bypassed, the input delayed") {
  const Signal in = noise(3000, 5);
  Hq hq;
  Hosted<tessarine> described;
  for (VstInt32 i = 6; i < 9; i++) hq.set(i, 0.0f);
  hq.setHarmonics({1.0f, 0.8f, 0.7f, 0.2f, 0.5f, 0.9f});
  described.setHarmonics({1.0f, 0.8f, 0.7f, 0.2f, 0.5f, 0.9f});
  CHECK(sameBits(hq.run(in, 300), described.run(in, 300)));

  hq.set(6, factorValue(4));
  hq.e->dispatcher(hq.e, effSetBypass, 0, 1, nullptr, 0.0f);
  const Signal out = hq.run(in);
  const size_t latency = (size_t)hq.e->initialDelay;
  CHECK(std::all_of(out.begin(), out.begin() + (long)latency, [](float x) { return x == 0.0f; }));
  CHECK(std::memcmp(out.data() + latency, in.data(), (in.size() - latency) * sizeof(float)) == 0);
}

TEST_CASE("blocks of any length give the same output; a new factor and resume start afresh") {
  const Signal in = noise(3000, 9);
  Hq whole;
  const Signal reference = whole.run(in, in.size());
  for (size_t block : {1, 7, 255, 256, 257, 1000}) {
    CAPTURE(block);
    Hq pieces;
    CHECK(sameBits(pieces.run(in, block), reference));
  }
  // Some signal through 8x, then 4x again: the same as a fresh instance at 4x.
  Hq changed;
  changed.set(6, 1.0f);
  changed.run(noise(1000, 3));
  changed.set(6, factorValue(4));
  CHECK(sameBits(changed.run(in), reference));
  changed.run(noise(1000, 4));
  changed.resume();
  CHECK(sameBits(changed.run(in), reference));
}

TEST_CASE("a non-finite sample spoils one block, not the channel; a tail leaves no denormals") {
  for (int factor : {1, 4}) {
    for (float bad : {NAN, INFINITY}) {
      CAPTURE(factor);
      Hq hq;
      hq.set(6, factorValue(factor));
      hq.set(8, 0.0f);  // no clamp: the value reaches every filter
      Signal poisoned = sine(512, 1000.0, 48000.0, 0.5);
      poisoned[100] = bad;
      hq.run(poisoned);
      const Signal after = hq.run(sine(4096, 1000.0, 48000.0, 0.5));
      CHECK(std::all_of(after.begin(), after.end(), [](float x) { return std::isfinite(x); }));
    }
  }
  // A loud note dying away exponentially, through every denormal number on its way.
  Signal tail = sine(24000, 440.0, 48000.0, 1.0);
  for (size_t i = 0; i < tail.size(); i++) tail[i] *= (float)std::exp(-(double)i / 200.0);
  for (int factor : {1, 2, 4, 8}) {
    CAPTURE(factor);
    Hq hq;
    hq.set(6, factorValue(factor));
    const Signal out = hq.run(tail);
    CHECK(std::none_of(out.begin(), out.end(), [](float x) { return std::fpclassify(x) == FP_SUBNORMAL; }));
  }
}

TEST_CASE("HQ keeps the pass band, takes away the offset and holds the peaks") {
  const double rate = 48000.0;
  // Only the 1st harmonic up, -20 dBFS: the fundamental as the plain curve gives it.
  Hosted<tessarine> plain;
  for (double f : {20.0, 1000.0, 20000.0}) {
    const Signal in = sine(96000, f, rate, 0.1);
    const double reference = amplitudeAt(plain.run(in), 48000, f, rate);
    for (int factor : {2, 4, 8}) {
      CAPTURE(f);
      CAPTURE(factor);
      Hq hq;
      hq.set(6, factorValue(factor));
      const double level = amplitudeAt(hq.run(in), 48000, f, rate);
      CHECK(std::fabs(db(level / reference)) < 0.1);
    }
  }
  // The 2nd and 4th at 0 dB leave -11 dBFS of offset on a -6 dBFS sine: half a
  // second on, no 100 ms of output is off zero by more than -100 dBFS.
  Hq even;
  even.setHarmonics({0.0f, 1.0f, 0.0f, 1.0f, 0.0f, 0.0f});
  const Signal steady = even.run(sine(96000, 1000.0, rate, 0.5));
  double worst = 0.0;
  for (size_t at = 24000; at + 4800 <= steady.size(); at += 480) {
    double sum = 0.0;
    for (size_t i = at; i < at + 4800; i++) sum += steady[i];
    worst = std::max(worst, std::fabs(sum / 4800.0));
  }
  CHECK(db(worst) < -100.0);
  // +3.5 dBFS in, every harmonic at 0 dB, every factor: below +1.5 dBFS out.
  for (int factor : {1, 2, 4, 8}) {
    CAPTURE(factor);
    Hq hot;
    hot.set(6, factorValue(factor));
    hot.setHarmonics({1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f});
    const Signal out = hot.run(sine(24000, 5000.0, rate, std::pow(10.0, 3.5 / 20.0)));
    CHECK(db(std::fabs(out[(size_t)peakIndex(out)])) < 1.5);
  }
}
