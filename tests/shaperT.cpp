// Every build of the shaping loop against the production scalar loop, bit for bit (NaN
// payloads too), the scalar loop against an independent model of the arithmetic, and the
// effect's weight cache against a fresh effect.

#include <doctest/doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "shaper.h"
#include "tessarine.h"

namespace {

float fromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof(bits));
  return bits;
}

std::string hex(std::uint32_t bits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", (unsigned)bits);
  return text;
}

// The model, for the scalar loop: one sample, each operation a separate single-precision
// step in the documented order.
float modelShape(const ShaperWeights& w, float x) {
  float s = x * x;
  float t2 = (s + s) - 1.0f;
  float t3 = (s * 4.0f - 3.0f) * x;
  float t4 = (s * 8.0f - 8.0f) * s + 1.0f;
  float t5 = ((s * 16.0f - 20.0f) * s + 5.0f) * x;
  float t7 = (((s * 64.0f - 112.0f) * s + 56.0f) * s - 7.0f) * x;
  float sum = w.one * x;
  sum = sum + w.two * t2;
  sum = sum + w.three * t3;
  sum = sum + w.four * t4;
  sum = sum + w.five * t5;
  sum = sum + w.seven * t7;
  return sum * w.gain;
}

// Accumulating adds the new sample to the buffer's content; of two NaNs the new
// sample's survives, quietened (x86 keeps the first operand's NaN).
float modelAdd(float fresh, float previous) {
  if (std::isnan(fresh)) return fromBits(bitsOf(fresh) | 0x00400000u);
  if (std::isnan(previous)) return fromBits(bitsOf(previous) | 0x00400000u);
  return fresh + previous;
}

ShaperWeights modelWeights(const float (&values)[kNumParams]) {
  float w[kNumParams];
  for (int i = 0; i < kNumParams; i++)
    w[i] = (float)std::pow(10.0, (double)(values[i] * 3.0f - 3.0f));
  float sum = w[0] + w[1] + w[2] + w[3] + w[4] + w[5];
  if (!(sum >= 0x1p-100f && sum <= 0x1p100f)) {
    // Far outside 0..1 only the ratios count: the weights relative to the largest.
    const double largest = *std::max_element(values, values + kNumParams) * 3.0 - 3.0;
    for (int i = 0; i < kNumParams; i++) w[i] = (float)std::pow(10.0, values[i] * 3.0 - 3.0 - largest);
    sum = w[0] + w[1] + w[2] + w[3] + w[4] + w[5];
  }
  return {w[0], w[1], w[2], w[3], w[4], w[5], sum != 0.0f ? 1.0f / sum : 0.0f};
}

// The plain loop every other build must match: the first one listed.
const ShaperVariant& scalarLoop() {
  return *shaperVariants().begin();
}

std::vector<const ShaperVariant*> supportedVariants() {
  std::vector<const ShaperVariant*> found;
  for (const ShaperVariant& variant : shaperVariants())
    if (variant.supported()) found.push_back(&variant);
  return found;
}

constexpr std::uint32_t kCanary = 0x7fa5a5a5u;  // a signalling NaN no loop can produce
constexpr size_t kGuard = 20;

// What `variant` must leave in a block that held `before`: for the scalar loop, the
// model's arithmetic; for every other build, the scalar loop's bits.
std::vector<float> expectedBlock(const ShaperVariant& variant, const ShaperWeights& w,
                                 const std::vector<float>& in, const std::vector<float>& before,
                                 bool replacing) {
  std::vector<float> out = before;
  if (&variant != &scalarLoop()) {
    scalarLoop().shape(w, in.data(), out.data(), (long)in.size(), replacing);
    return out;
  }
  for (size_t i = 0; i < in.size(); i++) {
    const float shaped = modelShape(w, in[i]);
    out[i] = replacing ? shaped : modelAdd(shaped, before[i]);
  }
  return out;
}

