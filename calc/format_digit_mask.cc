#include "format_digit_mask.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "arithmetic_fault.h"
#include "number_chars.h"

namespace synthfactors {
namespace {

struct Mask {
  bool has_point = false;
  int decimals = 0;
};

Mask ReadMask(std::string_view mask) {
  Mask result;
  for (const char c : mask) {
    if (c == '.' && !result.has_point) {
      result.has_point = true;
    } else if (c == '#') {
      if (result.has_point) ++result.decimals;
    } else {
      throw std::invalid_argument("digit mask takes only '#' and one '.'");
    }
  }
  return result;
}

// True when |value| x 10^decimals lies exactly halfway between two whole
// numbers. With value = m x 2^e (m odd) that happens exactly when
// e = -(decimals + 1), i.e. when |value| x 2^(decimals + 1) is an odd integer.
bool IsExactHalf(double value, int decimals) {
  const double scaled = std::ldexp(std::fabs(value), decimals + 1);
  constexpr double kTwoTo53 = 9007199254740992.0;
  return scaled < kTwoTo53 && scaled == std::floor(scaled) &&
         std::fmod(scaled, 2.0) == 1.0;
}

// Adds one unit in the last place to a text of digits and at most one '.'.
void IncrementLastDigit(std::string& digits) {
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    if (*it == '.') continue;
    if (*it != '9') {
      ++*it;
      return;
    }
    *it = '0';
  }
  digits.insert(digits.begin(), '1');
}

// |value| rounded to `decimals` places as "ddd.ddd" (or "ddd" for none).
std::string RoundedMagnitude(double value, int decimals) {
  const double magnitude = std::fabs(value);
  const bool half = IsExactHalf(magnitude, decimals);
  // Fixed notation of a double needs at most 309 whole digits.
  std::string text(320 + static_cast<std::size_t>(decimals), '\0');
  const auto end = ToChars(text.data(), text.data() + text.size(),
                                 magnitude, std::chars_format::fixed,
                                 decimals + (half ? 1 : 0))
                       .ptr;
  text.resize(static_cast<std::size_t>(end - text.data()));
  if (half) {  // text ends in the exact '5': drop it and round away from zero
    text.pop_back();
    if (decimals == 0) text.pop_back();  // the '.' before the 5
    IncrementLastDigit(text);
  }
  return text;
}

}  // namespace

std::string FormatDigitMask(double value, std::string_view mask,
                            std::string_view decimal_symbol) {
  const Mask format = ReadMask(mask);
  if (std::isnan(value)) RaiseFault(FaultKind::kInvalidOperation);
  if (std::isinf(value)) RaiseFault(FaultKind::kOverflow);

  const std::string rounded = RoundedMagnitude(value, format.decimals);
  const std::size_t point = rounded.find('.');
  std::string_view whole = std::string_view(rounded).substr(0, point);
  std::string_view fraction = point == std::string::npos
                                  ? std::string_view()
                                  : std::string_view(rounded).substr(point + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);

  std::string out;
  if (std::signbit(value) && !(whole.empty() && fraction.empty())) out += '-';
  out += whole;
  if (format.has_point) {
    out += decimal_symbol;
    out += fraction;
  }
  return out;
}

}  // namespace synthfactors
