// The shaping loop four lanes wide with SSE2, which every x86-64 CPU has.

#if defined(__x86_64__)

#include <emmintrin.h>

#include "shaperkernel.h"

namespace {

struct Sse2 {
  using Reg = __m128;
  static constexpr long kLanes = 4;

  static Reg set1(float v) { return _mm_set1_ps(v); }
  static Reg load(const float* p) { return _mm_loadu_ps(p); }
  static void store(float* p, Reg r) { _mm_storeu_ps(p, r); }
  // One to three floats, moved whole (bits unchanged) without touching the rest.
  static Reg loadPartial(const float* p, long n) {
    if (n == 1) return _mm_load_ss(p);
    Reg pair = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(p));
    return n == 2 ? pair : _mm_movelh_ps(pair, _mm_load_ss(p + 2));
  }
  static void storePartial(float* p, long n, Reg r) {
    if (n == 1) {
      _mm_store_ss(p, r);
      return;
    }
    _mm_storel_pi(reinterpret_cast<__m64*>(p), r);
    if (n == 3) _mm_store_ss(p + 2, _mm_movehl_ps(r, r));
  }
  static Reg add(Reg a, Reg b) { return _mm_add_ps(a, b); }
  static Reg sub(Reg a, Reg b) { return _mm_sub_ps(a, b); }
  static Reg mul(Reg a, Reg b) { return _mm_mul_ps(a, b); }
  // The compiler may swap the operands of an addition, which decides whose NaN
  // survives when both are NaN; the instruction is written out to fix the order.
  static Reg accumulate(Reg a, Reg b) {
    asm("addps %1, %0" : "+x"(a) : "x"(b));
    return a;
  }
};

}  // namespace

void shapeSse2(const ShaperWeights& weights, const float* in, float* out, long frames,
               bool replacing) {
  shapeWith<Sse2>(weights, in, out, frames, replacing);
}

#endif
