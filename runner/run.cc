#include "run.h"

#include <algorithm>
#include <cmath>

#include "fault_message.h"
#include "fractional_run.h"
#include "memory_boxes.h"
#include "number_text.h"
#include "numeric_text.h"
#include "register_words.h"

namespace synthfactors::runner {
std::optional<double> ReadNumber(const std::string& text) {
  try {
    return ParseLeadingNumber(text);
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
}

namespace {

std::optional<double> Read(const std::string& text) { return ReadNumber(text); }

// How the chip runs for this source frequency: the prescaler mode asked
// for, or the smallest that counts that high.
std::size_t ModeFor(const ChipCounters& chip, const std::optional<std::int32_t>& asked,
                          const std::optional<double>& source) {
  if (chip.Prescalers.empty()) return 0;
  std::size_t mode = SmallestPrescaler(chip, source.value_or(0))
                         .value_or(chip.Prescalers.size() - 1);
  for (std::size_t i = 0; asked && i < chip.Prescalers.size(); ++i) {
    if (chip.Prescalers[i].P == *asked) mode = std::max(mode, i);
  }
  return mode;
}

// A number's shortest text with the report's decimal symbol.
std::string Figure(double value, std::string_view decimal_symbol) {
  std::string text = ShortestText(value);
  if (const std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, decimal_symbol);
  }
  return text;
}

// "Note: ..." lines for what the chip changed or cannot do, their figures
// written with the report's decimal symbol.
std::vector<std::string> ChipNotes(const ChipProfile& chip, const RunInputs& inputs,
                                   const std::optional<double>& source,
                                   std::string_view decimal_symbol) {
  const auto ShortestText = [decimal_symbol](double value) { return Figure(value, decimal_symbol); };
  std::vector<std::string> notes;
  const ChipCounters& c = chip.counters;
  const std::optional<double> lower = Read(inputs.min_fc), upper = Read(inputs.max_fc);
  if (c.MinComparisonKHz && lower && *lower < *c.MinComparisonKHz) {
    notes.push_back("Note: the " + chip.name + " compares at least " +
                    ShortestText(*c.MinComparisonKHz) + " kHz");
  }
  if (c.MaxComparisonKHz && upper && *upper > *c.MaxComparisonKHz) {
    notes.push_back("Note: the " + chip.name + " compares at most " +
                    ShortestText(*c.MaxComparisonKHz) + " kHz");
  }
  const bool divided_into_range = ChooseDivider(inputs, source).has_value();
  if (source && !divided_into_range &&
      ((c.MinSourceMHz && std::fabs(*source) < *c.MinSourceMHz) ||
                 (c.MaxSourceMHz && std::fabs(*source) > *c.MaxSourceMHz))) {
    std::string range;  // "500 to 6000 MHz", "up to 6000 MHz" or "5000 MHz and above"
    if (c.MinSourceMHz && c.MaxSourceMHz) {
      range = ShortestText(*c.MinSourceMHz) + " to " + ShortestText(*c.MaxSourceMHz) + " MHz";
    } else if (c.MaxSourceMHz) {
      range = "up to " + ShortestText(*c.MaxSourceMHz) + " MHz";
    } else {
      range = ShortestText(*c.MinSourceMHz) + " MHz and above";
    }
    notes.push_back("Note: the source frequency " + ShortestText(*source) +
                    " MHz is outside the " + chip.name + "'s range of " + range);
  }
  return notes;
}

// The alternatives of a run whose search has finished. The limits are read
// as the search read them; one it never needed may not be readable.
std::optional<std::vector<Alternative>> Alternatives(const RunResult& result,
                                                     const SearchState& s,
                                                     const SearchBounds& bounds, double factor) {
  const std::optional<double> lower = Read(result.inputs.min_fc);
  const std::optional<double> upper = Read(result.inputs.max_fc);
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

// The chip's words for the run's pair, in write order; a value that does not
// fit its field becomes a note instead.
std::optional<std::vector<std::pair<std::string, std::string>>> RegisterWordsOf(
    const ChipProfile& chip, RunResult& result, const RunSetting& setting,
    const std::optional<DividerChoice>& divider) {
  const RegisterLayout* layout = LayoutNamed(chip.register_map);
  if (layout == nullptr) return std::nullopt;
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
    run.fundamental_feedback = divider->fundamental;
  }
  run.comparison_khz = result.comparison_khz.value_or(0);
  std::string error;
  const auto words = ComposeWords(*layout, run, chip.register_fields, error);
  if (!words) {
    result.notes.push_back("Note: no register words: " + error);
    return std::nullopt;
  }
  std::vector<std::pair<std::string, std::string>> texts;
  for (const RegisterWord& word : *words) {
    texts.emplace_back(std::string(word.name), WordText(*layout, word.word));
  }
  return texts;
}

}  // namespace

std::optional<NoiseModel> NoiseModelOf(const RunInputs& inputs, const PlanOptions& plan) {
  const ChipProfile* chip = inputs.chip_profile.get();
  const std::optional<double> fom = plan.fom ? plan.fom : chip ? chip->fom : std::nullopt;
  if (!fom) return std::nullopt;
  NoiseModel model;
  model.Fom = *fom;
  model.Flicker = plan.flicker ? plan.flicker : chip ? chip->flicker : std::nullopt;
  if (plan.offset_hz) model.OffsetHz = *plan.offset_hz;
  return model;
}

std::optional<double> SourceMHz(const RunInputs& inputs) {
  const std::optional<double> out = Read(inputs.rf_out), mult = Read(inputs.mult);
  if (!out || !mult || *mult == 0) return std::nullopt;
  const double source = *out / *mult;
  if (!std::isfinite(source)) return std::nullopt;
  return source;
}

std::optional<DividerChoice> ChooseDivider(const RunInputs& inputs,
                                           const std::optional<double>& source_mhz) {
  const ChipProfile* chip = inputs.chip_profile.get();
  if (chip == nullptr || !chip->output_divider || !source_mhz) return std::nullopt;
  const OutputDivider& divider = *chip->output_divider;
  const ChipCounters& c = chip->counters;
  const bool fundamental = !inputs.divided_feedback;
  const std::int32_t largest = fundamental ? divider.Max : divider.MaxInLoop;
  const double source = std::fabs(*source_mhz);
  for (std::int32_t d = 1; d <= largest; d *= 2) {
    // A power of two scales a double exactly.
    const double vco = source * d;
    if ((c.MinSourceMHz && vco < *c.MinSourceMHz) || (c.MaxSourceMHz && vco > *c.MaxSourceMHz)) {
      continue;
    }
    return DividerChoice{d, fundamental, fundamental ? *source_mhz * d : *source_mhz};
  }
  return std::nullopt;
}

std::optional<double> LoopMHz(const RunInputs& inputs, const std::optional<double>& source_mhz) {
  if (const auto choice = ChooseDivider(inputs, source_mhz)) return choice->loop_mhz;
  return source_mhz;
}

bool PrescalerAllowed(const RunInputs& inputs, const std::optional<double>& given_source_mhz,
                      std::string_view name, std::string& error) {
  if (!inputs.prescaler) return true;
  const std::optional<double> source_mhz = LoopMHz(inputs, given_source_mhz);
  const ChipProfile* chip = inputs.chip_profile.get();
  if (chip == nullptr) {
    error = std::string(name) + " needs a chip whose prescalers it chooses from";
    return false;
  }
  const std::vector<PrescalerMode>& modes = chip->counters.Prescalers;
  std::string allowed;
  std::optional<std::size_t> asked;
  for (std::size_t i = 0; i < modes.size(); ++i) {
    allowed += (i == 0 ? "" : i + 1 == modes.size() ? " or " : ", ") + std::to_string(modes[i].P);
    if (modes[i].P == *inputs.prescaler) asked = i;
  }
  if (!asked) {
    error = std::string(name) + ": the " + chip->name + " has " +
            (modes.empty() ? std::string("no prescaler to choose")
                           : "the prescalers " + allowed) +
            ", not " + std::to_string(*inputs.prescaler);
    return false;
  }
  const std::size_t smallest = SmallestPrescaler(chip->counters, source_mhz.value_or(0))
                                   .value_or(modes.size() - 1);
  if (*asked < smallest) {
    error = std::string(name) + ": the " + std::to_string(*inputs.prescaler) + "/" +
            std::to_string(*inputs.prescaler + 1) + " prescaler of the " + chip->name +
            " counts up to " + ShortestText(*modes[*asked].UpToMHz) +
            " MHz, below the source frequency " + ShortestText(std::fabs(*source_mhz)) + " MHz";
    return false;
  }
  return true;
}

RunSetting SettingFor(const RunInputs& inputs, const std::optional<double>& given_source_mhz) {
  // The prescaler counts what the N divider counts.
  const std::optional<double> source_mhz = LoopMHz(inputs, given_source_mhz);
  RunSetting setting{inputs.bounds, std::nullopt};
  if (const ChipProfile* chip = inputs.chip_profile.get()) {
    const std::size_t mode = ModeFor(chip->counters, inputs.prescaler, source_mhz);
    setting.bounds = BothBounds(ChipBounds(chip->counters, mode), inputs.bounds);
    if (!chip->counters.Prescalers.empty()) setting.prescaler = chip->counters.Prescalers[mode].P;
  }
  return setting;
}

bool HasDualModulusChip(const RunInputs& inputs) {
  return inputs.chip_profile && inputs.chip_profile->counters.DualModulus;
}

RunResult ResultShape(const RunInputs& inputs, const PlanOptions& plan) {
  RunResult shape;
  shape.inputs = inputs;
  shape.plan = plan;
  shape.noise = NoiseModelOf(inputs, plan);
  return shape;
}

std::vector<std::string> ChipNotesFor(const ChipProfile& chip, const RunInputs& inputs,
                                      const std::optional<double>& source,
                                      std::string_view decimal_symbol) {
  return ChipNotes(chip, inputs, source, decimal_symbol);
}

RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan) {
  if (HasFractionalChip(inputs)) return FractionalRunOnce(inputs, decimal_symbol, plan);
  MemoryBoxes boxes{std::string(decimal_symbol)};
  const std::optional<double> source = SourceMHz(inputs);
  const std::optional<DividerChoice> divider = ChooseDivider(inputs, source);
  boxes.SetText(Box::RFOut, inputs.rf_out);
  // With fundamental feedback the loop synthesises the VCO, source x D: the
  // search runs on the factor / D (exact, D being a power of two), so the
  // error and the noise are still those at the RF output.
  const bool vco_loop = divider && divider->fundamental && divider->divider > 1;
  boxes.SetText(Box::RFMult, vco_loop ? ShortestText(*Read(inputs.mult) / divider->divider)
                                      : inputs.mult);
  boxes.SetText(Box::Ref, inputs.ref);
  boxes.SetText(Box::MinFC, inputs.min_fc);
  boxes.SetText(Box::MaxFC, inputs.max_fc);

  RunResult result;
  result.inputs = inputs;
  result.plan = plan;
  result.noise = NoiseModelOf(inputs, plan);
  const RunSetting setting = SettingFor(inputs, source);
  const SearchBounds& bounds = setting.bounds;
  const ChipProfile* chip = inputs.chip_profile.get();
  if (chip != nullptr) {
    if (chip->counters.DualModulus) result.prescaler = setting.prescaler;
    result.notes = ChipNotes(*chip, inputs, source, decimal_symbol);
    if (divider) {
      result.output_divider = divider->divider;
      result.feedback = divider->fundamental ? "fundamental" : "divided";
    }
  }
  try {
    boxes.Go(bounds);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.message = FaultMessage(fault.kind(), boxes.EndStage(), bounds);
  }

  const SearchState& s = boxes.State();
  const RunRecord& record = boxes.Record();
  result.stage = boxes.EndStage();
  if (result.stage == RunStage::kZeroSource) result.message = ZeroSourceMessage();
  if (boxes.Written(Box::RFund)) {
    // The source frequency itself, not the VCO the search ran on.
    result.rf_source = vco_loop ? NumberToSignedText(*source) : boxes.Text(Box::RFund);
  }
  if (boxes.Written(Box::DivDisp)) result.report = boxes.Text(Box::DivDisp);
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

  if (result.noise && record.ComparisonKHz && result.n) {
    if (const auto noise =
            InBandNoise(*result.noise, *record.ComparisonKHz, *result.n, *record.Factor)) {
      result.phase_noise = noise->Total;
      if (noise->Flicker) {
        result.phase_noise_floor = noise->Floor;
        result.phase_noise_flicker = noise->Flicker;
      }
    }
  }
  if (plan.alternatives > 0 && record.SearchFinished) {
    result.alternatives = Alternatives(result, s, bounds, *record.Factor);
  }
  if (chip != nullptr && record.ComparisonKHz && result.n && *result.r > 0) {
    const double loop = *result.n * (*record.ComparisonKHz / kKiloHertzPerMegahertz);
    result.vco_mhz = divider && !divider->fundamental ? loop * divider->divider : loop;
    // No words for a VCO the chip cannot reach: the note says why.
    const bool reachable = divider || !chip->output_divider;
    if (plan.registers && reachable) {
      result.registers = RegisterWordsOf(*chip, result, setting, divider);
    }
  }
  return result;
}

}  // namespace synthfactors::runner
