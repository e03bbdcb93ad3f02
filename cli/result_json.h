// A run's result as one JSON object, in the order the README documents:
// rf_out, mult, ref, min_fc, max_fc, rf_source, report, exact, r, n,
// comparison_khz, error_hz, error_ppb, fault, message; r_range and n_range
// after max_fc when given, phase_noise_dbc_hz and alternatives at the end
// when asked for.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "run_result.h"

namespace synthfactors::cli {

nlohmann::ordered_json ResultToJson(const RunResult& result);

// A divider's register text, or "" where there is none or it does not fit
// in 32 bits.
std::string HexTextOrEmpty(const std::optional<double>& value);

// One line of compact JSON, without the line break. Bytes that are not UTF-8
// are replaced by U+FFFD rather than failing the output.
std::string JsonLine(const nlohmann::ordered_json& value);

}  // namespace synthfactors::cli
