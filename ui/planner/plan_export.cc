#include "plan_export.h"

#include <cstdint>
#include <ostream>

#include "common_r_writer.h"
#include "file_access.h"
#include "result_json.h"
#include "io_failure.h"

namespace synthfactors::planner {
namespace {

void WriteCsv(const PlanOutcome& plan, std::ostream& out, runner::WorkControl* control) {
  if (plan.common_r) out << "# " << formats::CommonRSentence(*plan.common_r, plan.common_r_path) << '\n';
  out << formats::SweepCsvHeader(plan.shape) << '\n';
  runner::Ticker ticker(control, static_cast<std::int64_t>(plan.ChannelCount()), "channels");
  runner::RunResult scratch;
  std::string block;
  for (std::size_t channel = 0; channel < plan.ChannelCount(); ++channel) {
    block += formats::SweepCsvRow(plan.ResultOf(channel, scratch));
    block += '\n';
    if (block.size() >= (1 << 16) || channel + 1 == plan.ChannelCount()) {
      out << block;
      formats::ThrowIfWriteFailed(out);
      block.clear();
      ticker.Tick(static_cast<std::int64_t>(channel) + 1);
    }
  }
  formats::FlushOrThrow(out);
}

void Write(const PlanOutcome& plan, std::string_view decimal_symbol,
           formats::SweepFormat format, std::ostream& out, runner::WorkControl* control) {
  if (format == formats::SweepFormat::kCsv) {
    WriteCsv(plan, out, control);
    return;
  }
  formats::WriteSweep(plan.request.range, plan.row_inputs, plan.plan, decimal_symbol,
                      format, out, 0,
                      plan.common_r ? formats::JsonLine(formats::CommonRToJson(*plan.common_r, plan.common_r_path))
                                    : std::string(),
                      control);
}

}  // namespace

std::string ExportPlan(const PlanOutcome& plan, std::string_view decimal_symbol,
                       formats::SweepFormat format, const std::string& path,
                       runner::WorkControl* control) {
  return formats::WriteReplacing(
      path, [&](std::ostream& out) { Write(plan, decimal_symbol, format, out, control); });
}

}  // namespace synthfactors::planner
