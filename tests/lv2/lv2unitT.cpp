// The LV2 processor through its descriptor against the VST effect in the same
// process, bit for bit, and the interface's stand-in effect against a recording host.

#include <doctest/doctest.h>

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

  const LV2_Descriptor* descriptor;
  LV2_Handle handle;
  float controls[kPortHarmonicCount] = {0, -60, -60, -60, -60, -60};
  float enabled = 1.0f;
};

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

}  // namespace

TEST_CASE("the processor gives the VST effect's bits for the same normalised values") {
  REQUIRE(lv2_descriptor(0));
  CHECK(std::strcmp(lv2_descriptor(0)->URI, TESSARINE_LV2_URI) == 0);
  CHECK(lv2_descriptor(1) == nullptr);

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
  lv2.descriptor->activate ? lv2.descriptor->activate(lv2.handle) : void();

  for (int round = 0; round < 20; round++) {
    CAPTURE(round);
    for (uint32_t i = 0; i < kPortHarmonicCount; i++) {
      lv2.controls[i] = round == 0 ? 0.0f : level(random);
      record->setParameter(record, (VstInt32)i, (lv2.controls[i] + 60.0f) / 60.0f);
    }
    lv2.enabled = round % 5 == 4 ? 0.0f : 1.0f;
    record->dispatcher(record, effSetBypass, 0, round % 5 == 4, nullptr, 0.0f);
    const uint32_t length = (uint32_t)(round * 47 % frames);
    lv2.run(length);
    float* inputs[2] = {in1.data(), in2.data()};
    float* outputs[2] = {vstOut1.data(), vstOut2.data()};
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
  // Off: the input itself, also in place.
  lv2.enabled = 0.0f;
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
};

}  // namespace

TEST_CASE("the interface's stand-in turns automation into port writes and port events into values") {
  RecordingHost host;
  LV2UI_Touch touch = {&host, RecordingHost::touch};
  lv2uieffect::HostLink link;
  link.write = RecordingHost::write;
  link.controller = &host;
  link.touch = &touch;
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
