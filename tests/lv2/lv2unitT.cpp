// The LV2 processor through its descriptor against the VST effect in the same
// process, bit for bit, and the interface's stand-in effect against a recording host.

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "lv2ports.h"
#include "lv2uieffect.h"
#include "tessarine.h"
#include "tessarinelv2.h"

namespace {

VstIntPtr connectedHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;  // every pin connected: stereo
}

struct Lv2Processor {
  Lv2Processor() : descriptor(lv2_descriptor(0)), handle(descriptor->instantiate(descriptor, 48000.0, "", nullptr)) {
    REQUIRE(handle);
  }
  ~Lv2Processor() { descriptor->cleanup(handle); }
  void connect(uint32_t port, void* data) { descriptor->connect_port(handle, port, data); }
  void run(uint32_t frames) { descriptor->run(handle, frames); }
  void activate() {
    if (descriptor->activate) descriptor->activate(handle);
  }

  const LV2_Descriptor* descriptor;
  LV2_Handle handle;
  float controls[kPortHarmonicCount] = {0, -60, -60, -60, -60, -60};
  float enabled = 1.0f;
};

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// A sine of `frequency` Hz at 48 kHz.
std::vector<float> sine(long frames, float amplitude, double frequency = 1000.0) {
  std::vector<float> wave((size_t)frames);
  for (long i = 0; i < frames; i++)
    wave[(size_t)i] = amplitude * (float)std::sin(2.0 * M_PI * frequency * (double)i / 48000.0);
  return wave;
}

// A processor with its controls connected, the 2nd and 3rd harmonics up, and its
// audio ports on the given buffers.
struct ShapingProcessor : Lv2Processor {
  ShapingProcessor() {
    controls[1] = 0.0f;
    controls[2] = -6.0f;
    for (uint32_t i = 0; i < kPortHarmonicCount; i++) connect(i, &controls[i]);
    connect(kPortEnabled, &enabled);
    activate();
  }
  void audio(float* in1, float* in2, float* out1, float* out2) {
    connect(kPortInput1, in1);
    connect(kPortInput2, in2);
    connect(kPortOutput1, out1);
    connect(kPortOutput2, out2);
  }
  // Each input through its own buffers: what every way of sharing them must give.
  std::vector<float> shaped(std::vector<float> in) {
    std::vector<float> other(in.size()), out(in.size()), spare(in.size());
    audio(in.data(), other.data(), out.data(), spare.data());
    run((uint32_t)in.size());
    return out;
  }
};

float largestStep(const std::vector<float>& signal) {
  float step = 0.0f;
  for (size_t i = 1; i < signal.size(); i++) step = std::max(step, std::fabs(signal[i] - signal[i - 1]));
  return step;
}

}  // namespace

TEST_CASE("every output is the shaping of its own input, whatever buffers the host shares") {
  const long frames = 700;  // longer than the processor's scratch space
  const std::vector<float> a = sine(frames, 0.9f), b = sine(frames, 0.7f, 300.0);
  // {in_1, in_2, out_1, out_2} on buffers 0 (holding a), 1 (holding b) and 2 (spare).
  const int patterns[][4] = {{0, 1, 1, 2}, {0, 1, 2, 0}, {0, 1, 1, 0}, {0, 0, 0, 0}};
  for (const float enabled : {1.0f, 0.0f}) {
    ShapingProcessor reference;
    const std::vector<float> expected[2] = {enabled > 0 ? reference.shaped(a) : a,
                                            enabled > 0 ? reference.shaped(b) : b};
    for (const auto& pattern : patterns) {
      CAPTURE(enabled);
      CAPTURE(pattern[2] * 10 + pattern[3]);
      std::vector<float> buffers[3] = {a, b, std::vector<float>((size_t)frames)};
      ShapingProcessor lv2;
      lv2.enabled = enabled;
      lv2.activate();
      lv2.audio(buffers[pattern[0]].data(), buffers[pattern[1]].data(), buffers[pattern[2]].data(),
                buffers[pattern[3]].data());
      lv2.run((uint32_t)frames);
      const bool oneInput = pattern[0] == pattern[1];  // then both outputs are a's
      CHECK(sameBits(buffers[pattern[3]], expected[oneInput ? 0 : 1]));
      if (pattern[2] != pattern[3]) CHECK(sameBits(buffers[pattern[2]], expected[0]));
    }
  }
}

