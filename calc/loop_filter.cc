#include "loop_filter.h"

#include <cmath>

#include "portable_math.h"

namespace synthfactors::loop {
namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;

bool Positive(double value) { return std::isfinite(value) && value > 0; }

// Bisection of a decreasing function's sign change between lo (where it is
// above `level`) and hi (where it is not), to adjacent doubles: halving the
// ratio while it is wide, then the difference. Returns the end whose value
// lies nearer the level.
template <typename Function>
double BisectDecreasing(Function value_at, double lo, double hi, double level) {
  for (;;) {
    const double mid = hi / lo > 1.5 ? std::sqrt(lo * hi) : lo + (hi - lo) / 2;
    if (!(mid > lo && mid < hi)) break;
    if (value_at(mid) > level) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return std::fabs(value_at(lo) - level) <= std::fabs(value_at(hi) - level) ? lo : hi;
}

// An x > 0 where the decreasing function is above the level (lo) and the
// next power of two where it is not (hi), doubling or halving from 1; false
// if there is none within the range of doubles.
template <typename Function>
bool Bracket(Function value_at, double level, double& lo, double& hi) {
  constexpr int kMostSteps = 2100;  // from 1 past either end of the doubles
  lo = hi = 1;
  if (value_at(1.0) > level) {
    for (int i = 0; i < kMostSteps && value_at(hi) > level; ++i) {
      lo = hi;
      hi *= 2;
    }
    return std::isfinite(hi) && !(value_at(hi) > level);
  }
  for (int i = 0; i < kMostSteps && lo > 0 && !(value_at(lo) > level); ++i) {
    hi = lo;
    lo /= 2;
  }
  return lo > 0 && value_at(lo) > level;
}

}  // namespace

Complex operator/(Complex a, Complex b) {
  if (std::fabs(b.re) >= std::fabs(b.im)) {
    const double r = b.im / b.re;
    const double den = b.re + b.im * r;
    return {(a.re + a.im * r) / den, (a.im - a.re * r) / den};
  }
  const double r = b.re / b.im;
  const double den = b.re * r + b.im;
  return {(a.re * r + a.im) / den, (a.im * r - a.re) / den};
}

bool LoopFilter::Valid() const {
  if (order != 2 && order != 3) return false;
  if (!Positive(c1) || !Positive(c2) || !Positive(r2)) return false;
  return order == 2 || (Positive(c3) && Positive(r3));
}

FilterTimes TimesOf(const LoopFilter& filter) {
  FilterTimes times;
  const bool third = filter.order == 3;
  const double c3 = third ? filter.c3 : 0, r3 = third ? filter.r3 : 0;
  times.a0 = filter.c1 + filter.c2 + c3;
  times.a1 = third ? filter.c2 * filter.r2 * (filter.c1 + c3) + c3 * r3 * (filter.c1 + filter.c2)
                   : filter.c1 * filter.c2 * filter.r2;
  times.a2 = third ? filter.c1 * filter.c2 * c3 * filter.r2 * r3 : 0;
  times.t2 = filter.r2 * filter.c2;
  // T1 and T3 are the roots of x^2 - (A1/A0) x + A2/A0 (real for an RC
  // network): the larger from the sum, the smaller from the product.
  const double sum = times.a1 / times.a0, product = times.a2 / times.a0;
  const double discriminant = sum * sum - 4 * product;
  times.t1 = (sum + std::sqrt(discriminant > 0 ? discriminant : 0)) / 2;
  times.t3 = times.t1 > 0 ? product / times.t1 : 0;
  return times;
}

Complex UnitOpenLoop(const FilterTimes& times, double f_hz) {
  const double w = kTwoPi * f_hz;
  const Complex numerator{1, w * times.t2};
  const Complex poles = Complex{1, w * times.t1} * Complex{1, w * times.t3};
  return numerator / (-(w * w * times.a0) * poles);
}

std::optional<LoopFilter> DesignFilter(const DesignTargets& targets, double k_over_n) {
  const double w = kTwoPi * targets.bandwidth_hz;
  const double phi = targets.phase_margin_deg * kRadiansPerDegree;
  const double gamma = targets.gamma;
  LoopFilter filter;
  filter.order = targets.order;
  if (targets.order == 2) {
    // tan(phi) = (gamma / x - x) / (1 + gamma) for x = w T1: the positive root
    // of x^2 + (1 + gamma) tan(phi) x - gamma, in the form that does not
    // cancel.
    const SineCosine sc = SinCos(phi);
    const double b = (1 + gamma) * (sc.sin / sc.cos);
    const double x = 2 * gamma / (b + std::sqrt(b * b + 4 * gamma));
    const double t1 = x / w;
    const double t2 = gamma / (w * w * t1);
    const double a0 = k_over_n / (w * w) *
                      std::sqrt((1 + w * w * t2 * t2) / (1 + w * w * t1 * t1));
    filter.c1 = a0 * t1 / t2;
    filter.c2 = a0 - filter.c1;
    filter.r2 = t2 / filter.c2;
  } else {
    const double t31 = targets.t31;
    auto margin_at = [&](double x) {
      return Atan(gamma / (x * (1 + t31))) - Atan(x) - Atan(x * t31);
    };
    double lo = 0, hi = 0;
    if (!Bracket(margin_at, phi, lo, hi)) return std::nullopt;
    const double x = BisectDecreasing(margin_at, lo, hi, phi);
    const double t1 = x / w, t3 = t1 * t31;
    const double t2 = gamma / (w * w * (t1 + t3));
    const double a0 = k_over_n / (w * w) *
                      std::sqrt((1 + w * w * t2 * t2) /
                                ((1 + w * w * t1 * t1) * (1 + w * w * t3 * t3)));
    const double a1 = a0 * (t1 + t3), a2 = a0 * t1 * t3;
    filter.c1 = a2 / (t2 * t2) * (1 + std::sqrt(1 + t2 / a2 * (t2 * a0 - a1)));
    filter.c3 = (-t2 * t2 * filter.c1 * filter.c1 + t2 * a1 * filter.c1 - a2 * a0) /
                (t2 * t2 * filter.c1 - a2);
    filter.c2 = a0 - filter.c1 - filter.c3;
    filter.r2 = t2 / filter.c2;
    filter.r3 = a2 / (filter.c1 * filter.c3 * t2);
  }
  if (!filter.Valid()) return std::nullopt;
  return filter;
}

std::optional<LoopAnalysis> AnalyseLoop(const FilterTimes& times, double k_over_n) {
  if (!Positive(k_over_n) || !Positive(times.a0) || !Positive(times.t2)) return std::nullopt;
  // |G/N|^2 at w, decreasing in w.
  auto gain_squared = [&](double w) {
    const double q = k_over_n / (w * w * times.a0);
    const double w2 = w * w;
    return q * q * (1 + w2 * times.t2 * times.t2) /
           ((1 + w2 * times.t1 * times.t1) * (1 + w2 * times.t3 * times.t3));
  };
  double lo = 0, hi = 0;
  if (!Bracket(gain_squared, 1.0, lo, hi)) return std::nullopt;
  const double w = BisectDecreasing(gain_squared, lo, hi, 1.0);
  LoopAnalysis analysis;
  analysis.bandwidth_hz = w / kTwoPi;
  analysis.phase_margin_deg =
      (Atan(w * times.t2) - Atan(w * times.t1) - Atan(w * times.t3)) * kDegreesPerRadian;
  if (!std::isfinite(analysis.bandwidth_hz) || !(analysis.bandwidth_hz > 0)) return std::nullopt;
  return analysis;
}

}  // namespace synthfactors::loop