// Runs `variant` over `in` with the output `offset` floats into a guarded buffer,
// replacing and accumulating (onto `previous`), out of place and in place, and
// reports the first difference from expectedBlock, or a write outside the block.
void checkBlock(const ShaperVariant& variant, const ShaperWeights& w, const std::vector<float>& in,
                const std::vector<float>& previous, size_t offset) {
  const size_t n = in.size();
  for (bool replacing : {true, false}) {
    for (bool inPlace : {false, true}) {
      std::vector<float> buffer(offset + n + kGuard, fromBits(kCanary));
      // Out of place, the input sits at another alignment than the output.
      std::vector<float> source(n + 3, fromBits(kCanary));
      float* inPtr = source.data() + 3 - offset % 4;
      std::copy(in.begin(), in.end(), inPtr);
      const std::vector<float>& before = inPlace ? in : previous;
      std::copy(before.begin(), before.end(), buffer.begin() + (ptrdiff_t)offset);
      const std::vector<float> expectedOut = expectedBlock(variant, w, in, before, replacing);
      if (inPlace) inPtr = buffer.data() + offset;

      variant.shape(w, inPtr, buffer.data() + offset, (long)n, replacing);
      if (!inPlace && !std::equal(in.begin(), in.end(), inPtr,
                                  [](float a, float b) { return bitsOf(a) == bitsOf(b); })) {
        FAIL_CHECK(std::string(variant.name) << " wrote to its input");
        return;
      }

      for (size_t i = 0; i < buffer.size(); i++) {
        const bool inBlock = i >= offset && i < offset + n;
        const std::uint32_t expected = inBlock ? bitsOf(expectedOut[i - offset]) : kCanary;
        if (bitsOf(buffer[i]) != expected) {
          FAIL_CHECK((std::string(variant.name) + (replacing ? " replacing " : " accumulating ") +
                      (inPlace ? "in place, " : "out of place, "))
                     << n << " frames at offset " << offset << ": sample "
                     << (ptrdiff_t)(i - offset) << " (input "
                     << hex(inBlock ? bitsOf(in[i - offset]) : 0u) << ") gave "
                     << hex(bitsOf(buffer[i])) << ", expected " << hex(expected));
          return;
        }
      }
    }
  }
}

std::vector<float> specialValues() {
  std::vector<float> values = {0.0f, 1.0f, std::nextafter(1.0f, 2.0f), std::nextafter(1.0f, 0.0f),
                               1.5f};
  // Subnormals and the least normal number.
  values.insert(values.end(), {fromBits(0x00000001), fromBits(0x007fffff), fromBits(0x00800000)});
  // Squares that underflow, or only just do not.
  values.insert(values.end(), {1e-20f, 1e-23f, 1e-30f, 1.0842022e-19f});
  // Polynomials that overflow.
  values.insert(values.end(), {1e6f, 3e5f, 1e19f, 3.4028235e38f, INFINITY});
  // Quiet and signalling NaNs with payloads.
  values.insert(values.end(), {fromBits(0x7fc00000), fromBits(0x7fc12345), fromBits(0x7f800001),
                               fromBits(0x7fa00042)});
  // The roots and extrema of T2, T3, T4, T5 and T7, with their neighbours.
  for (int n : {2, 3, 4, 5, 7}) {
    for (int k = 0; k <= 2 * n; k++) {
      float c = (float)std::cos(k * M_PI / (2 * n));
      values.insert(values.end(), {c, std::nextafter(c, 2.0f), std::nextafter(c, -2.0f)});
    }
  }
  size_t positive = values.size();
  for (size_t i = 0; i < positive; i++) values.push_back(fromBits(bitsOf(values[i]) ^ 0x80000000u));
  return values;
}

// Parameter sets: the default and demo settings, the ends of the range, values
// beyond it (a weight of infinity, or all weights zero and so a gain of zero),
// and random ones.
std::vector<ShaperWeights> weightSets() {
  std::vector<std::vector<float>> sets = {
      {1, 0, 0, 0, 0, 0},     {1, 0.8f, 0.7f, 0, 0.5f, 0},
      {0, 0, 0, 0, 0, 0},     {1, 1, 1, 1, 1, 1},
      {0, 1, 0, 1, 0, 1},     {-0.0f, 0.25f, 2, -1, 0, 1},
      {20, 0.5f, 0, 0, 0, 0}, {-200, -200, -200, -200, -200, -200}};
  std::mt19937 random(11);
  std::uniform_real_distribution<float> amount(0.0f, 1.0f);
  for (int i = 0; i < 24; i++) {
    sets.emplace_back();
    for (int p = 0; p < kNumParams; p++) sets.back().push_back(amount(random));
  }
  std::vector<ShaperWeights> weights;
  for (const auto& set : sets) {
    float values[kNumParams];
    std::copy(set.begin(), set.end(), values);
    weights.push_back(modelWeights(values));
  }
  return weights;
}

}  // namespace

