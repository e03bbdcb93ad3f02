// Number text for doubles, locale-independent and correctly rounded: the
// contracts of std::to_chars and std::from_chars, behind one header so that
// a target whose C++ library lacks them for doubles (the WebAssembly
// build's) still writes and reads every figure with the same bytes.
//
//   - ToChars(first, last, value): the shortest text that reads back as
//     `value`, fixed or scientific, whichever is shorter (fixed on a tie):
//     0.1 -> "0.1", 1e21 -> "1e+21", 123456 -> "123456".
//   - ToChars(..., format): the shortest digits in that form; general is
//     fixed for decimal exponents -4 ... 5, else scientific.
//   - ToChars(..., format, precision): printf's %.Pf, %.Pe or %.Pg, exactly
//     rounded (ties to even on the exact binary value): 0.125 with fixed 2
//     is "0.12", 2.5 with scientific 0 is "2e+00".
//   - FromChars: the nearest double to the text (ties to even); a text
//     whose value is beyond the doubles (1e400) or rounds to zero although
//     not zero (2e-324) is result_out_of_range and leaves `value` as it was.
//
// Every function writes "inf", "-inf" and "nan" as the standard's do, and
// returns errc::value_too_large (and `last`) when the text does not fit.
//
// The standard library's functions are used where it has them; the
// `portable` ones (Dragonbox for the shortest digits, an exact decimal
// expansion for a precision, fast_float for reading) otherwise, and by the
// tests that hold the two equal.
#pragma once

#include <charconv>

namespace synthfactors {

std::to_chars_result ToChars(char* first, char* last, double value);
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format);
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format,
                             int precision);
std::from_chars_result FromChars(const char* first, const char* last, double& value,
                                 std::chars_format format = std::chars_format::general);

// Whether the standard library's functions are the ones used.
bool StandardNumberChars();

namespace portable {

std::to_chars_result ToChars(char* first, char* last, double value);
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format);
std::to_chars_result ToChars(char* first, char* last, double value, std::chars_format format,
                             int precision);
std::from_chars_result FromChars(const char* first, const char* last, double& value,
                                 std::chars_format format = std::chars_format::general);

}  // namespace portable
}  // namespace synthfactors
