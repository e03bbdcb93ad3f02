// The integer-N family: the GO action's search, as the window runs it, with
// the chip's counters and window on top. With fundamental feedback and an
// output divider D the loop synthesises the VCO, source x D: the search
// runs on the factor / D (exact, D being a power of two), so the error and
// the noise are still those at the RF output.
#pragma once

#include <string_view>

#include "box_number.h"
#include "run_types.h"

namespace synthfactors::runner {

// The run, on the inputs' numbers read once (NumbersOf).
RunResult IntegerRunOnce(const RunInputs& inputs, const BoxNumbers& numbers,
                         std::string_view decimal_symbol, const PlanOptions& plan);

}  // namespace synthfactors::runner
