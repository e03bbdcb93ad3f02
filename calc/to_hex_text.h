// ToHexText: a divider value in hexadecimal, as programmed into a register.
//
//   - The value is rounded to a whole number (halves away from zero) and must
//     then lie in the signed 32-bit range; otherwise, and for infinities and
//     NaNs, ArithmeticFault(kOverflow).
//   - Upper-case digits, no leading zeros, no prefix: 0 -> "0", 2000 -> "7D0".
//   - A negative value gives its 32-bit two's complement: -5 -> "FFFFFFFB".
#pragma once

#include <string>

namespace synthfactors {

std::string ToHexText(double value);

}  // namespace synthfactors