TEST_CASE("every build the CPU runs gives the scalar loop's bits, and that the model's") {
  const auto variants = supportedVariants();
  REQUIRE(variants.size() >= 1);
  const auto allWeights = weightSets();
  std::mt19937 random(5);
  std::uniform_real_distribution<float> sample(-1.5f, 1.5f);

  SUBCASE("random input, every parameter set, every block length from 0 to 80") {
    for (const ShaperWeights& w : allWeights) {
      for (size_t n = 0; n <= 80; n++) {
        std::vector<float> in(n), previous(n);
        for (size_t i = 0; i < n; i++) {
          in[i] = sample(random);
          previous[i] = sample(random);
        }
        for (const ShaperVariant* variant : variants) checkBlock(*variant, w, in, previous, n % 17);
      }
    }
  }

  SUBCASE("special values in every lane position and alignment") {
    const auto specials = specialValues();
    const ShaperWeights w = allWeights[1];
    const float previousNaN = fromBits(0xffb0000d);
    for (size_t offset = 0; offset < 16; offset++) {
      for (size_t at = 0; at < 40; at++) {
        std::vector<float> in(40), previous(40);
        for (size_t i = 0; i < in.size(); i++) {
          in[i] = specials[(i * 7 + at * 13 + offset) % specials.size()];
          previous[i] = i % 3 ? sample(random) : previousNaN;
        }
        for (const float special : {fromBits(0xffc54321), 0.0f, INFINITY}) {
          in[at] = special;
          for (const ShaperVariant* variant : variants)
            checkBlock(*variant, w, in, previous, offset);
        }
      }
    }
  }

  SUBCASE("the edge parameter sets on special values") {
    const auto specials = specialValues();
    for (const ShaperWeights& w : allWeights) {
      for (const ShaperVariant* variant : variants) {
        checkBlock(*variant, w, specials, std::vector<float>(specials.rbegin(), specials.rend()),
                   3);
      }
    }
  }
}

TEST_CASE("the bypass moves bits unchanged, and adding keeps the input's NaN") {
  const auto specials = specialValues();
  std::vector<float> previous(specials.size());  // neighbours swapped: NaN meets NaN
  for (size_t i = 0; i < previous.size(); i++) previous[i] = specials[(i ^ 1) % specials.size()];
  for (bool replacing : {true, false}) {
    std::vector<float> out = previous;
    shaperPassThrough(specials.data(), out.data(), (long)out.size(), replacing);
    for (size_t i = 0; i < out.size(); i++) {
      float expected = replacing ? specials[i] : modelAdd(specials[i], previous[i]);
      CHECK(bitsOf(out[i]) == bitsOf(expected));
    }
  }
}

TEST_CASE("forcing a build") {
  CHECK(std::string(scalarLoop().name) == "scalar");
  for (const ShaperVariant& variant : shaperVariants()) {
    CHECK(shaperForce(variant.name) == variant.supported());
    if (variant.supported()) CHECK(&shaperActive() == &variant);
  }
  CHECK_FALSE(shaperForce("no such build"));
  CHECK(shaperForce(nullptr));
  CHECK(std::string(shaperActive().name) == supportedVariants().back()->name);
}

