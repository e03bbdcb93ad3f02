// Reading JSON text from outside (batch lines, chip profiles): nesting
// deeper than a limit is refused as soon as the parser reaches it, so a text
// of nested brackets costs no memory, and a NUL byte (which the parser would
// take for the end) is an error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace synthfactors::formats {

// The value of `text`; empty, with "not valid JSON: ..." or "nested more
// than N levels deep" in `error`.
std::optional<nlohmann::json> ParseJson(std::string_view text, int max_nesting,
                                        std::string& error);

}  // namespace synthfactors::formats
