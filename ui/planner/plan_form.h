// The planner's input column read strictly: every box's whole text must be
// one decimal number (blanks around it aside), written with "." or the
// locale's decimal symbol, and a value the calculation cannot use is
// refused at its box with the reason in words. What passes becomes the same
// request the command line makes of `--sweep`: the texts with "." as their
// decimal point, the grid, the counter ranges and the planning options.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "chip_profile.h"
#include "input_fields.h"
#include "plan_options.h"
#include "run.h"
#include "sweep_range.h"

namespace synthfactors::planner {

// The boxes of the input column that hold text.
enum class FormBox {
  kFrom, kTo, kStep,   // RF output, MHz: TO empty for a single frequency
  kMult, kRef,         // multiplication factor; reference, MHz
  kMinFc, kMaxFc,      // comparison window, kHz
  kRFirst, kRLast,     // R range (both empty: none)
  kNFirst, kNLast,     // N range (both empty: none)
  kFom, kFlicker, kOffset,  // optional planning figures
  kTolerance, kSpurClear,   // fractional-N choice (with a fractional chip)
  kRefPath, kMashOrder,     // the reference path and the modulator's order
  kLoopBandwidth, kPhaseMargin, kFilterOrder, kGamma, kT31, kFilter,  // the loop filter
  kCpCurrent, kKvco, kVcoNoise, kRefNoise, kJitterBand, kLockJump, kLockTolerance,
  kChip, kPrescaler,   // not text boxes: the chip's choices and check box
  kFeedback, kRegisters,
  kPrefer,             // the fractional-N preference
};
inline constexpr std::size_t kFormBoxCount = static_cast<std::size_t>(FormBox::kPrefer) + 1;

constexpr std::size_t IndexOf(FormBox box) { return static_cast<std::size_t>(box); }

// Where each input of the form lives: the box that holds its text (or its
// choice), and whose row shows its fault. The RF output is the grid's
// (FROM, TO and STEP); a counter range has two boxes and its fault shows
// under the second.
struct InputBox {
  runner::Input input;
  FormBox box;
  bool text;  // the box's text is the input's
};
inline constexpr std::array<InputBox, 31> kInputBoxes = {{
    {runner::Input::kMult, FormBox::kMult, true},
    {runner::Input::kRef, FormBox::kRef, true},
    {runner::Input::kMinFc, FormBox::kMinFc, true},
    {runner::Input::kMaxFc, FormBox::kMaxFc, true},
    {runner::Input::kRRange, FormBox::kRLast, false},
    {runner::Input::kNRange, FormBox::kNLast, false},
    {runner::Input::kFom, FormBox::kFom, true},
    {runner::Input::kFlicker, FormBox::kFlicker, true},
    {runner::Input::kOffset, FormBox::kOffset, true},
    {runner::Input::kChip, FormBox::kChip, false},
    {runner::Input::kPrescaler, FormBox::kPrescaler, false},
    {runner::Input::kFeedback, FormBox::kFeedback, false},
    {runner::Input::kRegisters, FormBox::kRegisters, false},
    {runner::Input::kTolerance, FormBox::kTolerance, true},
    {runner::Input::kSpurClear, FormBox::kSpurClear, true},
    {runner::Input::kPrefer, FormBox::kPrefer, false},
    {runner::Input::kRefPath, FormBox::kRefPath, true},
    {runner::Input::kMashOrder, FormBox::kMashOrder, true},
    {runner::Input::kLoopBandwidth, FormBox::kLoopBandwidth, true},
    {runner::Input::kPhaseMargin, FormBox::kPhaseMargin, true},
    {runner::Input::kFilterOrder, FormBox::kFilterOrder, true},
    {runner::Input::kGamma, FormBox::kGamma, true},
    {runner::Input::kT31, FormBox::kT31, true},
    {runner::Input::kFilter, FormBox::kFilter, true},
    {runner::Input::kCpCurrent, FormBox::kCpCurrent, true},
    {runner::Input::kKvco, FormBox::kKvco, true},
    {runner::Input::kVcoNoise, FormBox::kVcoNoise, true},
    {runner::Input::kRefNoise, FormBox::kRefNoise, true},
    {runner::Input::kJitterBand, FormBox::kJitterBand, true},
    {runner::Input::kLockJump, FormBox::kLockJump, true},
    {runner::Input::kLockTolerance, FormBox::kLockTolerance, true},
}};

struct PlanForm {
  std::array<std::string, kFormBoxCount> texts;
  // The chip as the command line's --chip names it (a shipped profile's
  // name or a file), and its profile; none when empty.
  std::string chip;
  std::shared_ptr<const runner::ChipProfile> chip_profile;
  std::optional<std::int32_t> prescaler;  // empty: the smallest for each channel
  bool one_r = false;
  // With a chip that has an output divider: what the N divider counts.
  runner::FeedbackMode feedback = runner::FeedbackMode::kFundamental;
  bool registers = false;         // with a chip that names its register layout
  runner::Preference prefer = runner::Preference::kSpur;  // with a fractional-N chip

  std::string& Text(FormBox box) { return texts[static_cast<std::size_t>(box)]; }
  const std::string& Text(FormBox box) const { return texts[static_cast<std::size_t>(box)]; }
};

// What a plan asks of the runner.
struct PlanRequest {
  runner::SweepRange range;
  runner::RunInputs inputs;  // rf_out is each point's
  runner::PlanOptions plan;
  bool one_r = false;
  // The form as the texts it was read from, numbers with ".": a design
  // holding them plans the same (ranges the chip fills in are left out).
  runner::InputTexts texts;
  std::string sweep;  // FROM:TO:STEP
};

struct BoxFault {
  FormBox box;
  std::string reason;
};

// The request, or every box at fault with its reason (in box order).
std::variant<PlanRequest, std::vector<BoxFault>> ReadPlanForm(const PlanForm& form,
                                                               std::string_view decimal_symbol);

// The ranges a chip fills in: its R counter, and the N its counters reach
// with the prescaler P (or its only mode); no N range when the prescaler
// is left to each channel's source frequency.
struct ChipRanges {
  runner::WholeRange r;
  std::optional<runner::WholeRange> n;
};
ChipRanges RangesOfChip(const runner::ChipProfile& chip, std::optional<std::int32_t> prescaler);

}  // namespace synthfactors::planner
