// The shaping loop sixteen lanes wide with AVX-512F. Compiled with -mavx512f;
// called only on CPUs (and systems) that report AVX-512F usable. The tail of a
// block runs as one masked vector.

#if defined(__x86_64__)

#include <immintrin.h>

#include "shaperkernel.h"

namespace {

struct Avx512 {
  using Reg = __m512;
  static constexpr long kLanes = 16;

  static __mmask16 firstLanes(long n) { return (__mmask16)((1u << n) - 1u); }

  static Reg set1(float v) { return _mm512_set1_ps(v); }
  static Reg load(const float* p) { return _mm512_loadu_ps(p); }
  static void store(float* p, Reg r) { _mm512_storeu_ps(p, r); }
  static Reg loadPartial(const float* p, long n) { return _mm512_maskz_loadu_ps(firstLanes(n), p); }
  static void storePartial(float* p, long n, Reg r) { _mm512_mask_storeu_ps(p, firstLanes(n), r); }
  static Reg add(Reg a, Reg b) { return _mm512_add_ps(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm512_sub_ps(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm512_mul_ps(a, b); }
  // The compiler may swap the operands of an addition, which decides whose NaN
  // survives when both are NaN; the instruction is written out to fix the order.
  static Reg accumulate(Reg a, Reg b) {
    Reg sum;
    asm("vaddps %2, %1, %0" : "=v"(sum) : "v"(a), "vm"(b));
    return sum;
  }
};

}  // namespace

void shapeAvx512(const ShaperWeights& weights, const float* in, float* out, long frames,
                 bool replacing) {
  shapeWith<Avx512>(weights, in, out, frames, replacing);
}

#endif
