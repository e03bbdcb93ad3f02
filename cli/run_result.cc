#include "run_result.h"

#include "fault_message.h"
#include "memory_boxes.h"

namespace synthfactors::cli {

RunInputs StartInputs() {
  return {std::string(StartText(Box::RFOut)), std::string(StartText(Box::RFMult)),
          std::string(StartText(Box::Ref)), std::string(StartText(Box::MinFC)),
          std::string(StartText(Box::MaxFC))};
}

RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol) {
  MemoryBoxes boxes{std::string(decimal_symbol)};
  boxes.SetText(Box::RFOut, inputs.rf_out);
  boxes.SetText(Box::RFMult, inputs.mult);
  boxes.SetText(Box::Ref, inputs.ref);
  boxes.SetText(Box::MinFC, inputs.min_fc);
  boxes.SetText(Box::MaxFC, inputs.max_fc);

  RunResult result;
  result.inputs = inputs;
  try {
    OnGoClick(boxes);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.message = FaultMessage(fault.kind(), boxes.EndStage());
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
  return result;
}

}  // namespace synthfactors::cli
