// The counters of a synthesiser chip: which R and N it can be set to, and
// the comparison and source frequencies it works at. A run with a chip
// searches within SearchBounds made from these.
//
//   - R runs from R.Min to R.Max.
//   - N is a plain counter, or a dual-modulus prescaler P/P+1 with A and B
//     counters (DualModulus).
//   - The prescaler depends on the source frequency: the modes are listed
//     smallest P first, each usable up to its UpToMHz (the last without
//     one); a larger P than the smallest usable one may be chosen. With a
//     plain counter a mode may set its own N range (a chip in integer mode
//     needs N >= 23 with 4/5, N >= 75 with 8/9).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "divider_search.h"

namespace synthfactors {

struct WholeLimits {
  std::int64_t Min = 0;
  std::int64_t Max = 0;
  bool operator==(const WholeLimits&) const = default;
};

struct PrescalerMode {
  std::int32_t P = 0;
  std::optional<double> UpToMHz;   // the highest source frequency it counts
  std::optional<WholeLimits> N;    // a plain counter's N with this prescaler
};

struct ChipCounters {
  WholeLimits R;
  bool DualModulus = false;
  std::optional<WholeLimits> N;       // a plain counter's N without modes
  std::vector<PrescalerMode> Prescalers;
  WholeLimits A, B;                   // a dual-modulus counter's A and B
  std::optional<double> MinComparisonKHz, MaxComparisonKHz;
  std::optional<double> MinSourceMHz, MaxSourceMHz;
};

// B and A of a whole N with a P/P+1 prescaler: B = N div P, A = N mod P.
// Every pair shown with a dual-modulus chip gets its counters here.
struct PrescalerCounts {
  std::int64_t B = 0;
  std::int64_t A = 0;
};
PrescalerCounts CountsFor(double n, std::int32_t p);

// The index of the smallest prescaler mode usable at `source_mhz` (its
// magnitude); empty when the chip has no modes or none reaches that high.
std::optional<std::size_t> SmallestPrescaler(const ChipCounters& chip, double source_mhz);

// The bounds of a search with the chip in prescaler mode `mode` (an index
// into Prescalers; ignored when there are none).
SearchBounds ChipBounds(const ChipCounters& chip, std::size_t mode);

// The bounds that admit what both `a` and `b` admit: the later first R, the
// earlier last R, the narrower N range, and each one's rules and limits.
SearchBounds BothBounds(const SearchBounds& a, const SearchBounds& b);

}  // namespace synthfactors
