#include "plan_run.h"

#include <charconv>
#include <limits>

#include "channel_reason.h"
#include "common_r.h"
#include "loop_run.h"
#include "sweep.h"
#include "result_fields.h"
#include "sweep_writer.h"
#include "number_chars.h"

namespace synthfactors::planner {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

double ValueOr(const std::optional<double>& value) { return value.value_or(kNone); }

}  // namespace

const runner::RunResult& PlanOutcome::ResultOf(std::size_t channel,
                                               runner::RunResult& scratch) const {
  if (scratch.inputs.chip_profile != shape.inputs.chip_profile ||
      scratch.noise.has_value() != shape.noise.has_value()) {
    scratch = shape;
  }
  scratch.inputs.rf_out = request.range.PointText(static_cast<std::int64_t>(channel));
  channels.Read(channel, scratch);
  return scratch;
}

runner::FieldValue PlanOutcome::CellValue(std::size_t channel, std::size_t column,
                                          runner::RunResult& scratch) const {
  return runner::kResultFields[column_fields[column]].read(ResultOf(channel, scratch));
}

std::string PlanOutcome::CellText(std::size_t channel, std::size_t column,
                                  runner::RunResult& scratch) const {
  return formats::FieldText(runner::kResultFields[column_fields[column]].kind,
                            CellValue(channel, column, scratch));
}

bool PlanOutcome::HasSetting(std::size_t channel) const {
  return channels.HasSetting(channel);
}

std::string PlanOutcome::Reason(std::size_t channel) const {
  if (HasSetting(channel)) return {};
  return runner::ChannelReason(runner::RunPoint(request.range, static_cast<std::int64_t>(channel),
                                                row_inputs, decimal_symbol, plan));
}

void ChartColumns::Resize(std::size_t channels) {
  for (auto* column :
       {&rf_mhz, &error_hz, &comparison_khz, &phase_noise, &spur_khz, &jitter_fs, &phase_margin}) {
    column->assign(channels, kNone);
  }
  exact.assign(channels, 0);
}

void ChartColumns::Set(std::size_t channel, const runner::RunResult& result) {
  const std::string& rf = result.inputs.rf_out;
  FromChars(rf.data(), rf.data() + rf.size(), rf_mhz[channel]);
  error_hz[channel] = ValueOr(result.error_hz);
  comparison_khz[channel] = ValueOr(result.comparison_khz);
  phase_noise[channel] = ValueOr(result.phase_noise);
  spur_khz[channel] = ValueOr(result.spur_offset_khz);
  jitter_fs[channel] = result.loop ? result.loop->jitter_fs_rms : kNone;
  phase_margin[channel] = result.loop ? result.loop->phase_margin_deg : kNone;
  exact[channel] = result.exact.value_or(false) ? 1 : 0;
}

std::variant<PlanOutcome, std::string> RunPlan(const PlanRequest& request,
                                               std::string_view decimal_symbol,
                                               runner::WorkControl* control, ChannelCount& done) {
  PlanOutcome outcome;
  outcome.request = request;
  outcome.row_inputs = request.inputs;
  outcome.decimal_symbol = decimal_symbol;
  if (request.one_r) {
    const runner::PlanR plan_r = runner::ChoosePlanR(request.range, request.inputs, request.plan, control);
    if (!plan_r.choice) return plan_r.error;
    outcome.common_r = plan_r.choice;
    outcome.common_r_path = plan_r.path_text;
    outcome.row_inputs = runner::InputsWithR(request.inputs, plan_r);
    outcome.own_r.emplace();
  }
  // One loop filter for the band, designed with the rows' inputs.
  try {
    outcome.plan = runner::PlanForBand(request.range, outcome.row_inputs, request.plan,
                                       decimal_symbol);
  } catch (const runner::RunRefused& refused) {
    return std::string(refused.what());
  }
  outcome.shape = runner::ResultShape(outcome.row_inputs, outcome.plan);
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (!runner::IsSweepColumn(field, outcome.shape)) continue;
    outcome.columns.emplace_back(field.name);
    outcome.column_fields.push_back(column);
  }
  const auto channels = static_cast<std::size_t>(request.range.PointCount());
  outcome.channels.Resize(channels, outcome.plan.loop.has_value());
  outcome.chart.Resize(channels);
  if (outcome.own_r) outcome.own_r->Resize(channels);
  done = 0;
  // With one R the grid runs with each channel's own R, and each point runs
  // again with the one R for the table.
  const runner::RunInputs& grid_inputs = request.inputs;
  runner::SweepEveryPoint(
      request.range, outcome.own_r ? grid_inputs : outcome.row_inputs, outcome.plan,
      decimal_symbol,
      [&](std::int64_t index, const runner::RunResult& result) {
        const auto channel = static_cast<std::size_t>(index);
        if (outcome.own_r) {
          outcome.own_r->Set(channel, result);
          const runner::RunResult with_r = runner::RunPoint(
              request.range, index, outcome.row_inputs, decimal_symbol, outcome.plan);
          outcome.channels.Store(channel, with_r);
          outcome.chart.Set(channel, with_r);
        } else {
          outcome.channels.Store(channel, result);
          outcome.chart.Set(channel, result);
        }
        ++done;
      },
      0, control);
  return outcome;
}

}  // namespace synthfactors::planner
