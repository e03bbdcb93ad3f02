// The candidate formula (candidate_formula.h) and the report's pair formula
// on scalar doubles: checked (every operation faults instead of giving an
// infinity or NaN, see checked_arithmetic.h) or plain, whose results the
// caller checks for being finite.
#pragma once

#include "candidate_formula.h"
#include "checked_arithmetic.h"

namespace synthfactors {

// What the two scalar kinds share: the value, constants, the choice of the
// implied frequency, and Floor (which cannot fault).
struct ScalarArithmetic {
  using Value = double;
  static double Constant(double c) { return c; }
  template <typename Divide>
  static double IfPositive(double n, Divide divide, double otherwise) {
    return n > 0 ? divide() : otherwise;
  }
  static double Floor(double x) { return synthfactors::Floor(x); }
};

struct CheckedArithmetic : ScalarArithmetic {
  static double Add(double a, double b) { return synthfactors::Add(a, b); }
  static double Sub(double a, double b) { return synthfactors::Sub(a, b); }
  static double Mul(double a, double b) { return synthfactors::Mul(a, b); }
  static double Div(double a, double b) { return synthfactors::Div(a, b); }
};

struct PlainArithmetic : ScalarArithmetic {
  static double Add(double a, double b) { return a + b; }
  static double Sub(double a, double b) { return a - b; }
  static double Mul(double a, double b) { return a * b; }
  static double Div(double a, double b) { return a / b; }
};

using Checked = CandidateFormula<CheckedArithmetic>;
using Plain = CandidateFormula<PlainArithmetic>;

// Every value of a candidate on plain doubles, as the formula gives them.
struct CandidateValues {
  double khz, fcomp, n, act, diff;
};

inline CandidateValues EvaluatePlain(double src, double ref, double r) {
  CandidateValues v;
  v.fcomp = Plain::Comparison(ref, r);
  v.khz = Plain::ComparisonKiloHertz(v.fcomp);
  v.n = Plain::Feedback(src, v.fcomp);
  v.act = Plain::Implied(src, v.n);
  v.diff = Plain::Difference(v.act, v.fcomp);
  return v;
}

// The report's scales beside kHz: Hz and parts per 10^9.
inline constexpr double kHertzPerMegahertz = 1000000;
inline constexpr double kPartsPerBillion = 1000000000;

// The figures of a chosen pair (R, N) as the report computes them, in this
// order of operations; m is the multiplication factor.
template <typename Arithmetic>
struct PairFormula {
  using A = Arithmetic;
  // The output frequency the pair synthesises minus the wanted one, MHz.
  static double OutputError(double ref, double r, double n, double src, double m) {
    return A::Mul(A::Sub(A::Mul(A::Div(ref, r), n), src), m);
  }
  static double RelativeError(double output_error, double src, double m) {
    return A::Div(A::Div(output_error, src), m);
  }
  // Multiply first, then divide.
  static double ComparisonKiloHertz(double ref, double r) {
    return A::Div(A::Mul(ref, kKiloHertzPerMegahertz), r);
  }
  static double Hertz(double output_error) { return A::Mul(output_error, kHertzPerMegahertz); }
  static double PartsPerBillion(double relative) { return A::Mul(relative, kPartsPerBillion); }
};

}  // namespace synthfactors
