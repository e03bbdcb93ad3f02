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

// What a batch line asks for: a run's inputs and planning options.
struct BatchRun {
  runner::RunInputs inputs;
  runner::PlanOptions plan;
};

// Reads one batch line: an object whose optional members are the inputs a
// single run takes (runner::kInputFields with kBatchRun: rf_out, mult, ref,
// min_fc, max_fc, r_range, n_range, alternatives, fom, flicker, offset, chip
// and prescaler), named by their keys. Strings are taken as typed; numbers,
// where the input takes one, as their shortest round-trip text; a missing
// member takes its start text (or is not asked for). r_range, n_range and
// chip are strings only. Returns the run, or puts into `error` why the
// line is not such an object, or every member at fault ("; " between).
std::optional<BatchRun> ReadBatchLine(std::string_view line, std::string& error);

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
