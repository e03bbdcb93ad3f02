// The loop of a run's chosen setting: its filter (designed for the channel,
// for its band, or given), the bandwidth and phase margin found from it, the
// noise at the RF output, the jitter and the lock time.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "run_types.h"
#include "sweep_range.h"

namespace synthfactors::runner {

// What the chosen setting is to the loop: its N counter counts `n` times
// the comparison frequency; `factor` turns that counted frequency into the
// RF output, and `feedback_division` is the output divider inside the loop
// (1 with fundamental feedback), so the VCO runs at n x comparison x
// feedback_division.
struct LoopSetting {
  double comparison_khz = 0;
  double n = 0;
  double factor = 1;
  double feedback_division = 1;
  double reference_mhz = 0;
};

// Adds the loop's figures for `setting` to a result whose plan asks for a
// loop (and whose noise, with a figure of merit, is in place); sets
// result.refusal instead where the loop cannot be designed for it.
void AddLoop(RunResult& result, const LoopSetting& setting);

// Twenty offsets a decade from 10 Hz to 100 MHz (each the double nearest
// 10^(1 + k/20)): where the faces draw a loop's noise.
std::vector<double> PlotOffsets();

// A plan with the loop's noise tabulated at `offsets` instead: a channel
// run with it has the same filter, bandwidth, margin, jitter and lock time,
// and its noise at each of those offsets. A band's plan keeps its filter.
PlanOptions WithNoiseOffsets(const PlanOptions& plan, std::vector<double> offsets);

// A run refused as a whole: a loop that cannot be designed for its band.
class RunRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// For the channels of a band: the plan with one filter for all of them,
// designed at the middle channel ((count - 1) / 2, or the nearest channel
// with a setting) or given, and the model they share. A plan without a
// loop comes back as it is. Throws RunRefused where the loop cannot be
// designed.
PlanOptions PlanForBand(const SweepRange& range, const RunInputs& others,
                        const PlanOptions& plan, std::string_view decimal_symbol);

}  // namespace synthfactors::runner
