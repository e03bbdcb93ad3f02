// The formula of one candidate of the divider search, written once and used
// with each kind of arithmetic the search and the planning tools run on:
// checked doubles (every operation faults instead of giving an infinity or
// NaN, see checked_arithmetic.h) and plain doubles, whose results the caller
// checks for being finite.
//
// For reference divider r:
//   FComp    = RefFreq / r                       (MHz)
//   kHz      = 1000 x FComp                      (compared with the limits)
//   NTrial   = floor(SrcFreq / FComp + 0.5)      (rounded one operation at
//                                                 a time, halves up)
//   FCompAct = SrcFreq / NTrial if NTrial > 0, else SrcFreq
//   FCompDiff = FCompAct - FComp
#pragma once

#include "checked_arithmetic.h"

namespace synthfactors {

// The limits and the shown comparison frequency are in kHz, FComp in MHz.
inline constexpr double kKiloHertzPerMegahertz = 1000;

// Candidates whose comparison frequencies agree closer than this (MHz) are
// an exact match.
inline constexpr double kExactBelow = 1e-15;

struct CheckedArithmetic {
  static double Add(double a, double b) { return synthfactors::Add(a, b); }
  static double Sub(double a, double b) { return synthfactors::Sub(a, b); }
  static double Mul(double a, double b) { return synthfactors::Mul(a, b); }
  static double Div(double a, double b) { return synthfactors::Div(a, b); }
  static double Floor(double x) { return synthfactors::Floor(x); }
};

struct PlainArithmetic {
  static double Add(double a, double b) { return a + b; }
  static double Sub(double a, double b) { return a - b; }
  static double Mul(double a, double b) { return a * b; }
  static double Div(double a, double b) { return a / b; }
  static double Floor(double x) { return synthfactors::Floor(x); }
};

template <typename Arithmetic>
struct CandidateFormula {
  static double Comparison(double ref, double r) { return Arithmetic::Div(ref, r); }
  static double ComparisonKiloHertz(double fcomp) {
    return Arithmetic::Mul(kKiloHertzPerMegahertz, fcomp);
  }
  static double Feedback(double src, double fcomp) {
    return Arithmetic::Floor(Arithmetic::Add(Arithmetic::Div(src, fcomp), 0.5));
  }
  static double Implied(double src, double n) {
    return n > 0 ? Arithmetic::Div(src, n) : src;
  }
  static double Difference(double act, double fcomp) { return Arithmetic::Sub(act, fcomp); }
};

using Checked = CandidateFormula<CheckedArithmetic>;
using Plain = CandidateFormula<PlainArithmetic>;

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
