#include "chip_run.h"

#include <algorithm>
#include <cmath>

#include "number_text.h"
#include "numeric_text.h"

namespace synthfactors::runner {
namespace {

// A number's shortest text with the report's decimal symbol.
std::string LocalShortestText(double value, std::string_view decimal_symbol) {
  std::string text = ShortestText(value);
  if (const std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, decimal_symbol);
  }
  return text;
}

// "Note: ..." lines for what the chip changed or cannot do, their figures
// written with the report's decimal symbol.
std::vector<std::string> ChipNotes(const ChipProfile& chip, const BoxNumbers& numbers,
                                   const std::optional<double>& source, bool divided_into_range,
                                   std::string_view decimal_symbol) {
  const auto text = [decimal_symbol](double value) {
    return LocalShortestText(value, decimal_symbol);
  };
  std::vector<std::string> notes;
  const ChipCounters& c = chip.counters;
  const std::optional<double>& lower = numbers.MinFC.IfReadable();
  const std::optional<double>& upper = numbers.MaxFC.IfReadable();
  if (c.MinComparisonKHz && lower && *lower < *c.MinComparisonKHz) {
    notes.push_back("Note: the " + chip.name + " compares at least " + text(*c.MinComparisonKHz) +
                    " kHz");
  }
  if (c.MaxComparisonKHz && upper && *upper > *c.MaxComparisonKHz) {
    notes.push_back("Note: the " + chip.name + " compares at most " + text(*c.MaxComparisonKHz) +
                    " kHz");
  }
  if (source && !divided_into_range &&
      ((c.MinSourceMHz && std::fabs(*source) < *c.MinSourceMHz) ||
       (c.MaxSourceMHz && std::fabs(*source) > *c.MaxSourceMHz))) {
    std::string range;  // "500 to 6000 MHz", "up to 6000 MHz" or "5000 MHz and above"
    if (c.MinSourceMHz && c.MaxSourceMHz) {
      range = text(*c.MinSourceMHz) + " to " + text(*c.MaxSourceMHz) + " MHz";
    } else if (c.MaxSourceMHz) {
      range = "up to " + text(*c.MaxSourceMHz) + " MHz";
    } else {
      range = text(*c.MinSourceMHz) + " MHz and above";
    }
    notes.push_back("Note: the source frequency " + text(*source) + " MHz is outside the " +
                    chip.name + "'s range of " + range);
  }
  return notes;
}

// The frequency the N divider counts: the loop's (ChooseDivider), else the
// source frequency.
std::optional<double> LoopMHz(const RunInputs& inputs, const std::optional<double>& source_mhz) {
  if (const auto choice = ChooseDivider(inputs, source_mhz)) return choice->loop_mhz;
  return source_mhz;
}

}  // namespace

std::optional<double> ReadNumber(const std::string& text) {
  return BoxNumber::Read(text).IfReadable();
}

BoxNumbers NumbersOf(const RunInputs& inputs) {
  return BoxNumbers{BoxNumber::Read(inputs.rf_out), BoxNumber::Read(inputs.mult),
                    BoxNumber::Read(inputs.ref), BoxNumber::Read(inputs.min_fc),
                    BoxNumber::Read(inputs.max_fc)};
}

std::optional<double> SourceMHz(const BoxNumbers& numbers) {
  const std::optional<double>& out = numbers.RFOut.IfReadable();
  const std::optional<double>& mult = numbers.RFMult.IfReadable();
  if (!out || !mult || *mult == 0) return std::nullopt;
  const double source = *out / *mult;
  if (!std::isfinite(source)) return std::nullopt;
  return source;
}

std::optional<double> SourceMHz(const RunInputs& inputs) {
  BoxNumbers numbers;
  numbers.RFOut = BoxNumber::Read(inputs.rf_out);
  numbers.RFMult = BoxNumber::Read(inputs.mult);
  return SourceMHz(numbers);
}

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

std::optional<DividerChoice> ChooseDivider(const RunInputs& inputs,
                                           const std::optional<double>& source_mhz) {
  const ChipProfile* chip = inputs.chip_profile.get();
  if (chip == nullptr || !chip->output_divider || !source_mhz) return std::nullopt;
  const OutputDivider& divider = *chip->output_divider;
  const ChipCounters& c = chip->counters;
  const bool fundamental = inputs.feedback == FeedbackMode::kFundamental;
  const std::int32_t largest = fundamental ? divider.Max : divider.MaxInLoop;
  const double source = std::fabs(*source_mhz);
  for (const std::int32_t d : divider.All()) {
    if (d > largest) break;
    // A power of two scales a double exactly; a channel divider's other
    // values (6, 12, ...) round the VCO here to the nearest double, which
    // decides its range only for a VCO within a unit in the last place of
    // an edge.
    const double vco = source * d;
    if ((c.MinSourceMHz && vco < *c.MinSourceMHz) || (c.MaxSourceMHz && vco > *c.MaxSourceMHz)) {
      continue;
    }
    return DividerChoice{d, inputs.feedback, fundamental ? *source_mhz * d : *source_mhz};
  }
  return std::nullopt;
}

