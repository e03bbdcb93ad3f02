// The search kernel in AVX2 lanes, four candidates a block. This file alone
// is compiled with -mavx2; it runs only where the processor has AVX2.
#include <immintrin.h>

#include "candidate_formula.h"
#include "search_kernel.h"

namespace synthfactors {
namespace {

struct Avx2Arithmetic {
  using Value = __m256d;
  static Value Constant(double c) { return _mm256_set1_pd(c); }
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
};

using Formula = CandidateFormula<Avx2Arithmetic>;

__m256d Abs(__m256d x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }

__m256d NotFinite(__m256d x) {
  return _mm256_cmp_pd(Abs(x), _mm256_set1_pd(__builtin_inf()), _CMP_NLT_UQ);
}

double LastLane(__m256d x) {
  return _mm_cvtsd_f64(_mm_unpackhi_pd(_mm256_extractf128_pd(x, 1), _mm256_extractf128_pd(x, 1)));
}

void Store(ScanResult& result, __m256d khz, __m256d fcomp, __m256d n, __m256d act, __m256d diff) {
  _mm256_storeu_pd(result.block.khz, khz);
  _mm256_storeu_pd(result.block.fcomp, fcomp);
  _mm256_storeu_pd(result.block.n, n);
  _mm256_storeu_pd(result.block.act, act);
  _mm256_storeu_pd(result.block.diff, diff);
}

}  // namespace

void ScanAvx2(const KernelInputs& in, int first, int last, double best_diff,
             ScanResult& result) {
  constexpr int kLanes = kAvx2Lanes;
  const __m256d src = _mm256_set1_pd(in.src);
  const __m256d ref = _mm256_set1_pd(in.ref);
  const __m256d lower = _mm256_set1_pd(in.lower);
  const __m256d upper = _mm256_set1_pd(in.upper);
  const __m256d min_n = _mm256_set1_pd(in.min_n);
  const __m256d max_n = _mm256_set1_pd(in.max_n);
  const __m256d best = _mm256_set1_pd(best_diff);
  __m256d r = _mm256_add_pd(_mm256_set1_pd(first), _mm256_setr_pd(0, 1, 2, 3));
  const __m256d step = _mm256_set1_pd(kLanes);
  __m256d fcomp = _mm256_setzero_pd(), n = fcomp, act = fcomp, diff = fcomp;
  int at = first;
  result.flagged = false;
  for (; at <= last - (kLanes - 1); at += kLanes, r = _mm256_add_pd(r, step)) {
    const __m256d f = Formula::Comparison(ref, r);
    const __m256d khz = Formula::ComparisonKiloHertz(f);
    const __m256d trial = Formula::Feedback(src, f);
    const __m256d implied = Formula::Implied(src, trial);
    const __m256d d = Formula::Difference(implied, f);
    __m256d look = _mm256_cmp_pd(khz, lower, _CMP_NGE_UQ);
    look = _mm256_or_pd(look, _mm256_cmp_pd(khz, upper, _CMP_NLE_UQ));
    look = _mm256_or_pd(look, NotFinite(trial));
    look = _mm256_or_pd(look, NotFinite(d));
    look = _mm256_or_pd(look, _mm256_cmp_pd(Abs(d), best, _CMP_LT_OQ));
    look = _mm256_or_pd(look, _mm256_cmp_pd(trial, min_n, _CMP_NGE_UQ));
    look = _mm256_or_pd(look, _mm256_cmp_pd(trial, max_n, _CMP_NLE_UQ));
    if (_mm256_movemask_pd(look) != 0) {
      Store(result, khz, f, trial, implied, d);
      result.flagged = true;
      break;
    }
    fcomp = f, n = trial, act = implied, diff = d;
  }
  result.at = at;
  result.passed = at > first;
  if (result.passed) {
    result.last_fcomp = LastLane(fcomp);
    result.last_n = LastLane(n);
    result.last_act = LastLane(act);
    result.last_diff = LastLane(diff);
  }
}

}  // namespace synthfactors
