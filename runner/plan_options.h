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

// The R a range may name: those the search can try.
inline constexpr WholeRange kRRangeLimits = {1, kLastRTrial};

// "A:B" with whole numbers A <= B (both within `limits` when given); else
// empty, with a message naming `name` in `error`.
std::optional<WholeRange> ParseWholeRange(std::string_view text, std::string_view name,
                                          const std::optional<WholeRange>& limits,
                                          std::string& error);

// The search bounds of an R range and an N range, each optional. The N
// bounds admit exactly the whole N of the range (a bound beyond 2^53 is the
// nearest double inside it), and keep the range as given for messages.
SearchBounds BoundsOf(const std::optional<WholeRange>& r_range,
                      const std::optional<WholeRange>& n_range);

// Reads the counter ranges of `inputs`, each where given, into its bounds;
// false, with the reason in `error` naming the range as `r_name` or
// `n_name`, when one is not a range. R ranges lie within kRRangeLimits; N
// ranges may lie anywhere.
bool ReadCounterRanges(RunInputs& inputs, std::string_view r_name, std::string_view n_name,
                       std::string& error);

// A finite decimal number, with or without an exponent ("1e12" as
// "1000000000000"); else empty, with "NAME takes WHAT as a decimal
// number such as EXAMPLE, not ..." in `error`. With `positive`, above 0 only.
std::optional<double> ParseDecimal(std::string_view text, std::string_view name,
                                   std::string_view what, std::string_view example,
                                   bool positive, std::string& error);

// A prescaler P: a whole number from 1 up.
std::optional<std::int32_t> ParsePrescaler(std::string_view text, std::string_view name,
                                           std::string& error);

// The number of alternatives, 1 ... kMaxAlternatives.
std::optional<int> ParseAlternativeCount(std::string_view text, std::string_view name,
                                         std::string& error);

}  // namespace synthfactors::runner
