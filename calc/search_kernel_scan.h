// The scan of a vector kernel (see search_kernel.h), written once for the
// lanes of every instruction set. `Lanes` adds to the candidate formula's
// arithmetic: kCount, Iota() (0, 1, 2, ...), Mask with Or and Any, the
// comparisons NotAtLeast(a, b) = !(a >= b), NotAtMost(a, b) = !(a <= b)
// (both true for NaN), Below(a, b) = a < b, NotFinite(x), Abs(x),
// Store(double*, x) and Last(x).
//
// Include it only in a kernel's own file, with `Lanes` in an anonymous
// namespace, so that each instantiation stays inside its file.
#pragma once

#include "candidate_formula.h"
#include "search_kernel.h"

namespace synthfactors {

template <typename Lanes>
void ScanLanes(const KernelInputs& in, int first, int last, double best_diff,
               ScanResult& result) {
  using V = typename Lanes::Value;
  using Formula = CandidateFormula<Lanes>;
  constexpr int kCount = Lanes::kCount;
  const V src = Lanes::Constant(in.src);
  const V ref = Lanes::Constant(in.ref);
  const V lower = Lanes::Constant(in.lower);
  const V upper = Lanes::Constant(in.upper);
  const V min_n = Lanes::Constant(in.min_n);
  const V max_n = Lanes::Constant(in.max_n);
  const V best = Lanes::Constant(best_diff);
  const V step = Lanes::Constant(kCount);
  V r = Lanes::Add(Lanes::Constant(first), Lanes::Iota());
  V fcomp = Lanes::Constant(0), n = fcomp, act = fcomp, diff = fcomp;
  int at = first;
  result.flagged = false;
  for (; at <= last - (kCount - 1); at += kCount, r = Lanes::Add(r, step)) {
    const V f = Formula::Comparison(ref, r);
    const V khz = Formula::ComparisonKiloHertz(f);
    const V trial = Formula::Feedback(src, f);
    const V implied = Formula::Implied(src, trial);
    const V d = Formula::Difference(implied, f);
    const auto look = Lanes::Or(
        Lanes::Or(Lanes::Or(Lanes::NotAtLeast(khz, lower), Lanes::NotAtMost(khz, upper)),
                  Lanes::Or(Lanes::NotFinite(trial), Lanes::NotFinite(d))),
        Lanes::Or(Lanes::Below(Lanes::Abs(d), best),
                  Lanes::Or(Lanes::NotAtLeast(trial, min_n), Lanes::NotAtMost(trial, max_n))));
    if (Lanes::Any(look)) {
      Lanes::Store(result.block.khz, khz);
      Lanes::Store(result.block.fcomp, f);
      Lanes::Store(result.block.n, trial);
      Lanes::Store(result.block.act, implied);
      Lanes::Store(result.block.diff, d);
      result.flagged = true;
      break;
    }
    fcomp = f, n = trial, act = implied, diff = d;
  }
  result.at = at;
  result.passed = at > first;
  if (result.passed) {
    result.last_fcomp = Lanes::Last(fcomp);
    result.last_n = Lanes::Last(n);
    result.last_act = Lanes::Last(act);
    result.last_diff = Lanes::Last(diff);
  }
}

}  // namespace synthfactors