TEST_CASE("enabled processes above zero and bypasses at zero and below, as lv2core says") {
  const std::vector<float> in = sine(64, 0.8f);
  ShapingProcessor lv2;
  const std::vector<float> shaped = lv2.shaped(in);
  for (const float enabled : {1.0f, 0.25f, 1e-30f, 7.0f, 0.0f, -0.0f, -1.0f, NAN}) {
    CAPTURE(enabled);
    const bool before = lv2.enabled > 0;
    lv2.enabled = enabled;
    lv2.activate();  // no crossfade: the state at once
    const bool processes = std::isnan(enabled) ? before : enabled > 0;
    CHECK(sameBits(lv2.shaped(in), processes ? shaped : in));
  }
}

TEST_CASE("switching enabled crossfades, without a click, to exactly the other state") {
  const long frames = 48000, toggle = 4800;  // every 100 ms
  const std::vector<float> in = sine(frames, 0.5f);
  ShapingProcessor lv2;
  const std::vector<float> shaped = lv2.shaped(in);
  std::vector<float> out((size_t)frames), spare((size_t)frames);
  std::vector<float> input = in;
  lv2.audio(input.data(), nullptr, out.data(), nullptr);
  for (long at = 0; at < frames; at += 64) {
    lv2.enabled = (at / toggle) % 2 == 0 ? 1.0f : 0.0f;
    lv2.connect(kPortInput1, input.data() + at);
    lv2.connect(kPortOutput1, out.data() + at);
    lv2.run(64);
  }
  CHECK(largestStep(out) <= 1.05f * std::max(largestStep(in), largestStep(shaped)));
  // 10 ms after each switch the output is the other state's, bit for bit.
  for (long at = toggle; at < frames; at += toggle) {
    CAPTURE(at);
    const std::vector<float>& steady = (at / toggle) % 2 == 0 ? shaped : in;
    const size_t settled = (size_t)(at + 480), end = (size_t)(at + toggle);
    CHECK(std::memcmp(out.data() + settled, steady.data() + settled, (end - settled) * sizeof(float)) == 0);
    CHECK(out[(size_t)at + 240] != steady[(size_t)at + 240]);
  }
}

TEST_CASE("levels far below -60 dB give the curve they tend to, in both formats") {
  const long frames = 256;
  std::vector<float> in((size_t)frames);
  for (long i = 0; i < frames; i++) in[(size_t)i] = -1.0f + 2.0f * (float)i / (float)(frames - 1);
  ShapingProcessor lv2;
  for (float& control : lv2.controls) control = -800.0f;
  const std::vector<float> out = lv2.shaped(in);

  tessarine effect(connectedHost);
  AEffect* record = effect.getAeffect();
  record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
  for (VstInt32 i = 0; i < kNumParams; i++) record->setParameter(record, i, normalisedFromDb(-800.0f));
  std::vector<float> vstOut((size_t)frames), other((size_t)frames);
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {vstOut.data(), other.data()};
  record->processReplacing(record, inputs, outputs, (VstInt32)frames);
  CHECK(sameBits(out, vstOut));
  double error = 0.0;  // against (T1 + T2 + T3 + T4 + T5 + T7) / 6
  for (long i = 0; i < frames; i++) {
    const double t = std::acos(std::clamp((double)in[(size_t)i], -1.0, 1.0));
    double sum = 0.0;
    for (int n : {1, 2, 3, 4, 5, 7}) sum += std::cos(n * t);
    error = std::fmax(error, std::fabs(out[(size_t)i] - sum / 6.0));  // NaN: fmax keeps error
    REQUIRE(std::isfinite(out[(size_t)i]));
  }
  CHECK(error < 1e-5);
}

