#include "common_r.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>
#include <variant>

#include "arithmetic_fault.h"
#include "fault_message.h"
#include "fractional_run.h"
#include "fractional_search.h"
#include "number_text.h"
#include "numeric_text.h"
#include "sweep.h"
#include "workers.h"

namespace synthfactors::runner {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Best {
  std::size_t index;
  CommonRTrial trial;
};


// The first channel that no admitted R reaches, if any; channels are handed
// out in rising blocks, and blocks after one that holds such a channel are
// passed over.
std::optional<std::size_t> FirstUnreached(const std::vector<double>& sources,
                                          const std::vector<AdmittedR>& admitted,
                                          const SearchBounds& bounds, int threads,
                                          WorkControl* control) {
  constexpr std::size_t kBlock = 16;
  const std::size_t none = sources.size();
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> first{none};
  std::atomic<std::int64_t> checked{0};
  OnWorkersTicking(threads, control, static_cast<std::int64_t>(sources.size()), "channels",
         [&] { return checked.load(); },
         [&](int) {
           for (;;) {
             const std::size_t begin = next.fetch_add(kBlock);
             if (begin >= sources.size() || begin > first.load() || StopAsked(control)) return;
             const std::size_t end = std::min(begin + kBlock, sources.size());
             for (std::size_t c = begin; c < end; ++c) {
               if (SomeRReaches(sources[c], admitted, bounds)) continue;
               std::size_t seen = first.load();
               while (c < seen && !first.compare_exchange_weak(seen, c)) {
               }
               break;
             }
             checked += static_cast<std::int64_t>(end - begin);
           }
         });
  if (first.load() == none) return std::nullopt;
  return first.load();
}

// How one R serves the channels of a fractional-N plan.
struct FractionalTrial {
  bool reaches_all = true;  // every channel has a setting
  bool on_all = true;       // ... on frequency
  std::optional<Rational> nearest_spur_khz;  // over the channels; none: all integer mode
  Rational worst_error{0, 1};                // |error| x R / hz-units, for ordering: Hz
};

// Whether trial `a` (at R a_r) is the better one by ChoosePlanR's rule.
bool BetterTrial(const FractionalTrial& a, const FractionalTrial& b) {
  if (a.on_all != b.on_all) return a.on_all;
  if (!a.on_all) {
    if (const int c = Compare(a.worst_error, b.worst_error); c != 0) return c < 0;
  }
  // No spur (every channel in integer mode) is the furthest.
  if (!a.nearest_spur_khz || !b.nearest_spur_khz) {
    return !a.nearest_spur_khz && b.nearest_spur_khz;
  }
  return Less(*b.nearest_spur_khz, *a.nearest_spur_khz);
}

// One R against every channel's search; stops early (not reaching all)
// once it cannot beat `best`.
FractionalTrial TryFractionalR(const std::vector<FractionalSearchInputs>& channels,
                               const std::vector<FractionalSearch>& searches, std::int64_t r,
                               const std::optional<FractionalTrial>& best) {
  FractionalTrial trial;
  for (std::size_t c = 0; c < channels.size(); ++c) {
    const FractionalSearchInputs& in = channels[c];
    const SettingAtR at = searches[c].BestAt(r);
    if (!at.setting) {
      trial.reaches_all = false;
      return trial;
    }
    const FractionalSetting& s = *at.setting;
    trial.on_all = trial.on_all && s.on_frequency;
    if (const auto spur = SpurOffsetKHz(in, s)) {
      if (!trial.nearest_spur_khz || Less(*spur, *trial.nearest_spur_khz)) {
        trial.nearest_spur_khz = spur;
      }
    }
    if (const auto error = ErrorHz(in, s)) {
      const Rational size{error->num < 0 ? -error->num : error->num, error->den};
      if (Less(trial.worst_error, size)) trial.worst_error = size;
    }
    // A later R of the same worth loses to an earlier one: stop once this
    // one cannot be better.
    if (best && best->on_all && !trial.on_all) {
      trial.reaches_all = false;
      return trial;
    }
    if (best && best->on_all && best->nearest_spur_khz && trial.nearest_spur_khz &&
        !Less(*best->nearest_spur_khz, *trial.nearest_spur_khz)) {
      trial.reaches_all = false;
      return trial;
    }
    if (best && best->on_all && !best->nearest_spur_khz && trial.nearest_spur_khz) {
      trial.reaches_all = false;
      return trial;
    }
  }
  return trial;
}

// The best R of one configuration of the path: every channel's search as
// its run reads it, then each R of the window against them all.
struct ConfigBest {
  FractionalTrial trial;
  std::int64_t r = 0;
  Rational comparison_khz{0, 1};
};

// Whether configuration a's best beats b's: by the trial's rule, then the
// higher comparison frequency, the fewer stages, the earlier configuration.
bool BetterConfig(const ConfigBest& a, const PathConfig& ca, const ConfigBest& b,
                  const PathConfig& cb) {
  if (BetterTrial(a.trial, b.trial)) return true;
  if (BetterTrial(b.trial, a.trial)) return false;
  if (const int c = Compare(a.comparison_khz, b.comparison_khz); c != 0) return c > 0;
  if (ca.StagesUsed(a.r) != cb.StagesUsed(b.r)) return ca.StagesUsed(a.r) < cb.StagesUsed(b.r);
  return ca.order < cb.order;
}

// The one R (and path) of a fractional-N plan (see ChoosePlanR).
PlanR ChooseFractionalPlanR(const SweepRange& range, const RunInputs& others,
                            const PlanOptions& options, WorkControl* control) {
  PlanR plan;
  const RunSetting setting = SettingFor(others, HighestSourceMHz(range, others));
  plan.prescaler = setting.prescaler;
  RunInputs inputs = others;
  if (plan.prescaler) inputs.prescaler = plan.prescaler;
  // The path's configurations (R alone where the run plans no path).
  const std::optional<Rational> ref = DecimalRational(inputs.ref);
  std::vector<PathConfig> configs(1);
  if (ref && ref->num > 0) {
    auto planned = PathConfigsOf(inputs, *ref);
    if (auto* error = std::get_if<std::string>(&planned)) {
      plan.error = "no one reference path serves every channel: " + *error;
      return plan;
    }
    configs = std::get<std::vector<PathConfig>>(std::move(planned));
  } else {
    configs.front().first_r = inputs.chip_profile->counters.R.Min;
    configs.front().last_r = inputs.chip_profile->counters.R.Max;
  }
  // Every channel's search in every configuration, as its run reads it.
  std::vector<std::vector<FractionalSearchInputs>> channels(configs.size());
  std::vector<std::vector<FractionalSearch>> searches(configs.size());
  double trials = 0;
  for (std::size_t k = 0; k < configs.size(); ++k) {
    channels[k].reserve(static_cast<std::size_t>(range.PointCount()));
    for (std::int64_t i = 0; i < range.PointCount(); ++i) {
      inputs.rf_out = range.PointText(i);
      auto prepared = FractionalInputsOf(inputs, NumbersOf(inputs), options, configs[k]);
      if (auto* error = std::get_if<std::string>(&prepared)) {
        plan.error = "no one reference divider R serves every channel: the channel " +
                     range.PointText(i) + " MHz cannot be planned: " + *error;
        return plan;
      }
      channels[k].push_back(std::get<FractionalSearchInputs>(std::move(prepared)));
    }
    // Each channel's search, its window worked out once (the channels are
    // not moved from here on).
    searches[k].reserve(channels[k].size());
    for (const FractionalSearchInputs& in : channels[k]) searches[k].emplace_back(in);
    const FractionalSearch& window = searches[k].front();
    if (!window.First() || !window.Last()) {
      plan.error = "one R for the band: the figures have too many digits to be planned exactly";
      return plan;
    }
    trials += static_cast<double>(channels[k].size()) *
              static_cast<double>(std::max<std::int64_t>(*window.Last() - *window.First() + 1, 0));
  }
  if (trials > kMaxFractionalCommonRTrials) {
    const FractionalSearch& window = searches.front().front();
    plan.too_large = true;
    plan.error = "one R for " + std::to_string(range.PointCount()) + " channels against " +
                 (configs.size() == 1
                      ? std::to_string(*window.Last() - *window.First() + 1) +
                            " reference dividers in the window"
                      : std::to_string(configs.size()) + " settings of the reference path") +
                 " means " + WholeText(trials) + " trials, more than the " +
                 WholeText(kMaxFractionalCommonRTrials) +
                 " allowed for a fractional-N chip: use fewer channels, a narrower comparison "
                 "window or an R range";
    return plan;
  }
  std::optional<ConfigBest> best;
  std::size_t best_config = 0;
  std::int64_t span = 0;
  for (const auto& config_searches : searches) {
    span += std::max<std::int64_t>(*config_searches.front().Last() - *config_searches.front().First() + 1, 0);
  }
  Ticker ticker(control, span, "reference dividers");
  std::int64_t ticked = 0;
  for (std::size_t k = 0; k < configs.size(); ++k) {
    const std::int64_t first = *searches[k].front().First(), last = *searches[k].front().Last();
    std::optional<FractionalTrial> here;
    std::int64_t here_r = 0;
    for (std::int64_t r = first; r <= last; ++r) {
      ++ticked;
      ticker.Tick(ticked, ticked == span);
      if (!searches[k].front().Admits(r)) continue;
      const FractionalTrial trial = TryFractionalR(channels[k], searches[k], r, here);
      if (trial.reaches_all && (!here || BetterTrial(trial, *here))) {
        here = trial;
        here_r = r;
      }
    }
    if (!here) continue;
    const ConfigBest candidate{*here, here_r, ComparisonKHz(channels[k].front(), here_r)};
    if (!best || BetterConfig(candidate, configs[k], *best, configs[best_config])) {
      best = candidate;
      best_config = k;
    }
  }
  if (!best) {
    plan.error = "no one reference divider R serves every channel: no R that the window and "
                 "the counter ranges admit gives every channel a setting.";
    return plan;
  }
  // The band's path and R, fixed for every channel.
  const PathChoice chosen = configs[best_config].Split(best->r);
  RunInputs with_r = inputs;
  if (PathPlanned(inputs)) {
    PathRequest fixed;
    fixed.automatic = false;
    fixed.fixed = chosen.setting;
    fixed.fixed_r = chosen.r;
    plan.path = fixed;
    plan.path_text = PathText(*inputs.chip_profile->reference_path, chosen.setting, chosen.r);
    with_r.path_request = fixed;
    with_r.ref_path = plan.path_text;
  }
  with_r.bounds.FirstR = with_r.bounds.LastR = static_cast<std::int32_t>(chosen.r);
  // The summary, from the channels' own runs with that R.
  CommonR figures;
  figures.R = static_cast<std::int32_t>(chosen.r);
  figures.Channels = range.PointCount();
  std::mutex lock;
  std::optional<double> comparison;
  SweepEveryPoint(range, with_r, options, ".", [&](std::int64_t, const RunResult& row) {
    const std::lock_guard<std::mutex> hold(lock);
    if (row.comparison_khz) comparison = row.comparison_khz;
    if (row.exact.value_or(false)) ++figures.ExactChannels;
    if (row.error_hz) figures.WorstErrorHz = std::max(figures.WorstErrorHz, std::fabs(*row.error_hz));
  });
  figures.ComparisonKHz = comparison.value_or(0);
  plan.choice = figures;
  return plan;
}

}  // namespace

