#include "integer_run.h"

#include "chip_run.h"
#include "fault_message.h"
#include "loop_run.h"
#include "numeric_text.h"

#include <cmath>

namespace synthfactors::runner {
namespace {

// The alternatives of a run whose search has finished. The limits are read
// as the search read them; one it never needed may not be readable.
std::optional<std::vector<Alternative>> Alternatives(const RunResult& result,
                                                     const BoxNumbers& numbers,
                                                     const SearchState& s,
                                                     const SearchBounds& bounds, double factor) {
  const std::optional<double>& lower = numbers.MinFC.IfReadable();
  const std::optional<double>& upper = numbers.MaxFC.IfReadable();
  if (!lower || !upper) return std::nullopt;
  const PlanInputs in{s.SrcFreq, s.RefFreq, factor, *lower, *upper, bounds};
  std::vector<Alternative> alternatives;
  for (const RankedPair& pair : RankedAlternatives(in, result.plan.alternatives)) {
    Alternative& alternative = alternatives.emplace_back();
    alternative.rank = static_cast<int>(alternatives.size());
    alternative.pair = pair;
    if (result.prescaler) alternative.counts = CountsFor(pair.N, *result.prescaler);
    if (result.noise) {
      if (const auto noise = InBandNoise(*result.noise, pair.ComparisonKHz, pair.N, factor)) {
        alternative.phase_noise = noise->Total;
      }
    }
  }
  return alternatives;
}

// What the chip's words take from the run's pair.
RegisterRun WordsRun(const RunResult& result, const RunSetting& setting,
                     const std::optional<DividerChoice>& divider) {
  RegisterRun run;
  run.r = static_cast<std::int64_t>(*result.r);
  run.n = static_cast<std::int64_t>(*result.n);
  if (result.counts) {
    run.a = result.counts->A;
    run.b = result.counts->B;
  }
  run.prescaler = setting.prescaler.value_or(0);
  if (divider) {
    run.output_divider = divider->divider;
    run.feedback = divider->feedback;
  }
  run.comparison_khz = result.comparison_khz.value_or(0);
  return run;
}

}  // namespace

// The next larger prescaler than `p` where the chosen pair asks it to
// count beyond what it can (a pair off frequency may land just above the
// frequency asked for); empty where the pair is within it.
std::optional<std::int32_t> LargerPrescalerNeeded(const RunResult& result,
                                                  const ChipCounters& counters, std::int32_t p) {
  const std::vector<PrescalerMode>& modes = counters.Prescalers;
  if (!result.n || !result.comparison_khz) return std::nullopt;
  for (std::size_t i = 0; i + 1 < modes.size(); ++i) {
    if (modes[i].P != p || !modes[i].UpToMHz) continue;
    const double counted = *result.n * (*result.comparison_khz / kKiloHertzPerMegahertz);
    if (std::fabs(counted) > *modes[i].UpToMHz) return modes[i + 1].P;
  }
  return std::nullopt;
}

RunResult IntegerRunOnce(const RunInputs& inputs, const BoxNumbers& numbers,
                         std::string_view decimal_symbol, const PlanOptions& plan) {
  const std::optional<double> source = SourceMHz(numbers);
  const std::optional<DividerChoice> divider = ChooseDivider(inputs, source);
  const bool vco_loop = divider && divider->Fundamental() && divider->divider > 1;
  BoxNumbers go = numbers;
  if (vco_loop) go.RFMult = BoxNumber::Of(numbers.RFMult.Value() / divider->divider);

  RunResult result = StartRun(inputs, plan);
  AddChipFacts(result, numbers, source, divider, decimal_symbol);
  const RunSetting setting = SettingFor(inputs, source);
  const SearchBounds& bounds = setting.bounds;
  const ChipProfile* chip = inputs.chip_profile.get();
  if (chip != nullptr && chip->counters.DualModulus) result.prescaler = setting.prescaler;
  GoActionState action;
  GoTexts texts;
  try {
    OnGoWithNumbers(go, decimal_symbol, action, texts, bounds);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.message = FaultMessage(fault.kind(), EndStage(action), bounds);
  }

  const SearchState& s = action.Search;
  const RunRecord& record = action.Record;
  result.stage = EndStage(action);
  if (result.stage == RunStage::kZeroSource) result.message = ZeroSourceMessage();
  if (texts.RFund) {
    // The source frequency itself, not the VCO the search ran on.
    result.rf_source = vco_loop ? NumberToSignedText(*source) : std::move(texts.RFund);
  }
  result.report = std::move(texts.DivDisp);
  result.factor = record.Factor;
  if (record.SearchFinished) {
    result.exact = record.Exact;
    result.r = s.BestR;
    result.n = s.BestN;
    if (result.prescaler && s.BestR > 0) result.counts = CountsFor(s.BestN, *result.prescaler);
  }
  result.comparison_khz = record.ComparisonKHz;
  result.error_hz = record.ErrorHz;
  result.error_ppb = record.ErrorPpb;

  if (record.ComparisonKHz && result.n) {
    AddNoise(result, *record.ComparisonKHz, *result.n, *record.Factor);
  }
  if (plan.alternatives > 0 && record.SearchFinished) {
    result.alternatives = Alternatives(result, numbers, s, bounds, *record.Factor);
  }
  if (chip != nullptr && setting.prescaler) {
    if (const auto larger = LargerPrescalerNeeded(result, chip->counters, *setting.prescaler)) {
      RunInputs retry = inputs;
      retry.prescaler = *larger;
      RunResult again = IntegerRunOnce(retry, numbers, decimal_symbol, plan);
      again.inputs = inputs;
      return again;
    }
  }
  if (record.SearchFinished && record.ComparisonKHz && result.n && *result.r > 0) {
    const bool divided = divider && !divider->Fundamental();
    AddLoop(result, {.comparison_khz = *record.ComparisonKHz,
                     .n = *result.n,
                     .factor = *record.Factor,
                     .feedback_division = divided ? double(divider->divider) : 1.0,
                     .reference_mhz = numbers.Ref.Value()});
  }
  if (chip != nullptr && record.ComparisonKHz && result.n && *result.r > 0) {
    const double loop = *result.n * (*record.ComparisonKHz / kKiloHertzPerMegahertz);
    result.vco_mhz = divider && !divider->Fundamental() ? loop * divider->divider : loop;
    // No words for a source the chip cannot reach: the note says why.
    if (SourceReachable(*chip, source, divider)) {
      AddRegisterWords(*chip, WordsRun(result, setting, divider), result);
    }
  }
  return result;
}

}  // namespace synthfactors::runner