TEST_CASE("the processor gives the VST effect's bits for the same normalised values") {
  REQUIRE(lv2_descriptor(0));
  CHECK(std::strcmp(lv2_descriptor(0)->URI, TESSARINE_LV2_URI) == 0);
  REQUIRE(lv2_descriptor(1));
  CHECK(std::strcmp(lv2_descriptor(1)->URI, TESSARINE_LV2_HQ_URI) == 0);
  CHECK(lv2_descriptor(2) == nullptr);

  std::mt19937 random(11);
  std::uniform_real_distribution<float> sample(-1.5f, 1.5f);
  std::uniform_real_distribution<float> level(-60.0f, 0.0f);
  const long frames = 1000;
  std::vector<float> in1(frames), in2(frames);
  for (long i = 0; i < frames; i++) in1[(size_t)i] = sample(random), in2[(size_t)i] = sample(random);

  tessarine effect(connectedHost);
  AEffect* record = effect.getAeffect();
  record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
  Lv2Processor lv2;
  std::vector<float> lv2Out1(frames), lv2Out2(frames), vstOut1(frames), vstOut2(frames);
  for (uint32_t i = 0; i < kPortHarmonicCount; i++) lv2.connect(i, &lv2.controls[i]);
  lv2.connect(kPortEnabled, &lv2.enabled);
  lv2.connect(kPortInput1, in1.data());
  lv2.connect(kPortInput2, in2.data());
  lv2.connect(kPortOutput1, lv2Out1.data());
  lv2.connect(kPortOutput2, lv2Out2.data());
  lv2.activate();

  for (int round = 0; round < 20; round++) {
    CAPTURE(round);
    for (uint32_t i = 0; i < kPortHarmonicCount; i++) {
      lv2.controls[i] = round == 0 ? 0.0f : level(random);
      record->setParameter(record, (VstInt32)i, (lv2.controls[i] + 60.0f) / 60.0f);
    }
    const float enabled = round % 5 == 4 ? 0.0f : 1.0f;
    record->dispatcher(record, effSetBypass, 0, round % 5 == 4, nullptr, 0.0f);
    float* inputs[2] = {in1.data(), in2.data()};
    float* outputs[2] = {vstOut1.data(), vstOut2.data()};
    if (enabled != lv2.enabled) {
      lv2.enabled = enabled;
      lv2.run((uint32_t)frames);  // the LV2 crossfade; the VST bypass switches at once
      vstOut1 = lv2Out1, vstOut2 = lv2Out2;
    }
    const uint32_t length = (uint32_t)(round * 47 % frames);
    lv2.run(length);
    record->processReplacing(record, inputs, outputs, (VstInt32)length);
    CHECK(sameBits(lv2Out1, vstOut1));
    CHECK(sameBits(lv2Out2, vstOut2));
  }
}

TEST_CASE("the processor keeps its values through non-finite ports and survives missing buffers") {
  Lv2Processor lv2;
  lv2.run(0);
  lv2.run(64);  // nothing connected: nothing read or written
  std::vector<float> audio = {0.5f, -0.25f, 1.0f, 0.0f};
  std::vector<float> first = audio, shaped(4);
  for (uint32_t i = 0; i < kPortHarmonicCount; i++) lv2.connect(i, &lv2.controls[i]);
  lv2.controls[1] = -6.0f;
  lv2.connect(kPortInput1, audio.data());
  lv2.connect(kPortOutput1, shaped.data());
  lv2.run(4);
  const std::vector<float> reference = shaped;
  CHECK_FALSE(sameBits(reference, audio));

  for (float bad : {NAN, INFINITY, -INFINITY}) {
    for (float& control : lv2.controls) control = bad;
    lv2.enabled = bad;
    lv2.connect(kPortEnabled, &lv2.enabled);
    std::fill(shaped.begin(), shaped.end(), 9.0f);
    lv2.run(4);
    CHECK(sameBits(shaped, reference));
  }
  // Off: the input itself, also in place (at once after an activation).
  lv2.enabled = 0.0f;
  lv2.activate();
  lv2.run(4);
  CHECK(sameBits(shaped, audio));
  lv2.connect(kPortOutput1, audio.data());
  lv2.run(4);
  CHECK(sameBits(audio, first));
}

namespace {

struct RecordingHost {
  struct Write {
    uint32_t port;
    float value;
  };
  std::vector<Write> writes;
  std::vector<std::pair<uint32_t, bool>> touches;

