#include "lock_time.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "portable_math.h"

namespace synthfactors::loop {
namespace {

constexpr std::size_t kMostDegree = 4;
constexpr int kMostIterations = 500;
constexpr double kMostScanSteps = 4e6;

// A polynomial's coefficients, constant first.
struct Polynomial {
  std::array<double, kMostDegree + 1> c{};
  std::size_t degree = 0;
};

struct ValueAndSlope {
  Complex value, slope;
};

ValueAndSlope Evaluate(const Polynomial& p, Complex x) {
  Complex value{p.c[p.degree], 0}, slope{0, 0};
  for (std::size_t i = p.degree; i-- > 0;) {
    slope = slope * x + value;
    value = value * x + Complex{p.c[i], 0};
  }
  return {value, slope};
}

double Magnitude(Complex a) { return std::sqrt(Norm(a)); }

// The roots of p by the Aberth-Ehrlich iteration, from points on a circle
// of the roots' mean size, turned off the real axis.
std::array<Complex, kMostDegree> RootsOf(const Polynomial& p) {
  std::array<Complex, kMostDegree> z{};
  const std::size_t n = p.degree;
  const double radius = Exp(Ln(std::fabs(p.c[0] / p.c[n])) / double(n));
  for (std::size_t k = 0; k < n; ++k) {
    const SineCosine sc = SinCos(kTwoPi * double(k) / double(n) + 0.4);
    z[k] = {radius * sc.cos, radius * sc.sin};
  }
  for (int iteration = 0; iteration < kMostIterations; ++iteration) {
    double largest_step = 0;
    for (std::size_t k = 0; k < n; ++k) {
      const ValueAndSlope v = Evaluate(p, z[k]);
      if (Norm(v.value) == 0) continue;
      if (Norm(v.slope) == 0) continue;
      const Complex ratio = v.value / v.slope;
      Complex repulsion{0, 0};
      for (std::size_t j = 0; j < n; ++j) {
        if (j != k) repulsion = repulsion + Complex{1, 0} / (z[k] - z[j]);
      }
      const Complex step = ratio / (Complex{1, 0} - ratio * repulsion);
      if (!std::isfinite(step.re) || !std::isfinite(step.im)) continue;
      z[k] = z[k] - step;
      largest_step = std::max(largest_step, Magnitude(step) / std::max(Magnitude(z[k]), 1e-300));
    }
    if (largest_step < 1e-16) break;
  }
  return z;
}

// The error's terms r_i exp(x_i tau) in scaled time tau = w0 t.
class ErrorTerms {
 public:
  ErrorTerms(const std::array<Complex, kMostDegree>& poles,
             const std::array<Complex, kMostDegree>& residues, std::size_t count, double jump)
      : poles_(poles), residues_(residues), count_(count), jump_(jump) {}

  // e(tau) and e'(tau).
  void At(double tau, double& value, double& slope) const {
    value = slope = 0;
    for (std::size_t i = 0; i < count_; ++i) {
      const SineCosine sc = SinCos(poles_[i].im * tau);
      const Complex term = Exp(poles_[i].re * tau) * (residues_[i] * Complex{sc.cos, sc.sin});
      value += term.re;
      slope += (term * poles_[i]).re;
    }
    value *= jump_;
    slope *= jump_;
  }
  double Value(double tau) const {
    double value = 0, slope = 0;
    At(tau, value, slope);
    return value;
  }
  double Slope(double tau) const {
    double value = 0, slope = 0;
    At(tau, value, slope);
    return slope;
  }
  // A bound on |e(tau)|, falling with tau.
  double Envelope(double tau) const {
    double bound = 0;
    for (std::size_t i = 0; i < count_; ++i) {
      bound += Magnitude(residues_[i]) * Exp(poles_[i].re * tau);
    }
    return std::fabs(jump_) * bound;
  }
  double FastestRinging() const {
    double fastest = 0;
    for (std::size_t i = 0; i < count_; ++i) fastest = std::max(fastest, std::fabs(poles_[i].im));
    return fastest;
  }

