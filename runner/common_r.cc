#include "common_r.h"

#include <algorithm>
#include <atomic>
#include <limits>

#include "arithmetic_fault.h"
#include "fault_message.h"
#include "numeric_text.h"
#include "workers.h"

namespace synthfactors::runner {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

struct Best {
  std::size_t index;
  CommonRTrial trial;
};

}  // namespace

CommonRChoice ChooseCommonR(const std::vector<double>& sources, double ref, double mult,
                            double lower_khz, double upper_khz, const SearchBounds& bounds,
                            int threads) {
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
  std::vector<std::optional<Best>> bests(static_cast<std::size_t>(threads));

  OnWorkers(threads, [&](int worker) {
    for (;;) {
      const std::size_t begin = next.fetch_add(kBlock);
      if (begin >= admitted.size() || begin > first_exact.load()) return;
      const std::size_t end = std::min(begin + kBlock, admitted.size());
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
  for (std::size_t c = 0; c < sources.size(); ++c) {
    if (!SomeRReaches(sources[c], admitted, bounds)) {
      out.UnreachedChannel = c;
      break;
    }
  }
  return out;
}

std::optional<CommonR> ChoosePlanR(const SweepRange& range, const RunInputs& others,
                                   std::string& error) {
  // The inputs as the GO action reads them, in its order.
  RunStage stage = RunStage::kReadFactor;
  double mult = 0, ref = 0, lower = 0, upper = 0;
  try {
    mult = ParseLeadingNumber(others.mult);
    if (mult == 0) {
      error = FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency);
      return std::nullopt;
    }
    stage = RunStage::kReadReference;
    ref = ParseLeadingNumber(others.ref);
    stage = RunStage::kReadLowerLimit;
    lower = ParseLeadingNumber(others.min_fc);
    stage = RunStage::kReadUpperLimit;
    upper = ParseLeadingNumber(others.max_fc);
  } catch (const ArithmeticFault& fault) {
    error = FaultMessage(fault.kind(), stage);
    return std::nullopt;
  }
  std::vector<double> sources;
  sources.reserve(static_cast<std::size_t>(range.PointCount()));
  for (std::int64_t i = 0; i < range.PointCount(); ++i) {
    sources.push_back(ParseLeadingNumber(range.PointText(i)) / mult);
  }

  const CommonRChoice choice = ChooseCommonR(sources, ref, mult, lower, upper, others.bounds);
  if (choice.Choice) return choice.Choice;
  error = "no one reference divider R serves every channel: ";
  if (choice.UnreachedChannel) {
    error += "no R that the window (Minimum Fcomp to Maximum Fcomp) and the counter "
             "ranges admit reaches the channel " +
             range.PointText(static_cast<std::int64_t>(*choice.UnreachedChannel)) +
             " MHz with an N of 1 or more within the N range.";
  } else {
    error += "each channel can be reached, but no single R reaches them all.";
  }
  return std::nullopt;
}

}  // namespace synthfactors::runner
