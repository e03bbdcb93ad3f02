// A set of register words read back (runner/register_words.h), as the
// command line's --decode and the Python module's decode() show it: the
// words parsed from their texts, the JSON object, the plain lines.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "reference_path.h"
#include "register_words.h"

namespace synthfactors::formats {

// A word's text: hexadecimal with or without "0x" ("0x00580005",
// "580005"), at most 32 bits. Empty when it is not one.
std::optional<std::uint32_t> ParseWord(std::string_view text);

// {"r", "n" (with a dual-modulus layout) or "int", "frac", "mod",
//  "prescaler", "output_divider", "feedback", "comparison_khz", "vco_mhz",
//  "output_mhz", "fields": {name: value, ...}, "notes": [...]}; a figure
// the words do not give is null. Where the layout has them, "frac2" and
// "mod2" follow "mod" (frac and mod are then FRAC1 and its fixed modulus),
// and "reference_path" ("x2/5/x6/1", with the chip's `path`) and
// "mash_order" follow "feedback".
nlohmann::ordered_json DecodedToJson(const runner::RegisterLayout& layout,
                                     const runner::DecodedWords& decoded,
                                     const ReferencePath* path = nullptr);

// The same as lines of text, each ending in a line feed: every field by
// name, then the counters, the path and the modulator's order where the
// words hold them ("Reference path  x2/5/x6/1  MASH order  1"), the
// frequencies and the notes ("Note: ...").
std::string DecodedText(const runner::RegisterLayout& layout, const runner::DecodedWords& decoded,
                        const ReferencePath* path = nullptr);

}  // namespace synthfactors::formats
