// One run of the GO action without a window, and everything it produced:
// the window's texts, the figures as numbers, and the planning figures
// asked for. Every face (the command line, the Python module, the planner,
// the page) runs the calculation through RunOnce, so all show the same
// figures.
//
// A run reads its five box texts once, then hands itself to its chip's
// family: the fractional-N family (fractional_run.h) for a profile with
// `fractional`, else the integer-N family (integer_run.h), which is also
// the run without a chip. What a chip adds the same way in every family is
// in chip_run.h; the types are in run_types.h.
#pragma once

#include <string_view>

#include "chip_run.h"   // IWYU pragma: export
#include "run_types.h"  // IWYU pragma: export

namespace synthfactors::runner {

// A result of no run, for what depends only on the inputs and options: which
// fields the runs of a sweep have.
RunResult ResultShape(const RunInputs& inputs, const PlanOptions& plan);

// Runs the action once, starting from fresh boxes and a fresh search state.
RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan = PlanOptions{});

// The inputs of `listed`'s run that find `alternative` (one of its ranked
// alternatives) as the run's own choice: R and N (INT) fixed to its, and
// with a fractional-N chip its reference path and modulator order.
RunInputs AlternativeInputs(const RunResult& listed, const Alternative& alternative);

}  // namespace synthfactors::runner
