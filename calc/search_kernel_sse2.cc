// The search kernel in SSE2 lanes, two candidates a block: the x86-64
// baseline, so it needs no flags of its own. SSE2 has no floor instruction;
// Floor is built from round-to-nearest, giving the same value in every case
// the scalar Floor gives, signed zeros included.
#include <emmintrin.h>

#include "search_kernel_scan.h"

namespace synthfactors {
namespace {

struct Sse2Lanes {
  using Value = __m128d;
  using Mask = __m128d;
  static constexpr int kCount = kSse2Lanes;
  static Value Constant(double c) { return _mm_set1_pd(c); }
  static Value Iota() { return _mm_setr_pd(0, 1); }
  static Value Add(Value a, Value b) { return _mm_add_pd(a, b); }
  static Value Sub(Value a, Value b) { return _mm_sub_pd(a, b); }
  static Value Mul(Value a, Value b) { return _mm_mul_pd(a, b); }
  static Value Div(Value a, Value b) { return _mm_div_pd(a, b); }
  static Value Abs(Value x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }
  // Below 2^52, |x| + 2^52 - 2^52 is |x| rounded to a whole number; with the
  // sign put back, one less where that is above x. -0.5 < x < 0 rounds to
  // -0, and -0 - 1 is -1; 0 < x < 0.5 gives +0. From 2^52 on (and for NaN)
  // every double is whole: x itself.
  static Value Floor(Value x) {
    const Value two52 = _mm_set1_pd(4503599627370496.0);
    const Value sign = _mm_and_pd(x, _mm_set1_pd(-0.0));
    const Value magnitude = Abs(x);
    const Value rounded = _mm_or_pd(_mm_sub_pd(_mm_add_pd(magnitude, two52), two52), sign);
    const Value above = _mm_cmpgt_pd(rounded, x);
    const Value floored = _mm_sub_pd(rounded, _mm_and_pd(above, _mm_set1_pd(1.0)));
    const Value small = _mm_cmplt_pd(magnitude, two52);
    return _mm_or_pd(_mm_and_pd(small, floored), _mm_andnot_pd(small, x));
  }
  template <typename Divide>
  static Value IfPositive(Value n, Divide divide, Value otherwise) {
    const Mask positive = _mm_cmpgt_pd(n, _mm_setzero_pd());
    return _mm_or_pd(_mm_and_pd(positive, divide()), _mm_andnot_pd(positive, otherwise));
  }
  static Mask NotAtLeast(Value a, Value b) { return _mm_cmpnge_pd(a, b); }
  static Mask NotAtMost(Value a, Value b) { return _mm_cmpnle_pd(a, b); }
  static Mask Below(Value a, Value b) { return _mm_cmplt_pd(a, b); }
  static Mask NotFinite(Value x) { return _mm_cmpnlt_pd(Abs(x), _mm_set1_pd(__builtin_inf())); }
  static Mask Or(Mask a, Mask b) { return _mm_or_pd(a, b); }
  static bool Any(Mask m) { return _mm_movemask_pd(m) != 0; }
  static void Store(double* to, Value x) { _mm_storeu_pd(to, x); }
  static double Last(Value x) { return _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)); }
};

}  // namespace

void ScanSse2(const KernelInputs& in, int first, int last, double best_diff,
              ScanResult& result) {
  ScanLanes<Sse2Lanes>(in, first, last, best_diff, result);
}

}  // namespace synthfactors
