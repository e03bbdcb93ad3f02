#include "plan_form.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "input_fields.h"
#include "plan_options.h"
#include "sweep.h"

namespace synthfactors::planner {
namespace {

using runner::GridPart;

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A counter end's whole number (at most 18 digits, so it fits).
std::int64_t WholeValue(const std::string& whole) {
  std::int64_t value = 0;
  std::from_chars(whole.data(), whole.data() + whole.size(), value);
  return value;
}

// A box's text in a message, cut short when long.
std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += runner::CutShort(text, 40);
  quoted += "\"";
  return quoted;
}

// The box of the input column where an input's fault is shown.
FormBox BoxOf(runner::Input input) {
  for (const InputBox& entry : kInputBoxes) {
    if (entry.input == input) return entry.box;
  }
  return FormBox::kFrom;  // the RF output: the grid's
}

// The grid's three numbers by name in its messages.
constexpr runner::GridWords kGridWords = {
    "", "FROM", "TO", "STEP", "FROM, TO and STEP are decimal numbers in MHz"};

class FormReader {
 public:
  FormReader(const PlanForm& form, std::string_view decimal_symbol)
      : form_(form), symbol_(decimal_symbol) {}

  std::variant<PlanRequest, std::vector<BoxFault>> Read() {
    const std::optional<runner::SweepRange> range = Grid();
    runner::InputTexts texts;
    for (const InputBox& entry : kInputBoxes) {
      if (!entry.text) continue;
      if (!Trimmed(form_.Text(entry.box)).empty() || !runner::FieldOf(entry.input).start.empty()) {
        texts[entry.input] = form_.Text(entry.box);
      }
    }
    ReadRanges(texts);
    if (form_.chip_profile) texts[runner::Input::kChip] = form_.chip;
    if (form_.prescaler) texts[runner::Input::kPrescaler] = std::to_string(*form_.prescaler);
    if (form_.feedback != runner::FeedbackMode::kFundamental) {
      texts[runner::Input::kFeedback] = std::string(runner::NameOf(form_.feedback));
    }
    if (form_.registers) texts.Flag(runner::Input::kRegisters) = true;
    if (form_.prefer != runner::Preference::kSpur) {
      texts[runner::Input::kPrefer] = std::string(runner::NameOf(form_.prefer));
    }

    runner::ReadSettings settings;
    settings.naming = runner::Naming::kNone;
    settings.reading = runner::Reading::kStrict;
    settings.decimal_symbol = symbol_;
    settings.grid = range ? &*range : nullptr;
    settings.load_chip = [this](std::string_view, std::string&) { return form_.chip_profile; };
    auto read = runner::ReadInputs(texts, settings);
    if (auto* faults = std::get_if<std::vector<runner::InputFault>>(&read)) {
      for (runner::InputFault& fault : *faults) Fault(BoxOf(fault.input), std::move(fault.message));
    }
    if (!faults_.empty()) return std::move(faults_);
    auto& checked = std::get<runner::CheckedInputs>(read);
    PlanRequest request;
    request.texts = Normalised(texts);
    request.sweep = sweep_;
    request.inputs = std::move(checked.inputs);
    request.plan = checked.plan;
    request.range = *range;
    request.one_r = form_.one_r;
    return request;
  }

 private:
  // The counter ranges from their two boxes each; a chip fills them in.
  void ReadRanges(runner::InputTexts& texts) {
    const std::optional<ChipRanges> chip =
        form_.chip_profile
            ? std::optional(RangesOfChip(*form_.chip_profile, form_.prescaler))
            : std::nullopt;
    texts[runner::Input::kRRange] =
        Range(FormBox::kRFirst, FormBox::kRLast, "R range", runner::kRRangeLimits,
              chip ? std::optional(chip->r) : std::nullopt);
    texts[runner::Input::kNRange] = Range(FormBox::kNFirst, FormBox::kNLast, "N range",
                                          std::nullopt, chip ? chip->n : std::nullopt);
  }

  void Fault(FormBox box, std::string reason) {
    // A reason that quotes a long text whole is cut short: it is shown under the box.
    reason = runner::CutShort(reason, 200);
    for (const BoxFault& fault : faults_) {
      if (fault.box == box) return;  // the first reason is the one to mend
    }
    auto at = faults_.begin();
    while (at != faults_.end() && at->box < box) ++at;
    faults_.insert(at, BoxFault{box, std::move(reason)});
  }

  // The box's number, or empty (the box marked) when it is not one; empty
  // with no mark when the box is empty.
  std::optional<std::string> Number(FormBox box) {
    const std::string& text = form_.Text(box);
    if (Trimmed(text).empty()) return std::nullopt;
    std::optional<std::string> number = runner::StrictDecimal(text, symbol_);
    if (!number) {
      std::string example = "10" + std::string(symbol_) + "5";
      Fault(box, Quoted(text) + " is not a number; write one decimal number, such as " + example);
    }
    return number;
  }

