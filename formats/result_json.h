// Results as JSON: one object per result, walking the result fields
// (result_fields.h) in their order, and the summary of a common R.
#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "planning.h"
#include "run.h"

namespace synthfactors::formats {

nlohmann::ordered_json ResultToJson(const runner::RunResult& result);

nlohmann::ordered_json CommonRToJson(const CommonR& choice,
                                     const std::optional<std::string>& path = std::nullopt);

// One line of compact JSON, without the line break. Bytes that are not UTF-8
// are replaced by U+FFFD rather than failing the output.
std::string JsonLine(const nlohmann::ordered_json& value);

}  // namespace synthfactors::formats
