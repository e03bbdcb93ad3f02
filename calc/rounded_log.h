// The decimal logarithm and its inverse, correctly rounded, with the same
// result on every platform. The C libraries differ in the last place of
// log10 and pow (glibc's log10 is not correctly rounded; others are), and
// the in-band noise is a sum of such logarithms, so its last digit would
// depend on where the program runs.
//
//   - Log10(x): the double nearest log10(x). Log10(1000) is exactly 3,
//     Log10(1) is +0, Log10(0) is -inf, a negative x or NaN gives NaN,
//     +inf gives +inf. Subnormal x are exact inputs like any other.
//   - Exp10(y): the double nearest 10^y for normal results. Exp10(3) is
//     exactly 1000; +inf beyond the largest double, +0 below the smallest,
//     NaN for NaN. A result in the subnormal range is rounded twice (the
//     head of the extended result, then to the subnormal's precision), so
//     it may lie one subnormal unit off the nearest.
//
// Both work in double-double arithmetic built only from +, -, * and / (and
// so give the same bits wherever doubles are IEEE binary64 and nothing is
// contracted); the value before the final rounding is within 2^-100 of the
// exact one relative to it, so the result is the correctly rounded one
// unless the exact value lies that close to a midpoint between two doubles.
// The tests compare both with MPFR on a million arguments.
#pragma once

namespace synthfactors {

double Log10(double x);
double Exp10(double y);

}  // namespace synthfactors
