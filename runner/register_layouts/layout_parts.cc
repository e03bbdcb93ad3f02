#include "layout_parts.h"

#include <cmath>

#include "number_text.h"

namespace synthfactors::runner::layouts {

std::string FigureText(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) return WholeText(value);
  return ShortestText(value);
}

void ReadFractionalCounters(const FieldLookup& value, DecodedWords& out, int largest_divider) {
  out.n = value("int");
  out.frac = value("frac");
  out.mod = value("mod");
  out.integer_mode = out.frac.value_or(0) == 0;
  if (const auto d = value("rf_divider_select")) {
    if ((std::int64_t{1} << *d) <= largest_divider) {
      out.output_divider = 1 << *d;
    } else {
      out.notes.push_back("the output divider select " + std::to_string(*d) +
                          " is no divider of the part's (/1 ... /" +
                          std::to_string(largest_divider) + ")");
    }
  }
  if (const auto f = value("feedback_select")) {
    out.feedback = *f != 0 ? FeedbackMode::kFundamental : FeedbackMode::kDivided;
  }
  if (out.mod && *out.mod < 2) {
    out.notes.push_back("MOD is " + std::to_string(*out.mod) + "; the part wants 2 to 4095");
  }
  if (out.frac && out.mod && *out.frac >= *out.mod && *out.mod > 0) {
    out.notes.push_back("FRAC " + std::to_string(*out.frac) + " is not below MOD " +
                        std::to_string(*out.mod));
  }
}

}  // namespace synthfactors::runner::layouts
