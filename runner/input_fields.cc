#include "input_fields.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "loop_texts.h"
#include "number_text.h"
#include "plan_options.h"
#include "sweep.h"
#include "number_chars.h"

namespace synthfactors::runner {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The value of a normalised decimal text; beyond the doubles, an infinity
// (or 0 when it is too small).
double ValueOf(const std::string& decimal) {
  double value = 0;
  const auto [end, error] = FromChars(decimal.data(), decimal.data() + decimal.size(), value);
  if (error == std::errc::result_out_of_range) {
    const std::size_t digit = decimal.find_first_not_of("-0");
    const bool huge = digit != std::string::npos && decimal[digit] != '.';
    value = huge ? std::numeric_limits<double>::infinity() : 0.0;
    if (!decimal.empty() && decimal.front() == '-') value = -value;
  }
  return value;
}

class Reader {
 public:
  Reader(const InputTexts& texts, const ReadSettings& settings)
      : texts_(texts), settings_(settings) {}

  std::variant<CheckedInputs, std::vector<InputFault>> Read() {
    for (const InputField& field : kInputFields) {
      const auto& text = texts_[field.input];
      if (text && text->find('\0') != std::string::npos) {
        Fault(field.input, Name(field.input) + " holds a NUL character, which no value has");
      }
    }
    ReadBoxes();
    ReadCounters();
    ReadChip();
    ReadPlanning();
    CheckNoiseOptions();
    CheckPrescaler();
    ReadChipOutputs();
    ReadLoop();
    if (!faults_.empty()) return std::move(faults_);
    return std::move(checked_);
  }

 private:
  // What a chip-less input is missing: "(--chip, such as adf4351)", or
  // "(such as adf4351)" where inputs go unnamed (the planner shows the
  // reason under the box).
  std::string ChipHint(std::string_view examples) const {
    const std::string chip = Name(Input::kChip);
    return "(" + (chip.empty() ? std::string() : chip + ", ") + "such as " +
           std::string(examples) + ")";
  }

  std::string Name(Input input) const {
    switch (settings_.naming) {
      case Naming::kFlag:
        return std::string(FieldOf(input).flag);
      case Naming::kKey:
        return std::string(FieldOf(input).key);
      case Naming::kNone:
        break;
    }
    return "";
  }

  // The given text of an input that has no fault yet.
  const std::optional<std::string>& Given(Input input) const {
    static const std::optional<std::string> kNone;
    return HasFault(input) ? kNone : texts_[input];
  }

  bool HasFault(Input input) const {
    for (const InputFault& fault : faults_) {
      if (fault.input == input) return true;
    }
    return false;
  }

  // The first fault of each input is the one to mend; a message built with
  // no name loses the blank or ": " that followed it.
  void Fault(Input input, std::string message) {
    if (HasFault(input)) return;
    if (settings_.naming == Naming::kNone) {
      if (message.starts_with(": ")) message.erase(0, 2);
      if (message.starts_with(" ")) message.erase(0, 1);
    }
    auto at = faults_.begin();
    while (at != faults_.end() && at->input < input) ++at;
    faults_.insert(at, InputFault{input, std::move(message)});
  }

  // A text that must be one decimal number, for the strict reading: "." as
  // its point, or the face's decimal symbol.
  std::optional<std::string> StrictNumber(Input input, const std::string& text) {
    std::optional<std::string> number = StrictDecimal(text, settings_.decimal_symbol);
    if (!number) {
      Fault(input, Name(input) + " \"" + CutShort(text, 40) +
                       "\" is not a number; write one decimal number, such as 10" +
                       std::string(settings_.decimal_symbol.empty() ? "." : settings_.decimal_symbol) +
                       "5");
    }
    return number;
  }

