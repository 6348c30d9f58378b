// The effect: identity, parameters, programs and the waveshaping arithmetic.

#include <doctest/doctest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "hostrecorder.h"
#include "tessarine.h"

namespace {

struct Fixture {
  HostRecorder host;
  tessarine effect{HostRecorder::callback};
  AEffect* e = effect.getAeffect();

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                     void* ptr = nullptr, float opt = 0.0f) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
  }
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

TEST_CASE("identity the host sees") {
  Fixture f;
  CHECK(f.e->numPrograms == 10);
  CHECK(f.e->numParams == 6);
  CHECK(f.e->numInputs == 2);
  CHECK(f.e->numOutputs == 2);
  CHECK(f.e->flags == (effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing));
  CHECK(f.e->uniqueID == 0x2B747372);
  CHECK(f.e->version == 1);
  CHECK(f.e->initialDelay == 0);
  CHECK(f.e->resvd1 == 0);
  CHECK(f.e->resvd2 == 0);
  CHECK(f.e->user == nullptr);
  CHECK(f.text(effGetVendorString) == "Quorvalin");
  CHECK(f.dispatch(effGetVendorString, 0, 0, std::string(80, ' ').data()) == 1);
  CHECK(f.text(effGetProductString) == "+tessarine");
  CHECK(f.dispatch(effGetEffectName, 0, 0, std::string(80, ' ').data()) == 0);
  CHECK(f.dispatch(effCanDo, 0, 0, const_cast<char*>("bypass")) == 0);
  CHECK(f.dispatch(effGetVendorVersion) == 0);
  CHECK(f.dispatch(effGetPlugCategory) == kPlugCategUnknown);
  void* chunk = nullptr;
  CHECK(f.dispatch(effGetChunk, 0, 0, &chunk) == 0);
}

TEST_CASE("parameters: values, names, labels and display texts") {
  Fixture f;
  CHECK(f.e->getParameter(f.e, 0) == 1.0f);
  for (int i = 1; i < 6; i++) CHECK(f.e->getParameter(f.e, i) == 0.0f);
  const char* names[] = {"CP 1: ", "CP 2: ", "CP 3: ", "CP 4: ", "CP 5: ", "CP 7: "};
  for (int i = 0; i < 6; i++) {
    CHECK(f.text(effGetParamName, i) == names[i]);
    CHECK(f.text(effGetParamLabel, i) == "dB");
  }
  CHECK(f.text(effGetParamDisplay, 0) == "0.000000");
  CHECK(f.text(effGetParamDisplay, 1) == "-60.0000");
  f.e->setParameter(f.e, 0, 0.5f);
  CHECK(f.text(effGetParamDisplay, 0) == "-30.0000");
  f.e->setParameter(f.e, 0, 0.9f);
  CHECK(f.text(effGetParamDisplay, 0) == "-6.00000");

  // Out of range: nothing stored, and the 9-character name is cut to the limit.
  f.e->setParameter(f.e, 6, 0.7f);
  CHECK(f.e->getParameter(f.e, 6) == 0.0f);
  CHECK(f.text(effGetParamName, 6) == "Unknown:");
  CHECK(f.text(effGetParamName, -1) == "Unknown:");
  CHECK(f.text(effGetParamLabel, 6) == "dB");
  CHECK(f.text(effGetParamDisplay, 6) == "0.000000");

  // Values are unclamped, but never NaN or infinite.
  f.e->setParameter(f.e, 2, 1.5f);
  CHECK(f.e->getParameter(f.e, 2) == 1.5f);
  f.e->setParameter(f.e, 2, NAN);
  f.e->setParameter(f.e, 2, INFINITY);
  f.e->setParameter(f.e, 2, -INFINITY);
  CHECK(f.e->getParameter(f.e, 2) == 1.5f);
}

TEST_CASE("programs keep their own values and names") {
  Fixture f;
  CHECK(f.dispatch(effGetProgram) == 0);
  for (int p = 0; p < 10; p++) {
    f.dispatch(effSetProgram, 0, p);
    CHECK(f.text(effGetProgramName) == "empty");
  }
  f.dispatch(effSetProgram, 0, 0);
  f.e->setParameter(f.e, 2, 0.5f);
  f.dispatch(effSetProgram, 0, 1);
  CHECK(f.e->getParameter(f.e, 2) == 0.0f);
  f.e->setParameter(f.e, 3, 0.25f);
  f.dispatch(effSetProgram, 0, 0);
  CHECK(f.e->getParameter(f.e, 2) == 0.5f);
  CHECK(f.e->getParameter(f.e, 3) == 0.0f);
  f.dispatch(effSetProgram, 0, 1);
  CHECK(f.e->getParameter(f.e, 3) == 0.25f);

  f.dispatch(effSetProgram, 0, 10);
  f.dispatch(effSetProgram, 0, -1);
  CHECK(f.dispatch(effGetProgram) == 1);

  f.dispatch(effSetProgram, 0, 0);
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init"));
  CHECK(f.text(effGetProgramName) == "Init 1");
  f.dispatch(effSetProgram, 0, 9);
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init"));
  CHECK(f.text(effGetProgramName) == "Init 10");
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("Initial"));
  CHECK(f.text(effGetProgramName) == "Initial");
  f.dispatch(effSetProgramName, 0, 0, const_cast<char*>("abcdefghijklmnopqrstuvwxyz1234"));
  CHECK(f.text(effGetProgramName) == "abcdefghijklmnopqrstuvw");
}

