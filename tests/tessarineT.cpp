// The effect: identity, parameters, programs and the waveshaping arithmetic.

#include <doctest/doctest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hostedeffect.h"
#include "hostrecorder.h"
#include "tessarine.h"

namespace {

struct Fixture : HostedEffect {
  Fixture() { e = effect.getAeffect(); }
  HostRecorder host;
  tessarine effect{HostRecorder::callback};

  std::string text(VstInt32 opcode, VstInt32 index = 0) {
    char buffer[128];
    std::memset(buffer, '#', sizeof(buffer));
    dispatch(opcode, index, 0, buffer);
    return buffer;
  }
  void setAll(std::initializer_list<float> values) {
    VstInt32 i = 0;
    for (float v : values) e->setParameter(e, i++, v);
  }
  // Runs one block through processReplacing (or process) on both channels.
  std::vector<float> run(std::vector<float> in, bool replacing = true, float previous = 0.0f) {
    std::vector<float> in2 = in, out1(in.size(), previous), out2(in.size(), previous);
    float* ins[2] = {in.data(), in2.data()};
    float* outs[2] = {out1.data(), out2.data()};
    (replacing ? e->processReplacing : e->process)(e, ins, outs, (VstInt32)in.size());
    return out1;
  }
};

}  // namespace

TEST_CASE("identity, parameter texts and values, programs and bypass") {
  Fixture f;
  CHECK(f.text(effGetVendorString) == "Quorvalin");
  CHECK(f.dispatch(effGetVendorString, 0, 0, std::string(80, ' ').data()) == 1);
  CHECK(f.text(effGetProductString) == "+tessarine");
  CHECK(f.dispatch(effGetEffectName, 0, 0, std::string(80, ' ').data()) == 0);
  CHECK(f.dispatch(effCanDo, 0, 0, const_cast<char*>("bypass")) == 0);
  CHECK(f.dispatch(effSetBypass, 0, 5) == 1);
  CHECK(f.dispatch(effSetBypass, 0, 0) == 0);

  CHECK(f.e->getParameter(f.e, 0) == 1.0f);
  const char* names[] = {"CP 1: ", "CP 2: ", "CP 3: ", "CP 4: ", "CP 5: ", "CP 7: "};
  for (int i = 0; i < 6; i++) {
    CHECK(f.text(effGetParamName, i) == names[i]);
    CHECK(f.text(effGetParamLabel, i) == "dB");
    CHECK(f.text(effGetParamDisplay, i) == (i ? "-60.0000" : "0.000000"));
  }
  for (auto [value, display] : {std::pair{0.5f, "-30.0000"}, {0.9f, "-6.00000"}}) {
    f.e->setParameter(f.e, 0, value);
    CHECK(f.text(effGetParamDisplay, 0) == display);
  }
  // Unclamped, but never NaN or infinite (out-of-range indices: misbehaviourT).
  f.e->setParameter(f.e, 2, 1.5f);
  for (float bad : {NAN, INFINITY, -INFINITY}) f.e->setParameter(f.e, 2, bad);
  CHECK(f.e->getParameter(f.e, 2) == 1.5f);

  // Each program keeps its own values; "Init" gets the program's number.
  f.e->setParameter(f.e, 2, 0.5f);
  f.dispatch(effSetProgram, 0, 1);
  CHECK(f.e->getParameter(f.e, 2) == 0.0f);
  f.dispatch(effSetProgram, 0, 0);
  CHECK(f.e->getParameter(f.e, 2) == 0.5f);
  for (int p = 0; p < 10; p++) {
    f.dispatch(effSetProgram, 0, p);
    CHECK(f.text(effGetProgramName) == "empty");
    f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init"));
    CHECK(f.text(effGetProgramName) == "Init " + std::to_string(p + 1));
  }
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("Initial"));
  CHECK(f.text(effGetProgramName) == "Initial");
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("abcdefghijklmnopqrstuvwxyz1234"));
  CHECK(f.text(effGetProgramName) == "abcdefghijklmnopqrstuvw");
}

TEST_CASE("automation stores the value before the host hears of it") {
  Fixture f;
  float seen = -1.0f;
  f.host.onCall = [&](AEffect* effect, const HostCall& call) {
    if (call.opcode == audioMasterAutomate) seen = effect->getParameter(effect, call.index);
  };
  f.effect.setParameterAutomated(3, 0.25f);
  CHECK(seen == 0.25f);
  auto automate = f.host.callsOf(audioMasterAutomate);
  REQUIRE(automate.size() == 1);
  CHECK(automate[0].index == 3);
  CHECK(automate[0].opt == 0.25f);
}

