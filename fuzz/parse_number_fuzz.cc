// The number reader on arbitrary bytes, against the C library's reading of
// the longest valid prefix of the text with blanks, tabs and line feeds
// removed: the same double, and an overflow exactly beyond the double range.
#include <cstdlib>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "numeric_text.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The longest prefix of [+-]digits[.digits][(e|E)[+-]digits] with a digit in
// the significand, or "" when there is none.
std::string_view LongestNumber(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return {};
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    const std::size_t exp_start = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > exp_start) end = j;
  }
  return s.substr(0, end);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string compact;
  for (const char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') compact += c;
  }
  // The oracle: glibc's strtod in the C locale, correctly rounded, on the
  // prefix alone (which holds no hex, inf or nan forms).
  const std::string number(LongestNumber(compact));
  const double expected = number.empty() ? 0.0 : std::strtod(number.c_str(), nullptr);

  double actual = 0;
  bool overflow = false;
  try {
    actual = synthfactors::ParseLeadingNumber(text);
  } catch (const synthfactors::ArithmeticFault& fault) {
    FUZZ_CHECK(fault.kind() == synthfactors::FaultKind::kOverflow, "kind");
    overflow = true;
  }
  if (std::isinf(expected)) {
    FUZZ_CHECK(overflow, "no overflow for %s", number.c_str());
    return 0;
  }
  FUZZ_CHECK(!overflow, "overflow for %s", number.c_str());
  FUZZ_CHECK(actual == expected && std::signbit(actual) == std::signbit(expected),
             "read %.17g, expected %.17g", actual, expected);
  return 0;
}