 private:
  std::array<Complex, kMostDegree> poles_, residues_;
  std::size_t count_;
  double jump_;
};

// Where f changes sign between a and b (f(a) and f(b) of opposite signs),
// to adjacent doubles.
template <typename Function>
double SignChange(Function f, double a, double b) {
  const bool a_positive = f(a) > 0;
  for (;;) {
    const double mid = a + (b - a) / 2;
    if (!(mid > std::min(a, b) && mid < std::max(a, b))) return b;
    if ((f(mid) > 0) == a_positive) {
      a = mid;
    } else {
      b = mid;
    }
  }
}

}  // namespace

LockTime LockTimeAfter(const FilterTimes& times, double k_over_n, double jump, double tolerance) {
  LockTime result;
  if (!(std::fabs(jump) > tolerance)) return result;  // within the tolerance at once

  // D(s) in scaled s = w0 x, w0^2 = K: constant and s^2 terms then 1.
  const double w0 = std::sqrt(k_over_n / times.a0);
  Polynomial d;
  d.c = {1, w0 * times.t2, 1, (times.t1 + times.t3) * w0, times.t1 * times.t3 * w0 * w0};
  d.degree = d.c[4] > 0 ? 4 : 3;
  Polynomial monic = d;
  for (double& c : monic.c) c /= d.c[d.degree];
  const std::array<Complex, kMostDegree> roots = RootsOf(monic);

  // r_i = x (1 + c3 x + c4 x^2) / D'(x) at each root (the error's numerator
  // is s (1 + s T1)(1 + s T3), scaled alike).
  std::array<Complex, kMostDegree> residues{};
  for (std::size_t i = 0; i < d.degree; ++i) {
    const Complex x = roots[i];
    if (!(x.re < 0)) {
      result.outcome = LockTime::Outcome::kUnstable;
      return result;
    }
    const Complex numerator =
        x * (Complex{1, 0} + d.c[3] * x + d.c[4] * (x * x));
    residues[i] = numerator / Evaluate(d, x).slope;
  }
  const ErrorTerms error(roots, residues, d.degree, jump);

  // Beyond tau_end the envelope, and so the error, stays within the
  // tolerance.
  double tau_end = 1;
  for (int i = 0; i < 2100 && error.Envelope(tau_end) > tolerance; ++i) tau_end *= 2;
  if (!std::isfinite(tau_end) || error.Envelope(tau_end) > tolerance) {
    result.outcome = LockTime::Outcome::kTooLong;
    return result;
  }
  tau_end = SignChange([&](double tau) { return error.Envelope(tau) - tolerance; },
                       tau_end > 1 ? tau_end / 2 : 0.0, tau_end);

  const double ringing = error.FastestRinging();
  double step = tau_end / 64;
  if (ringing > 0) step = std::min(step, 3.141592653589793 / (8 * ringing));
  if (tau_end / step > kMostScanSteps || ringing * tau_end > kSinCosLimit) {
    result.outcome = LockTime::Outcome::kTooLong;
    return result;
  }

  // Back from tau_end, one monotonic piece of e at a time; |e| < tolerance
  // everywhere right of `right`.
  auto crossing = [&](double from, double to) {
    // e is monotonic on [from, to], |e(from)| >= tolerance > |e(to)|.
    const double level = error.Value(from) > 0 ? tolerance : -tolerance;
    return SignChange([&](double tau) { return (error.Value(tau) - level) * (level > 0 ? 1 : -1); },
                      from, to);
  };
  double right = tau_end;
  double right_slope = error.Slope(right);
  double tau = 0;
  for (;;) {
    const double left = std::max(0.0, right - step);
    double left_value = 0, left_slope = 0;
    error.At(left, left_value, left_slope);
    if ((left_slope > 0) != (right_slope > 0) && left_slope != 0 && right_slope != 0) {
      const double turn = SignChange([&](double t) { return error.Slope(t); }, left, right);
      if (std::fabs(error.Value(turn)) >= tolerance) {
        tau = crossing(turn, right);
        break;
      }
      if (std::fabs(left_value) >= tolerance) {
        tau = crossing(left, turn);
        break;
      }
    } else if (std::fabs(left_value) >= tolerance) {
      tau = crossing(left, right);
      break;
    }
    if (left == 0) break;  // e(0) = jump lies beyond the tolerance: not reached
    right = left;
    right_slope = left_slope;
  }
  result.seconds = tau / w0;
  return result;
}

}  // namespace synthfactors::loop
