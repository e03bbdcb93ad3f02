// Reading JSON text from outside (batch lines, chip profiles): nesting
// deeper than a limit is refused as soon as the parser reaches it, so a text
// of nested brackets costs no memory, and a NUL byte (which the parser would
// take for the end) is an error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "input_fields.h"

namespace synthfactors::formats {

// Whether an object may name a member twice (the last one counting).
enum class Duplicates { kLastCounts, kRefused };

// The value of `text`; empty, with "not valid JSON: ...", "nested more
// than N levels deep" or (with Duplicates::kRefused) "member "x" is given
// twice in one object" in `error`.
std::optional<nlohmann::json> ParseJson(std::string_view text, int max_nesting,
                                        std::string& error,
                                        Duplicates duplicates = Duplicates::kLastCounts);

// A member's value as the input's text: a string as typed; a number, where
// the input takes one, as its shortest round-trip text (a count or a
// prescaler as its digits); true or false for a flag. Empty, with
// "member "fom" must be ...", when the value has another type.
std::optional<std::string> InputMemberText(const runner::InputField& field,
                                           const nlohmann::json& value, std::string& error);

}  // namespace synthfactors::formats