  static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t format,
                    const void* buffer) {
    REQUIRE(size == sizeof(float));
    REQUIRE(format == 0);
    static_cast<RecordingHost*>(controller)->writes.push_back({port, *static_cast<const float*>(buffer)});
  }
  static void touch(LV2UI_Feature_Handle handle, uint32_t port, bool grabbed) {
    static_cast<RecordingHost*>(handle)->touches.emplace_back(port, grabbed);
  }

  // The stand-in's link to this host, with touch.
  lv2uieffect::HostLink link() {
    lv2uieffect::HostLink to;
    to.write = write;
    to.controller = this;
    to.touch = &touchFeature;
    return to;
  }
  LV2UI_Touch touchFeature = {this, touch};
};

}  // namespace

TEST_CASE("the interface's stand-in turns automation into port writes and port events into values") {
  RecordingHost host;
  const lv2uieffect::HostLink link = host.link();
  lv2uieffect effect(link);
  REQUIRE(effect.getTessarineEditor());
  CHECK(effect.getParameter(0) == 1.0f);
  CHECK(effect.getParameter(1) == 0.0f);

  // A knob drag: touch, writes in dB, release.
  CHECK(effect.beginEdit(1));
  effect.setParameterAutomated(1, 0.5f);
  effect.setParameterAutomated(1, 0.75f);
  CHECK(effect.endEdit(1));
  REQUIRE(host.writes.size() == 2);
  CHECK(host.writes[0].port == 1);
  CHECK(host.writes[0].value == -30.0f);
  CHECK(host.writes[1].value == -15.0f);
  REQUIRE(host.touches.size() == 2);
  CHECK(host.touches[0] == std::make_pair(1u, true));
  CHECK(host.touches[1] == std::make_pair(1u, false));
  CHECK(effect.getParameter(1) == 0.75f);

  // The colour button's and labels' tags are no ports.
  CHECK_FALSE(effect.beginEdit(-8888));
  effect.setParameterAutomated(-99, 0.5f);
  effect.setParameterAutomated(6, 0.5f);
  CHECK(host.writes.size() == 2);

  // Port events in dB; the enabled port and non-finite values change nothing.
  effect.portEvent(5, -12.0f);
  CHECK(effect.getParameter(5) == (-12.0f + 60.0f) / 60.0f);
  effect.portEvent(5, NAN);
  effect.portEvent(kPortEnabled, 0.0f);
  CHECK(effect.getParameter(5) == (-12.0f + 60.0f) / 60.0f);
  CHECK(host.writes.size() == 2);
}

TEST_CASE("the HQ stand-in writes its settings in their ports' units and follows the host's") {
  RecordingHost host;
  const lv2uieffect::HostLink link = host.link();
  lv2uieffect effect(link, true);
  REQUIRE(effect.getTessarineEditor());
  CHECK(effect.getParameter(6) == 2.0f / 3.0f);

  CHECK(effect.beginEdit(6));
  effect.setParameterAutomated(6, 1.0f);
  CHECK(effect.endEdit(6));
  effect.setParameterAutomated(7, 0.0f);
  effect.setParameterAutomated(8, 1.0f);
  REQUIRE(host.writes.size() == 3);
  CHECK((host.writes[0].port == kHqPortOversampling && host.writes[0].value == 8.0f));
  CHECK((host.writes[1].port == kHqPortDcFilter && host.writes[1].value == 0.0f));
  CHECK((host.writes[2].port == kHqPortLimit && host.writes[2].value == 1.0f));
  CHECK(host.touches.front() == std::make_pair((uint32_t)kHqPortOversampling, true));

  // The host's values: the nearest factor, toggles above zero, the latency port ignored.
  effect.portEvent(kHqPortOversampling, 2.2f);
  CHECK(effect.getParameter(6) == 1.0f / 3.0f);
  effect.portEvent(kHqPortLimit, 0.0f);
  effect.portEvent(kHqPortDcFilter, 0.25f);
  effect.portEvent(kHqPortLatency, 99.0f);
  CHECK(effect.getParameter(8) == 0.0f);
  CHECK(effect.getParameter(7) == 1.0f);
  // The described stand-in has no such ports.
  lv2uieffect described(link);
  described.portEvent(kHqPortOversampling, 1.0f);
  described.setParameterAutomated(6, 1.0f);
  CHECK(host.writes.size() == 3);
}
