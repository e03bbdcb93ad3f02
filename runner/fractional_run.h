// A run on a fractional-N chip (a profile with `fractional`): for every R
// whose comparison frequency lies in the window, the exact INT + FRAC/MOD
// the loop asks for (calc/fractional_plan.h), and the choice among them:
//
//   - a candidate is on frequency when its output error is at most the
//     tolerance (0 by default: exact);
//   - among those on frequency, integer mode (FRAC 0) first, then the
//     integer-boundary spur furthest from the carrier, then the higher
//     comparison frequency (the smaller R);
//   - with none on frequency, the smallest error, ties as above;
//   - --spur-clear drops every fractional candidate whose spur lies closer
//     than it; when that leaves none, the run says so and names the
//     furthest spur found.
//
// The spur lies f_cmp x min(FRAC/MOD, 1 - FRAC/MOD) from the carrier; with
// divided feedback the VCO's own distance to the nearest multiple of f_cmp
// counts too, and the smaller is reported.
//
// The texts, the error and the spur are exact (shown as the nearest double);
// the report is the window's, with "RF   / 259 + 321/1600" and
// "FRAC 0x141  MOD 0x640". Phase noise uses N = INT + FRAC/MOD.
#pragma once

#include <string_view>

#include "run.h"

namespace synthfactors::runner {

// Whether the run's chip plans fractional-N.
bool HasFractionalChip(const RunInputs& inputs);

// The run; RunOnce hands it every run whose chip is fractional.
RunResult FractionalRunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                            const PlanOptions& plan);

}  // namespace synthfactors::runner
