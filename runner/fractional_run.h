// The fractional-N family (a profile with `fractional`): the exact search of
// calc/fractional_search.h for INT + FRAC/MOD, on the loop frequency the
// chip's output divider and feedback give, with INT's limits from the
// prescaler that counts it and the window narrowed to the chip's
// fractional-mode comparison limit.
//
// The texts, the error and the spur are exact (shown as the nearest double);
// the report is the window's, with "RF   / 259 + 321/1600" and
// "FRAC 0x141  MOD 0x640"; a fraction whose denominator lies below MOD's
// least is scaled up to it. Phase noise uses N = INT + FRAC/MOD.
#pragma once

#include <string_view>

#include <string>
#include <variant>

#include "box_number.h"
#include "fractional_search.h"
#include "run_types.h"

namespace synthfactors::runner {

// The run, on the inputs' numbers read once (NumbersOf); the chip must plan
// fractional-N.
RunResult FractionalRunOnce(const RunInputs& inputs, const BoxNumbers& numbers,
                            std::string_view decimal_symbol, const PlanOptions& plan);

// The search of such a run, in the prescaler modes its loop frequency
// needs (or the ones asked for), or why it cannot be planned, as the run
// says it: what the choice of one R for a band weighs each channel with.
std::variant<FractionalSearchInputs, std::string> FractionalInputsOf(const RunInputs& inputs,
                                                                    const BoxNumbers& numbers,
                                                                    const PlanOptions& plan);

}  // namespace synthfactors::runner
