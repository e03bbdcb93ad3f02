#include "number_to_signed_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <string_view>

#include "checked_arithmetic.h"
#include "number_chars.h"

namespace synthfactors {
namespace {

constexpr int kSignificantDigits = 15;

void AppendWithoutTrailingZeros(std::string& out, std::string_view digits) {
  while (!digits.empty() && digits.back() == '0') digits.remove_suffix(1);
  out += digits;
}

// The significant digits of a positive finite value, rounded to `count`,
// and the decimal exponent of the first. to_chars rounds an exact tie to
// even; this rounds it away from zero, as the digit masks do.
struct Digits {
  std::string digits;
  int exponent = 0;
};

Digits Scientific(double magnitude, int count) {
  char buffer[32];
  const auto end = ToChars(buffer, buffer + sizeof buffer, magnitude,
                                 std::chars_format::scientific, count - 1)
                       .ptr;
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e_pos = text.find('e');
  Digits out;
  out.digits += text[0];
  if (e_pos > 1) out.digits += text.substr(2, e_pos - 2);
  const char* exp_text = text.data() + e_pos + 1;
  if (*exp_text == '+') ++exp_text;
  std::from_chars(exp_text, end, out.exponent);
  return out;
}

// Whether `magnitude` lies exactly halfway between two values of `count`
// significant digits. Such a value has exactly count + 1 significant digits,
// the last a 5, and its exact expansion (at most 767 digits) ends there.
bool IsExactTie(double magnitude, int count) {
  // Below 10^15 a tie at the 15th digit is d.ddd...5 x 10^e with e >= -7
  // (else 5^(15-e) could not divide its 16 digits), so 2^22 times it is
  // whole, and it is no whole number itself. Most values fail this cheaply.
  if (magnitude < 1e15) {
    constexpr double kTwoTo22 = 4194304.0;
    const double scaled = magnitude * kTwoTo22;
    if (magnitude < 1e-8 || Floor(magnitude) == magnitude || Floor(scaled) != scaled) {
      return false;
    }
  }
  if (Scientific(magnitude, count + 1).digits.back() != '5') return false;
  char buffer[800];
  const auto end = ToChars(buffer, buffer + sizeof buffer, magnitude,
                                 std::chars_format::scientific, 780)
                       .ptr;
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const std::string_view fraction = text.substr(2, text.find('e') - 2);
  const auto tie_digit = static_cast<std::size_t>(count - 1);
  return fraction[tie_digit] == '5' &&
         fraction.find_first_not_of('0', tie_digit + 1) == std::string_view::npos;
}

Digits RoundedHalfAway(double magnitude, int count) {
  Digits out = Scientific(magnitude, count);
  if (!IsExactTie(magnitude, count)) return out;
  // to_chars went to even; away from zero is the larger neighbour.
  const Digits below = Scientific(magnitude, count + 1);
  out.digits = below.digits.substr(0, static_cast<std::size_t>(count));
  out.exponent = below.exponent;
  std::size_t i = out.digits.size();
  while (i > 0 && out.digits[i - 1] == '9') out.digits[--i] = '0';
  if (i == 0) {
    out.digits.insert(out.digits.begin(), '1');
    out.digits.pop_back();
    ++out.exponent;
  } else {
    ++out.digits[i - 1];
  }
  return out;
}

}  // namespace

std::string NumberToSignedText(double value) {
  std::string out(1, std::signbit(value) && value != 0 ? '-' : ' ');
  if (std::isnan(value)) return out + "NAN";
  if (std::isinf(value)) return out + "INF";
  if (value == 0) return out + "0";

  const Digits rounded = RoundedHalfAway(std::fabs(value), kSignificantDigits);
  const std::string& digits = rounded.digits;
  const int exponent = rounded.exponent;

  if (exponent < -4 || exponent >= kSignificantDigits) {
    out += digits[0];
    const std::size_t before = out.size();
    out += '.';
    AppendWithoutTrailingZeros(out, std::string_view(digits).substr(1));
    if (out.size() == before + 1) out.pop_back();  // no fraction, no point
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (exponent < 0) {
    out += '.';
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    AppendWithoutTrailingZeros(out, digits);
  } else {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    out += std::string_view(digits).substr(0, whole);
    const std::size_t before = out.size();
    out += '.';
    AppendWithoutTrailingZeros(out, std::string_view(digits).substr(whole));
    if (out.size() == before + 1) out.pop_back();
  }
  return out;
}

}  // namespace synthfactors
