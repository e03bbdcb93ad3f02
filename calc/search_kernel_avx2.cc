// The search kernel in AVX2 lanes, four candidates a block. This file alone
// is compiled with -mavx2; it runs only where the processor has AVX2.
#include <immintrin.h>

#include "search_kernel_scan.h"

namespace synthfactors {
namespace {

struct Avx2Lanes {
  using Value = __m256d;
  using Mask = __m256d;
  static constexpr int kCount = kAvx2Lanes;
  static Value Constant(double c) { return _mm256_set1_pd(c); }
  static Value Iota() { return _mm256_setr_pd(0, 1, 2, 3); }
  static Value Add(Value a, Value b) { return _mm256_add_pd(a, b); }
  static Value Sub(Value a, Value b) { return _mm256_sub_pd(a, b); }
  static Value Mul(Value a, Value b) { return _mm256_mul_pd(a, b); }
  static Value Div(Value a, Value b) { return _mm256_div_pd(a, b); }
  static Value Floor(Value x) { return _mm256_floor_pd(x); }
  template <typename Divide>
  static Value IfPositive(Value n, Divide divide, Value otherwise) {
    const Value positive = _mm256_cmp_pd(n, _mm256_setzero_pd(), _CMP_GT_OQ);
    return _mm256_blendv_pd(otherwise, divide(), positive);
  }
  static Value Abs(Value x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }
  static Mask NotAtLeast(Value a, Value b) { return _mm256_cmp_pd(a, b, _CMP_NGE_UQ); }
  static Mask NotAtMost(Value a, Value b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
  static Mask Below(Value a, Value b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
  static Mask NotFinite(Value x) {
    return _mm256_cmp_pd(Abs(x), _mm256_set1_pd(__builtin_inf()), _CMP_NLT_UQ);
  }
  static Mask Or(Mask a, Mask b) { return _mm256_or_pd(a, b); }
  static bool Any(Mask m) { return _mm256_movemask_pd(m) != 0; }
  static void Store(double* to, Value x) { _mm256_storeu_pd(to, x); }
  static double Last(Value x) {
    const __m128d high = _mm256_extractf128_pd(x, 1);
    return _mm_cvtsd_f64(_mm_unpackhi_pd(high, high));
  }
};

}  // namespace

void ScanAvx2(const KernelInputs& in, int first, int last, double best_diff,
              ScanResult& result) {
  ScanLanes<Avx2Lanes>(in, first, last, best_diff, result);
}

}  // namespace synthfactors
