#include "plan_options.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "planning.h"
#include "number_chars.h"

namespace synthfactors::runner {
namespace {

template <typename Number>
bool ReadWhole(std::string_view text, Number& value) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end;
}

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted.push_back('"');
  return quoted;
}

}  // namespace

std::optional<WholeRange> ParseWholeRange(std::string_view text, std::string_view name,
                                          const std::optional<WholeRange>& limits,
                                          std::string& error) {
  const std::string usage =
      std::string(name) + " takes MIN:MAX, two whole numbers" +
      (limits ? " from " + std::to_string(limits->first) + " to " + std::to_string(limits->last)
              : "") +
      " with MIN not above MAX";
  const std::size_t colon = text.find(':');
  WholeRange range;
  if (colon == std::string_view::npos || !ReadWhole(text.substr(0, colon), range.first) ||
      !ReadWhole(text.substr(colon + 1), range.last)) {
    error = usage + ", not " + Quoted(text);
    return std::nullopt;
  }
  if (range.first > range.last ||
      (limits && (range.first < limits->first || range.last > limits->last))) {
    error = usage + ": " + Quoted(text) + " is not";
    return std::nullopt;
  }
  return range;
}

namespace {

constexpr double kTwoTo63 = 9223372036854775808.0;

// The smallest double not below `value`, and the largest not above it.
double DoubleAtLeast(std::int64_t value) {
  const double d = static_cast<double>(value);
  if (d < kTwoTo63 && static_cast<std::int64_t>(d) < value) return std::nextafter(d, kTwoTo63);
  return d;
}
double DoubleAtMost(std::int64_t value) {
  const double d = static_cast<double>(value);
  if (d >= kTwoTo63 || static_cast<std::int64_t>(d) > value) return std::nextafter(d, -kTwoTo63);
  return d;
}

}  // namespace

SearchBounds BoundsOf(const std::optional<WholeRange>& r_range,
                      const std::optional<WholeRange>& n_range) {
  SearchBounds bounds;
  if (r_range) {
    bounds.FirstR = static_cast<std::int32_t>(std::clamp<std::int64_t>(r_range->first, 1, kLastRTrial));
    bounds.LastR = static_cast<std::int32_t>(std::clamp<std::int64_t>(r_range->last, 1, kLastRTrial));
  }
  if (n_range) {
    bounds.MinN = DoubleAtLeast(n_range->first);
    bounds.MaxN = DoubleAtMost(n_range->last);
    bounds.GivenN = {n_range->first, n_range->last};
  }
  return bounds;
}

bool ReadCounterRanges(RunInputs& inputs, std::string_view r_name, std::string_view n_name,
                       std::string& error) {
  std::optional<WholeRange> r_range, n_range;
  if (inputs.r_range && !(r_range = ParseWholeRange(*inputs.r_range, r_name, kRRangeLimits, error))) {
    return false;
  }
  if (inputs.n_range && !(n_range = ParseWholeRange(*inputs.n_range, n_name, std::nullopt, error))) {
    return false;
  }
  inputs.bounds = BoundsOf(r_range, n_range);
  return true;
}

std::optional<double> ParseDecimal(std::string_view text, std::string_view name,
                                   std::string_view what, std::string_view example,
                                   bool positive, std::string& error) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] =
      FromChars(text.data(), end, value, std::chars_format::general);
  if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) ||
      (positive && !(value > 0))) {
    error = std::string(name) + " takes " + std::string(what) + " as a decimal number such as " +
            std::string(example) + ", not " + Quoted(text);
    return std::nullopt;
  }
  return value;
}

std::optional<std::int32_t> ParsePrescaler(std::string_view text, std::string_view name,
                                           std::string& error) {
  std::int32_t p = 0;
  if (!ReadWhole(text, p) || p < 1) {
    error = std::string(name) + " takes the prescaler P of P/P+1, a whole number such as 16, "
            "not " + Quoted(text);
    return std::nullopt;
  }
  return p;
}

std::optional<int> ParseAlternativeCount(std::string_view text, std::string_view name,
                                         std::string& error) {
  int count = 0;
  if (!ReadWhole(text, count) || count < 1 || count > kMaxAlternatives) {
    error = std::string(name) + " takes a whole number from 1 to " +
            std::to_string(kMaxAlternatives) + ", not " + Quoted(text);
    return std::nullopt;
  }
  return count;
}

}  // namespace synthfactors::runner