std::size_t PrescalerModeFor(const ChipCounters& counters, const std::optional<std::int32_t>& asked,
                             const std::optional<double>& counted_mhz) {
  if (counters.Prescalers.empty()) return 0;
  std::size_t mode = SmallestPrescaler(counters, counted_mhz.value_or(0))
                         .value_or(counters.Prescalers.size() - 1);
  for (std::size_t i = 0; asked && i < counters.Prescalers.size(); ++i) {
    if (counters.Prescalers[i].P == *asked) mode = std::max(mode, i);
  }
  return mode;
}

RunSetting SettingFor(const RunInputs& inputs, const std::optional<double>& source_mhz) {
  // The prescaler counts what the N divider counts.
  const std::optional<double> counted = LoopMHz(inputs, source_mhz);
  RunSetting setting{inputs.bounds, std::nullopt};
  if (const ChipProfile* chip = inputs.chip_profile.get()) {
    const std::size_t mode = PrescalerModeFor(chip->counters, inputs.prescaler, counted);
    setting.bounds = BothBounds(ChipBounds(chip->counters, mode), inputs.bounds);
    if (!chip->counters.Prescalers.empty()) setting.prescaler = chip->counters.Prescalers[mode].P;
  }
  return setting;
}

bool PrescalerAllowed(const RunInputs& inputs, const std::optional<double>& source_mhz,
                      std::string_view name, std::string& error) {
  if (!inputs.prescaler) return true;
  const std::optional<double> counted = LoopMHz(inputs, source_mhz);
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
  const std::size_t smallest = SmallestPrescaler(chip->counters, counted.value_or(0))
                                   .value_or(modes.size() - 1);
  if (*asked < smallest) {
    error = std::string(name) + ": the " + std::to_string(*inputs.prescaler) + "/" +
            std::to_string(*inputs.prescaler + 1) + " prescaler of the " + chip->name +
            " counts up to " + ShortestText(*modes[*asked].UpToMHz) +
            " MHz, below the source frequency " + ShortestText(std::fabs(*counted)) + " MHz";
    return false;
  }
  return true;
}

std::size_t ModeCount(const ChipCounters& counters) {
  return std::max<std::size_t>(counters.Prescalers.size(), 1);
}

bool SourceReachable(const ChipProfile& chip, const std::optional<double>& source,
                     const std::optional<DividerChoice>& divider) {
  if (divider) return true;
  if (chip.output_divider || !source) return false;
  const ChipCounters& c = chip.counters;
  const double magnitude = std::fabs(*source);
  return !(c.MinSourceMHz && magnitude < *c.MinSourceMHz) &&
         !(c.MaxSourceMHz && magnitude > *c.MaxSourceMHz);
}

bool HasDualModulusChip(const RunInputs& inputs) {
  return inputs.chip_profile && inputs.chip_profile->counters.DualModulus;
}

bool HasFractionalChip(const RunInputs& inputs) {
  return inputs.chip_profile && inputs.chip_profile->fractional;
}

RunResult StartRun(const RunInputs& inputs, const PlanOptions& plan) {
  RunResult result;
  result.inputs = inputs;
  result.plan = plan;
  result.noise = NoiseModelOf(inputs, plan);
  return result;
}

void AddChipFacts(RunResult& result, const BoxNumbers& numbers,
                  const std::optional<double>& source, const std::optional<DividerChoice>& divider,
                  std::string_view decimal_symbol) {
  const ChipProfile* chip = result.inputs.chip_profile.get();
  if (chip == nullptr) return;
  result.notes = ChipNotes(*chip, numbers, source, divider.has_value(), decimal_symbol);
  if (divider) {
    result.output_divider = divider->divider;
    result.feedback = divider->feedback;
  }
}

void AddNoise(RunResult& result, double comparison_khz, double n, double factor) {
  if (!result.noise) return;
  if (const auto noise = InBandNoise(*result.noise, comparison_khz, n, factor)) {
    result.phase_noise = noise->Total;
    if (noise->Flicker) {
      result.phase_noise_floor = noise->Floor;
      result.phase_noise_flicker = noise->Flicker;
    }
  }
}

void AddRegisterWords(const ChipProfile& chip, const RegisterRun& run, RunResult& result) {
  if (!result.plan.registers) return;
  const RegisterLayout* layout = LayoutNamed(chip.register_map);
  if (layout == nullptr) return;
  std::string error;
  // The loop's charge-pump current, where the chip's field holds it.
  std::vector<std::pair<std::string, std::int64_t>> fields = chip.register_fields;
  if (result.plan.loop && result.plan.loop->cp_setting && chip.charge_pump &&
      !chip.charge_pump->field.empty()) {
    fields.emplace_back(chip.charge_pump->field,
                        chip.charge_pump->FieldValue(
                            static_cast<std::size_t>(*result.plan.loop->cp_setting)));
  }
  RegisterRun with_current = run;
  if (chip.charge_pump) {
    with_current.cp_current_ma = chip.charge_pump->DefaultMilliamps();
    if (result.plan.loop && result.plan.loop->cp_current_ma > 0) {
      with_current.cp_current_ma = result.plan.loop->cp_current_ma;
    }
  }
  const auto words = ComposeWords(*layout, with_current, fields, error);
  if (!words) {
    result.notes.push_back("Note: no register words: " + error);
    return;
  }
  NamedWords texts;
  for (const RegisterWord& word : PowerUpWrites(*layout, *words)) {
    texts.emplace_back(std::string(word.name), WordText(*layout, word.word));
  }
  result.registers = std::move(texts);
}

}  // namespace synthfactors::runner