  void ReadBoxes() {
    RunInputs& inputs = checked_.inputs;
    std::string* targets[] = {&inputs.rf_out, &inputs.mult, &inputs.ref, &inputs.min_fc,
                              &inputs.max_fc};
    for (Input input : {Input::kRfOut, Input::kMult, Input::kRef, Input::kMinFc, Input::kMaxFc}) {
      std::string& target = *targets[static_cast<std::size_t>(input)];
      const auto& text = Given(input);
      if (settings_.reading == Reading::kAsTheWindow) {
        if (text) target = *text;
        continue;
      }
      if (input == Input::kRfOut) continue;  // the grid's
      if (!text || Trimmed(*text).empty()) {
        Fault(input, Name(input) + " needs a number");
        continue;
      }
      if (const auto number = StrictNumber(input, *text)) target = *number;
    }
    if (settings_.reading == Reading::kStrict) CheckBoxValues();
  }

  // The strict reading refuses what the calculation cannot use.
  void CheckBoxValues() {
    const RunInputs& inputs = checked_.inputs;
    const auto usable = [this](Input input) { return !HasFault(input); };
    if (usable(Input::kMult) && ValueOf(inputs.mult) == 0) {
      Fault(Input::kMult, Name(Input::kMult) + " must not be 0");
    }
    if (usable(Input::kRef) && !(ValueOf(inputs.ref) > 0)) {
      Fault(Input::kRef, Name(Input::kRef) + " must be above 0");
    }
    if (usable(Input::kMinFc) && ValueOf(inputs.min_fc) < 0) {
      Fault(Input::kMinFc, Name(Input::kMinFc) + " must not be below 0");
    }
    if (usable(Input::kMinFc) && usable(Input::kMaxFc) &&
        ValueOf(inputs.max_fc) < ValueOf(inputs.min_fc)) {
      Fault(Input::kMaxFc,
            Name(Input::kMaxFc) + " must not be below the lowest comparison frequency");
    }
  }

  void ReadCounters() {
    RunInputs& inputs = checked_.inputs;
    inputs.r_range = Given(Input::kRRange);
    inputs.n_range = Given(Input::kNRange);
    std::string error;
    std::optional<WholeRange> r_range, n_range;
    if (inputs.r_range &&
        !(r_range = ParseWholeRange(*inputs.r_range, Name(Input::kRRange), kRRangeLimits, error))) {
      Fault(Input::kRRange, error);
      inputs.r_range.reset();
    }
    if (inputs.n_range &&
        !(n_range = ParseWholeRange(*inputs.n_range, Name(Input::kNRange), std::nullopt, error))) {
      Fault(Input::kNRange, error);
      inputs.n_range.reset();
    }
    inputs.bounds = BoundsOf(r_range, n_range);
  }

  void ReadChip() {
    RunInputs& inputs = checked_.inputs;
    if (const auto& chip = Given(Input::kChip)) {
      std::string error = "no chip profile can be loaded here";
      std::shared_ptr<const ChipProfile> profile =
          settings_.load_chip ? settings_.load_chip(*chip, error) : nullptr;
      if (profile) {
        inputs.chip = *chip;
        inputs.chip_profile = std::move(profile);
      } else {
        Fault(Input::kChip, error);
      }
    }
    std::string error;
    if (const auto& p = Given(Input::kPrescaler);
        p && !(inputs.prescaler = ParsePrescaler(*p, Name(Input::kPrescaler), error))) {
      Fault(Input::kPrescaler, error);
    }
  }

  // A noise figure, within the limits a real loop has.
  std::optional<double> NoiseFigure(Input input, std::string_view what, std::string_view example,
                               const NoiseLimits& limits) {
    std::optional<double> value = Decimal(input, what, example, false);
    if (value && !limits.Admits(*value)) {
      Fault(input, Name(input) + " must be " + limits.Range() + ", not " + ShortestText(*value));
      return std::nullopt;
    }
    return value;
  }

