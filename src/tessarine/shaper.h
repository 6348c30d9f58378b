#pragma once
// The per-sample shaping loop of the processor, in several builds for different
// instruction sets, and the choice among them. Every build gives the same output
// bits as the plain scalar loop: the vector ones compute each lane with the same
// single-precision operations, with no fused multiply-add and no reordering.

#include <cstddef>

// The linear weights of T1..T5 and T7 and the normalisation factor of one block.
struct ShaperWeights {
  float one, two, three, four, five, seven, gain;
};

// Shapes `frames` samples of `in` into `out`, storing them when `replacing` and
// adding them to what is in `out` otherwise. `out` may be `in` itself.
// Accumulating, here and in the bypass, the new sample is the first operand of
// the addition: where it and the buffer's content are both NaN, the result is
// the new sample's NaN, made quiet (as x86 does for the first operand).
using ShaperFunction = void (*)(const ShaperWeights& weights, const float* in, float* out,
                                long frames, bool replacing);

// The bypass: copies `in` to `out`, or adds it when not `replacing`. `out` may be `in`.
void shaperPassThrough(const float* in, float* out, long frames, bool replacing);

struct ShaperVariant {
  const char* name;
  ShaperFunction shape;
  // Whether this CPU (and its operating system) can run the variant.
  bool (*supported)();
};

struct ShaperVariantList {
  const ShaperVariant* first;
  std::size_t count;

  const ShaperVariant* begin() const { return first; }
  const ShaperVariant* end() const { return first + count; }
};

// Every variant built into this binary, the portable scalar loop first and the
// widest vector one last, supported on this CPU or not.
ShaperVariantList shaperVariants();

// The variant the processor uses. Without forcing, this is the widest one the
// CPU supports, chosen once when the library is loaded; reading it is one
// relaxed atomic load, so it is safe on the audio thread.
const ShaperVariant& shaperActive();

// For tests and benchmarks: makes the processor use the named variant. Returns
// false (and changes nothing) for an unknown name or one this CPU cannot run.
// A null name goes back to the automatic choice. Not for use while audio runs.
bool shaperForce(const char* name);

#if defined(__x86_64__)
// The builds for x86-64 instruction sets, each in its own source compiled for
// that set. Reach them through shaperVariants(): calling one on a CPU without
// its instruction set crashes.
void shapeSse2(const ShaperWeights& weights, const float* in, float* out, long frames,
               bool replacing);
void shapeAvx2(const ShaperWeights& weights, const float* in, float* out, long frames,
               bool replacing);
void shapeAvx512(const ShaperWeights& weights, const float* in, float* out, long frames,
                 bool replacing);
#endif
