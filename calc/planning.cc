#include "planning.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <queue>
#include <thread>

namespace synthfactors {
namespace {

using PlainPairFormula = PairFormula<PlainArithmetic>;

constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::int32_t FirstR(const SearchBounds& bounds) { return std::max(bounds.FirstR, 1); }
std::int32_t LastR(const SearchBounds& bounds) { return std::min(bounds.LastR, kLastRTrial); }

// Calls admit(r, fcomp) for every R the window admits, in order, until the
// lower limit stops it or the bounds end. A comparison frequency beyond the
// double range, which would end a search in a fault, is passed over.
template <typename Admit>
void ForEachAdmittedR(double ref, double lower_khz, double upper_khz,
                      const SearchBounds& bounds, Admit admit) {
  for (std::int32_t r = FirstR(bounds), last = LastR(bounds); r <= last; ++r) {
    const double fcomp = Plain::Comparison(ref, r);
    const double fcomp_khz = Plain::ComparisonKiloHertz(fcomp);
    if (!std::isfinite(fcomp_khz)) continue;
    if (fcomp_khz < lower_khz) return;
    if (!(fcomp_khz <= upper_khz)) continue;
    admit(r, fcomp);
  }
}

std::optional<RankedPair> Evaluate(const PlanInputs& in, std::int32_t r, double fcomp) {
  const double n = Plain::Feedback(in.SrcFreq, fcomp);
  const double diff = Plain::Difference(Plain::Implied(in.SrcFreq, n), fcomp);
  if (!std::isfinite(n) || !std::isfinite(diff) || !in.Bounds.Admits(n)) return std::nullopt;
  RankedPair pair;
  pair.R = r;
  pair.N = n;
  pair.Exact = std::fabs(diff) < kExactBelow;
  const double error = PlainPairFormula::OutputError(in.RefFreq, r, n, in.SrcFreq, in.Mult);
  const double relative = PlainPairFormula::RelativeError(error, in.SrcFreq, in.Mult);
  pair.ComparisonKHz = PlainPairFormula::ComparisonKiloHertz(in.RefFreq, r);
  pair.ErrorHz = PlainPairFormula::Hertz(error);
  pair.ErrorPpb = PlainPairFormula::PartsPerBillion(relative);
  if (!std::isfinite(pair.ComparisonKHz) || !std::isfinite(pair.ErrorHz) ||
      !std::isfinite(pair.ErrorPpb)) {
    return std::nullopt;
  }
  return pair;
}

// Exact pairs first by R, then by |error|, then by R.
bool RanksBefore(const RankedPair& a, const RankedPair& b) {
  if (a.Exact != b.Exact) return a.Exact;
  if (!a.Exact && std::fabs(a.ErrorHz) != std::fabs(b.ErrorHz)) {
    return std::fabs(a.ErrorHz) < std::fabs(b.ErrorHz);
  }
  return a.R < b.R;
}

}  // namespace

std::vector<RankedPair> RankedAlternatives(const PlanInputs& in, int count) {
  count = std::clamp(count, 0, kMaxAlternatives);
  if (count == 0) return {};
  // The `count` best so far, the worst on top.
  std::priority_queue<RankedPair, std::vector<RankedPair>, decltype(&RanksBefore)> kept(
      &RanksBefore);
  ForEachAdmittedR(in.RefFreq, in.LowerKHz, in.UpperKHz, in.Bounds,
                   [&](std::int32_t r, double fcomp) {
                     const std::optional<RankedPair> pair = Evaluate(in, r, fcomp);
                     if (!pair) return;
                     if (static_cast<int>(kept.size()) < count) {
                       kept.push(*pair);
                     } else if (RanksBefore(*pair, kept.top())) {
                       kept.pop();
                       kept.push(*pair);
                     }
                   });
  std::vector<RankedPair> ranked;
  ranked.reserve(kept.size());
  for (; !kept.empty(); kept.pop()) ranked.push_back(kept.top());
  std::reverse(ranked.begin(), ranked.end());
  return ranked;
}

std::optional<double> InBandPhaseNoise(double fom, double comparison_khz, double n,
                                       double mult) {
  const double fcomp_hz = comparison_khz * 1000;
  if (!(n > 0) || !(fcomp_hz > 0) || mult == 0) return std::nullopt;
  const double noise = fom + 10 * std::log10(fcomp_hz) + 20 * std::log10(n) +
                       20 * std::log10(std::fabs(mult));
  if (!std::isfinite(noise)) return std::nullopt;
  return noise;
}

namespace {

struct PlanTrial {
  bool reaches_all = false;  // every channel has an admitted N
  bool exact_all = false;
  double worst_hz = 0;
  std::int64_t exact = 0;
};

// One R over the channels, dropped (reaches_all false) as soon as a channel
// cannot be reached, or its worst error exceeds `drop_above` while it is not
// exact on every channel so far.
PlanTrial TryR(const std::vector<double>& sources, double ref, double mult,
               const SearchBounds& bounds, std::int32_t r, double fcomp,
               double drop_above) {
  PlanTrial trial;
  bool exact_so_far = true;
  for (const double src : sources) {
    const double n = Plain::Feedback(src, fcomp);
    if (!(n >= 1) || !bounds.Admits(n)) return trial;
    const double diff = Plain::Difference(Plain::Implied(src, n), fcomp);
    const double error_hz =
        std::fabs(PlainPairFormula::Hertz(PlainPairFormula::OutputError(ref, r, n, src, mult)));
    if (!std::isfinite(diff) || !std::isfinite(error_hz)) return trial;
    if (std::fabs(diff) < kExactBelow) {
      ++trial.exact;
    } else {
      exact_so_far = false;
    }
    trial.worst_hz = std::max(trial.worst_hz, error_hz);
    if (!exact_so_far && trial.worst_hz > drop_above) return trial;
  }
  trial.reaches_all = true;
  trial.exact_all = exact_so_far;
  return trial;
}

bool SomeRReaches(double src, const std::vector<std::pair<std::int32_t, double>>& admitted,
                  const SearchBounds& bounds) {
  for (const auto& [r, fcomp] : admitted) {
    const double n = Plain::Feedback(src, fcomp);
    if (n >= 1 && bounds.Admits(n) &&
        std::isfinite(Plain::Difference(Plain::Implied(src, n), fcomp))) {
      return true;
    }
  }
  return false;
}

}  // namespace

CommonRChoice ChooseCommonR(const std::vector<double>& sources, double ref,
                            double mult, double lower_khz, double upper_khz,
                            const SearchBounds& bounds, int threads) {
  std::vector<std::pair<std::int32_t, double>> admitted;
  ForEachAdmittedR(ref, lower_khz, upper_khz, bounds,
                   [&](std::int32_t r, double fcomp) { admitted.emplace_back(r, fcomp); });

  // R are handed out in rising blocks; the first R exact on every channel
  // ends the work of blocks after it, and the best worst error so far drops
  // the others early.
  constexpr std::size_t kBlock = 16;
  const std::size_t none = admitted.size();
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> first_exact{none};
  std::atomic<double> best_worst{kInfinity};
  struct Best {
    std::size_t index;
    PlanTrial trial;
  };
  std::vector<std::optional<Best>> bests(static_cast<std::size_t>(std::max(threads, 1)));

  auto work = [&](std::size_t worker) {
    for (;;) {
      const std::size_t begin = next.fetch_add(kBlock);
      if (begin >= admitted.size() || begin > first_exact.load()) return;
      const std::size_t end = std::min(begin + kBlock, admitted.size());
      for (std::size_t i = begin; i < end; ++i) {
        const auto [r, fcomp] = admitted[i];
        const PlanTrial trial =
            TryR(sources, ref, mult, bounds, r, fcomp, best_worst.load());
        if (!trial.reaches_all) continue;
        if (trial.exact_all) {
          std::size_t seen = first_exact.load();
          while (i < seen && !first_exact.compare_exchange_weak(seen, i)) {
          }
          return;  // later R of this block cannot come first
        }
        std::optional<Best>& best = bests[worker];
        if (!best || trial.worst_hz < best->trial.worst_hz) best = Best{i, trial};
        double seen = best_worst.load();
        while (trial.worst_hz < seen && !best_worst.compare_exchange_weak(seen, trial.worst_hz)) {
        }
      }
    }
  };
  {
    std::vector<std::jthread> pool;
    for (std::size_t t = 1; t < bests.size(); ++t) pool.emplace_back(work, t);
    work(0);
  }

  CommonRChoice out;
  std::optional<Best> chosen;
  if (first_exact.load() != none) {
    const std::size_t i = first_exact.load();
    chosen = Best{i, TryR(sources, ref, mult, bounds, admitted[i].first, admitted[i].second,
                          kInfinity)};
  } else {
    for (const std::optional<Best>& best : bests) {
      if (!best) continue;
      if (!chosen || best->trial.worst_hz < chosen->trial.worst_hz ||
          (best->trial.worst_hz == chosen->trial.worst_hz && best->index < chosen->index)) {
        chosen = best;
      }
    }
  }
  if (chosen) {
    const auto [r, fcomp] = admitted[chosen->index];
    out.Choice = CommonR{r, PlainPairFormula::ComparisonKiloHertz(ref, r), chosen->trial.exact,
                         static_cast<std::int64_t>(sources.size()), chosen->trial.worst_hz};
    return out;
  }
  for (std::size_t c = 0; c < sources.size(); ++c) {
    if (!SomeRReaches(sources[c], admitted, bounds)) {
      out.UnreachedChannel = c;
      break;
    }
  }
  return out;
}

}  // namespace synthfactors
