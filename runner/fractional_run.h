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
#include "reference_path.h"
#include "run_types.h"

namespace synthfactors::runner {

// The run, on the inputs' numbers read once (NumbersOf); the chip must plan
// fractional-N.
RunResult FractionalRunOnce(const RunInputs& inputs, const BoxNumbers& numbers,
                            std::string_view decimal_symbol, const PlanOptions& plan);

// Whether a run plans its chip's reference path: the chip has one, and the
// run asks for a path (--ref-path) or the chip weighs every setting by
// default. Otherwise R alone divides the reference.
bool PathPlanned(const RunInputs& inputs);

// The configurations of the path a run searches (R alone where it plans
// none), for the reference `ref_mhz`; why none fits, in words.
std::variant<std::vector<PathConfig>, std::string> PathConfigsOf(const RunInputs& inputs,
                                                                 const Rational& ref_mhz);

// The search of such a run in one configuration of its path, in the
// prescaler modes its loop frequency needs (or the ones asked for) and the
// lowest modulator order (or the one asked for), or why it cannot be
// planned, as the run says it: what the choice of one R for a band weighs
// each channel with.
std::variant<FractionalSearchInputs, std::string> FractionalInputsOf(const RunInputs& inputs,
                                                                    const BoxNumbers& numbers,
                                                                    const PlanOptions& plan,
                                                                    const PathConfig& config);

}  // namespace synthfactors::runner
