// A plan run to the end: every channel of the grid through the runner, on
// the usable processors, kept as the table shows it (the command line's
// sweep cells) and as the chart draws it (the figures as numbers). With one
// R, the R is chosen first, and each channel also runs with its own R for
// the chart to compare.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "plan_form.h"
#include "planning.h"
#include "run.h"
#include "work_control.h"

namespace synthfactors::planner {

// The chart's figures of every channel; NaN where a run has none.
struct ChartColumns {
  std::vector<double> rf_mhz, error_hz, comparison_khz, phase_noise;
  std::vector<std::uint8_t> exact;

  void Resize(std::size_t channels);
  void Set(std::size_t channel, const runner::RunResult& result);
};

struct PlanOutcome {
  PlanRequest request;
  runner::RunInputs row_inputs;  // every row's (R fixed with one R)
  std::vector<std::string> columns;  // the command line's CSV header names
  // Each channel's cells, joined by tabs (no cell holds one).
  std::vector<std::string> rows;
  ChartColumns chart;
  std::optional<CommonR> common_r;
  std::optional<ChartColumns> own_r;  // with one R: each channel with its own
};

// How many channels a run has finished; safe to read from any thread.
using ChannelCount = std::atomic<std::int64_t>;

// Runs every channel. With a control, ticks as the runner does (the one-R
// choice, then the channels) and throws runner::WorkStopped after a stop;
// `done` counts the channels finished. Without an R for one-R, its reason.
std::variant<PlanOutcome, std::string> RunPlan(const PlanRequest& request,
                                               std::string_view decimal_symbol,
                                               runner::WorkControl* control, ChannelCount& done);

// The cell `column` of a row.
std::string_view RowCell(std::string_view row, std::size_t column);

}  // namespace synthfactors::planner
