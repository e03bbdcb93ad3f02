#include "planning.h"

#include "best_kept.h"
#include "rounded_log.h"

#include <algorithm>
#include <cmath>

namespace synthfactors {
namespace {

using PlainPairFormula = PairFormula<PlainArithmetic>;

// Calls admit(r, fcomp) for every R the window (narrowed by the bounds'
// comparison limits) admits, in order, until the lower limit stops it or the
// bounds end. A comparison frequency beyond the
// double range, which would end a search in a fault, is passed over.
template <typename Admit>
void ForEachAdmittedR(double ref, double lower_khz, double upper_khz,
                      const SearchBounds& bounds, Admit admit) {
  lower_khz = std::max(lower_khz, bounds.LowestKHz);
  upper_khz = std::min(upper_khz, bounds.HighestKHz);
  for (std::int32_t r = bounds.FirstTriedR(), last = bounds.LastTriedR(); r <= last; ++r) {
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
  BestKept<RankedPair, decltype(&RanksBefore)> kept(count, &RanksBefore);
  ForEachAdmittedR(in.RefFreq, in.LowerKHz, in.UpperKHz, in.Bounds,
                   [&](std::int32_t r, double fcomp) {
                     if (const std::optional<RankedPair> pair = Evaluate(in, r, fcomp)) {
                       kept.Offer(*pair);
                     }
                   });
  return kept.Take();
}

std::optional<double> InBandPhaseNoise(double fom, double comparison_khz, double n,
                                       double mult) {
  const double fcomp_hz = comparison_khz * 1000;
  if (!(n > 0) || !(fcomp_hz > 0) || mult == 0) return std::nullopt;
  const double noise = fom + 10 * Log10(fcomp_hz) + 20 * Log10(n) +
                       20 * Log10(std::fabs(mult));
  if (!std::isfinite(noise)) return std::nullopt;
  return noise;
}

std::optional<NoiseFigures> InBandNoise(const NoiseModel& model, double comparison_khz,
                                        double n, double mult) {
  const std::optional<double> floor = InBandPhaseNoise(model.Fom, comparison_khz, n, mult);
  if (!floor) return std::nullopt;
  NoiseFigures figures{*floor, *floor, std::nullopt};
  if (!model.Flicker) return figures;
  const double source_hz = n * (comparison_khz * 1000);
  const double flicker = *model.Flicker + 20 * Log10(source_hz) -
                         10 * Log10(model.OffsetHz) + 20 * Log10(std::fabs(mult));
  // The power sum, as it has always been computed where the powers are
  // ordinary doubles; where one would overflow or vanish, as the larger term
  // plus the log of one plus the other's ratio, which stays finite.
  const double powers = Exp10(*floor / 10) + Exp10(flicker / 10);
  double total = 10 * Log10(powers);
  if (!std::isnormal(powers) || !std::isfinite(total)) {
    const double larger = std::max(*floor, flicker), smaller = std::min(*floor, flicker);
    total = larger + 10 * Log10(1 + Exp10((smaller - larger) / 10));
  }
  if (!std::isfinite(flicker) || !std::isfinite(total)) return std::nullopt;
  figures.Flicker = flicker;
  figures.Total = total;
  return figures;
}

std::vector<AdmittedR> AdmittedDividers(double ref, double lower_khz, double upper_khz,
                                        const SearchBounds& bounds) {
  std::vector<AdmittedR> admitted;
  ForEachAdmittedR(ref, lower_khz, upper_khz, bounds,
                   [&](std::int32_t r, double fcomp) { admitted.push_back({r, fcomp}); });
  return admitted;
}

CommonRTrial TryCommonR(const std::vector<double>& sources, double ref, double mult,
                        const SearchBounds& bounds, const AdmittedR& admitted,
                        double drop_above) {
  CommonRTrial trial;
  bool exact_so_far = true;
  for (const double src : sources) {
    const double n = Plain::Feedback(src, admitted.FComp);
    if (!(n >= 1) || !bounds.Admits(n)) return trial;
    const double diff = Plain::Difference(Plain::Implied(src, n), admitted.FComp);
    const double error_hz = std::fabs(
        PlainPairFormula::Hertz(PlainPairFormula::OutputError(ref, admitted.R, n, src, mult)));
    if (!std::isfinite(diff) || !std::isfinite(error_hz)) return trial;
    if (std::fabs(diff) < kExactBelow) {
      ++trial.ExactChannels;
    } else {
      exact_so_far = false;
    }
    trial.WorstErrorHz = std::max(trial.WorstErrorHz, error_hz);
    if (!exact_so_far && trial.WorstErrorHz > drop_above) return trial;
  }
  trial.ReachesAll = true;
  trial.ExactAll = exact_so_far;
  return trial;
}

bool SomeRReaches(double source, const std::vector<AdmittedR>& admitted,
                  const SearchBounds& bounds) {
  for (const auto& [r, fcomp] : admitted) {
    const double n = Plain::Feedback(source, fcomp);
    if (n >= 1 && bounds.Admits(n) &&
        std::isfinite(Plain::Difference(Plain::Implied(source, n), fcomp))) {
      return true;
    }
  }
  return false;
}

CommonR CommonRFigures(double ref, std::int32_t r, const CommonRTrial& trial,
                       std::int64_t channels) {
  return CommonR{r, PlainPairFormula::ComparisonKiloHertz(ref, r), trial.ExactChannels,
                 channels, trial.WorstErrorHz};
}

}  // namespace synthfactors
