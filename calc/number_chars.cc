#include "number_chars.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <dragonbox/dragonbox.h>
#include <fast_float/fast_float.h>

// The standard library has floating-point <charconv> where it says so.
#if defined(__cpp_lib_to_chars)
#define SYNTHFACTORS_STANDARD_NUMBER_CHARS 1
#else
#define SYNTHFACTORS_STANDARD_NUMBER_CHARS 0
#endif

namespace synthfactors {
namespace portable {
namespace {

std::to_chars_result Put(char* first, char* last, const std::string& text) {
  if (last - first < static_cast<std::ptrdiff_t>(text.size())) {
    return {last, std::errc::value_too_large};
  }
  return {std::copy(text.begin(), text.end(), first), std::errc()};
}

// "inf", "-inf", "nan" or "-nan"; empty for a finite value.
std::string Special(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  return {};
}

// A non-negative value as digits x 10^exponent; digits have no leading
// zeros ("0" for zero).
struct Decimal {
  std::string digits;
  int exponent = 0;
};

std::string ExponentText(int exponent) {
  std::string text = exponent < 0 ? "-" : "+";
  const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
  if (digits.size() < 2) text += '0';
  return text + digits;
}

std::string FixedText(const Decimal& value) {
  const auto count = static_cast<int>(value.digits.size());
  if (value.exponent >= 0) {
    return value.digits == "0" ? "0" : value.digits + std::string(std::size_t(value.exponent), '0');
  }
  const int point = count + value.exponent;  // digits before the point
  if (point > 0) {
    return value.digits.substr(0, std::size_t(point)) + "." + value.digits.substr(std::size_t(point));
  }
  return "0." + std::string(std::size_t(-point), '0') + value.digits;
}

std::string ScientificText(const Decimal& value) {
  const auto count = static_cast<int>(value.digits.size());
  std::string text(1, value.digits[0]);
  if (count > 1) text += "." + value.digits.substr(1);
  const int exponent = value.digits == "0" ? 0 : value.exponent + count - 1;
  return text + "e" + ExponentText(exponent);
}

// The shortest digits that read back as the value (Dragonbox).
Decimal Shortest(double magnitude) {
  if (magnitude == 0) return {"0", 0};
  const auto decimal = jkj::dragonbox::to_decimal(magnitude);
  return {std::to_string(decimal.significand), decimal.exponent};
}

// Every digit of the binary value: m x 2^e written as a decimal, through a
// big number in base 10^9 (at most 767 significant digits).
Decimal Exact(double magnitude) {
  if (magnitude == 0) return {"0", 0};
  int binary_exponent = 0;
  const double fraction = std::frexp(magnitude, &binary_exponent);
  auto mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  binary_exponent -= 53;
  while ((mantissa & 1) == 0) {
    mantissa >>= 1;
    ++binary_exponent;
  }
  constexpr std::uint32_t kBase = 1000000000;
  std::vector<std::uint32_t> limbs;  // least significant first
  for (std::uint64_t rest = mantissa; rest != 0; rest /= kBase) {
    limbs.push_back(static_cast<std::uint32_t>(rest % kBase));
  }
  const auto multiply = [&limbs](std::uint32_t factor) {
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product % kBase);
      carry = product / kBase;
    }
    for (; carry != 0; carry /= kBase) limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
  };
  // m x 2^e for e >= 0; m x 5^-e x 10^e for e < 0.
  const bool halves = binary_exponent < 0;
  for (int left = halves ? -binary_exponent : binary_exponent; left > 0;) {
    const int step = std::min(left, 13);
    std::uint32_t factor = 1;
    for (int i = 0; i < step; ++i) factor *= halves ? 5 : 2;
    multiply(factor);
    left -= step;
  }
  std::string digits = std::to_string(limbs.back());
  for (std::size_t i = limbs.size() - 1; i-- > 0;) {
    const std::string limb = std::to_string(limbs[i]);
    digits += std::string(9 - limb.size(), '0') + limb;
  }
  int exponent = halves ? binary_exponent : 0;
  while (digits.size() > 1 && digits.back() == '0') {
    digits.pop_back();
    ++exponent;
  }
  return {digits, exponent};
}

// The value rounded to a multiple of 10^lowest, ties to even; the result's
// exponent is `lowest`.
Decimal RoundAt(const Decimal& value, int lowest) {
  if (value.digits == "0") return {"0", lowest};
  if (value.exponent >= lowest) {
    return {value.digits + std::string(std::size_t(value.exponent - lowest), '0'), lowest};
  }
  const auto count = static_cast<long>(value.digits.size());
  const long dropped = long{lowest} - value.exponent;
  std::string kept = dropped >= count ? "" : value.digits.substr(0, std::size_t(count - dropped));
  // The first digit dropped, and whether any after it is not 0.
  const char first = dropped > count ? '0' : value.digits[std::size_t(count - dropped)];
  bool rest = dropped > count;
  for (long i = count - dropped + 1; !rest && i < count; ++i) {
    rest = value.digits[std::size_t(i)] != '0';
  }
  const bool odd = !kept.empty() && ((kept.back() - '0') % 2) == 1;
  if (first > '5' || (first == '5' && (rest || odd))) {
    long i = static_cast<long>(kept.size()) - 1;
    for (; i >= 0 && kept[std::size_t(i)] == '9'; --i) kept[std::size_t(i)] = '0';
    if (i >= 0) {
      ++kept[std::size_t(i)];
    } else {
      kept.insert(kept.begin(), '1');
    }
  }
  const auto nonzero = kept.find_first_not_of('0');
  return {nonzero == std::string::npos ? "0" : kept.substr(nonzero), lowest};
}

std::string FixedWithPrecision(double magnitude, int precision) {
  Decimal rounded = RoundAt(Exact(magnitude), -precision);
  std::string digits = rounded.digits;
  if (static_cast<int>(digits.size()) <= precision) {
    digits.insert(0, std::size_t(precision + 1) - digits.size(), '0');
  }
  const std::size_t whole = digits.size() - std::size_t(precision);
  return precision == 0 ? digits : digits.substr(0, whole) + "." + digits.substr(whole);
}

// The value to `precision` + 1 significant digits, and its decimal
// exponent once rounded.
std::pair<std::string, int> SignificantDigits(double magnitude, int precision) {
  if (magnitude == 0) return {std::string(std::size_t(precision) + 1, '0'), 0};
  const Decimal exact = Exact(magnitude);
  int exponent = exact.exponent + static_cast<int>(exact.digits.size()) - 1;
  std::string digits = RoundAt(exact, exponent - precision).digits;
  if (static_cast<int>(digits.size()) > precision + 1) {  // 9.99 became 10.0
    digits.pop_back();
    ++exponent;
  }
  return {digits, exponent};
}

std::string ScientificWithPrecision(double magnitude, int precision) {
  const auto [digits, exponent] = SignificantDigits(magnitude, precision);
  std::string text(1, digits[0]);
  if (precision > 0) text += "." + digits.substr(1);
  return text + "e" + ExponentText(exponent);
}

std::string WithoutTrailingZeros(const std::string& text) {
  const auto e = text.find('e');
  std::string mantissa = text.substr(0, e);
  const std::string tail = e == std::string::npos ? "" : text.substr(e);
  if (mantissa.find('.') != std::string::npos) {
    while (mantissa.back() == '0') mantissa.pop_back();
    if (mantissa.back() == '.') mantissa.pop_back();
  }
  return mantissa + tail;
}

// printf's %.Pg.
std::string GeneralWithPrecision(double magnitude, int precision) {
  const int p = precision == 0 ? 1 : precision;
  const int exponent = SignificantDigits(magnitude, p - 1).second;
  if (p > exponent && exponent >= -4) {
    return WithoutTrailingZeros(FixedWithPrecision(magnitude, p - 1 - exponent));
  }
  return WithoutTrailingZeros(ScientificWithPrecision(magnitude, p - 1));
}

// The shortest digits in fixed notation; where they end before the point
// (1.7976931348623157e+308), the whole number the double is, digit for
// digit, as the standard library writes it.
std::string ShortestFixed(double magnitude, const Decimal& shortest) {
  return shortest.exponent > 0 ? FixedWithPrecision(magnitude, 0) : FixedText(shortest);
}

std::to_chars_result Signed(char* first, char* last, double value, const std::string& magnitude) {
  return Put(first, last, (std::signbit(value) ? "-" : "") + magnitude);
}

bool IsInfinityText(const char* first, const char* last) {
  if (first != last && *first == '-') ++first;
  return first != last && (*first == 'i' || *first == 'I');
}

bool HasNonzeroDigit(const char* first, const char* last) {
  for (; first != last && *first != 'e' && *first != 'E'; ++first) {
    if (*first >= '1' && *first <= '9') return true;
  }
  return false;
}

}  // namespace

