// The charge-pump loop's passive filter: its parts, the loop gain they give,
// a design for a bandwidth and phase margin, and the analysis of built parts.
//
// The filter is the usual passive network between the charge pump and the
// VCO's tuning input: C1 to ground, in parallel with R2 in series with C2
// (second order); then R3 in series into C3 to ground at the VCO (third
// order). Its transimpedance is
//
//   Z(s) = (1 + s T2) / (s A0 (1 + s T1)(1 + s T3))
//
// with A0 = C1 + C2 + C3, T2 = R2 C2 and T1, T3 the two poles of the network
// (T3 = 0 in second order). The open-loop gain the bandwidth and phase
// margin are read from is
//
//   G(s)/N = Icp Kvco Z(s) / (N s)
//
// with Icp in A, Kvco in Hz/V and N the total division from the VCO to the
// phase detector (D. Banerjee, "PLL Performance, Simulation and Design",
// 5th ed., the chapters on passive filters).
//
// Every figure is computed with the portable functions of portable_math.h,
// so the same parts give the same bits everywhere.
#pragma once

#include <optional>

namespace synthfactors::loop {

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kDegreesPerRadian = 57.29577951308232;

// A complex number and the few operations the loop needs (the library's
// std::complex leaves the rounding of its division to the platform).
struct Complex {
  double re = 0;
  double im = 0;
};
inline Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
inline Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
inline Complex operator*(Complex a, Complex b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}
inline Complex operator*(double a, Complex b) { return {a * b.re, a * b.im}; }
inline double Norm(Complex a) { return a.re * a.re + a.im * a.im; }  // |a|^2
// a / b, by Smith's method (no overflow of |b|^2 for large parts).
Complex operator/(Complex a, Complex b);

// The built parts, in farads and ohms. A second-order filter has no C3 or
// R3 (they stay 0).
struct LoopFilter {
  int order = 3;  // 2 or 3
  double c1 = 0, c2 = 0, r2 = 0;
  double c3 = 0, r3 = 0;

  // Every part the order has is finite and above 0.
  bool Valid() const;
};

// The filter's transimpedance in the form above, and the coefficients of its
// denominator, s (A0 + A1 s + A2 s^2).
struct FilterTimes {
  double a0 = 0, a1 = 0, a2 = 0;
  double t1 = 0, t2 = 0, t3 = 0;  // seconds; t1 >= t3 >= 0
};
FilterTimes TimesOf(const LoopFilter& filter);

// Z(j 2 pi f) / (j 2 pi f): the open-loop gain G/N at f divided by
// Icp Kvco / N.
Complex UnitOpenLoop(const FilterTimes& times, double f_hz);

// What is asked of a designed filter.
struct DesignTargets {
  int order = 3;                 // 2 or 3
  double bandwidth_hz = 0;       // where |G/N| = 1
  double phase_margin_deg = 45;  // above 0, below 90
  double gamma = 1;              // Banerjee's optimisation factor, above 0
  double t31 = 0.6;              // T3 / T1, third order only, in (0, 1)
};

// The passive filter for `targets` with a loop gain constant
// k_over_n = Icp Kvco / N (A Hz/V): Banerjee's second- and third-order
// designs. The second order is in closed form; the third order's T1 solves
// the phase-margin equation
//   atan(gamma / (w T1 (1 + T31))) - atan(w T1) - atan(w T1 T31) = phase margin
// (w = 2 pi bandwidth) by bisection to adjacent doubles. Empty where a part
// comes out not finite or not above 0 (targets beyond what doubles hold).
std::optional<LoopFilter> DesignFilter(const DesignTargets& targets, double k_over_n);

// The bandwidth (Hz, where |G/N| = 1, found by bisection to adjacent
// doubles) and the phase margin there (degrees,
// atan(w T2) - atan(w T1) - atan(w T3)) of a filter with this loop gain
// constant.
struct LoopAnalysis {
  double bandwidth_hz = 0;
  double phase_margin_deg = 0;
};
std::optional<LoopAnalysis> AnalyseLoop(const FilterTimes& times, double k_over_n);

}  // namespace synthfactors::loop