  // A decimal number of an option: strictly one number for the planner.
  std::optional<double> Decimal(Input input, std::string_view what, std::string_view example,
                                bool positive) {
    const auto& text = Given(input);
    if (!text) return std::nullopt;
    std::string number = *text;
    if (settings_.reading == Reading::kStrict) {
      if (Trimmed(number).empty()) return std::nullopt;  // an empty box: none
      const auto strict = StrictNumber(input, number);
      if (!strict) return std::nullopt;
      number = *strict;
    }
    std::string error;
    std::optional<double> value = ParseDecimal(number, Name(input), what, example, positive, error);
    if (!value) Fault(input, error);
    return value;
  }

  void ReadPlanning() {
    PlanOptions& plan = checked_.plan;
    std::string error;
    if (const auto& count = Given(Input::kAlternatives)) {
      if (const auto parsed = ParseAlternativeCount(*count, Name(Input::kAlternatives), error)) {
        plan.alternatives = *parsed;
      } else {
        Fault(Input::kAlternatives, error);
      }
    }
    plan.fom = NoiseFigure(Input::kFom, "the PLL's figure of merit in dBc/Hz", "-220", kFomLimits);
    plan.flicker = NoiseFigure(Input::kFlicker,
                          "the normalised flicker noise in dBc/Hz (1 Hz carrier, 1 Hz offset)",
                          "-260", kFlickerLimits);
    plan.offset_hz =
        Decimal(Input::kOffset, "the offset from the carrier in Hz, above 0", "10000", true);
  }

  // A flicker figure without a figure of merit, or an offset without a
  // flicker figure, would change nothing: say so rather than ignore it.
  void CheckNoiseOptions() {
    const PlanOptions& plan = checked_.plan;
    const ChipProfile* chip = checked_.inputs.chip_profile.get();
    const bool fom = plan.fom || (chip != nullptr && chip->fom);
    const bool flicker = plan.flicker || (chip != nullptr && chip->flicker);
    if (plan.flicker && !fom && !HasFault(Input::kFom)) {
      Fault(Input::kFlicker, Name(Input::kFlicker) + " needs a figure of merit (" +
                                 Name(Input::kFom) + ", or a chip profile that has one)");
    }
    if (plan.offset_hz && !flicker && !HasFault(Input::kFlicker)) {
      Fault(Input::kOffset, Name(Input::kOffset) + " needs a flicker figure (" +
                                Name(Input::kFlicker) + ", or a chip profile that has one)");
    }
  }

  // The output divider's feedback mode and the register words: only with a
  // chip that has them.
  void ReadChipOutputs() {
    RunInputs& inputs = checked_.inputs;
    const ChipProfile* chip = inputs.chip_profile.get();
    if (const auto& mode = Given(Input::kFeedback)) {
      const std::optional<FeedbackMode> feedback = FeedbackNamed(*mode);
      if (!feedback) {
        Fault(Input::kFeedback, Name(Input::kFeedback) + " takes " + NamesIn(kFeedbackNames) +
                                    ", not \"" + CutShort(*mode, 40) + "\"");
      } else if (chip == nullptr || !chip->output_divider) {
        if (!HasFault(Input::kChip)) {
          Fault(Input::kFeedback, Name(Input::kFeedback) +
                                      " needs a chip with an output divider (" +
                                      Name(Input::kChip) + ")");
        }
      } else if (!chip->output_divider->Has(*feedback)) {
        Fault(Input::kFeedback, Name(Input::kFeedback) + ": the " + chip->name + " has no " +
                                    *mode + " feedback");
      } else {
        inputs.feedback = *feedback;
      }
    }
    for (const Input input : {Input::kTolerance, Input::kSpurClear}) {
      if (!Given(input)) continue;
      const std::optional<double> value = Decimal(
          input,
          input == Input::kTolerance ? "the output error allowed in Hz, 0 or above"
                                     : "the least spur offset in kHz, 0 or above",
          input == Input::kTolerance ? "0.5" : "100", false);
      if (!value) continue;
      if (*value < 0) {
        Fault(input, Name(input) + " must not be below 0, not " + ShortestText(*value));
      } else if (chip == nullptr || !chip->fractional) {
        if (!HasFault(Input::kChip)) {
          Fault(input,
                Name(input) + " needs a fractional-N chip " + ChipHint("adf4351 or max2870"));
        }
      } else if (input == Input::kTolerance) {
        checked_.plan.tolerance_hz = value;
      } else {
        checked_.plan.spur_clear_khz = value;
      }
    }
    ReadPreference();
    ReadReferencePath();
    ReadMashOrder();
    if (const std::optional<bool>& flag = texts_.Flag(Input::kRegisters)) {
      if (*flag && (chip == nullptr || chip->register_map.empty())) {
        if (!HasFault(Input::kChip)) {
          Fault(Input::kRegisters, Name(Input::kRegisters) +
                                       " needs a chip whose profile names its register_map (" +
                                       Name(Input::kChip) + ")");
        }
      } else {
        checked_.plan.registers = *flag;
      }
    }
  }

