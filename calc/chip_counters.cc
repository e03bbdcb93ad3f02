#include "chip_counters.h"

#include <algorithm>
#include <cmath>

namespace synthfactors {

PrescalerCounts CountsFor(double n, std::int32_t p) {
  const auto whole = static_cast<std::int64_t>(n);
  return {whole / p, whole % p};
}

std::optional<std::size_t> SmallestPrescaler(const ChipCounters& chip, double source_mhz) {
  const double magnitude = std::fabs(source_mhz);
  for (std::size_t i = 0; i < chip.Prescalers.size(); ++i) {
    const std::optional<double>& up_to = chip.Prescalers[i].UpToMHz;
    if (!up_to || magnitude <= *up_to) return i;
  }
  return std::nullopt;
}

SearchBounds ChipBounds(const ChipCounters& chip, std::size_t mode) {
  SearchBounds bounds;
  bounds.FirstR = static_cast<std::int32_t>(std::max<std::int64_t>(chip.R.Min, 1));
  bounds.LastR = static_cast<std::int32_t>(std::min<std::int64_t>(chip.R.Max, kLastRTrial));
  const PrescalerMode* prescaler =
      mode < chip.Prescalers.size() ? &chip.Prescalers[mode] : nullptr;
  std::optional<WholeLimits> n = chip.N;
  if (chip.DualModulus && prescaler != nullptr) {
    const std::int32_t p = prescaler->P;
    bounds.Dual = DualModulus{p, chip.A.Min, chip.A.Max, chip.B.Min, chip.B.Max};
    // N = P x B + A with A below P (else it is P x (B + 1) + A - P): the
    // largest N is P x the largest B + the largest A below P.
    n = WholeLimits{p * chip.B.Min + chip.A.Min,
                    p * chip.B.Max + std::min<std::int64_t>(chip.A.Max, p - 1)};
  } else if (prescaler != nullptr && prescaler->N) {
    n = prescaler->N;
    bounds.PlainPrescaler = prescaler->P;
  }
  if (n) {
    bounds.MinN = static_cast<double>(n->Min);
    bounds.MaxN = static_cast<double>(n->Max);
    bounds.GivenN = {{n->Min, n->Max}};
  }
  if (chip.MinComparisonKHz) bounds.LowestKHz = *chip.MinComparisonKHz;
  if (chip.MaxComparisonKHz) bounds.HighestKHz = *chip.MaxComparisonKHz;
  return bounds;
}

SearchBounds BothBounds(const SearchBounds& a, const SearchBounds& b) {
  SearchBounds both;
  both.FirstR = std::max(a.FirstR, b.FirstR);
  both.LastR = std::min(a.LastR, b.LastR);
  both.MinN = std::max(a.MinN, b.MinN);
  both.MaxN = std::min(a.MaxN, b.MaxN);
  if (a.GivenN && b.GivenN) {
    both.GivenN = {{std::max(a.GivenN->first, b.GivenN->first),
                    std::min(a.GivenN->second, b.GivenN->second)}};
  } else {
    both.GivenN = a.GivenN ? a.GivenN : b.GivenN;
  }
  both.Dual = a.Dual ? a.Dual : b.Dual;
  both.PlainPrescaler = a.PlainPrescaler != 0 ? a.PlainPrescaler : b.PlainPrescaler;
  both.LowestKHz = std::max(a.LowestKHz, b.LowestKHz);
  both.HighestKHz = std::min(a.HighestKHz, b.HighestKHz);
  return both;
}

}  // namespace synthfactors
