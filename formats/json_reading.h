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

// A member's value given to its input in `texts`: a string as typed; a
// number, where the input takes one, as its shortest round-trip text (a
// count or a prescaler as its digits); true or false for a flag. False,
// with "member "fom" must be ...", when the value has another type.
bool SetInputMember(const runner::InputField& field, const nlohmann::json& value,
                    runner::InputTexts& texts, std::string& error);

// Reads one run asked for as a line of JSON (a batch line, a web page's
// call): an object whose optional members are the inputs a single run
// takes (runner::kInputFields with kBatchRun), named by their keys, their
// values as SetInputMember takes them; a missing member takes its start
// text (or is not asked for). Returns the checked inputs, or puts into
// `error` why the line is not such an object, or every member at fault
// ("; " between).
std::optional<runner::CheckedInputs> ReadRunLine(std::string_view line,
                                                const runner::ChipLoader& load_chip,
                                                std::string& error);

// A run line nested deeper than this is refused as soon as the parser
// reaches it.
inline constexpr int kMaxRunLineNesting = 64;

}  // namespace synthfactors::formats