std::to_chars_result ToChars(char* first, char* last, double value) {
  if (const std::string special = Special(value); !special.empty()) return Put(first, last, special);
  const Decimal shortest = Shortest(std::fabs(value));
  const std::string fixed = ShortestFixed(std::fabs(value), shortest);
  const std::string scientific = ScientificText(shortest);
  return Signed(first, last, value, fixed.size() <= scientific.size() ? fixed : scientific);
}

std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format) {
  if (const std::string special = Special(value); !special.empty()) return Put(first, last, special);
  const Decimal shortest = Shortest(std::fabs(value));
  switch (format) {
    case std::chars_format::fixed:
      return Signed(first, last, value, ShortestFixed(std::fabs(value), shortest));
    case std::chars_format::scientific:
      return Signed(first, last, value, ScientificText(shortest));
    case std::chars_format::general: {
      const int exponent =
          shortest.digits == "0" ? 0 : shortest.exponent + static_cast<int>(shortest.digits.size()) - 1;
      return Signed(first, last, value,
                    exponent >= -4 && exponent < 6 ? ShortestFixed(std::fabs(value), shortest)
                                                   : ScientificText(shortest));
    }
    default:
      return {first, std::errc::invalid_argument};  // no hexadecimal text here
  }
}

std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format,
                             int precision) {
  if (const std::string special = Special(value); !special.empty()) return Put(first, last, special);
  if (precision < 0) precision = 6;
  const double magnitude = std::fabs(value);
  switch (format) {
    case std::chars_format::fixed:
      return Signed(first, last, value, FixedWithPrecision(magnitude, precision));
    case std::chars_format::scientific:
      return Signed(first, last, value, ScientificWithPrecision(magnitude, precision));
    case std::chars_format::general:
      return Signed(first, last, value, GeneralWithPrecision(magnitude, precision));
    default:
      return {first, std::errc::invalid_argument};
  }
}