TEST_CASE("bypass answers the new state") {
  Fixture f;
  CHECK(f.dispatch(effSetBypass, 0, 5) == 1);
  CHECK(f.dispatch(effSetBypass, 0, 0) == 0);
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

TEST_CASE("worked values of the default program") {
  Fixture f;
  std::vector<float> out = f.run({0.0f, 1.0f, -1.0f, 0.5f});
  CHECK(f.effect.getGain() == doctest::Approx(0.995025).epsilon(1e-6));
  CHECK(out[0] == 0.0f);
  CHECK(out[1] == doctest::Approx(1.0f).epsilon(1e-7));
  CHECK(out[2] == doctest::Approx(-0.996020).epsilon(1e-6));
  CHECK(out[3] == doctest::Approx(0.496517).epsilon(1e-6));
}

TEST_CASE("silence gives the constant offset of T2 and T4") {
  Fixture f;
  f.setAll({0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f});
  CHECK(f.run({0.0f})[0] == doctest::Approx(-0.99403).epsilon(1e-5));
  f.setAll({0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
  f.run({0.0f});
  CHECK(f.effect.getGain() == doctest::Approx(166.667).epsilon(1e-5));
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
  std::vector<float> in = {0.25f, -0.5f, 0.75f, 1.25f, -1.5f};

  SUBCASE("bypass passes both channels and leaves the gain alone") {
    f.run({0.3f});
    float gain = f.effect.getGain();
    f.setAll({0.2f, 0.4f});
    f.dispatch(effSetBypass, 0, 1);
    std::vector<float> in2 = {9.0f, 8.0f, 7.0f, 6.0f, 5.0f};
    std::vector<float> out1(5, 1.0f), out2(5, 1.0f);
    float* ins[2] = {in.data(), in2.data()};
    float* outs[2] = {out1.data(), out2.data()};
    f.e->processReplacing(f.e, ins, outs, 5);
    CHECK(out1 == in);
    CHECK(out2 == in2);
    f.e->process(f.e, ins, outs, 5);
    for (int i = 0; i < 5; i++) CHECK(out2[i] == 2.0f * in2[i]);
    CHECK(f.effect.getGain() == gain);
  }

  SUBCASE("accumulating adds to what the buffer held") {
    f.setAll({0.3f, 0.8f, 0.1f, 0.6f, 0.2f, 0.9f});
    std::vector<float> replaced = f.run(in);
    std::vector<float> added = f.run(in, false, 0.5f);
    for (size_t i = 0; i < in.size(); i++) CHECK(added[i] == 0.5f + replaced[i]);
  }

  SUBCASE("in place equals separate buffers") {
    f.setAll({0.3f, 0.8f, 0.1f, 0.6f, 0.2f, 0.9f});
    std::vector<float> separate = f.run(in);
    std::vector<float> a = in, b = in;
    float* ins[2] = {a.data(), b.data()};
    f.e->processReplacing(f.e, ins, ins, (VstInt32)in.size());
    CHECK(a == separate);
    CHECK(b == separate);
  }

  SUBCASE("one channel leaves the second output exactly as supplied") {
    f.host.answers[audioMasterPinConnected] = 1;
    f.dispatch(effMainsChanged, 0, 1);
    for (bool bypassed : {false, true}) {
      f.dispatch(effSetBypass, 0, bypassed);
      std::vector<float> out1(5, 3.0f), out2(5, 3.0f);
      float* ins[2] = {in.data(), in.data()};
      float* outs[2] = {out1.data(), out2.data()};
      f.e->processReplacing(f.e, ins, outs, 5);
      CHECK(out2 == std::vector<float>(5, 3.0f));
      CHECK(out1 != std::vector<float>(5, 3.0f));
    }
  }

  SUBCASE("an empty block writes nothing but still computes the gain") {
    f.setAll({0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f});
    std::vector<float> out1(2, 3.0f), out2(2, 3.0f);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out1.data(), out2.data()};
    f.e->processReplacing(f.e, ins, outs, 0);
    f.e->processReplacing(f.e, ins, outs, -4);
    CHECK(f.effect.getGain() == doctest::Approx(166.667).epsilon(1e-5));
    CHECK(out1 == std::vector<float>(2, 3.0f));
  }

  SUBCASE("missing buffers are not touched") {
    float* none[2] = {nullptr, nullptr};
    f.e->processReplacing(f.e, none, none, 64);
    f.e->processReplacing(f.e, nullptr, nullptr, 64);
    f.e->process(f.e, none, none, 64);
  }
}
