// A plan's design: the planner's inputs kept in a file, to be opened again
// or run by `synthfactors-cli --plan FILE`. One JSON object whose members
// are the table of inputs' keys, as in a batch line, with their texts
// (numbers written with "."), plus "sweep", the band as "FROM:TO:STEP" in
// MHz, and "common_r", true for one R for the whole band:
//
//   {"sweep": "10368:10370:0.025", "mult": "4", "ref": "10",
//    "min_fc": "1", "max_fc": "1000", "chip": "adf4106", "common_r": false}
//
// A missing box member takes the window's start text, as in a batch line;
// "sweep" is required. Reading refuses an unknown member, a member given
// twice, a value of the wrong type and (CheckDesign) every value the
// planner's form would refuse, naming the member.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "input_fields.h"
#include "sweep_range.h"

namespace synthfactors::formats {

struct Design {
  runner::InputTexts texts;
  std::string sweep;  // FROM:TO:STEP
  bool common_r = false;
};

// The design as a JSON object, a member a line, in the table's order.
std::string DesignJson(const Design& design);

// The design in `text`; empty with the reason when it is none.
std::optional<Design> DesignFromJson(std::string_view text, std::string& error);

// The design in the file (at most 1 MiB); empty with "design PATH: reason".
std::optional<Design> ReadDesign(const std::string& path, std::string& error);

// Writes the design over `path` whole or not at all; empty when written,
// else the reason.
std::string WriteDesign(const std::string& path, const Design& design);

struct CheckedDesign {
  runner::SweepRange range;
  runner::CheckedInputs checked;
};

// Every value read as the planner reads its form (one decimal number a
// box, the values the calculation can use), a fault a line naming its
// member: "sweep: STEP must be greater than 0", "fom takes ...".
std::variant<CheckedDesign, std::string> CheckDesign(const Design& design,
                                                     const runner::ChipLoader& load_chip);

}  // namespace synthfactors::formats
