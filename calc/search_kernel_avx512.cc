// The search kernel in AVX-512 lanes, eight candidates a block. This file
// alone is compiled with -mavx512f; it runs only where the processor has it.
#include <immintrin.h>

#include "candidate_formula.h"
#include "search_kernel.h"

namespace synthfactors {
namespace {

struct Avx512Arithmetic {
  using Value = __m512d;
  static Value Constant(double c) { return _mm512_set1_pd(c); }
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
    const __mmask8 positive = _mm512_cmp_pd_mask(n, _mm512_setzero_pd(), _CMP_GT_OQ);
    return _mm512_mask_blend_pd(positive, otherwise, divide());
  }
};

using Formula = CandidateFormula<Avx512Arithmetic>;

__mmask8 NotFinite(__m512d x) {
  return _mm512_cmp_pd_mask(_mm512_abs_pd(x), _mm512_set1_pd(__builtin_inf()), _CMP_NLT_UQ);
}

double LastLane(__m512d x) {
  alignas(64) double lanes[kAvx512Lanes];
  _mm512_store_pd(lanes, x);
  return lanes[kAvx512Lanes - 1];
}

void Store(ScanResult& result, __m512d khz, __m512d fcomp, __m512d n, __m512d act, __m512d diff) {
  _mm512_storeu_pd(result.block.khz, khz);
  _mm512_storeu_pd(result.block.fcomp, fcomp);
  _mm512_storeu_pd(result.block.n, n);
  _mm512_storeu_pd(result.block.act, act);
  _mm512_storeu_pd(result.block.diff, diff);
}

}  // namespace

void ScanAvx512(const KernelInputs& in, int first, int last, double best_diff,
               ScanResult& result) {
  constexpr int kLanes = kAvx512Lanes;
  const __m512d src = _mm512_set1_pd(in.src);
  const __m512d ref = _mm512_set1_pd(in.ref);
  const __m512d lower = _mm512_set1_pd(in.lower);
  const __m512d upper = _mm512_set1_pd(in.upper);
  const __m512d min_n = _mm512_set1_pd(in.min_n);
  const __m512d max_n = _mm512_set1_pd(in.max_n);
  const __m512d best = _mm512_set1_pd(best_diff);
  __m512d r = _mm512_add_pd(_mm512_set1_pd(first), _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7));
  const __m512d step = _mm512_set1_pd(kLanes);
  __m512d fcomp = _mm512_setzero_pd(), n = fcomp, act = fcomp, diff = fcomp;
  int at = first;
  result.flagged = false;
  for (; at <= last - (kLanes - 1); at += kLanes, r = _mm512_add_pd(r, step)) {
    const __m512d f = Formula::Comparison(ref, r);
    const __m512d khz = Formula::ComparisonKiloHertz(f);
    const __m512d trial = Formula::Feedback(src, f);
    const __m512d implied = Formula::Implied(src, trial);
    const __m512d d = Formula::Difference(implied, f);
    const __mmask8 look =
        _mm512_cmp_pd_mask(khz, lower, _CMP_NGE_UQ) | _mm512_cmp_pd_mask(khz, upper, _CMP_NLE_UQ) |
        NotFinite(trial) | NotFinite(d) |
        _mm512_cmp_pd_mask(_mm512_abs_pd(d), best, _CMP_LT_OQ) |
        _mm512_cmp_pd_mask(trial, min_n, _CMP_NGE_UQ) |
        _mm512_cmp_pd_mask(trial, max_n, _CMP_NLE_UQ);
    if (look != 0) {
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
