// The batch mode: JSON Lines in, one result object per line out.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "run.h"
#include "work_control.h"

namespace synthfactors::cli {

// Reads one batch line: an object whose optional members rf_out, mult, ref,
// min_fc and max_fc are strings (taken as typed) or numbers (taken as their
// shortest round-trip text), a missing member taking its start text, and
// whose optional r_range and n_range are strings "MIN:MAX" as the options
// --r-range and --n-range take them. Returns
// the inputs, or puts into `error` why the line is not such an object.
std::optional<runner::RunInputs> ReadBatchLine(std::string_view line,
                                       std::string& error);

// Lines longer than this are answered with an error without being kept.
inline constexpr std::size_t kMaxBatchLine = 1 << 20;

// Answers every line of `in` on `out`, in order, flushing after each: a
// result object, or {"line": K, "error": "..."} for a line that cannot be
// read (K counts from 1, blank lines included). Blank lines are skipped.
// Returns false when any line could not be read. Stops at the first failed
// write (WriteFailure) or read (ReadFailure), every line read before a
// failed read answered.
// With a control, it ticks with the lines answered, and a stop ends the
// batch after a whole answer with WorkStopped.
bool RunBatch(std::istream& in, std::ostream& out, std::string_view decimal_symbol,
              runner::WorkControl* control = nullptr);

}  // namespace synthfactors::cli