  // --prefer: a word of its table; noise needs a figure of merit, and
  // either needs a fractional-N chip.
  void ReadPreference() {
    const auto& word = Given(Input::kPrefer);
    if (!word) return;
    const ChipProfile* chip = checked_.inputs.chip_profile.get();
    const std::optional<Preference> preference = ModeIn(kPreferenceNames, *word);
    if (!preference) {
      Fault(Input::kPrefer, Name(Input::kPrefer) + " takes " + NamesIn(kPreferenceNames) +
                                ", not \"" + CutShort(*word, 40) + "\"");
    } else if (chip == nullptr || !chip->fractional) {
      if (!HasFault(Input::kChip)) {
        Fault(Input::kPrefer, Name(Input::kPrefer) + " needs a fractional-N chip " +
                                  ChipHint("adf4351 or max2870"));
      }
    } else if (*preference == Preference::kNoise && !checked_.plan.fom && !chip->fom) {
      if (!HasFault(Input::kFom)) {
        Fault(Input::kPrefer, Name(Input::kPrefer) + " noise needs a figure of merit (" +
                                  Name(Input::kFom) + ", or a chip profile that has one)");
      }
    } else {
      checked_.plan.prefer = *preference;
    }
  }

  // --ref-path: "auto" or a setting of each of the chip's stages. Whether
  // a fixed setting suits the reference is the run's to say: it knows
  // the reference exactly.
  void ReadReferencePath() {
    const auto& text = Given(Input::kRefPath);
    if (!text) return;
    const ChipProfile* chip = checked_.inputs.chip_profile.get();
    if (chip == nullptr || !chip->reference_path) {
      if (!HasFault(Input::kChip)) {
        Fault(Input::kRefPath, Name(Input::kRefPath) + " needs a chip with a reference path " +
                                   ChipHint("lmx2594 or adf5356"));
      }
      return;
    }
    if (!chip->fractional) {
      Fault(Input::kRefPath, Name(Input::kRefPath) + " needs a fractional-N chip " +
                                 ChipHint("lmx2594 or adf5356"));
      return;
    }
    std::string error;
    std::optional<PathRequest> request = ReadPathText(*chip->reference_path, *text, error);
    if (!request) {
      Fault(Input::kRefPath, Name(Input::kRefPath) + ": " + CutShort(error, 200));
      return;
    }
    checked_.inputs.path_request = request;
    checked_.inputs.ref_path = *text;
  }

