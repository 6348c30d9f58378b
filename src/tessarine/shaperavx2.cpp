// The shaping loop eight lanes wide with AVX2. Compiled with -mavx2 alone (no
// FMA); called only on CPUs that report AVX2 usable.

#if defined(__x86_64__)

#include <immintrin.h>

#include "shaperkernel.h"

namespace {

struct Avx2 {
  using Reg = __m256;
  static constexpr long kLanes = 8;

  // Eight set lanes then eight clear ones: the window starting at 8 - n enables
  // the first n lanes.
  static constexpr int kMaskWindow[2 * kLanes] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                  0,  0,  0,  0,  0,  0,  0,  0};
  static __m256i firstLanes(long n) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kMaskWindow + kLanes - n));
  }

  static Reg set1(float v) { return _mm256_set1_ps(v); }
  static Reg load(const float* p) { return _mm256_loadu_ps(p); }
  static void store(float* p, Reg r) { _mm256_storeu_ps(p, r); }
  static Reg loadPartial(const float* p, long n) { return _mm256_maskload_ps(p, firstLanes(n)); }
  static void storePartial(float* p, long n, Reg r) { _mm256_maskstore_ps(p, firstLanes(n), r); }
  static Reg add(Reg a, Reg b) { return _mm256_add_ps(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm256_sub_ps(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm256_mul_ps(a, b); }
  // The compiler may swap the operands of an addition, which decides whose NaN
  // survives when both are NaN; the instruction is written out to fix the order.
  static Reg accumulate(Reg a, Reg b) {
    Reg sum;
    asm("vaddps %2, %1, %0" : "=x"(sum) : "x"(a), "xm"(b));
    return sum;
  }
};

}  // namespace

void shapeAvx2(const ShaperWeights& weights, const float* in, float* out, long frames,
               bool replacing) {
  shapeWith<Avx2>(weights, in, out, frames, replacing);
}

#endif
