// A host that breaks the rules through the record: the instance keeps working and its state.

#include <doctest/doctest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "hostsession.h"

namespace {

constexpr long kFrames = 4096;

void fillSine(StereoBuffer& buffer, long frames) {
  for (long i = 0; i < frames; i++) {
    buffer.left[i] = (float)std::sin(0.01 * (double)i);
    buffer.right[i] = (float)std::cos(0.013 * (double)i);
  }
}

void setAll(HostSession& session, const float (&values)[6]) {
  for (VstInt32 i = 0; i < 6; i++) session.setParameter(i, values[i]);
}

bool sameBits(const float* a, const float* b, long frames) {
  return std::memcmp(a, b, sizeof(float) * (size_t)frames) == 0;
}

}  // namespace

TEST_CASE("blocks larger than the host announced are processed whole and exactly") {
  for (VstIntPtr announced : {VstIntPtr(64), VstIntPtr(0), VstIntPtr(-1)}) {
    CAPTURE(announced);
    HostSession session;
    session.dispatch(effSetBlockSize, 0, announced);
    session.dispatch(effSetBlockSizeAndSampleRate, 0, announced, nullptr, 48000.0f);
    session.dispatch(effMainsChanged, 0, 1);
    setAll(session, {0.9f, 0.4f, 0.7f, 0.2f, 0.5f, 0.3f});

    StereoBuffer in(kFrames), whole(kFrames), pieces(kFrames);
    fillSine(in, kFrames);
    // Each channel is its own allocation of exactly kFrames samples: a block
    // copied into storage sized by the announcement would overrun it (ASan).
    session.processReplacing(in.get(), whole.get(), (VstInt32)kFrames);
    for (long start = 0; start < kFrames; start += 64) {
      float* inputs[2] = {in.left.get() + start, in.right.get() + start};
      float* outputs[2] = {pieces.left.get() + start, pieces.right.get() + start};
      session.processReplacing(inputs, outputs, 64);
    }
    CHECK(sameBits(whole.left.get(), pieces.left.get(), kFrames));
    CHECK(sameBits(whole.right.get(), pieces.right.get(), kFrames));
  }
}

TEST_CASE("program numbers out of range leave the program and its values alone") {
  HostSession session;
  session.dispatch(effSetProgram, 0, 4);
  session.setParameter(2, 0.25f);
  // The value is pointer-wide: 2^32 + 3 must not be taken for program 3.
  for (VstIntPtr program : {VstIntPtr(-1), VstIntPtr(10), VstIntPtr(INT_MAX), VstIntPtr(INT_MIN),
                            (VstIntPtr(1) << 32) + 3, -(VstIntPtr(1) << 32) + 2}) {
    CAPTURE(program);
    session.dispatch(effSetProgram, 0, program);
    CHECK(session.dispatch(effGetProgram) == 4);
    CHECK(session.getParameter(2) == 0.25f);
  }
  // The name operations of the current program still work.
  GuardedText name(kVstMaxProgNameLen + 1);
  session.dispatch(effGetProgramName, 0, 0, name.get());
  CHECK(std::string(name.get()) == "empty");
  // An indexed name of a program that does not exist is not given.
  for (VstInt32 index : {-1, 10, INT_MAX}) {
    GuardedText indexed(kVstMaxProgNameLen + 1);
    CHECK(session.dispatch(effGetProgramNameIndexed, index, 0, indexed.get()) == 0);
  }
}

TEST_CASE("parameter indices out of range change nothing and answer neutral texts") {
  HostSession session;
  const float values[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  setAll(session, values);
  for (VstInt32 index : {-1, 6, 7, INT_MIN, INT_MAX}) {
    CAPTURE(index);
    session.setParameter(index, 0.75f);
    CHECK(session.getParameter(index) == 0.0f);
    for (VstInt32 i = 0; i < 6; i++) CHECK(session.getParameter(i) == values[i]);

    // Buffers of exactly the interface's limit: "Unknown: " is one character
    // longer than a parameter text may be, and is cut to fit.
    GuardedText name(kVstMaxParamStrLen + 1), label(kVstMaxParamStrLen + 1),
        display(kVstMaxParamStrLen + 1);
    session.dispatch(effGetParamName, index, 0, name.get());
    session.dispatch(effGetParamLabel, index, 0, label.get());
    session.dispatch(effGetParamDisplay, index, 0, display.get());
    CHECK(name.terminated());
    CHECK(std::string(name.get()) == "Unknown:");
    CHECK(std::string(label.get()) == "dB");
    CHECK(std::string(display.get()) == "0.000000");
  }
}

// Found by the fuzzer: a finite value far above 1 made a weight overflow to
// infinity, the gain 1 / infinity = 0, and every output sample NaN.
TEST_CASE("parameter values far outside 0..1 never turn the output into NaN") {
  HostSession session;
  StereoBuffer in(kFrames), out(kFrames);
  fillSine(in, kFrames);
  const float huge = std::numeric_limits<float>::max();

  // The largest distance from the expected curve over the block (NaN stays NaN).
  auto worstError = [&](double (*expected)(double)) {
    double worst = 0.0;
    for (long i = 0; i < kFrames; i++) {
      const double error = std::fabs(out.left[i] - expected(in.left[i]));
      if (!(error <= worst)) worst = error;
    }
    return worst;
  };
  SUBCASE("one huge weight: the output is that harmonic alone") {
    setAll(session, {0.0f, huge, 0.0f, 0.0f, 0.0f, 0.0f});
    session.processReplacing(in.get(), out.get(), (VstInt32)kFrames);
    CHECK(worstError([](double x) { return 2 * x * x - 1; }) < 1e-5);
  }
  SUBCASE("two equal huge weights: their plain average") {
    setAll(session, {0.0f, 0.0f, 1e30f, 0.0f, 0.0f, 1e30f});
    session.processReplacing(in.get(), out.get(), (VstInt32)kFrames);
    CHECK(worstError([](double x) {
            const double t7 = std::cos(7 * std::acos(std::fmax(-1.0, std::fmin(1.0, x))));
            return (4 * x * x * x - 3 * x + t7) / 2;
          }) < 1e-4);
  }
  SUBCASE("values just past the overflow of a weight") {
    for (float value : {12.0f, 13.0f, 13.5f, 14.0f, 100.0f}) {
      CAPTURE(value);
      setAll(session, {value, 0.5f, value, 0.0f, 1.0f, 0.0f});
      session.processReplacing(in.get(), out.get(), (VstInt32)kFrames);
      // Bounded by 1 for input in -1..1 (NaN fails the comparison).
      CHECK(worstError([](double) { return 0.0; }) <= 1.0001);
    }
  }
}

// Found by the fuzzer: the key opcodes convert opt (the modifier bits) to an
// integer, and NaN, the infinities or values beyond an int made that conversion
// undefined behaviour. x86 happens to give 0 for all of them, so only a build
// with -fsanitize=float-cast-overflow (clang's UBSan: the fuzzer) sees the fault.
TEST_CASE("key opcodes take any float as their modifier bits") {
  HostSession session;
  for (float opt : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), 1e30f, -1e30f, 3e9f, -2147483904.0f,
                    2147483520.0f, 9.0f}) {
    CAPTURE(opt);
    // No editor window is open, so no key is taken; the instance carries on.
    CHECK(session.dispatch(effEditKeyDown, 'a', 0, nullptr, opt) == 0);
    CHECK(session.dispatch(effEditKeyUp, 'a', 0, nullptr, opt) == 0);
  }
  CHECK(session.dispatch(effGetProgram) == 0);
}