  // --mash-order: one of the chip's fractional orders.
  void ReadMashOrder() {
    const auto& text = Given(Input::kMashOrder);
    if (!text) return;
    const ChipProfile* chip = checked_.inputs.chip_profile.get();
    if (chip == nullptr || !chip->fractional || chip->fractional->MashOrders.size() < 2) {
      if (!HasFault(Input::kChip)) {
        Fault(Input::kMashOrder, Name(Input::kMashOrder) +
                                     " needs a chip whose modulator has orders " + ChipHint("lmx2594"));
      }
      return;
    }
    const std::int64_t highest = chip->fractional->MashOrders.back().Order;
    std::int64_t order = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), order);
    if (error != std::errc() || end != text->data() + text->size() || order < 1 ||
        order > highest) {
      Fault(Input::kMashOrder, Name(Input::kMashOrder) + " takes an order of the " + chip->name +
                                   "'s modulator, 1 to " + std::to_string(highest) + ", not \"" +
                                   CutShort(*text, 40) + "\"");
      return;
    }
    checked_.inputs.mash_order = order;
  }

  // The loop: a filter designed for a bandwidth or built parts, its gain
  // (the options, else the chip's), its noise, jitter band and lock step.
  void ReadLoop() {
    const bool design = texts_[Input::kLoopBandwidth].has_value();
    const bool built = texts_[Input::kFilter].has_value();
    if (design && built) {
      Fault(Input::kFilter, Name(Input::kFilter) + " gives built parts and " +
                                Name(Input::kLoopBandwidth) +
                                " designs them: give one of the two");
      return;
    }
    if (!design && !built) {
      RefuseWithoutLoop();
      return;
    }
    LoopOptions loop;
    if (design) {
      ReadDesign(loop);
    } else {
      ReadParts(loop);
    }
    ReadGain(loop);
    ReadLoopNoise(loop);
    checked_.plan.loop = std::move(loop);
  }

  // Options of a loop given without one change nothing: say so.
  void RefuseWithoutLoop() {
    for (const Input input : {Input::kPhaseMargin, Input::kFilterOrder, Input::kGamma,
                              Input::kT31, Input::kCpCurrent, Input::kKvco, Input::kVcoNoise,
                              Input::kRefNoise, Input::kNoiseOffsets, Input::kJitterBand,
                              Input::kLockJump, Input::kLockTolerance}) {
      if (texts_[input]) {
        Fault(input, Name(input) + " needs a loop (" + Name(Input::kLoopBandwidth) + " or " +
                         Name(Input::kFilter) + ")");
      }
    }
  }

  // A positive decimal of a loop input.
  std::optional<double> Positive(Input input, std::string_view what, std::string_view example) {
    return Decimal(input, what, example, true);
  }

  void ReadDesign(LoopOptions& loop) {
    loop.bandwidth_khz =
        Positive(Input::kLoopBandwidth, "the loop bandwidth in kHz, above 0", "50");
    if (const auto margin = Decimal(Input::kPhaseMargin, "the phase margin in degrees", "45",
                                    false)) {
      if (!(*margin > 0 && *margin < 90)) {
        Fault(Input::kPhaseMargin,
              Name(Input::kPhaseMargin) +
                  " must lie above 0 and below 90 degrees: a passive filter's phase margin "
                  "stays below 90, not " + ShortestText(*margin));
      } else {
        loop.phase_margin_deg = *margin;
      }
    }
    if (const auto& order = Given(Input::kFilterOrder)) {
      const std::string_view text = Trimmed(*order);
      if (text == "2" || text == "3") {
        loop.order = text == "2" ? 2 : 3;
      } else {
        Fault(Input::kFilterOrder, Name(Input::kFilterOrder) + " takes 2 or 3, not \"" +
                                       CutShort(*order, 40) + "\"");
      }
    }
    if (const auto gamma = Positive(Input::kGamma, "the optimisation factor gamma, above 0", "1")) {
      loop.gamma = *gamma;
    }
    if (const auto t31 = Decimal(Input::kT31, "the pole ratio T3/T1", "0.6", false)) {
      if (!(*t31 > 0 && *t31 < 1)) {
        Fault(Input::kT31, Name(Input::kT31) + " must lie between 0 and 1 (T3 below T1), not " +
                               ShortestText(*t31));
      } else if (loop.order == 2 && !HasFault(Input::kFilterOrder)) {
        Fault(Input::kT31, Name(Input::kT31) + " shapes a third-order filter, not order 2");
      } else {
        loop.t31 = *t31;
      }
    }
  }

  void ReadParts(LoopOptions& loop) {
    for (const Input input : {Input::kPhaseMargin, Input::kFilterOrder, Input::kGamma,
                              Input::kT31}) {
      if (texts_[input]) {
        Fault(input, Name(input) + " shapes a designed filter: it needs " +
                         Name(Input::kLoopBandwidth) + ", not " + Name(Input::kFilter));
      }
    }
    if (const auto& text = Given(Input::kFilter)) {
      std::string error;
      if (auto parts = ParseFilterParts(*text, Name(Input::kFilter), error)) {
        loop.parts = parts;
        loop.order = parts->order;
      } else {
        Fault(Input::kFilter, error);
      }
    }
  }

  // The charge-pump current and VCO gain: given, else the chip's; a chip
  // that lists its currents takes only those.
  void ReadGain(LoopOptions& loop) {
    const ChipProfile* chip = checked_.inputs.chip_profile.get();
    const ChargePump* pump = chip != nullptr && chip->charge_pump ? &*chip->charge_pump : nullptr;
    const bool chip_fault = HasFault(Input::kChip);
    if (const auto current = Positive(Input::kCpCurrent, "the charge-pump current in mA", "5")) {
      loop.cp_current_ma = *current;
      if (pump != nullptr) {
        if (const auto setting = pump->SettingFor(*current)) {
          loop.cp_setting = static_cast<std::int64_t>(*setting);
          loop.cp_current_ma = pump->currents_ma[*setting];
        } else {
          Fault(Input::kCpCurrent, Name(Input::kCpCurrent) + " " + ShortestText(*current) +
                                       " mA is no setting of the " + chip->name + ": it has " +
                                       pump->CurrentList());
        }
      }
    } else if (!texts_[Input::kCpCurrent] && !chip_fault) {
      if (pump != nullptr) {
        loop.cp_setting = static_cast<std::int64_t>(pump->default_setting);
        loop.cp_current_ma = pump->DefaultMilliamps();
      } else {
        Fault(Input::kCpCurrent,
              Name(Input::kCpCurrent) + " is needed with a loop: the charge-pump current in mA" +
                  (chip != nullptr ? " (the " + chip->name + " profile lists none)" : ""));
      }
    }
    if (const auto kvco = Positive(Input::kKvco, "the VCO's gain in MHz/V", "30")) {
      loop.kvco_mhz_per_v = *kvco;
    } else if (!texts_[Input::kKvco] && !chip_fault) {
      if (chip != nullptr && chip->kvco_mhz_per_v) {
        loop.kvco_mhz_per_v = *chip->kvco_mhz_per_v;
      } else {
        Fault(Input::kKvco,
              Name(Input::kKvco) + " is needed with a loop: the VCO's gain in MHz/V" +
                  (chip != nullptr ? " (the " + chip->name + " profile gives none)" : ""));
      }
    }
  }

  void ReadLoopNoise(LoopOptions& loop) {
    std::string error;
    for (const Input input : {Input::kVcoNoise, Input::kRefNoise}) {
      const auto& text = Given(input);
      if (!text) continue;
      if (auto points = ParseNoisePoints(*text, Name(input), error)) {
        (input == Input::kVcoNoise ? loop.vco_noise : loop.reference_noise)
            .emplace(std::move(*points));
      } else {
        Fault(input, error);
      }
    }
    if (const auto& text = Given(Input::kNoiseOffsets)) {
      if (auto offsets = ParseOffsets(*text, Name(Input::kNoiseOffsets), error)) {
        loop.offsets_hz = std::move(*offsets);
      } else {
        Fault(Input::kNoiseOffsets, error);
      }
    }
    if (const auto& text = Given(Input::kJitterBand)) {
      if (const auto band = ParseBand(*text, Name(Input::kJitterBand), error)) {
        loop.jitter_from_hz = band->first;
        loop.jitter_to_hz = band->second;
      } else {
        Fault(Input::kJitterBand, error);
      }
    }
    loop.lock_jump_mhz =
        Positive(Input::kLockJump, "the frequency step at the RF output in MHz, above 0", "10");
    if (const auto tolerance =
            Positive(Input::kLockTolerance, "the settled error in Hz, above 0", "1000")) {
      if (!texts_[Input::kLockJump]) {
        Fault(Input::kLockTolerance,
              Name(Input::kLockTolerance) + " needs a step (" + Name(Input::kLockJump) + ")");
      } else {
        loop.lock_tolerance_hz = *tolerance;
      }
    }
  }

  void CheckPrescaler() {
    const RunInputs& inputs = checked_.inputs;
    if (!inputs.prescaler || HasFault(Input::kChip)) return;
    if (settings_.grid == nullptr && (HasFault(Input::kRfOut) || HasFault(Input::kMult))) return;
    const std::optional<double> highest =
        settings_.grid ? HighestSourceMHz(*settings_.grid, inputs) : SourceMHz(inputs);
    std::string error;
    if (!PrescalerAllowed(inputs, highest, Name(Input::kPrescaler), error)) {
      Fault(Input::kPrescaler, error);
    }
  }

  const InputTexts& texts_;
  const ReadSettings& settings_;
  CheckedInputs checked_;
  std::vector<InputFault> faults_;
};

}  // namespace

