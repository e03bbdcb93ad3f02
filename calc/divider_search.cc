#include "divider_search.h"

#include <algorithm>
#include <cmath>

#include "checked_arithmetic.h"
#include "search_kernel.h"

namespace synthfactors {
namespace {

// BestDiff before any candidate is judged. It is a finite value, not
// infinity, because the window has always started from it: the state shows
// it after a search that admitted nothing, and a candidate whose difference
// is not below it (possible only with absurd frequencies) is never chosen.
constexpr double kNoDiffYet = 99999999;

// The limits, each taken from its number the first time it is needed (an
// overflow of its reading is raised there).
struct Limits {
  BoxNumber lower_number, upper_number;
  double lower = 0, upper = 0;
  bool lower_read = false, upper_read = false;
};

// kBeyondN: the candidate's N lies above the largest admitted N, and no
// later R can bring it back (see PastLargestN).
enum class Step { kNext, kStopLower, kExact, kBeyondN };

// Whether an admitted candidate becomes the best pair, and whether it is an
// exact match; the same rule for every way of running the search.
template <typename Best>
Step Judge(double diff, double n, std::int32_t r, const SearchBounds& bounds,
           Best& best) {
  if (!bounds.Admits(n)) return Step::kNext;
  const double abs_diff = std::fabs(diff);
  if (abs_diff < best.diff) {
    best.diff = abs_diff;
    best.r = r;
    best.n = n;
  }
  return abs_diff < kExactBelow ? Step::kExact : Step::kNext;
}

// The best pair, as a view of the state's fields.
struct StateBest {
  double& diff;
  std::int32_t& r;
  double& n;
};

// One candidate, one checked operation at a time, on the state itself: a
// fault leaves the state exactly as far as the candidate got.
Step CheckedStep(SearchState& s, std::int32_t r, Limits& limits,
                 const SearchBounds& bounds) {
  s.RTrial = r;
  s.FComp = Checked::Comparison(s.RefFreq, r);
  const double fcomp_khz = Checked::ComparisonKiloHertz(s.FComp);
  if (!limits.lower_read) {
    s.Phase = SearchPhase::kReadLowerLimit;
    limits.lower = std::max(limits.lower_number.Value(), bounds.LowestKHz);
    limits.lower_read = true;
    s.Phase = SearchPhase::kCandidates;
  }
  if (fcomp_khz < limits.lower) return Step::kStopLower;
  if (!limits.upper_read) {
    s.Phase = SearchPhase::kReadUpperLimit;
    limits.upper = std::min(limits.upper_number.Value(), bounds.HighestKHz);
    limits.upper_read = true;
    s.Phase = SearchPhase::kCandidates;
  }
  if (!(fcomp_khz <= limits.upper)) return Step::kNext;

  s.NTrial = Checked::Feedback(s.SrcFreq, s.FComp);
  s.FCompAct = Checked::Implied(s.SrcFreq, s.NTrial);
  s.FCompDiff = Checked::Difference(s.FCompAct, s.FComp);
  StateBest best{s.BestDiff, s.BestR, s.BestN};
  return Judge(s.FCompDiff, s.NTrial, r, bounds, best);
}

// The working values of the search kept in registers between candidates.
struct Working {
  double fcomp, n, act, diff;
  struct {
    double diff, n;
    std::int32_t r;
  } best;

  explicit Working(const SearchState& s)
      : fcomp(s.FComp), n(s.NTrial), act(s.FCompAct), diff(s.FCompDiff),
        best{s.BestDiff, s.BestN, s.BestR} {}

