// Fractional-N planning in exact arithmetic: the N divider of a
// fractional-N synthesiser divides by INT + FRAC/MOD, and everything here is
// worked on exact rationals of the decimal inputs (never on rounded
// doubles), so the remaining error is exact; it is shown as the double
// nearest to it.
//
//   - Rational: a fraction of two 128-bit integers in lowest terms; every
//     operation says when its result would not fit (empty).
//   - DecimalRational: the number at the start of a text, as the window
//     reads it ("10368.025", " 1e3 MHz"), exactly; empty for no number.
//   - BestFraction: the fraction closest to x in [0, 1] whose denominator is
//     at most `most` (a best rational approximation; on a tie the smaller
//     denominator).
//   - BestFraction64: the same in 64-bit arithmetic, for the planning loop
//     (fractional_search.h), which picks INT, FRAC and MOD for each R.
//
// Example: a loop at 5184.0125 MHz compared at 20 MHz divides by
// 259.200625 = 259 + 321/1600: 321/1600 fits a MOD of up to 4095 and is
// its own best fraction; 1/4096 is not and becomes 1/4095.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace synthfactors {

__extension__ typedef __int128 Int128;  // GCC and Clang have it on every target we build for
__extension__ typedef unsigned __int128 UInt128;

struct Rational {
  Int128 num = 0;
  Int128 den = 1;  // above 0; num/den in lowest terms
};

std::optional<Rational> MakeRational(Int128 num, Int128 den);
std::optional<Rational> Add(const Rational& a, const Rational& b);
std::optional<Rational> Sub(const Rational& a, const Rational& b);
std::optional<Rational> Mul(const Rational& a, const Rational& b);
std::optional<Rational> Div(const Rational& a, const Rational& b);
// -1, 0 or 1 as a is less than, equal to or greater than b, exactly.
int Compare(const Rational& a, const Rational& b);
bool Less(const Rational& a, const Rational& b);
// The largest whole number not above x.
Int128 Floor(const Rational& x);

// The double nearest to the rational (ties to even).
double NearestDouble(const Rational& value);

std::optional<Rational> DecimalRational(std::string_view text);

// The fraction p/q closest to `x` (0 <= x <= 1) with 1 <= q <= `most`.
Rational BestFraction(const Rational& x, std::int64_t most);

// The same for num/den with 0 <= num <= den < 2^63 and most < 2^32, in
// 64-bit arithmetic: the result as {p, q}.
struct SmallFraction {
  std::uint64_t p = 0, q = 1;
};
SmallFraction BestFraction64(std::uint64_t num, std::uint64_t den, std::int64_t most);

// The largest p/q <= y, and the smallest p/q >= y, with 1 <= q <= `most`
// (y >= 0 and its numerator and denominator below 2^63; empty for a
// negative y). Each in lowest terms.
std::optional<SmallFraction> LargestFractionAtMost(const Rational& y, std::int64_t most);
std::optional<SmallFraction> SmallestFractionAtLeast(const Rational& y, std::int64_t most);

}  // namespace synthfactors