  std::optional<std::string> Required(FormBox box) {
    if (Trimmed(form_.Text(box)).empty()) {
      Fault(box, "needs a number");
      return std::nullopt;
    }
    return Number(box);
  }

  std::optional<runner::SweepRange> Grid() {
    const auto from = Required(FormBox::kFrom);
    const bool band = !Trimmed(form_.Text(FormBox::kTo)).empty();
    const auto to = band ? Number(FormBox::kTo) : from;
    const auto step = band ? Required(FormBox::kStep) : std::optional<std::string>("1");
    if (!from || !to || !step) return std::nullopt;
    sweep_ = *from + ":" + *to + ":" + *step;
    std::string error;
    GridPart part = GridPart::kFrom;
    auto range = runner::SweepRange::FromParts(*from, *to, *step, kGridWords, error, &part);
    if (!range) {
      Fault(part == GridPart::kFrom ? FormBox::kFrom
            : part == GridPart::kTo ? FormBox::kTo
                                    : FormBox::kStep,
            error);
    }
    return range;
  }

  // A counter range as the command line's "A:B", or empty: both boxes
  // empty, or what the chip fills in (the chip then sets it for each
  // channel, as --chip alone does).
  std::optional<std::string> Range(FormBox first_box, FormBox last_box, std::string_view name,
                                   const std::optional<runner::WholeRange>& limits,
                                   const std::optional<runner::WholeRange>& filled) {
    const bool has_first = !Trimmed(form_.Text(first_box)).empty();
    const bool has_last = !Trimmed(form_.Text(last_box)).empty();
    if (!has_first && !has_last) return std::nullopt;
    if (has_first != has_last) {
      Fault(has_first ? last_box : first_box,
            "give both ends of the " + std::string(name) + ", or neither");
      return std::nullopt;
    }
    const auto first = Whole(first_box);
    const auto last = Whole(last_box);
    if (!first || !last) return std::nullopt;
    const std::string text = *first + ":" + *last;
    std::string error;
    const auto range = runner::ParseWholeRange(text, name, limits, error);
    if (!range) {
      const bool first_too_low = limits && WholeValue(*first) < limits->first;
      Fault(first_too_low ? first_box : last_box, error);
      return std::nullopt;
    }
    if (filled && range->first == filled->first && range->last == filled->last) {
      return std::nullopt;
    }
    return text;
  }

  std::optional<std::string> Whole(FormBox box) {
    // A counter's ends fit in 64 bits: at most 18 digits.
    constexpr std::size_t kMostDigits = 18;
    std::optional<std::string> number = Number(box);
    if (number && number->find('.') != std::string::npos) {
      Fault(box, "must be a whole number");
      return std::nullopt;
    }
    if (number && number->size() - (number->front() == '-' ? 1 : 0) > kMostDigits) {
      Fault(box, "must be a whole number of at most 18 digits");
      return std::nullopt;
    }
    return number;
  }

  // The texts with "." for every decimal point, as a design keeps them
  // (they have been read: each is a number where one is wanted).
  runner::InputTexts Normalised(runner::InputTexts texts) const {
    for (const InputBox& entry : kInputBoxes) {
      std::optional<std::string>& text = texts[entry.input];
      if (!entry.text || !text) continue;
      if (Trimmed(*text).empty()) {
        text.reset();
      } else if (auto number = runner::StrictDecimal(*text, symbol_)) {
        text = std::move(*number);
      }
    }
    return texts;
  }

  const PlanForm& form_;
  std::string_view symbol_;
  std::vector<BoxFault> faults_;
  std::string sweep_;
};

}  // namespace

ChipRanges RangesOfChip(const runner::ChipProfile& chip, std::optional<std::int32_t> prescaler) {
  const ChipCounters& counters = chip.counters;
  std::size_t mode = 0;
  for (std::size_t i = 0; i < counters.Prescalers.size(); ++i) {
    if (prescaler && counters.Prescalers[i].P == *prescaler) mode = i;
  }
  const SearchBounds bounds = ChipBounds(counters, mode);
  ChipRanges ranges{{bounds.FirstR, bounds.LastR}, std::nullopt};
  // With modes and none chosen, each channel's prescaler sets its N range.
  const bool per_channel = !prescaler && counters.Prescalers.size() > 1;
  if (bounds.GivenN && !per_channel) {
    ranges.n = runner::WholeRange{bounds.GivenN->first, bounds.GivenN->second};
  }
  return ranges;
}

std::variant<PlanRequest, std::vector<BoxFault>> ReadPlanForm(const PlanForm& form,
                                                               std::string_view decimal_symbol) {
  return FormReader(form, decimal_symbol).Read();
}

}  // namespace synthfactors::planner
