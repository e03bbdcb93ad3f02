// The number-to-text conversions on arbitrary doubles: only the allowed
// characters, a value read back within half a unit of the last place shown,
// and hexadecimal that round-trips over the 32-bit range and faults outside.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "numeric_text.h"

namespace {

using synthfactors::ArithmeticFault;

constexpr std::string_view kMasks[] = {"#######", "########", "#####.#####",
                                       "######.###"};

// Read in long double, so that a text rounded up past the largest double
// still reads back as a number.
long double ReadBack(std::string_view text) {
  if (text.empty() || text == "." || text == "-") return 0;
  std::string plain(text);
  if (plain.front() == '.') plain.insert(0, "0");
  if (plain.starts_with("-.")) plain.insert(1, "0");
  return std::strtold(plain.c_str(), nullptr);
}

void CheckSignedText(double value) {
  const std::string text = synthfactors::NumberToSignedText(value);
  FUZZ_CHECK(text[0] == ' ' || text[0] == '-', "sign position in '%s'", text.c_str());
  FUZZ_CHECK(text.find_first_not_of(" -+.0123456789E", 1) == std::string::npos &&
                 text.find(' ', 1) == std::string::npos,
             "characters of '%s'", text.c_str());
  const long double back = ReadBack(text.substr(1)) * (text[0] == '-' ? -1 : 1);
  // 15 significant digits: within half a unit in the 15th place.
  FUZZ_CHECK(std::fabs(back - value) <= std::fabs(value) * 5.000001e-15L,
             "'%s' for %.17g", text.c_str(), value);
}

void CheckMask(double value, std::string_view mask) {
  const std::string text = synthfactors::FormatDigitMask(value, mask, ".");
  FUZZ_CHECK(text.find_first_not_of("-.0123456789") == std::string::npos,
             "characters of '%s'", text.c_str());
  const bool has_point = mask.find('.') != std::string_view::npos;
  FUZZ_CHECK(has_point == (text.find('.') != std::string::npos), "point in '%s'",
             text.c_str());
  FUZZ_CHECK(text.size() < 2 || text[text.starts_with('-') ? 1 : 0] != '0',
             "leading zero in '%s'", text.c_str());
  const int decimals = has_point ? static_cast<int>(mask.size() - mask.find('.') - 1) : 0;
  const double half_unit = 0.5 * std::pow(10.0, -decimals);
  const long double back = ReadBack(text);
  const long double slack = half_unit * 1e-9L + std::fabs(value) * 1e-15L;
  FUZZ_CHECK(std::fabs(back - value) <= half_unit + slack, "'%s' for %.17g with %.*s",
             text.c_str(), value, static_cast<int>(mask.size()), mask.data());
}

void CheckHex(double value) {
  const double whole = std::round(value);
  const bool fits = whole >= -2147483648.0 && whole <= 2147483647.0;
  std::string text;
  try {
    text = synthfactors::ToHexText(value);
  } catch (const ArithmeticFault&) {
    FUZZ_CHECK(!fits, "fault for %.17g", value);
    return;
  }
  FUZZ_CHECK(fits, "no fault for %.17g", value);
  FUZZ_CHECK(!text.empty() && text.size() <= 8 &&
                 text.find_first_not_of("0123456789ABCDEF") == std::string::npos &&
                 (text == "0" || text[0] != '0'),
             "form of '%s'", text.c_str());
  std::uint32_t bits = 0;
  std::from_chars(text.data(), text.data() + text.size(), bits, 16);
  FUZZ_CHECK(static_cast<std::int32_t>(bits) == static_cast<std::int32_t>(whole),
             "'%s' for %.17g", text.c_str(), value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof(double)) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  if (!std::isfinite(value)) {
    for (const std::string_view mask : kMasks) {
      try {
        synthfactors::FormatDigitMask(value, mask, ".");
        FUZZ_CHECK(false, "no fault for a non-finite value");
      } catch (const ArithmeticFault&) {
      }
    }
    CheckHex(value);
    return 0;
  }
  CheckSignedText(value);
  for (const std::string_view mask : kMasks) CheckMask(value, mask);
  CheckHex(value);
  // Whole numbers in the 32-bit range, taken from the same bytes.
  std::int32_t whole;
  std::memcpy(&whole, data, sizeof whole);
  CheckHex(static_cast<double>(whole));
  return 0;
}
