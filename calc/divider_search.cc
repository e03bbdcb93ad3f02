#include "divider_search.h"

#include <cmath>

#include "checked_arithmetic.h"
#include "parse_leading_number.h"

namespace synthfactors {
namespace {

constexpr double kNoDiffYet = 99999999;

// The limits, each read from its text the first time it is needed.
struct Limits {
  std::string_view lower_text, upper_text;
  double lower = 0, upper = 0;
  bool lower_read = false, upper_read = false;
};

enum class Step { kNext, kStopLower, kExact };

// One candidate, one checked operation at a time, on the state itself: a
// fault leaves the state exactly as far as the candidate got.
Step CheckedStep(SearchState& s, std::int32_t r, Limits& limits) {
  s.RTrial = r;
  s.FComp = Div(s.RefFreq, r);
  const double fcomp_khz = Mul(kKiloHertzPerMegahertz, s.FComp);
  if (!limits.lower_read) {
    s.Phase = SearchPhase::kReadLowerLimit;
    limits.lower = ParseLeadingNumber(limits.lower_text);
    limits.lower_read = true;
    s.Phase = SearchPhase::kCandidates;
  }
  if (fcomp_khz < limits.lower) return Step::kStopLower;
  if (!limits.upper_read) {
    s.Phase = SearchPhase::kReadUpperLimit;
    limits.upper = ParseLeadingNumber(limits.upper_text);
    limits.upper_read = true;
    s.Phase = SearchPhase::kCandidates;
  }
  if (!(fcomp_khz <= limits.upper)) return Step::kNext;

  s.NTrial = Floor(Add(Div(s.SrcFreq, s.FComp), 0.5));
  s.FCompAct = s.NTrial > 0 ? Div(s.SrcFreq, s.NTrial) : s.SrcFreq;
  s.FCompDiff = Sub(s.FCompAct, s.FComp);
  const double diff = std::fabs(s.FCompDiff);
  if (diff < s.BestDiff) {
    s.BestDiff = diff;
    s.BestR = r;
    s.BestN = s.NTrial;
  }
  return diff < kExactBelow ? Step::kExact : Step::kNext;
}

// The working values of the search kept in registers between candidates.
struct Working {
  double fcomp, n, act, diff, best_diff, best_n;
  std::int32_t best_r;

  explicit Working(const SearchState& s)
      : fcomp(s.FComp), n(s.NTrial), act(s.FCompAct), diff(s.FCompDiff),
        best_diff(s.BestDiff), best_n(s.BestN), best_r(s.BestR) {}

  void Store(SearchState& s, std::int32_t r) const {
    s.RTrial = r;
    s.FComp = fcomp;
    s.NTrial = n;
    s.FCompAct = act;
    s.FCompDiff = diff;
    s.BestDiff = best_diff;
    s.BestR = best_r;
    s.BestN = best_n;
  }
};

}  // namespace

bool RunDividerSearch(SearchState& s, std::string_view min_fc_text,
                      std::string_view max_fc_text) {
  s.Phase = SearchPhase::kCandidates;
  s.BestDiff = kNoDiffYet;
  s.BestN = 0;
  s.BestR = 0;

  // The first candidate reads the limits; the rest run on plain doubles and
  // look for a non-finite result only where one could arise. A candidate
  // that finds one is done again step by step, which raises the fault at
  // the step that caused it.
  Limits limits{min_fc_text, max_fc_text};
  const Step first = CheckedStep(s, 1, limits);
  if (first != Step::kNext) return first == Step::kExact;

  const double src = s.SrcFreq;
  const double ref = s.RefFreq;
  const double lower = limits.lower;
  const double upper = limits.upper;
  Working w(s);
  for (std::int32_t r = 2; r <= kLastRTrial; ++r) {
    const double fcomp = ref / r;
    const double fcomp_khz = kKiloHertzPerMegahertz * fcomp;
    double q = 0, n = 0, act = 0, diff = 0;
    bool finite = std::isfinite(fcomp_khz);
    if (finite) {
      w.fcomp = fcomp;
      if (fcomp_khz < lower) {
        w.Store(s, r);
        return false;
      }
      if (!(fcomp_khz <= upper)) continue;
      q = src / fcomp;
      n = Floor(q + 0.5);
      act = n > 0 ? src / n : src;
      diff = act - fcomp;
      finite = std::isfinite(q) && std::isfinite(diff);
    }
    if (!finite) [[unlikely]] {
      w.Store(s, r - 1);
      const Step step = CheckedStep(s, r, limits);
      if (step != Step::kNext) return step == Step::kExact;
      w = Working(s);
      continue;
    }
    w.n = n;
    w.act = act;
    w.diff = diff;
    const double abs_diff = std::fabs(diff);
    if (abs_diff < w.best_diff) {
      w.best_diff = abs_diff;
      w.best_r = r;
      w.best_n = n;
    }
    if (abs_diff < kExactBelow) {
      w.Store(s, r);
      return true;
    }
  }
  w.Store(s, kLastRTrial);
  return false;
}

}  // namespace synthfactors
