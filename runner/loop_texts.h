// The texts of the loop's inputs, read into their values; each refusal
// names the input as `name` and says what it takes. Numbers are decimals
// with "." for the point (an exponent allowed); lists are separated by ",".
//
//   - Filter parts "C1,C2,R2" or "C1,C2,R2,C3,R3": farads and ohms, each
//     with an optional SI prefix f p n u (or µ) m k M G: "6.58n" is 6.58e-9.
//   - Noise points "OFFSET:DBC,...": offsets in Hz above 0 and rising,
//     dBc/Hz from -400 to 100.
//   - Offsets "HZ,...": above 0 and rising, at most 1000 of them.
//   - A band "FROM:TO" in Hz: 0 < FROM < TO.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "loop_filter.h"
#include "loop_noise.h"

namespace synthfactors::runner {

inline constexpr std::size_t kMostNoiseOffsets = 1000;

// A part's value with its SI prefix, if the whole text is one.
std::optional<double> PartValue(std::string_view text);

std::optional<loop::LoopFilter> ParseFilterParts(std::string_view text, std::string_view name,
                                                 std::string& error);
std::optional<std::vector<loop::NoisePoint>> ParseNoisePoints(std::string_view text,
                                                              std::string_view name,
                                                              std::string& error);
std::optional<std::vector<double>> ParseOffsets(std::string_view text, std::string_view name,
                                                std::string& error);
std::optional<std::pair<double, double>> ParseBand(std::string_view text, std::string_view name,
                                                   std::string& error);

}  // namespace synthfactors::runner
