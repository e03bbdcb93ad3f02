#include "column_captions.h"

#include <charconv>
#include <system_error>

#include "number_chars.h"

namespace synthfactors::runner {

std::string_view CaptionOf(std::string_view column) {
  for (const ColumnCaption& caption : kColumnCaptions) {
    if (caption.column == column) return caption.caption;
  }
  return column;
}

std::string NineDigitText(double value, const std::string& exact) {
  std::size_t digits = 0;
  for (const char c : exact) {
    if (c == 'e' || c == 'E') break;
    if (c >= '0' && c <= '9' && (digits > 0 || c != '0')) ++digits;
  }
  if (digits <= 9) return exact;
  char buffer[32];
  const auto [end, error] =
      ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
  return error == std::errc() ? std::string(buffer, end) : exact;
}

}  // namespace synthfactors::runner