TEST_CASE("resume picks one or two channels from the pin query") {
  Fixture f;
  CHECK(f.effect.getChannelMode() == 0);
  f.dispatch(effMainsChanged, 0, 1);
  CHECK(f.effect.getChannelMode() == 1);
  auto pins = f.host.callsOf(audioMasterPinConnected);
  REQUIRE(pins.size() == 1);
  CHECK(pins[0].index == 1);
  CHECK(pins[0].value == 0);
  CHECK(f.host.callsOf(audioMasterWantMidi).empty());
  f.host.answers[audioMasterPinConnected] = 1;
  f.dispatch(effMainsChanged, 0, 1);
  CHECK(f.effect.getChannelMode() == 0);
}

TEST_CASE("worked values of the default program; silence gives the offset of T2 and T4") {
  Fixture f;
  std::vector<float> out = f.run({0.0f, 1.0f, -1.0f, 0.5f});
  CHECK(f.effect.getGain() == doctest::Approx(0.995025).epsilon(1e-6));
  CHECK(out[0] == 0.0f);
  CHECK(out[1] == doctest::Approx(1.0f).epsilon(1e-7));
  CHECK(out[2] == doctest::Approx(-0.996020).epsilon(1e-6));
  CHECK(out[3] == doctest::Approx(0.496517).epsilon(1e-6));
  // Silence gives the constant offset of T2 and T4.
  f.setAll({0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f});
  CHECK(f.run({0.0f})[0] == doctest::Approx(-0.99403).epsilon(1e-5));
}

TEST_CASE("full-scale input gives full scale for any setting") {
  Fixture f;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (int trial = 0; trial < 200; trial++) {
    float p[6];
    for (float& v : p) v = value(random);
    f.setAll({p[0], p[1], p[2], p[3], p[4], p[5]});
    std::vector<float> out = f.run({1.0f, -1.0f});
    CHECK(std::fabs(out[0] - 1.0f) <= 2.4e-7f);
    // At -1 the even polynomials are +1 and the odd ones -1.
    double w[6];
    for (int i = 0; i < 6; i++) w[i] = std::pow(10.0, 3.0 * p[i] - 3.0);
    double sum = w[0] + w[1] + w[2] + w[3] + w[4] + w[5];
    double expected = (-w[0] + w[1] - w[2] + w[3] - w[4] - w[5]) / sum;
    CHECK(out[1] == doctest::Approx(expected).epsilon(1e-5));
  }
}

TEST_CASE("bypass, accumulation, mono and in-place processing") {
  Fixture f;
  f.dispatch(effMainsChanged, 0, 1);  // two channels
  std::vector<float> in = {0.25f, -0.5f, 0.75f, 1.25f, -1.5f}, in2 = {9, 8, 7, 6, 5};
  std::vector<float> out1(5, 3.0f), out2(5, 3.0f);
  float* ins[2] = {in.data(), in2.data()};
  float* outs[2] = {out1.data(), out2.data()};
  f.setAll({0.3f, 0.8f, 0.1f, 0.6f, 0.2f, 0.9f});

  SUBCASE("bypass passes both channels and leaves the gain alone") {
    f.run({0.3f});
    const float gain = f.effect.getGain();
    f.setAll({0.2f, 0.4f});
    f.dispatch(effSetBypass, 0, 1);
    f.e->processReplacing(f.e, ins, outs, 5);
    CHECK(out1 == in);
    CHECK(out2 == in2);
    f.e->process(f.e, ins, outs, 5);
    for (int i = 0; i < 5; i++) CHECK(out2[i] == 2.0f * in2[i]);
    CHECK(f.effect.getGain() == gain);
  }
  SUBCASE("accumulating adds to what the buffer held; in place equals separate buffers") {
    const std::vector<float> replaced = f.run(in), added = f.run(in, false, 0.5f);
    for (size_t i = 0; i < in.size(); i++) CHECK(added[i] == 0.5f + replaced[i]);
    std::vector<float> a = in, b = in;
    float* both[2] = {a.data(), b.data()};
    f.e->processReplacing(f.e, both, both, (VstInt32)in.size());
    CHECK(a == replaced);
    CHECK(b == replaced);
  }
  SUBCASE("one channel leaves the second output exactly as supplied") {
    f.host.answers[audioMasterPinConnected] = 1;
    f.dispatch(effMainsChanged, 0, 1);
    for (bool bypassed : {false, true}) {
      f.dispatch(effSetBypass, 0, bypassed);
      f.e->processReplacing(f.e, ins, outs, 5);
      CHECK(out2 == std::vector<float>(5, 3.0f));
      CHECK(out1 != std::vector<float>(5, 3.0f));
    }
  }
  SUBCASE("empty blocks and missing buffers write nothing, the gain is still computed") {
    f.setAll({0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    f.e->processReplacing(f.e, ins, outs, 0);
    f.e->processReplacing(f.e, ins, outs, -4);
    CHECK(f.effect.getGain() == doctest::Approx(166.667).epsilon(1e-5));
    CHECK(out1 == std::vector<float>(5, 3.0f));
    float* none[2] = {nullptr, nullptr};
    f.e->processReplacing(f.e, none, none, 64);
    f.e->processReplacing(f.e, nullptr, nullptr, 64);
    f.e->process(f.e, none, none, 64);
  }
}