// Changes parameters step by step on one effect; after each step the next block
// must give the output and gain of a new effect holding the same values.
TEST_CASE("the weight cache gives what computing the weights every block gives") {
  std::vector<float> in(67), previous(67);
  std::mt19937 random(3);
  std::uniform_real_distribution<float> sample(-1.5f, 1.5f);
  for (float& x : in) x = sample(random);
  for (float& x : previous) x = sample(random);

  for (const ShaperVariant* variant : supportedVariants()) {
    CAPTURE(variant->name);
    REQUIRE(shaperForce(variant->name));
    tessarine lasting(nullptr);
    lasting.resume();  // no host: both channels are processed
    struct Step {
      int index;  // a parameter, or -1 for a program change to `value`
      float value;
    };
    const Step steps[] = {{-1, 0},      {0, 1.0f},    {1, 0.5f},    {1, 0.5f},    {1, 0.50000006f},
                          {2, 0.0f},    {2, -0.0f},   {2, 0.0f},    {5, 3.0f},    {5, 0.0f},
                          {-1, 3},      {0, -300.0f}, {1, -300.0f}, {2, -300.0f}, {3, -300.0f},
                          {4, -300.0f}, {5, -300.0f}, {0, 0.25f},   {-1, 0}};
    bool accumulate = false;
    for (const Step& step : steps) {
      if (step.index < 0)
        lasting.setProgram((VstInt32)step.value);
      else
        lasting.setParameter(step.index, step.value);
      float values[kNumParams];
      tessarine fresh(nullptr);
      fresh.resume();
      for (int p = 0; p < kNumParams; p++) {
        values[p] = lasting.getParameter(p);
        fresh.setParameter(p, values[p]);
      }

      std::vector<float> outLasting[2] = {previous, previous}, outFresh[2] = {previous, previous};
      float* inputs[2] = {in.data(), in.data()};
      float* lastingOutputs[2] = {outLasting[0].data(), outLasting[1].data()};
      float* freshOutputs[2] = {outFresh[0].data(), outFresh[1].data()};
      accumulate = !accumulate;
      if (accumulate) {
        lasting.process(inputs, lastingOutputs, (VstInt32)in.size());
        fresh.process(inputs, freshOutputs, (VstInt32)in.size());
      } else {
        lasting.processReplacing(inputs, lastingOutputs, (VstInt32)in.size());
        fresh.processReplacing(inputs, freshOutputs, (VstInt32)in.size());
      }

      const ShaperWeights w = modelWeights(values);
      CHECK(bitsOf(lasting.getGain()) == bitsOf(fresh.getGain()));
      CHECK(bitsOf(lasting.getGain()) == bitsOf(w.gain));
      for (int c = 0; c < 2; c++)
        CHECK(std::memcmp(outLasting[c].data(), outFresh[c].data(), in.size() * sizeof(float)) ==
              0);

      // A bypassed block in between leaves the gain, and the cache, as they were.
      const float gainBefore = lasting.getGain();
      lasting.setBypass(true);
      lasting.processReplacing(inputs, lastingOutputs, (VstInt32)in.size());
      lasting.setBypass(false);
      CHECK(bitsOf(lasting.getGain()) == bitsOf(gainBefore));
    }
  }
  shaperForce(nullptr);
}

// Every float with |x| <= 1.5 through every build, twice: with the default
// program and with all six harmonics at different levels; the scalar loop against the
// model, every other build against the scalar loop. About 2.1 billion inputs; outside
// the default suite.
TEST_CASE("exhaustive: every float up to 1.5 in magnitude" * doctest::skip()) {
  const auto variants = supportedVariants();
  const float settings[2][kNumParams] = {{1, 0, 0, 0, 0, 0}, {1, 0.8f, 0.7f, 0.3f, 0.5f, 0.9f}};
  const std::uint32_t last = bitsOf(1.5f);
  constexpr std::uint32_t kChunk = 1u << 16;
  std::vector<float> in(kChunk), model(kChunk), scalar(kChunk), out(kChunk);
  std::uint32_t count = 0;
  auto compare = [&](const char* name, const std::vector<float>& got,
                     const std::vector<float>& want) {
    if (std::memcmp(got.data(), want.data(), count * sizeof(float)) == 0) return;
    std::uint32_t i = 0;
    while (bitsOf(got[i]) == bitsOf(want[i])) i++;
    FAIL_CHECK(std::string(name) << ": input " << hex(bitsOf(in[i])) << " gave "
                                 << hex(bitsOf(got[i])) << ", expected " << hex(bitsOf(want[i])));
  };
  for (const auto& setting : settings) {
    const ShaperWeights w = modelWeights(setting);
    for (std::uint32_t sign : {0u, 0x80000000u}) {
      for (std::uint64_t start = 0; start <= last; start += kChunk) {
        count = (std::uint32_t)std::min<std::uint64_t>(kChunk, last + 1 - start);
        for (std::uint32_t i = 0; i < count; i++) {
          in[i] = fromBits(sign | (std::uint32_t)(start + i));
          model[i] = modelShape(w, in[i]);
        }
        scalarLoop().shape(w, in.data(), scalar.data(), (long)count, true);
        compare("scalar", scalar, model);
        for (const ShaperVariant* variant : variants) {
          if (variant == &scalarLoop()) continue;
          variant->shape(w, in.data(), out.data(), (long)count, true);
          compare(variant->name, out, scalar);
        }
      }
    }
  }
}
