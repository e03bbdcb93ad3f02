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
  kChip, kPrescaler,   // not text boxes: the chip and prescaler choices
};
inline constexpr std::size_t kFormBoxCount = static_cast<std::size_t>(FormBox::kPrescaler) + 1;

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
