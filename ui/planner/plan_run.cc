#include "plan_run.h"

#include <charconv>
#include <limits>

#include "common_r.h"
#include "sweep.h"
#include "sweep_writer.h"

namespace synthfactors::planner {
namespace {

constexpr double kNone = std::numeric_limits<double>::quiet_NaN();

std::string JoinedCells(const runner::RunResult& result) {
  std::string row;
  bool first = true;
  for (const std::string& cell : formats::SweepCells(result)) {
    if (!first) row += '\t';
    first = false;
    row += cell;
  }
  return row;
}

double ValueOr(const std::optional<double>& value) { return value.value_or(kNone); }

}  // namespace

void ChartColumns::Resize(std::size_t channels) {
  for (auto* column : {&rf_mhz, &error_hz, &comparison_khz, &phase_noise}) {
    column->assign(channels, kNone);
  }
  exact.assign(channels, 0);
}

void ChartColumns::Set(std::size_t channel, const runner::RunResult& result) {
  const std::string& rf = result.inputs.rf_out;
  std::from_chars(rf.data(), rf.data() + rf.size(), rf_mhz[channel]);
  error_hz[channel] = ValueOr(result.error_hz);
  comparison_khz[channel] = ValueOr(result.comparison_khz);
  phase_noise[channel] = ValueOr(result.phase_noise);
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
  for (const std::string_view name :
       formats::SweepColumnNames(runner::ResultShape(outcome.row_inputs, request.plan))) {
    outcome.columns.emplace_back(name);
  }
  const auto channels = static_cast<std::size_t>(request.range.PointCount());
  outcome.rows.resize(channels);
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
          outcome.rows[channel] = JoinedCells(with_r);
          outcome.chart.Set(channel, with_r);
        } else {
          outcome.rows[channel] = JoinedCells(result);
          outcome.chart.Set(channel, result);
        }
        ++done;
      },
      0, control);
  return outcome;
}

std::string_view RowCell(std::string_view row, std::size_t column) {
  for (; column > 0; --column) {
    const std::size_t tab = row.find('\t');
    if (tab == std::string_view::npos) return {};
    row.remove_prefix(tab + 1);
  }
  return row.substr(0, row.find('\t'));
}

}  // namespace synthfactors::planner