std::from_chars_result FromChars(const char* first, const char* last, double& value,
                                 std::chars_format format) {
  fast_float::chars_format form = fast_float::chars_format::general;
  if (format == std::chars_format::fixed) form = fast_float::chars_format::fixed;
  if (format == std::chars_format::scientific) form = fast_float::chars_format::scientific;
  double read = 0;
  const fast_float::from_chars_result result = fast_float::from_chars(first, last, read, form);
  if (result.ec != std::errc()) return {result.ptr, result.ec};
  // Beyond the doubles, or so small it reads as zero: out of range.
  if ((std::isinf(read) && !IsInfinityText(first, result.ptr)) ||
      (read == 0 && HasNonzeroDigit(first, result.ptr))) {
    return {result.ptr, std::errc::result_out_of_range};
  }
  value = read;
  return {result.ptr, std::errc()};
}

}  // namespace portable

bool StandardNumberChars() { return SYNTHFACTORS_STANDARD_NUMBER_CHARS != 0; }

#if SYNTHFACTORS_STANDARD_NUMBER_CHARS
std::to_chars_result ToChars(char* first, char* last, double value) {
  return std::to_chars(first, last, value);
}
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format) {
  return std::to_chars(first, last, value, format);
}
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format,
                             int precision) {
  return std::to_chars(first, last, value, format, precision);
}
std::from_chars_result FromChars(const char* first, const char* last, double& value,
                                 std::chars_format format) {
  return std::from_chars(first, last, value, format);
}
#else
std::to_chars_result ToChars(char* first, char* last, double value) {
  return portable::ToChars(first, last, value);
}
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format) {
  return portable::ToChars(first, last, value, format);
}
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format,
                             int precision) {
  return portable::ToChars(first, last, value, format, precision);
}
std::from_chars_result FromChars(const char* first, const char* last, double& value,
                                 std::chars_format format) {
  return portable::FromChars(first, last, value, format);
}
#endif

}  // namespace synthfactors
