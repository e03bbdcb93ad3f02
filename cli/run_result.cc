#include "run_result.h"

#include "fault_message.h"
#include "memory_boxes.h"
#include "numeric_text.h"

namespace synthfactors::cli {

RunInputs StartInputs() {
  return RunInputs{};
}

namespace {

// The alternatives of a run whose search has finished. The limits are read
// as the search read them; one it never needed may not be readable.
std::optional<std::vector<RankedPair>> Alternatives(const RunInputs& inputs,
                                                    const SearchState& s, int count) {
  try {
    PlanInputs plan{s.SrcFreq,
                    s.RefFreq,
                    ParseLeadingNumber(inputs.mult),
                    ParseLeadingNumber(inputs.min_fc),
                    ParseLeadingNumber(inputs.max_fc),
                    inputs.bounds};
    return RankedAlternatives(plan, count);
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
}

}  // namespace

RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan) {
  MemoryBoxes boxes{std::string(decimal_symbol)};
  boxes.SetText(Box::RFOut, inputs.rf_out);
  boxes.SetText(Box::RFMult, inputs.mult);
  boxes.SetText(Box::Ref, inputs.ref);
  boxes.SetText(Box::MinFC, inputs.min_fc);
  boxes.SetText(Box::MaxFC, inputs.max_fc);

  RunResult result;
  result.inputs = inputs;
  try {
    OnGoClick(boxes, inputs.bounds);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.message = FaultMessage(fault.kind(), boxes.EndStage(), inputs.bounds);
  }

  const SearchState& s = boxes.State();
  const RunRecord& record = boxes.Record();
  result.stage = boxes.EndStage();
  if (result.stage == RunStage::kZeroSource) result.message = ZeroSourceMessage();
  if (boxes.Written(Box::RFund)) result.rf_source = boxes.Text(Box::RFund);
  if (boxes.Written(Box::DivDisp)) result.report = boxes.Text(Box::DivDisp);
  result.exact = record.Exact;
  if (record.Exact) {
    result.r = s.BestR;
    result.n = s.BestN;
  }
  result.comparison_khz = record.ComparisonKHz;
  result.error_hz = record.ErrorHz;
  result.error_ppb = record.ErrorPpb;

  result.plan = plan;
  if (plan.fom && record.ComparisonKHz && result.n) {
    result.phase_noise = InBandPhaseNoise(*plan.fom, *record.ComparisonKHz, *result.n,
                                          ParseLeadingNumber(inputs.mult));
  }
  if (plan.alternatives > 0 && record.Exact) {
    result.alternatives = Alternatives(inputs, s, plan.alternatives);
  }
  return result;
}

}  // namespace synthfactors::cli
