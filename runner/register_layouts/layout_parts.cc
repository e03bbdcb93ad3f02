#include "layout_parts.h"

namespace synthfactors::runner::layouts {

void ReadFractionalCounters(const FieldLookup& value, DecodedWords& out) {
  out.n = value("int");
  out.frac = value("frac");
  out.mod = value("mod");
  if (const auto d = value("rf_divider_select")) out.output_divider = 1 << *d;
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
