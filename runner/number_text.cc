#include "number_text.h"

#include <charconv>
#include <cmath>

#include "number_chars.h"

namespace synthfactors::runner {
namespace {

template <typename Whole>
std::string WholeDigits(Whole value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

std::string ShortestText(std::int64_t value) { return WholeDigits(value); }
std::string ShortestText(std::uint64_t value) { return WholeDigits(value); }
std::string ShortestText(double value) {
  char buffer[32];  // the longest shortest text of a double has 24 characters
  return std::string(buffer, ToChars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string WholeText(double value) {
  char buffer[400];  // the digits of the largest double
  return std::string(buffer,
                     ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr);
}

std::optional<std::int64_t> AsInt64(double value) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!(value == std::floor(value) && value >= -kTwoTo63 && value < kTwoTo63)) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(value);
}

}  // namespace synthfactors::runner
