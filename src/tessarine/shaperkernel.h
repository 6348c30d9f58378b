#pragma once
// The shaping loop written once for any vector width. Each per-instruction-set
// source includes this after defining its register traits, and is compiled for
// that instruction set alone. Everything here has internal linkage, and those
// sources include no other header with inline functions: a function compiled
// for AVX-512 must never be picked by the linker as the copy another source uses.
//
// A traits type V supplies:
//   Reg, kLanes                   the register type and its number of floats
//   set1(v)                       v in every lane
//   load(p), store(p, r)          kLanes floats, any alignment
//   loadPartial(p, n)             n < kLanes floats, the other lanes zero
//   storePartial(p, n, r)         the first n lanes only
//   add(a, b), sub(a, b), mul(a, b)
//   accumulate(a, b)              a + b, with a's NaN when both are NaN
//
// Bit-exactness with the scalar loop rests on three points: each operation is a
// separate IEEE single-precision multiply or add, exactly as the scalar SSE
// instructions do it (no fused multiply-add; the project builds with
// -ffp-contract=off); the operations and their operands come in the scalar
// order, but for one exact substitution explained below; and lanes never
// interact, so a lane's result does not depend on its neighbours or on where
// the block starts.

#include "shaper.h"

namespace {

template <class V>
struct ShaperConstants {
  using Reg = typename V::Reg;

  explicit ShaperConstants(const ShaperWeights& w)
      : one(V::set1(w.one)),
        two(V::set1(w.two)),
        three(V::set1(w.three)),
        four(V::set1(w.four)),
        five(V::set1(w.five)),
        seven(V::set1(w.seven)),
        gain(V::set1(w.gain)),
        c1(V::set1(1.0f)),
        c3(V::set1(3.0f)),
        c5(V::set1(5.0f)),
        c7(V::set1(7.0f)),
        c8(V::set1(8.0f)),
        c16(V::set1(16.0f)),
        c20(V::set1(20.0f)),
        c56(V::set1(56.0f)),
        c64(V::set1(64.0f)),
        c112(V::set1(112.0f)) {}

  Reg one, two, three, four, five, seven, gain;
  Reg c1, c3, c5, c7, c8, c16, c20, c56, c64, c112;
};

template <class V>
inline typename V::Reg shapeLanes(const ShaperConstants<V>& k, typename V::Reg x) {
  using Reg = typename V::Reg;
  Reg square = V::mul(x, x);
  Reg square2 = V::add(square, square);
  Reg poly2 = V::sub(square2, k.c1);
  // The scalar loop forms square * 4 and square * 8. Doubling a float is exact
  // (or overflows, in the same way for a product and for a sum), so doubling
  // square2 once and twice gives the same bits, in any rounding mode and with
  // denormals flushed or not. It moves two operations from the multipliers to
  // the adders, which have as many units and fewer operations to run.
  Reg square4 = V::add(square2, square2);
  Reg square8 = V::add(square4, square4);
  Reg poly3 = V::mul(V::sub(square4, k.c3), x);
  Reg poly4 = V::add(V::mul(V::sub(square8, k.c8), square), k.c1);
  Reg poly5 = V::mul(V::add(V::mul(V::sub(V::mul(square, k.c16), k.c20), square), k.c5), x);
  Reg poly7 = V::mul(
      V::sub(V::mul(V::add(V::mul(V::sub(V::mul(square, k.c64), k.c112), square), k.c56), square),
             k.c7),
      x);
  Reg out = V::mul(k.one, x);
  out = V::add(out, V::mul(k.two, poly2));
  out = V::add(out, V::mul(k.three, poly3));
  out = V::add(out, V::mul(k.four, poly4));
  out = V::add(out, V::mul(k.five, poly5));
  out = V::add(out, V::mul(k.seven, poly7));
  return V::mul(out, k.gain);
}

template <class V, bool kReplacing>
void shapeBlock(const ShaperConstants<V>& k, const float* in, float* out, long frames) {
  using Reg = typename V::Reg;
  constexpr long kLanes = V::kLanes;
  long i = 0;
  // Two independent vectors per step keep both the multipliers and the adders busy
  // across the long dependency chain of one sample. Both are read before either is
  // written, which keeps in-place processing right.
  for (; i + 2 * kLanes <= frames; i += 2 * kLanes) {
    Reg a = shapeLanes(k, V::load(in + i));
    Reg b = shapeLanes(k, V::load(in + i + kLanes));
    if (!kReplacing) {
      a = V::accumulate(a, V::load(out + i));
      b = V::accumulate(b, V::load(out + i + kLanes));
    }
    V::store(out + i, a);
    V::store(out + i + kLanes, b);
  }
  if (i + kLanes <= frames) {
    Reg a = shapeLanes(k, V::load(in + i));
    if (!kReplacing) a = V::accumulate(a, V::load(out + i));
    V::store(out + i, a);
    i += kLanes;
  }
  if (i < frames) {
    long rest = frames - i;
    Reg a = shapeLanes(k, V::loadPartial(in + i, rest));
    if (!kReplacing) a = V::accumulate(a, V::loadPartial(out + i, rest));
    V::storePartial(out + i, rest, a);
  }
}

template <class V>
void shapeWith(const ShaperWeights& weights, const float* in, float* out, long frames,
               bool replacing) {
  const ShaperConstants<V> k(weights);
  if (replacing)
    shapeBlock<V, true>(k, in, out, frames);
  else
    shapeBlock<V, false>(k, in, out, frames);
}

}  // namespace
