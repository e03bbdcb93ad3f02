#include "run.h"

#include "fault_message.h"
#include "memory_boxes.h"
#include "numeric_text.h"

namespace synthfactors::runner {
namespace {

// The alternatives of a run whose search has finished. The limits are read
// as the search read them; one it never needed may not be readable.
std::optional<std::vector<Alternative>> Alternatives(const RunInputs& inputs,
                                                     const SearchState& s, double factor,
                                                     const PlanOptions& plan) {
  std::vector<RankedPair> ranked;
  try {
    const PlanInputs in{s.SrcFreq,
                        s.RefFreq,
                        factor,
                        ParseLeadingNumber(inputs.min_fc),
                        ParseLeadingNumber(inputs.max_fc),
                        inputs.bounds};
    ranked = RankedAlternatives(in, plan.alternatives);
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
  std::vector<Alternative> alternatives;
  alternatives.reserve(ranked.size());
  for (const RankedPair& pair : ranked) {
    Alternative& alternative = alternatives.emplace_back();
    alternative.rank = static_cast<int>(alternatives.size());
    alternative.pair = pair;
    if (plan.fom) {
      alternative.phase_noise = InBandPhaseNoise(*plan.fom, pair.ComparisonKHz, pair.N, factor);
    }
  }
  return alternatives;
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
  result.plan = plan;
  try {
    boxes.Go(inputs.bounds);
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
  result.factor = record.Factor;
  if (record.SearchFinished) {
    result.exact = record.Exact;
    result.r = s.BestR;
    result.n = s.BestN;
  }
  result.comparison_khz = record.ComparisonKHz;
  result.error_hz = record.ErrorHz;
  result.error_ppb = record.ErrorPpb;

  if (plan.fom && record.ComparisonKHz && result.n) {
    result.phase_noise =
        InBandPhaseNoise(*plan.fom, *record.ComparisonKHz, *result.n, *record.Factor);
  }
  if (plan.alternatives > 0 && record.SearchFinished) {
    result.alternatives = Alternatives(inputs, s, *record.Factor, plan);
  }
  return result;
}

}  // namespace synthfactors::runner
