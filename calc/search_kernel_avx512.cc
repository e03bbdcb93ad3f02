// The search kernel in AVX-512 lanes, eight candidates a block. This file
// alone is compiled with -mavx512f; it runs only where the processor has it.
#include <immintrin.h>

#include "search_kernel_scan.h"

namespace synthfactors {
namespace {

struct Avx512Lanes {
  using Value = __m512d;
  using Mask = __mmask8;
  static constexpr int kCount = kAvx512Lanes;
  static Value Constant(double c) { return _mm512_set1_pd(c); }
  static Value Iota() { return _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7); }
  static Value Add(Value a, Value b) { return _mm512_add_pd(a, b); }
  static Value Sub(Value a, Value b) { return _mm512_sub_pd(a, b); }
  static Value Mul(Value a, Value b) { return _mm512_mul_pd(a, b); }
  static Value Div(Value a, Value b) { return _mm512_div_pd(a, b); }
  static Value Floor(Value x) {
    // Every lane written (mask all ones); x also serves as the pass-through.
    return _mm512_mask_roundscale_pd(x, 0xFF, x, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
  }
  template <typename Divide>
  static Value IfPositive(Value n, Divide divide, Value otherwise) {
    const Mask positive = _mm512_cmp_pd_mask(n, _mm512_setzero_pd(), _CMP_GT_OQ);
    return _mm512_mask_blend_pd(positive, otherwise, divide());
  }
  static Value Abs(Value x) { return _mm512_abs_pd(x); }
  static Mask NotAtLeast(Value a, Value b) { return _mm512_cmp_pd_mask(a, b, _CMP_NGE_UQ); }
  static Mask NotAtMost(Value a, Value b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); }
  static Mask Below(Value a, Value b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
  static Mask NotFinite(Value x) {
    return _mm512_cmp_pd_mask(Abs(x), _mm512_set1_pd(__builtin_inf()), _CMP_NLT_UQ);
  }
  static Mask Or(Mask a, Mask b) { return static_cast<Mask>(a | b); }
  static bool Any(Mask m) { return m != 0; }
  static void Store(double* to, Value x) { _mm512_storeu_pd(to, x); }
  static double Last(Value x) {
    alignas(64) double lanes[kCount];
    _mm512_store_pd(lanes, x);
    return lanes[kCount - 1];
  }
};

}  // namespace

void ScanAvx512(const KernelInputs& in, int first, int last, double best_diff,
                ScanResult& result) {
  ScanLanes<Avx512Lanes>(in, first, last, best_diff, result);
}

}  // namespace synthfactors