CommonRChoice ChooseCommonR(const std::vector<double>& sources, double ref, double mult,
                            double lower_khz, double upper_khz, const SearchBounds& bounds,
                            int threads, WorkControl* control) {
  if (threads <= 0) threads = UsableProcessors();
  const std::vector<AdmittedR> admitted = AdmittedDividers(ref, lower_khz, upper_khz, bounds);

  // R are handed out in rising blocks; the first R exact on every channel
  // ends the work of blocks after it, and the best worst error so far drops
  // the others early.
  constexpr std::size_t kBlock = 16;
  const std::size_t none = admitted.size();
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> first_exact{none};
  std::atomic<double> best_worst{kInfinity};
  std::atomic<std::int64_t> tried{0};
  std::vector<std::optional<Best>> bests(static_cast<std::size_t>(threads));

  OnWorkersTicking(threads, control, static_cast<std::int64_t>(admitted.size()),
         "reference dividers", [&] { return tried.load(); },
         [&](int worker) {
           for (;;) {
             const std::size_t begin = next.fetch_add(kBlock);
             if (begin >= admitted.size() || begin > first_exact.load() || StopAsked(control)) {
               return;
             }
             const std::size_t end = std::min(begin + kBlock, admitted.size());
             tried += static_cast<std::int64_t>(end - begin);
             for (std::size_t i = begin; i < end; ++i) {
               const CommonRTrial trial =
                   TryCommonR(sources, ref, mult, bounds, admitted[i], best_worst.load());
               if (!trial.ReachesAll) continue;
               if (trial.ExactAll) {
                 std::size_t seen = first_exact.load();
                 while (i < seen && !first_exact.compare_exchange_weak(seen, i)) {
                 }
                 return;  // later R of this block cannot come first
               }
               std::optional<Best>& best = bests[static_cast<std::size_t>(worker)];
               if (!best || trial.WorstErrorHz < best->trial.WorstErrorHz) best = Best{i, trial};
               double seen = best_worst.load();
               while (trial.WorstErrorHz < seen &&
                      !best_worst.compare_exchange_weak(seen, trial.WorstErrorHz)) {
               }
             }
           }
         });

  std::optional<Best> chosen;
  if (first_exact.load() != none) {
    const std::size_t i = first_exact.load();
    chosen = Best{i, TryCommonR(sources, ref, mult, bounds, admitted[i], kInfinity)};
  } else {
    for (const std::optional<Best>& best : bests) {
      if (!best) continue;
      if (!chosen || best->trial.WorstErrorHz < chosen->trial.WorstErrorHz ||
          (best->trial.WorstErrorHz == chosen->trial.WorstErrorHz &&
           best->index < chosen->index)) {
        chosen = best;
      }
    }
  }
  CommonRChoice out;
  if (chosen) {
    out.Choice = CommonRFigures(ref, admitted[chosen->index].R, chosen->trial,
                                static_cast<std::int64_t>(sources.size()));
    return out;
  }
  out.UnreachedChannel = FirstUnreached(sources, admitted, bounds, threads, control);
  return out;
}

