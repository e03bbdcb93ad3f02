// The elementary functions of the loop's figures, with the same bits on
// every platform. The C libraries differ in the last place of exp, log,
// atan, sin and cos, and the loop filter's parts, its noise, jitter and lock
// time are printed to the last digit, so they would depend on where the
// program runs. These are computed with +, -, *, / and sqrt only (each
// rounded on its own, nothing contracted), in the classic way of the
// freely distributable fdlibm: an argument reduction that keeps the reduced
// argument exact or nearly so, then a minimax polynomial. They are not
// correctly rounded: each is within one unit in the last place of the exact
// value (the tests compare them with MPFR), which is far finer than any
// loop figure needs; what they promise is the same result everywhere.
//
//   - Ln(x): the natural logarithm. Ln(1) is +0, Ln(0) is -inf, a negative
//     x or NaN gives NaN, +inf gives +inf. Subnormal x are exact inputs.
//   - Log10Fast(x): the decimal logarithm from Ln's reduction, within two
//     units in the last place; exact powers of ten give their exponent
//     exactly (Log10Fast(1000) is 3). Same edge values as Ln.
//   - Exp(x): e^x. Exp(0) is exactly 1; +inf above 709.78, +0 below -745.13,
//     NaN for NaN; results in the subnormal range are rounded twice.
//   - Atan(x): in (-pi/2, pi/2), odd; +-pi/2 (nearest) for +-inf; NaN for NaN.
//   - SinCos(x): the sine and cosine of x for |x| up to 2^20 * pi/2 (about
//     1.6e6); beyond that, and for inf or NaN, both are NaN.
#pragma once

namespace synthfactors {

double Ln(double x);
double Log10Fast(double x);
double Exp(double x);
double Atan(double x);

struct SineCosine {
  double sin;
  double cos;
};
SineCosine SinCos(double x);

// The largest |x| SinCos takes.
inline constexpr double kSinCosLimit = 1647099.3291652855;  // 2^20 * pi/2, rounded down

}  // namespace synthfactors
