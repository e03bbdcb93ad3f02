// FormatDigitMask: a number shown through a digit mask such as "#####.#####".
//
//   - The mask is made of '#' digit places and at most one '.'; the places
//     after the '.' give the number of decimals d (none without a '.').
//     Anything else in the mask is a programming error (std::invalid_argument).
//   - The value is rounded to d decimals on its exact binary value; an exact
//     half rounds away from zero (0.5 -> "1", 0.0625 with 3 decimals -> ".063").
//   - Whole part: all its digits, however few '#' stand before the point, no
//     leading zeros (a whole part of 0 shows nothing), no grouping.
//   - Fraction: the rounded fraction without trailing zeros.
//   - A mask with a '.' always shows the decimal symbol: 100 -> "100.",
//     0 -> "."; without a '.', a value that rounds to 0 gives "".
//   - A negative value is preceded by "-", unless it rounds to zero.
//   - decimal_symbol is the user's locale symbol, placed as given.
//   - An infinity raises ArithmeticFault(kOverflow), a NaN kInvalidOperation.
#pragma once

#include <string>
#include <string_view>

namespace synthfactors {

std::string FormatDigitMask(double value, std::string_view mask,
                            std::string_view decimal_symbol);

}  // namespace synthfactors
