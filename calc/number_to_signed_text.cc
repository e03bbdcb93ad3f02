#include "number_to_signed_text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>
#include <string_view>

namespace synthfactors {
namespace {

constexpr int kSignificantDigits = 15;

void AppendWithoutTrailingZeros(std::string& out, std::string_view digits) {
  while (!digits.empty() && digits.back() == '0') digits.remove_suffix(1);
  out += digits;
}

}  // namespace

std::string NumberToSignedText(double value) {
  std::string out(1, std::signbit(value) && value != 0 ? '-' : ' ');
  if (std::isnan(value)) return out + "NAN";
  if (std::isinf(value)) return out + "INF";
  if (value == 0) return out + "0";

  // d.dddddddddddddde±x: 15 significant digits, correctly rounded.
  char buffer[32];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                    std::chars_format::scientific, kSignificantDigits - 1)
          .ptr;
  const std::string_view scientific(buffer, end - buffer);
  const std::size_t e_pos = scientific.find('e');
  std::string digits;  // the 15 digits without the point
  digits += scientific[0];
  digits += scientific.substr(2, e_pos - 2);
  int exponent = 0;
  const char* exp_text = scientific.data() + e_pos + 1;
  if (*exp_text == '+') ++exp_text;
  std::from_chars(exp_text, end, exponent);

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
