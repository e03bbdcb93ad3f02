#include "run_result.h"

#include <cmath>

#include "fault_message.h"
#include "memory_boxes.h"

namespace synthfactors::cli {
namespace {

std::optional<double> IfFinite(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

bool SearchFinished(RunStage stage) {
  return stage == RunStage::kErrorFigures || stage == RunStage::kReport ||
         stage == RunStage::kHexValues || stage == RunStage::kDone;
}

bool ErrorKnown(RunStage stage) {
  return SearchFinished(stage) && stage != RunStage::kErrorFigures;
}

}  // namespace

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
    result.message = FaultMessage(fault.kind(), boxes.State().Stage);
  }

  const SearchState& s = boxes.State();
  result.stage = s.Stage;
  if (s.Stage == RunStage::kZeroSource) result.message = ZeroSourceMessage();
  if (boxes.Written(Box::RFund)) result.rf_source = boxes.Text(Box::RFund);
  if (boxes.Written(Box::DivDisp)) result.report = boxes.Text(Box::DivDisp);
  if (SearchFinished(s.Stage)) {
    result.exact = IsExactMatch(s);
    result.r = s.BestR;
    result.n = s.BestN;
  }
  if (ErrorKnown(s.Stage)) {
    result.comparison_khz = IfFinite(s.RefFreq * 1000 / s.BestR);
    result.error_hz = IfFinite(s.FreqErr * 1000000);
    result.error_ppb = IfFinite(s.RelErr * 1000000000);
  }
  return result;
}

}  // namespace synthfactors::cli
