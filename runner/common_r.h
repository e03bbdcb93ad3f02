// One reference divider R for every channel of a plan, chosen on the usable
// processors (see CommonR for the rule).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "planning.h"
#include "run.h"
#include "sweep_range.h"

namespace synthfactors::runner {

struct CommonRChoice {
  std::optional<CommonR> Choice;
  // When there is no choice: the first channel that no admitted R reaches,
  // or empty when each can be reached but not all with one R.
  std::optional<std::size_t> UnreachedChannel;
};

// Source frequencies in MHz; the limits in kHz. Runs on `threads` workers
// (0: one per usable processor); the choice is the same for any number.
CommonRChoice ChooseCommonR(const std::vector<double>& sources, double ref, double mult,
                            double lower_khz, double upper_khz, const SearchBounds& bounds,
                            int threads = 0);

// The one R for the channels of `range` with the other inputs of `others`,
// read as the GO action reads them; empty, with the reason in `error`, when
// an input cannot be read or no R serves every channel.
std::optional<CommonR> ChoosePlanR(const SweepRange& range, const RunInputs& others,
                                   std::string& error);

}  // namespace synthfactors::runner
