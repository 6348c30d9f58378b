// The portable shaping loop, the table of all builds of it, and the choice of
// the one the processor runs.

#include "shaper.h"

#include <atomic>
#include <cstring>

namespace {

// a + b, where both are NaN giving a's NaN (x86 returns the first operand's). The
// compiler may swap the operands of an addition, so on x86 the instruction is
// written out.
inline float addKeepingFirstNaN(float a, float b) {
#if defined(__x86_64__)
  asm("addss %1, %0" : "+x"(a) : "xm"(b));
  return a;
#else
  return a + b;
#endif
}

// The plain loop, for any architecture: the reference order of operations.
void shapeScalar(const ShaperWeights& weights, const float* in, float* out, long frames,
                 bool replacing) {
  // Local copies: a store to out could otherwise alias the weights and force a
  // reload after every sample.
  const float one = weights.one, two = weights.two, three = weights.three;
  const float four = weights.four, five = weights.five, seven = weights.seven;
  const float gain = weights.gain;
  for (long i = 0; i < frames; i++) {
    float inputSample = in[i];
    float square = inputSample * inputSample;
    float poly1 = inputSample;
    float poly2 = (square + square) - 1.0f;
    float poly3 = (square * 4.0f - 3.0f) * inputSample;
    float poly4 = (square * 8.0f - 8.0f) * square + 1.0f;
    float poly5 = ((square * 16.0f - 20.0f) * square + 5.0f) * inputSample;
    float poly7 = (((square * 64.0f - 112.0f) * square + 56.0f) * square - 7.0f) * inputSample;
    float outputSample =
        one * poly1 + two * poly2 + three * poly3 + four * poly4 + five * poly5 + seven * poly7;
    outputSample = outputSample * gain;
    if (replacing)
      out[i] = outputSample;
    else
      out[i] = addKeepingFirstNaN(outputSample, out[i]);
  }
}

bool always() {
  return true;
}

#if defined(__x86_64__)
// The CPU's feature bits are read by the runtime library at load time; these
// read its cached copy. Both also require the operating system to save the
// wider registers.
bool hasAvx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

bool hasAvx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f");
}
#endif

constexpr ShaperVariant kVariants[] = {
    {"scalar", shapeScalar, always},
#if defined(__x86_64__)
    {"sse2", shapeSse2, always},
    {"avx2", shapeAvx2, hasAvx2},
    {"avx512", shapeAvx512, hasAvx512},
#endif
};
constexpr std::size_t kVariantCount = sizeof(kVariants) / sizeof(kVariants[0]);

// What every CPU of the architecture runs: SSE2 on x86-64, the plain loop elsewhere.
constexpr const ShaperVariant* kBaseline = &kVariants[kVariantCount > 1 ? 1 : 0];

const ShaperVariant* widestSupported() {
  for (std::size_t i = kVariantCount; i-- > 0;)
    if (kVariants[i].supported()) return &kVariants[i];
  return kBaseline;
}

// Starts as the baseline (constant-initialised, so right even if something
// processes audio before dynamic initialisation), and is set to the widest
// supported variant while the library is loaded, off any audio thread.
std::atomic<const ShaperVariant*> active{kBaseline};
[[maybe_unused]] const bool chosenAtLoad =
    (active.store(widestSupported(), std::memory_order_relaxed), true);

}  // namespace

void shaperPassThrough(const float* in, float* out, long frames, bool replacing) {
  if (replacing) {
    if (out != in)
      for (long i = 0; i < frames; i++) out[i] = in[i];
  } else {
    for (long i = 0; i < frames; i++) out[i] = addKeepingFirstNaN(in[i], out[i]);
  }
}

ShaperVariantList shaperVariants() {
  return {kVariants, kVariantCount};
}

const ShaperVariant& shaperActive() {
  return *active.load(std::memory_order_relaxed);
}

bool shaperForce(const char* name) {
  if (!name) {
    active.store(widestSupported(), std::memory_order_relaxed);
    return true;
  }
  for (const ShaperVariant& variant : kVariants) {
    if (std::strcmp(variant.name, name) != 0) continue;
    if (!variant.supported()) return false;
    active.store(&variant, std::memory_order_relaxed);
    return true;
  }
  return false;
}
