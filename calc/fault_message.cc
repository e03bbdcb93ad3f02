#include "fault_message.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "number_chars.h"

namespace synthfactors {
namespace {

struct Cause {
  RunStage where;
  std::string_view division;  // division by zero and 0 / 0
  std::string_view overflow;
};

constexpr std::string_view kBeyondRange =
    "is beyond the range of numbers (about 1.8E+308).";

constexpr std::array<Cause, 10> kCauses = {{
    {RunStage::kReadFactor, "", "RF Multiplication "},
    {RunStage::kReadOutput, "", "RF Output "},
    {RunStage::kSourceFrequency,
     "the RF multiplication factor is 0 or not a number, so RF Output cannot "
     "be divided by it.",
     "RF Output divided by RF Multiplication "},
    {RunStage::kReadReference, "", "Ref. Input "},
    {RunStage::kReadLowerLimit, "", "Minimum Fcomp "},
    {RunStage::kReadUpperLimit, "", "Maximum Fcomp "},
    {RunStage::kSearch,
     "the reference frequency is 0, so every comparison frequency is 0 and no "
     "feedback divider N can be found.",
     "a comparison frequency or divider in the search "},
    {RunStage::kErrorFigures, "", "the output error of the chosen divider pair "},
    {RunStage::kReport, "", "a figure of the report "},
    {RunStage::kHexValues, "",
     "N does not fit in 32 bits: the feedback divider N is outside the range "
     "of a signed 32-bit register, so the hexadecimal values cannot be shown."},
}};

// No pair fitted: the R tried, and the N admitted when they are bounded.
std::string NoPairFits(const SearchBounds& bounds) {
  // A bound as its whole digits; a double this far out is whole.
  auto whole = [](double value) {
    char buffer[400];
    return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value,
                                             std::chars_format::fixed)
                                   .ptr);
  };
  std::string message = "no divider pair fits: no reference divider R from " +
                        std::to_string(bounds.FirstTriedR()) + " to " +
                        std::to_string(bounds.LastTriedR()) +
                        " puts the comparison frequency between Minimum Fcomp and "
                        "Maximum Fcomp";
  const bool n_bounded =
      bounds.MinN != SearchBounds{}.MinN || bounds.MaxN != SearchBounds{}.MaxN;
  if (std::isfinite(bounds.HighestKHz)) {
    message += " (at most " + whole(bounds.HighestKHz) + " kHz for the chip)";
  }
  if (bounds.GivenN) {
    message += " with a feedback divider N from " + std::to_string(bounds.GivenN->first) +
               " to " + std::to_string(bounds.GivenN->second);
  } else if (n_bounded) {
    message += " with a feedback divider N from " + whole(bounds.MinN) + " to " +
               whole(bounds.MaxN);
  }
  const std::int32_t prescaler = bounds.Dual ? bounds.Dual->P : bounds.PlainPrescaler;
  if (prescaler != 0) {
    message += " that the " + std::to_string(prescaler) + "/" + std::to_string(prescaler + 1) +
               " prescaler can form";
  }
  if (bounds.Dual) {
    message += " with B from " + std::to_string(bounds.Dual->MinB) + " to " +
               std::to_string(bounds.Dual->MaxB) + " and A from " +
               std::to_string(bounds.Dual->MinA) + " to " + std::to_string(bounds.Dual->MaxA) +
               ", B not below A";
  }
  return message + ". Check " +
         (bounds == SearchBounds{} ? "" : "the counter ranges, ") +
         "that the minimum is not above the maximum and not above 1000 times the "
         "reference, and that the reference is not 0.";
}

std::string Capitalised(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] -= 'a' - 'A';
  return out;
}

}  // namespace

std::string FaultMessage(FaultKind kind, RunStage where) {
  return FaultMessage(kind, where, SearchBounds{});
}

std::string FaultMessage(FaultKind kind, RunStage where, const SearchBounds& bounds) {
  std::string message = Capitalised(FaultKindName(kind)) + ": ";
  if (where == RunStage::kErrorFigures && kind != FaultKind::kOverflow) {
    return message + NoPairFits(bounds);
  }
  for (const Cause& cause : kCauses) {
    if (cause.where != where) continue;
    if (kind != FaultKind::kOverflow && !cause.division.empty()) {
      return message + std::string(cause.division);
    }
    if (cause.overflow.ends_with('.')) return message + std::string(cause.overflow);
    return message + std::string(cause.overflow) + std::string(kBeyondRange);
  }
  return message + "the calculation could not be completed.";
}

std::string_view ZeroSourceMessage() {
  return "RF Output is 0 or not a number: there is nothing to calculate.";
}

}  // namespace synthfactors