std::vector<std::string_view> ChoicesOf(Input input) {
  std::vector<std::string_view> words;
  if (input == Input::kFeedback) {
    for (const auto& [mode, name] : kFeedbackNames) words.push_back(name);
  }
  if (input == Input::kPrefer) {
    for (const auto& [preference, name] : kPreferenceNames) words.push_back(name);
  }
  if (input == Input::kFilterOrder) words = {"2", "3"};
  return words;
}

std::optional<Input> InputWithKey(std::string_view key) {
  for (const InputField& field : kInputFields) {
    if (field.key == key) return field.input;
  }
  return std::nullopt;
}

std::string KeyList(unsigned mode) {
  std::vector<std::string_view> keys;
  for (const InputField& field : kInputFields) {
    if ((field.modes & mode) != 0) keys.push_back(field.key);
  }
  std::string list;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == keys.size() ? " and " : ", ");
    list += keys[i];
  }
  return list;
}

std::optional<std::string> StrictDecimal(std::string_view text, std::string_view decimal_symbol) {
  text = Trimmed(text);
  std::string number;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    if (text.front() == '-') number += '-';
    text.remove_prefix(1);
  }
  bool digits = false, point = false;
  while (!text.empty()) {
    const char c = text.front();
    if (c >= '0' && c <= '9') {
      number += c;
      digits = true;
      text.remove_prefix(1);
      continue;
    }
    const std::string_view symbol =
        text.starts_with(decimal_symbol) && !decimal_symbol.empty() ? decimal_symbol
        : c == '.'                                                  ? std::string_view(".")
                                                                    : std::string_view();
    if (symbol.empty() || point) return std::nullopt;
    point = true;
    number += '.';
    text.remove_prefix(symbol.size());
  }
  if (!digits) return std::nullopt;
  if (number.back() == '.') number.pop_back();  // "5." is 5
  return number;
}

std::string CutShort(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  std::size_t cut = most;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  std::string shown(text.substr(0, cut));
  shown += "…";
  return shown;
}

std::variant<CheckedInputs, std::vector<InputFault>> ReadInputs(const InputTexts& texts,
                                                                const ReadSettings& settings) {
  return Reader(texts, settings).Read();
}

std::string FaultLines(const std::vector<InputFault>& faults, std::string_view between) {
  std::string lines;
  for (const InputFault& fault : faults) {
    if (!lines.empty()) lines += between;
    lines += fault.message;
  }
  return lines;
}

}  // namespace synthfactors::runner
