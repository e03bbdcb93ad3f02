// A channel sweep written as CSV or JSON Lines, one line per point in order.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "run.h"
#include "sweep_range.h"
#include "work_control.h"

namespace synthfactors::cli {

enum class SweepFormat { kCsv, kJsonLines };

// The CSV header: the names of the sweep's columns (result_fields.h) that
// runs of these inputs and options have.
std::string SweepCsvHeader(const runner::RunResult& shape);

// One CSV row (without line break) for a run, in the header's order. Numbers
// are shortest round-trip texts, dividers all their digits; a value the run
// did not reach is empty.
std::string SweepCsvRow(const runner::RunResult& result);

// Writes the header (CSV only) and one line per point, in order, the points
// computed by `threads` workers (0: one per usable processor); the output
// is the same for any number. A failed write stops the sweep at once with
// WriteFailure. `first_line`, when not empty, is written before everything
// else. With a control, it ticks after every block written, and a stop ends
// the sweep after whole lines with WorkStopped.
void WriteSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                const runner::PlanOptions& plan, std::string_view decimal_symbol, SweepFormat format,
                std::ostream& out,
                int threads = 0, std::string_view first_line = {},
                runner::WorkControl* control = nullptr);

}  // namespace synthfactors::cli
