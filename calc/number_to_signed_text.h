// NumberToSignedText: the RF source frequency as shown in its box.
//
//   - A sign position first: one blank for zero (either sign) and positive
//     values, "-" for negative ones.
//   - Then the value rounded to 15 significant digits, an exact half of the
//     binary value away from zero as in FormatDigitMask and ToHexText
//     (537929379328386.5 -> " 537929379328387"); "." as the decimal point
//     whatever the locale, no trailing zeros in the fraction, no point for
//     whole values, and no "0" before the point: 1000 -> " 1000",
//     0.5 -> " .5", -0.25 -> "-.25".
//   - Magnitudes of 1e15 and above, or below 1e-4 (after rounding), are
//     written with an exponent: " 1E+15", " 1.5E-05", "-1.79769313486232E+308".
//     The exponent has a sign and at least two digits.
//   - Infinities and NaNs never reach it (the arithmetic faults first); they
//     give " INF", "-INF" and " NAN".
#pragma once

#include <string>

namespace synthfactors {

std::string NumberToSignedText(double value);

}  // namespace synthfactors
