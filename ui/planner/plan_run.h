// A plan run to the end: every channel of the grid through the runner, on
// the usable processors, kept as numbers: each channel's sweep fields (the
// table formats them for display, copy and export, and sorts by them) and
// the chart's columns. With one R, the R is chosen first, and each channel
// also runs with its own R for the chart to compare.
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
#include "result_fields.h"
#include "run.h"
#include "stored_channels.h"
#include "work_control.h"

namespace synthfactors::planner {

// The chart's figures of every channel; NaN where a run has none.
struct ChartColumns {
  std::vector<double> rf_mhz, error_hz, comparison_khz, phase_noise, spur_khz, jitter_fs,
      phase_margin;
  std::vector<std::uint8_t> exact;

  void Resize(std::size_t channels);
  void Set(std::size_t channel, const runner::RunResult& result);
};

struct PlanOutcome {
  PlanRequest request;
  runner::RunInputs row_inputs;  // every row's (R fixed with one R)
  runner::PlanOptions plan;      // every row's (with the band's loop filter)
  std::string decimal_symbol;    // the runs'
  // A result of no run with these inputs: which sweep fields a row has.
  runner::RunResult shape;
  std::vector<std::string> columns;  // the command line's CSV header names
  std::vector<std::size_t> column_fields;  // their indexes in runner::kResultFields
  // Each channel's figures as its run left them (its RF output is the
  // grid's point), kept small.
  StoredChannels channels;
  ChartColumns chart;
  std::optional<CommonR> common_r;
  std::optional<std::string> common_r_path;  // its reference path, where one is planned
  std::optional<ChartColumns> own_r;  // with one R: each channel with its own

  std::size_t ChannelCount() const { return channels.size(); }
  // The channel as a result holding its sweep fields (and the shape's
  // inputs), written into `scratch` so that a long walk allocates little.
  const runner::RunResult& ResultOf(std::size_t channel, runner::RunResult& scratch) const;
  // A cell's value and its text, exactly as the command line's CSV has it.
  runner::FieldValue CellValue(std::size_t channel, std::size_t column,
                               runner::RunResult& scratch) const;
  std::string CellText(std::size_t channel, std::size_t column, runner::RunResult& scratch) const;
  // Whether the channel's run found a setting (a fault or none found: not).
  bool HasSetting(std::size_t channel) const;
  // Why the channel has no setting (runner::ChannelReason), empty when it
  // has one. The plan keeps no texts per channel: the channel runs again.
  std::string Reason(std::size_t channel) const;
};

// How many channels a run has finished; safe to read from any thread.
using ChannelCount = std::atomic<std::int64_t>;

// Runs every channel. With a control, ticks as the runner does (the one-R
// choice, then the channels) and throws runner::WorkStopped after a stop;
// `done` counts the channels finished. Without an R for one-R, its reason.
std::variant<PlanOutcome, std::string> RunPlan(const PlanRequest& request,
                                               std::string_view decimal_symbol,
                                               runner::WorkControl* control, ChannelCount& done);

}  // namespace synthfactors::planner
