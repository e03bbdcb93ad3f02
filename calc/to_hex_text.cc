#include "to_hex_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "arithmetic_fault.h"

namespace synthfactors {

std::string ToHexText(double value) {
  const double whole = std::round(value);
  // Compare as doubles before converting: converting an out-of-range double
  // to an integer is undefined.
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) {
    RaiseFault(FaultKind::kOverflow);
  }
  const auto bits =
      static_cast<std::uint32_t>(static_cast<std::int32_t>(whole));
  char buffer[8];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, bits, 16).ptr;
  std::string out(buffer, end);
  for (char& c : out) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace synthfactors
