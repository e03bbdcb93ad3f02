#include "parse_leading_number.h"

#include <charconv>
#include <cstdint>
#include <system_error>

#include "arithmetic_fault.h"
#include "number_chars.h"

namespace synthfactors {
namespace {

constexpr bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n'; }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Walks a text while skipping the ignored characters.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) { Skip(); }
  bool AtEnd() const { return pos_ == text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void Advance() {
    ++pos_;
    Skip();
  }

 private:
  void Skip() {
    while (pos_ < text_.size() && IsIgnored(text_[pos_])) ++pos_;
  }
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

double ParseLeadingNumber(std::string_view text) {
  // The ignored characters may stand anywhere, so the number is copied into a
  // compact form for FromChars (which also takes no '+' sign).
  Cursor in(text);
  bool negative = false;
  if (in.Peek() == '+' || in.Peek() == '-') {
    negative = in.Peek() == '-';
    in.Advance();
  }

  // Significand: keep at most kKeep significant digits, counting the rest.
  // 800 digits decide the nearest double in every case (the longest exact
  // decimal expansion that matters for rounding is 767 digits).
  constexpr std::size_t kKeep = 800;
  char digits[kKeep + 1];
  std::size_t kept = 0;
  std::int64_t dropped_int = 0;   // integer digits beyond kKeep
  std::int64_t frac_zeros = 0;    // fraction zeros before the first nonzero digit
  bool any_digit = false, nonzero_seen = false, sticky = false;
  std::int64_t point_shift = 0;  // digits kept after the point
  bool seen_point = false;

  for (;;) {
    const char c = in.Peek();
    if (IsDigit(c)) {
      any_digit = true;
      if (c != '0') nonzero_seen = true;
      if (!nonzero_seen) {
        if (seen_point) ++frac_zeros;  // leading zeros carry no value
      } else if (kept < kKeep) {
        digits[kept++] = c;
        if (seen_point) ++point_shift;
      } else {
        if (c != '0') sticky = true;
        if (!seen_point) ++dropped_int;
      }
      in.Advance();
    } else if (c == '.' && !seen_point) {
      seen_point = true;
      in.Advance();
    } else {
      break;
    }
  }
  if (!any_digit) return 0.0;

  // Exponent, only when digits follow the letter (and its sign).
  std::int64_t exponent = 0;
  if (in.Peek() == 'e' || in.Peek() == 'E') {
    Cursor look = in;
    look.Advance();
    bool exp_negative = false;
    if (look.Peek() == '+' || look.Peek() == '-') {
      exp_negative = look.Peek() == '-';
      look.Advance();
    }
    constexpr std::int64_t kCap = 1'000'000'000;  // far beyond any double
    while (IsDigit(look.Peek())) {
      if (exponent < kCap) exponent = exponent * 10 + (look.Peek() - '0');
      look.Advance();
    }
    if (exp_negative) exponent = -exponent;
  }
  if (!nonzero_seen) return negative ? -0.0 : 0.0;

  // value = 0.d1 d2 ... dk (sticky) x 10^(scale) with
  // scale = kept - point_shift + dropped_int - frac_zeros + exponent, written
  // as d1.d2... x 10^(lead).
  const std::int64_t lead =
      static_cast<std::int64_t>(kept) - point_shift + dropped_int - frac_zeros -
      1 + exponent;
  constexpr std::int64_t kTooLarge = 309;   // 1e309 > largest double
  constexpr std::int64_t kTooSmall = -400;  // 1e-400 < smallest subnormal / 2
  if (lead >= kTooLarge) RaiseFault(FaultKind::kOverflow);
  if (lead <= kTooSmall) return negative ? -0.0 : 0.0;

  // Rebuild as "d.ddd[1]e<lead>" for from_chars; a dropped nonzero digit is
  // kept as a final 1 so that halfway cases round the right way.
  char buffer[kKeep + 32];
  std::size_t n = 0;
  buffer[n++] = digits[0];
  buffer[n++] = '.';
  for (std::size_t i = 1; i < kept; ++i) buffer[n++] = digits[i];
  if (sticky) buffer[n++] = '1';
  buffer[n++] = 'e';
  const auto exp_end =
      std::to_chars(buffer + n, buffer + sizeof buffer, lead).ptr;

  double value = 0.0;
  const auto [end, error] = FromChars(buffer, exp_end, value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    if (lead > 0) RaiseFault(FaultKind::kOverflow);
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace synthfactors
