#include "plan_run.h"

#include <charconv>
#include <limits>

#include "common_r.h"
#include "sweep.h"
#include "result_fields.h"
#include "sweep_writer.h"
#include "number_chars.h"

namespace synthfactors::planner {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

double ValueOr(const std::optional<double>& value) { return value.value_or(kNone); }

}  // namespace

ChannelFields ChannelFields::Of(const runner::RunResult& result) {
  ChannelFields fields;
  fields.rf_out = result.inputs.rf_out;
  fields.rf_source = result.rf_source.value_or("");
  fields.r = result.r;
  fields.n = result.n;
  fields.comparison_khz = result.comparison_khz;
  fields.error_hz = result.error_hz;
  fields.error_ppb = result.error_ppb;
  fields.phase_noise = result.phase_noise;
  fields.exact = result.exact;
  fields.fault = result.fault;
  fields.prescaler = result.prescaler;
  fields.counts = result.counts;
  fields.output_divider = result.output_divider;
  fields.vco_mhz = result.vco_mhz;
  fields.divided_feedback = result.feedback == "divided";
  fields.registers = result.registers;
  fields.mode = result.mode;
  fields.frac = result.frac;
  fields.mod = result.mod;
  fields.spur_offset_khz = result.spur_offset_khz;
  return fields;
}

const runner::RunResult& PlanOutcome::ResultOf(std::size_t channel,
                                               runner::RunResult& scratch) const {
  const ChannelFields& fields = channels[channel];
  if (scratch.inputs.chip_profile != shape.inputs.chip_profile ||
      scratch.noise.has_value() != shape.noise.has_value()) {
    scratch = shape;
  }
  scratch.inputs.rf_out = fields.rf_out;
  scratch.rf_source = fields.rf_source;
  scratch.r = fields.r;
  scratch.n = fields.n;
  scratch.comparison_khz = fields.comparison_khz;
  scratch.error_hz = fields.error_hz;
  scratch.error_ppb = fields.error_ppb;
  scratch.phase_noise = fields.phase_noise;
  scratch.exact = fields.exact;
  scratch.fault = fields.fault;
  scratch.prescaler = fields.prescaler;
  scratch.counts = fields.counts;
  scratch.output_divider = fields.output_divider;
  scratch.vco_mhz = fields.vco_mhz;
  scratch.feedback.reset();
  if (fields.output_divider) scratch.feedback = fields.divided_feedback ? "divided" : "fundamental";
  scratch.registers = fields.registers;
  scratch.mode = fields.mode;
  scratch.frac = fields.frac;
  scratch.mod = fields.mod;
  scratch.spur_offset_khz = fields.spur_offset_khz;
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

void ChartColumns::Resize(std::size_t channels) {
  for (auto* column : {&rf_mhz, &error_hz, &comparison_khz, &phase_noise, &spur_khz}) {
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
  exact[channel] = result.exact.value_or(false) ? 1 : 0;
}

std::variant<PlanOutcome, std::string> RunPlan(const PlanRequest& request,
                                               std::string_view decimal_symbol,
                                               runner::WorkControl* control, ChannelCount& done) {
  PlanOutcome outcome;
  outcome.request = request;
  outcome.row_inputs = request.inputs;
  if (request.one_r) {
    const runner::PlanR plan_r = runner::ChoosePlanR(request.range, request.inputs, control);
    if (!plan_r.choice) return plan_r.error;
    outcome.common_r = plan_r.choice;
    outcome.row_inputs = runner::InputsWithR(request.inputs, plan_r);
    outcome.own_r.emplace();
  }
  outcome.shape = runner::ResultShape(outcome.row_inputs, request.plan);
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (!runner::IsSweepColumn(field, outcome.shape)) continue;
    outcome.columns.emplace_back(field.name);
    outcome.column_fields.push_back(column);
  }
  const auto channels = static_cast<std::size_t>(request.range.PointCount());
  outcome.channels.resize(channels);
  outcome.chart.Resize(channels);
  if (outcome.own_r) outcome.own_r->Resize(channels);
  done = 0;
  // With one R the grid runs with each channel's own R, and each point runs
  // again with the one R for the table.
  const runner::RunInputs& grid_inputs = request.inputs;
  runner::SweepEveryPoint(
      request.range, outcome.own_r ? grid_inputs : outcome.row_inputs, request.plan,
      decimal_symbol,
      [&](std::int64_t index, const runner::RunResult& result) {
        const auto channel = static_cast<std::size_t>(index);
        if (outcome.own_r) {
          outcome.own_r->Set(channel, result);
          const runner::RunResult with_r = runner::RunPoint(
              request.range, index, outcome.row_inputs, decimal_symbol, request.plan);
          outcome.channels[channel] = ChannelFields::Of(with_r);
          outcome.chart.Set(channel, with_r);
        } else {
          outcome.channels[channel] = ChannelFields::Of(result);
          outcome.chart.Set(channel, result);
        }
        ++done;
      },
      0, control);
  return outcome;
}

}  // namespace synthfactors::planner
