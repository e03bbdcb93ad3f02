// The planning options' values: counter ranges ("A:B", whole numbers), the
// figure of merit and the number of alternatives. The command line, its
// batch members and the Python module read them here, so all refuse the
// same texts with the same words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "divider_search.h"
#include "run.h"

namespace synthfactors::runner {

struct WholeRange {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

// "A:B" with whole numbers A <= B (and A >= 1 when `positive`); else empty,
// with a message naming `name` in `error`.
std::optional<WholeRange> ParseWholeRange(std::string_view text, std::string_view name,
                                          bool positive, std::string& error);

// The search bounds of an R range and an N range, each optional.
SearchBounds BoundsOf(const std::optional<WholeRange>& r_range,
                      const std::optional<WholeRange>& n_range);

// Reads the counter ranges of `inputs`, each where given, into its bounds;
// false, with the reason in `error` naming the range as `r_name` or
// `n_name`, when one is not a range. R ranges start at 1; N ranges may
// start anywhere.
bool ReadCounterRanges(RunInputs& inputs, std::string_view r_name, std::string_view n_name,
                       std::string& error);

// A finite decimal number such as "-220" or "-221.5"; else empty, with a
// message naming `name` in `error`.
std::optional<double> ParseFigureOfMerit(std::string_view text, std::string_view name,
                                         std::string& error);

// The number of alternatives, 1 ... kMaxAlternatives.
std::optional<int> ParseAlternativeCount(std::string_view text, std::string_view name,
                                         std::string& error);

}  // namespace synthfactors::runner
