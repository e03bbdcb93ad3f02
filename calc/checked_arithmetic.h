// Double arithmetic that faults instead of producing infinities or NaNs.
//
// Each function is exactly one IEEE double operation, rounded to nearest,
// followed by a check:
//   - a quotient by zero raises kDivisionByZero, 0 / 0 raises
//     kInvalidOperation;
//   - a result beyond the double range raises kOverflow.
// Results too small for a double (underflow to a subnormal or zero) are not
// faults. The operands are assumed finite: every value in a run comes from
// ParseLeadingNumber or from these functions.
//
// The calculation library is built with -ffp-contract=off, so a product
// followed by a sum is never fused into one rounding.
#pragma once

#include <cmath>
#include <cstdint>

#include "arithmetic_fault.h"

namespace synthfactors {

inline double CheckedResult(double result) {
  if (!std::isfinite(result)) [[unlikely]] {
    RaiseFault(FaultKind::kOverflow);
  }
  return result;
}

inline double Add(double a, double b) { return CheckedResult(a + b); }
inline double Sub(double a, double b) { return CheckedResult(a - b); }
inline double Mul(double a, double b) { return CheckedResult(a * b); }

inline double Div(double a, double b) {
  if (b == 0) [[unlikely]] {
    RaiseFault(a == 0 ? FaultKind::kInvalidOperation
                      : FaultKind::kDivisionByZero);
  }
  return CheckedResult(a / b);
}

// Rounds towards minus infinity. Written out because std::floor is a library
// call on baseline x86-64; the result is the same, signed zero included.
inline double Floor(double x) {
  constexpr double kNoFraction = 4503599627370496.0;  // 2^52
  if (!(std::fabs(x) < kNoFraction)) return x;  // already whole (or NaN)
  double whole = static_cast<double>(static_cast<std::int64_t>(x));
  if (whole > x) whole -= 1.0;
  return std::copysign(whole, x);
}

}  // namespace synthfactors