PlanR ChoosePlanR(const SweepRange& range, const RunInputs& others, const PlanOptions& options,
                  WorkControl* control) {
  if (HasFractionalChip(others)) return ChooseFractionalPlanR(range, others, options, control);
  PlanR plan;
  // The inputs as the GO action reads them, in its order.
  RunStage stage = RunStage::kReadFactor;
  double mult = 0, ref = 0, lower = 0, upper = 0;
  try {
    mult = ParseLeadingNumber(others.mult);
    if (mult == 0) {
      plan.error = FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency);
      return plan;
    }
    stage = RunStage::kReadReference;
    ref = ParseLeadingNumber(others.ref);
    stage = RunStage::kReadLowerLimit;
    lower = ParseLeadingNumber(others.min_fc);
    stage = RunStage::kReadUpperLimit;
    upper = ParseLeadingNumber(others.max_fc);
  } catch (const ArithmeticFault& fault) {
    plan.error = FaultMessage(fault.kind(), stage);
    return plan;
  }

  const RunSetting setting = SettingFor(others, HighestSourceMHz(range, others));
  plan.prescaler = setting.prescaler;

  const double channels = static_cast<double>(range.PointCount());
  const double dividers =
      static_cast<double>(AdmittedDividers(ref, lower, upper, setting.bounds).size());
  if (channels * dividers > kMaxCommonRTrials) {
    plan.too_large = true;
    plan.error = "one R for " + std::to_string(range.PointCount()) + " channels against " +
                 ShortestText(static_cast<std::int64_t>(dividers)) +
                 " admitted reference dividers means " + WholeText(channels * dividers) +
                 " trials, more than the " + WholeText(kMaxCommonRTrials) +
                 " allowed: use fewer channels, a narrower comparison window or an R range";
    return plan;
  }

  std::vector<double> sources;
  sources.reserve(static_cast<std::size_t>(range.PointCount()));
  for (std::int64_t i = 0; i < range.PointCount(); ++i) {
    sources.push_back(ParseLeadingNumber(range.PointText(i)) / mult);
  }
  const CommonRChoice choice =
      ChooseCommonR(sources, ref, mult, lower, upper, setting.bounds, 0, control);
  plan.choice = choice.Choice;
  if (choice.Choice) return plan;
  plan.error = "no one reference divider R serves every channel: ";
  if (choice.UnreachedChannel) {
    plan.error += "no R that the window (Minimum Fcomp to Maximum Fcomp) and the counter "
                  "ranges admit reaches the channel " +
                  range.PointText(static_cast<std::int64_t>(*choice.UnreachedChannel)) +
                  " MHz with an N of 1 or more within the N range.";
  } else {
    plan.error += "each channel can be reached, but no single R reaches them all.";
  }
  return plan;
}

RunInputs InputsWithR(const RunInputs& others, const PlanR& plan) {
  RunInputs with_r = others;
  if (plan.choice) {
    with_r.bounds.FirstR = plan.choice->R;
    with_r.bounds.LastR = plan.choice->R;
  }
  if (plan.path) {
    with_r.path_request = plan.path;
    with_r.ref_path = plan.path_text;
  }
  if (plan.prescaler) with_r.prescaler = plan.prescaler;
  return with_r;
}

}  // namespace synthfactors::runner
