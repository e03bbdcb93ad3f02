// The search kernel in SSE2 lanes, two candidates a block: the x86-64
// baseline, so it needs no flags of its own. SSE2 has no floor instruction;
// Floor is built from round-to-nearest, giving the same value in every case
// the scalar Floor gives, signed zeros included.
#include <emmintrin.h>

#include "candidate_formula.h"
#include "search_kernel.h"

namespace synthfactors {
namespace {

__m128d Abs(__m128d x) { return _mm_andnot_pd(_mm_set1_pd(-0.0), x); }

struct Sse2Arithmetic {
  using Value = __m128d;
  static Value Constant(double c) { return _mm_set1_pd(c); }
  static Value Add(Value a, Value b) { return _mm_add_pd(a, b); }
  static Value Sub(Value a, Value b) { return _mm_sub_pd(a, b); }
  static Value Mul(Value a, Value b) { return _mm_mul_pd(a, b); }
  static Value Div(Value a, Value b) { return _mm_div_pd(a, b); }
  // Below 2^52, |x| + 2^52 - 2^52 is |x| rounded to a whole number; with the
  // sign put back, one less where that is above x. From 2^52 on (and for
  // NaN) every double is whole: x itself.
  static Value Floor(Value x) {
    const __m128d two52 = _mm_set1_pd(4503599627370496.0);
    const __m128d sign = _mm_and_pd(x, _mm_set1_pd(-0.0));
    const __m128d magnitude = Abs(x);
    const __m128d rounded = _mm_or_pd(_mm_sub_pd(_mm_add_pd(magnitude, two52), two52), sign);
    const __m128d above = _mm_cmpgt_pd(rounded, x);
    const __m128d floored = _mm_sub_pd(rounded, _mm_and_pd(above, _mm_set1_pd(1.0)));
    // -0.5 < x < 0 rounds to -0, and -0 - 1 is -1; 0 < x < 0.5 gives +0.
    const __m128d small = _mm_cmplt_pd(magnitude, two52);
    return _mm_or_pd(_mm_and_pd(small, floored), _mm_andnot_pd(small, x));
  }
  template <typename Divide>
  static Value IfPositive(Value n, Divide divide, Value otherwise) {
    const __m128d positive = _mm_cmpgt_pd(n, _mm_setzero_pd());
    return _mm_or_pd(_mm_and_pd(positive, divide()), _mm_andnot_pd(positive, otherwise));
  }
};

using Formula = CandidateFormula<Sse2Arithmetic>;

__m128d NotFinite(__m128d x) { return _mm_cmpnlt_pd(Abs(x), _mm_set1_pd(__builtin_inf())); }

double LastLane(__m128d x) { return _mm_cvtsd_f64(_mm_unpackhi_pd(x, x)); }

void Store(ScanResult& result, __m128d khz, __m128d fcomp, __m128d n, __m128d act, __m128d diff) {
  _mm_storeu_pd(result.block.khz, khz);
  _mm_storeu_pd(result.block.fcomp, fcomp);
  _mm_storeu_pd(result.block.n, n);
  _mm_storeu_pd(result.block.act, act);
  _mm_storeu_pd(result.block.diff, diff);
}

}  // namespace

void ScanSse2(const KernelInputs& in, int first, int last, double best_diff,
             ScanResult& result) {
  constexpr int kLanes = kSse2Lanes;
  const __m128d src = _mm_set1_pd(in.src);
  const __m128d ref = _mm_set1_pd(in.ref);
  const __m128d lower = _mm_set1_pd(in.lower);
  const __m128d upper = _mm_set1_pd(in.upper);
  const __m128d min_n = _mm_set1_pd(in.min_n);
  const __m128d max_n = _mm_set1_pd(in.max_n);
  const __m128d best = _mm_set1_pd(best_diff);
  __m128d r = _mm_add_pd(_mm_set1_pd(first), _mm_setr_pd(0, 1));
  const __m128d step = _mm_set1_pd(kLanes);
  __m128d fcomp = _mm_setzero_pd(), n = fcomp, act = fcomp, diff = fcomp;
  int at = first;
  result.flagged = false;
  for (; at <= last - (kLanes - 1); at += kLanes, r = _mm_add_pd(r, step)) {
    const __m128d f = Formula::Comparison(ref, r);
    const __m128d khz = Formula::ComparisonKiloHertz(f);
    const __m128d trial = Formula::Feedback(src, f);
    const __m128d implied = Formula::Implied(src, trial);
    const __m128d d = Formula::Difference(implied, f);
    __m128d look = _mm_cmpnge_pd(khz, lower);
    look = _mm_or_pd(look, _mm_cmpnle_pd(khz, upper));
    look = _mm_or_pd(look, NotFinite(trial));
    look = _mm_or_pd(look, NotFinite(d));
    look = _mm_or_pd(look, _mm_cmplt_pd(Abs(d), best));
    look = _mm_or_pd(look, _mm_cmpnge_pd(trial, min_n));
    look = _mm_or_pd(look, _mm_cmpnle_pd(trial, max_n));
    if (_mm_movemask_pd(look) != 0) {
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
