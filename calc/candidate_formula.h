// The formula of one candidate of the divider search, written once for every
// kind of arithmetic it runs on: checked doubles, plain doubles, and the
// lanes of a vector register. `Arithmetic` supplies the value type and
// single IEEE operations (Add, Sub, Mul, Div, Floor towards minus
// infinity, Constant) and IfPositive(n, divide, otherwise), which takes
// divide() where n > 0 and `otherwise` elsewhere.
//
// For reference divider r:
//   FComp     = RefFreq / r                      (MHz)
//   kHz       = 1000 x FComp                     (compared with the limits)
//   NTrial    = floor(SrcFreq / FComp + 0.5)     (one rounding per operation)
//   FCompAct  = SrcFreq / NTrial where NTrial > 0, else SrcFreq
//   FCompDiff = FCompAct - FComp
//
// This header includes nothing, so that the vector kernels, compiled for
// their own instruction sets, share no inline code with the rest.
#pragma once

namespace synthfactors {

// The limits and the shown comparison frequency are in kHz, FComp in MHz.
inline constexpr double kKiloHertzPerMegahertz = 1000;

// Candidates whose comparison frequencies agree closer than this (MHz) are
// an exact match.
inline constexpr double kExactBelow = 1e-15;

template <typename Arithmetic>
struct CandidateFormula {
  using A = Arithmetic;
  using Value = typename A::Value;

  static Value Comparison(Value ref, Value r) { return A::Div(ref, r); }
  static Value ComparisonKiloHertz(Value fcomp) {
    return A::Mul(A::Constant(kKiloHertzPerMegahertz), fcomp);
  }
  static Value Feedback(Value src, Value fcomp) {
    return A::Floor(A::Add(A::Div(src, fcomp), A::Constant(0.5)));
  }
  static Value Implied(Value src, Value n) {
    return A::IfPositive(n, [&] { return A::Div(src, n); }, src);
  }
  static Value Difference(Value act, Value fcomp) { return A::Sub(act, fcomp); }
};

}  // namespace synthfactors