  void Store(SearchState& s, std::int32_t r) const {
    s.RTrial = r;
    s.FComp = fcomp;
    s.NTrial = n;
    s.FCompAct = act;
    s.FCompDiff = diff;
    s.BestDiff = best.diff;
    s.BestR = best.r;
    s.BestN = best.n;
  }
};

struct Kernel {
  KernelScan scan;
  int lanes;
};

}  // namespace

#ifdef __EMSCRIPTEN__
// The page's SIMD module links the WebAssembly kernel; in the scalar
// module this is null.
[[gnu::weak]] void ScanWasmSimd128(const KernelInputs& in, int first, int last, double best_diff,
                                   ScanResult& result);
#endif

namespace {

Kernel KernelFor(SearchKernel kernel) {
  switch (kernel) {
#if SYNTHFACTORS_X86_KERNELS
    case SearchKernel::kSse2:
      return {&ScanSse2, kSse2Lanes};
    case SearchKernel::kAvx2:
      return {&ScanAvx2, kAvx2Lanes};
    case SearchKernel::kAvx512:
      return {&ScanAvx512, kAvx512Lanes};
#endif
#ifdef __EMSCRIPTEN__
    case SearchKernel::kWasmSimd128:
      return {&ScanWasmSimd128, kWasmSimd128Lanes};
#endif
    default:
      return {nullptr, 1};
  }
}

SearchKernel FastestKernel() {
  static const SearchKernel fastest = AvailableSearchKernels().back();
  return fastest;
}

// One candidate from its plain values, checking only where a result could
// stop being finite; a candidate that finds one is done again step by step,
// which raises the fault at the step that caused it. Stores the state when
// the search ends here.
Step PlainStep(SearchState& s, Working& w, std::int32_t r, const CandidateValues& v,
               Limits& limits, const SearchBounds& bounds) {
  bool finite = std::isfinite(v.khz);
  if (finite) {
    w.fcomp = v.fcomp;
    if (v.khz < limits.lower) {
      w.Store(s, r);
      return Step::kStopLower;
    }
    if (!(v.khz <= limits.upper)) return Step::kNext;
    finite = std::isfinite(v.n) && std::isfinite(v.diff);
  }
  if (!finite) [[unlikely]] {
    w.Store(s, r - 1);
    const Step checked = CheckedStep(s, r, limits, bounds);
    w = Working(s);
    return checked;
  }
  w.n = v.n;
  w.act = v.act;
  w.diff = v.diff;
  const Step step = Judge(v.diff, v.n, r, bounds, w.best);
  if (step == Step::kExact) w.Store(s, r);
  if (step == Step::kNext && v.n > bounds.MaxN && s.SrcFreq > 0 && s.RefFreq > 0) {
    return Step::kBeyondN;
  }
  return step;
}

// With a positive source and reference the comparison frequency falls and
// N never falls as R grows, so once N is above the largest admitted N no
// later R is admitted (a chip's counters end there long before its last
// R). The search then ends as the full scan would: at the first R below
// the lower limit, or after the last R, with the state holding that
// candidate's values. Where those values are not finite the scan goes on
// one candidate at a time instead (it would fault on the way): false.
bool FinishBeyondN(SearchState& s, Working& w, std::int32_t r, std::int32_t last,
                   Limits& limits, const SearchBounds& bounds, Step& end) {
  const auto below_lower = [&](std::int32_t at) {
    return EvaluatePlain(s.SrcFreq, s.RefFreq, at).khz < limits.lower;
  };
  // The first R after `r` below the lower limit, or last + 1.
  std::int32_t low = r + 1, high = last + 1;
  while (low < high) {
    const std::int32_t mid = low + (high - low) / 2;
    if (below_lower(mid)) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  const std::int32_t stop = low;
  const std::int32_t final_in_window = stop - 1;
  if (final_in_window > r) {
    const CandidateValues v = EvaluatePlain(s.SrcFreq, s.RefFreq, final_in_window);
    if (!std::isfinite(v.khz) || !std::isfinite(v.n) || !std::isfinite(v.act) ||
        !std::isfinite(v.diff) || !(v.khz <= limits.upper) || !(v.n > bounds.MaxN)) {
      return false;
    }
    w.fcomp = v.fcomp;
    w.n = v.n;
    w.act = v.act;
    w.diff = v.diff;
  }
  if (stop <= last) {
    end = PlainStep(s, w, stop, EvaluatePlain(s.SrcFreq, s.RefFreq, stop), limits, bounds);
    return true;
  }
  w.Store(s, last);
  end = Step::kNext;
  return true;
}

}  // namespace

bool RunDividerSearch(SearchState& s, const BoxNumber& lower_khz, const BoxNumber& upper_khz,
                      const SearchBounds& bounds, SearchKernel kernel) {
  s.Phase = SearchPhase::kCandidates;
  s.BestDiff = kNoDiffYet;
  s.BestN = 0;
  s.BestR = 0;
  const std::int32_t first = bounds.FirstTriedR();
  const std::int32_t last = bounds.LastTriedR();
  if (first > last) return false;

  // The first candidate reads the limits, step by step; the rest run on
  // plain doubles or in vector lanes.
  Limits limits{lower_khz, upper_khz};
  const Step step = CheckedStep(s, first, limits, bounds);
  if (step != Step::kNext) return step == Step::kExact;

  const Kernel vector = KernelFor(kernel);
  const KernelInputs inputs{s.SrcFreq, s.RefFreq, limits.lower, limits.upper,
                            bounds.MinN, bounds.MaxN};
  Working w(s);
  for (std::int32_t r = first + 1; r <= last;) {
    if (vector.scan != nullptr) {
      // Blocks that need no closer look are passed over; the first that
      // does is taken one candidate at a time from the lanes' values.
      ScanResult found;
      vector.scan(inputs, r, last, w.best.diff, found);
      if (found.passed) {
        w.fcomp = found.last_fcomp;
        w.n = found.last_n;
        w.act = found.last_act;
        w.diff = found.last_diff;
      }
      r = found.at;
      if (found.flagged) {
        for (int lane = 0; lane < vector.lanes; ++lane, ++r) {
          const BlockValues& b = found.block;
          const CandidateValues v{b.khz[lane], b.fcomp[lane], b.n[lane], b.act[lane], b.diff[lane]};
          const Step step = PlainStep(s, w, r, v, limits, bounds);
          if (step == Step::kBeyondN) {
            if (Step end{}; FinishBeyondN(s, w, r, last, limits, bounds, end)) {
              return end == Step::kExact;
            }
            continue;
          }
          if (step != Step::kNext) return step == Step::kExact;
        }
        continue;
      }
    }
    // The rest (the tail after the last whole block, or every candidate
    // without a vector kernel), one at a time.
    for (; r <= last; ++r) {
      const Step step = PlainStep(s, w, r, EvaluatePlain(s.SrcFreq, s.RefFreq, r), limits, bounds);
      if (step == Step::kBeyondN) {
        if (Step end{}; FinishBeyondN(s, w, r, last, limits, bounds, end)) {
          return end == Step::kExact;
        }
        continue;
      }
      if (step != Step::kNext) return step == Step::kExact;
    }
  }
  w.Store(s, last);
  return false;
}

bool RunDividerSearch(SearchState& s, std::string_view min_fc_text,
                      std::string_view max_fc_text, const SearchBounds& bounds,
                      SearchKernel kernel) {
  return RunDividerSearch(s, BoxNumber::Read(min_fc_text), BoxNumber::Read(max_fc_text), bounds,
                          kernel);
}

bool RunDividerSearch(SearchState& s, std::string_view min_fc_text,
                      std::string_view max_fc_text, const SearchBounds& bounds) {
  return RunDividerSearch(s, BoxNumber::Read(min_fc_text), BoxNumber::Read(max_fc_text), bounds,
                          FastestKernel());
}

bool RunDividerSearch(SearchState& s, const BoxNumber& lower_khz, const BoxNumber& upper_khz,
                      const SearchBounds& bounds) {
  return RunDividerSearch(s, lower_khz, upper_khz, bounds, FastestKernel());
}

std::vector<SearchKernel> AvailableSearchKernels() {
  std::vector<SearchKernel> kernels = {SearchKernel::kScalar};
#if SYNTHFACTORS_X86_KERNELS
  __builtin_cpu_init();
  kernels.push_back(SearchKernel::kSse2);
  if (__builtin_cpu_supports("avx2")) kernels.push_back(SearchKernel::kAvx2);
  if (__builtin_cpu_supports("avx512f")) kernels.push_back(SearchKernel::kAvx512);
#endif
#ifdef __EMSCRIPTEN__
  // Linked into the page's SIMD module only, which only a browser with
  // SIMD loads; the scalar module has none.
  if (&ScanWasmSimd128 != nullptr) kernels.push_back(SearchKernel::kWasmSimd128);
#endif
  return kernels;
}

std::string_view SearchKernelName(SearchKernel kernel) {
  switch (kernel) {
    case SearchKernel::kScalar:
      return "scalar";
    case SearchKernel::kSse2:
      return "sse2";
    case SearchKernel::kAvx2:
      return "avx2";
    case SearchKernel::kAvx512:
      return "avx512";
    case SearchKernel::kWasmSimd128:
      return "wasm-simd128";
  }
  return "scalar";
}

}  // namespace synthfactors
