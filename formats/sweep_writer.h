// A channel sweep written as CSV or JSON Lines, one line per point in order:
// the command line's output and the planner's export alike.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "result_fields.h"
#include "run.h"
#include "sweep.h"
#include "sweep_range.h"
#include "work_control.h"

namespace synthfactors::formats {

enum class SweepFormat { kCsv, kJsonLines };

// A field's value as a table shows it: a text as it is, a flag as "true" or
// "false", a number as its shortest round-trip text, a whole number (kWhole)
// with all its digits; empty when there is none.
std::string FieldText(runner::FieldKind kind, const runner::FieldValue& value);

// The names of the sweep's columns (result_fields.h) that runs of these
// inputs and options have, in order.
std::vector<std::string_view> SweepColumnNames(const runner::RunResult& shape);

// The CSV header: the names of the sweep's columns (result_fields.h) that
// runs of these inputs and options have.
std::string SweepCsvHeader(const runner::RunResult& shape);

// The fields of a run's row, in the header's order and unquoted: numbers
// as shortest round-trip texts, dividers with all their digits, a value the
// run did not reach empty. A table of the plan shows these.
std::vector<std::string> SweepCells(const runner::RunResult& result);

// A CSV field: quoted (RFC 4180) when it holds a comma, quote or line break.
std::string CsvField(std::string_view text);

// One CSV row (without line break) for a run: its cells as CSV fields.
std::string SweepCsvRow(const runner::RunResult& result);

// Writes the header (CSV only) and one line per point, in order, the points
// computed by `threads` workers (0: one per usable processor); the output
// is the same for any number. A failed write stops the sweep at once with
// WriteFailure. `first_line`, when not empty, is written before everything
// else. With a control, it ticks after every block written, and a stop ends
// the sweep after whole lines with WorkStopped. With a span, only its
// points' lines (and the first line and header only with the first point):
// the parts of a grid written one after another are the whole sweep.
void WriteSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                const runner::PlanOptions& plan, std::string_view decimal_symbol, SweepFormat format,
                std::ostream& out,
                int threads = 0, std::string_view first_line = {},
                runner::WorkControl* control = nullptr, runner::PointSpan span = {});

}  // namespace synthfactors::formats
