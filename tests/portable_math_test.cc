// The loop's elementary functions against MPFR: the edge values by name,
// then random arguments of every size each function meets, each result
// within its stated units in the last place of the exact value.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <mpfr.h>

#include "portable_math.h"

namespace synthfactors {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The exact value of a function at x (to 200 bits), and how many units in
// the last place of a double it lies from `result`.
class Exact {
 public:
  using Function = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
  explicit Exact(Function f) : f_(f) {
    mpfr_init2(x_, 200);
    mpfr_init2(y_, 200);
    mpfr_init2(diff_, 200);
  }
  ~Exact() {
    mpfr_clear(x_);
    mpfr_clear(y_);
    mpfr_clear(diff_);
  }
  Exact(const Exact&) = delete;
  Exact& operator=(const Exact&) = delete;

  double UlpsOff(double x, double result) {
    mpfr_set_d(x_, x, MPFR_RNDN);
    f_(y_, x_, MPFR_RNDN);
    const double nearest = mpfr_get_d(y_, MPFR_RNDN);
    if (nearest == 0) return result == 0 ? 0 : kInf;
    // The unit in the last place of the exact value's binade.
    const double ulp = std::nextafter(std::fabs(nearest), kInf) - std::fabs(nearest);
    mpfr_set_d(diff_, result, MPFR_RNDN);
    mpfr_sub(diff_, diff_, y_, MPFR_RNDN);
    return std::fabs(mpfr_get_d(diff_, MPFR_RNDN)) / ulp;
  }

 private:
  Function f_;
  mpfr_t x_, y_, diff_;
};

int MpfrSin(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_sin(y, x, r); }
int MpfrCos(mpfr_ptr y, mpfr_srcptr x, mpfr_rnd_t r) { return mpfr_cos(y, x, r); }

// A double with a uniformly drawn exponent in [low, high] and significand.
double AnySize(std::mt19937_64& random, int low, int high) {
  const int exponent = std::uniform_int_distribution<int>(low, high)(random);
  const double significand = std::uniform_real_distribution<double>(1, 2)(random);
  return std::ldexp(significand, exponent);
}

TEST(PortableMath, EdgeValues) {
  EXPECT_EQ(0.0, Ln(1));
  EXPECT_FALSE(std::signbit(Ln(1)));
  EXPECT_EQ(-kInf, Ln(0));
  EXPECT_EQ(kInf, Ln(kInf));
  EXPECT_TRUE(std::isnan(Ln(-1)));
  EXPECT_TRUE(std::isnan(Ln(kNaN)));
  EXPECT_EQ(-kInf, Log10Fast(-0.0));
  EXPECT_TRUE(std::isnan(Log10Fast(-kInf)));
  for (int n = 0; n <= 22; ++n) EXPECT_EQ(n, Log10Fast(std::pow(10.0, n))) << n;
  EXPECT_EQ(1.0, Exp(0));
  EXPECT_EQ(1.0, Exp(-0.0));
  EXPECT_EQ(kInf, Exp(710));
  EXPECT_EQ(kInf, Exp(kInf));
  EXPECT_EQ(0.0, Exp(-746));
  EXPECT_EQ(0.0, Exp(-kInf));
  EXPECT_TRUE(std::isnan(Exp(kNaN)));
  EXPECT_EQ(0.0, Atan(0));
  EXPECT_TRUE(std::signbit(Atan(-0.0)));
  EXPECT_EQ(1.5707963267948966, Atan(kInf));
  EXPECT_EQ(-1.5707963267948966, Atan(-kInf));
  EXPECT_EQ(0.7853981633974483, Atan(1));
  EXPECT_TRUE(std::isnan(Atan(kNaN)));
  EXPECT_EQ(0.0, SinCos(0).sin);
  EXPECT_EQ(1.0, SinCos(0).cos);
  EXPECT_TRUE(std::isnan(SinCos(kInf).sin));
  EXPECT_TRUE(std::isnan(SinCos(kSinCosLimit * 2).cos));
  EXPECT_FALSE(std::isnan(SinCos(-kSinCosLimit).cos));
}

TEST(PortableMath, WithinOneUnitOfTheExactValue) {
  std::mt19937_64 random(20261209);
  Exact ln(mpfr_log), log10(mpfr_log10), exp(mpfr_exp), atan(mpfr_atan), sin(MpfrSin),
      cos(MpfrCos);
  double worst_ln = 0, worst_log10 = 0, worst_exp = 0, worst_atan = 0, worst_sin = 0,
         worst_cos = 0;
  for (int i = 0; i < 50000; ++i) {
    // Every size of double; then those the loop meets, near 1 and near the
    // binade edges where the reductions switch.
    const double any = AnySize(random, -1074, 1023);
    const double near_one = 1 + std::uniform_real_distribution<double>(-0.3, 0.45)(random);
    for (const double x : {any, near_one, std::nextafter(near_one, 0.0)}) {
      worst_ln = std::max(worst_ln, ln.UlpsOff(x, Ln(x)));
      worst_log10 = std::max(worst_log10, log10.UlpsOff(x, Log10Fast(x)));
    }
    const double e = std::uniform_real_distribution<double>(-745, 709.7)(random);
    const double small_e = AnySize(random, -60, 3) * (i % 2 == 0 ? 1 : -1);
    for (const double x : {e, small_e}) worst_exp = std::max(worst_exp, exp.UlpsOff(x, Exp(x)));
    const double a = AnySize(random, -40, 80) * (i % 2 == 0 ? 1 : -1);
    worst_atan = std::max(worst_atan, atan.UlpsOff(a, Atan(a)));
    // Angles up to the limit; near multiples of pi/2, where a loose
    // reduction would lose the most.
    const double angle = std::uniform_real_distribution<double>(-kSinCosLimit, kSinCosLimit)(random);
    const double small = AnySize(random, -30, 4);
    const double near_multiple =
        std::nearbyint(angle / 1.5707963267948966) * 1.5707963267948966;
    for (const double x : {angle, small, near_multiple}) {
      const SineCosine sc = SinCos(x);
      worst_sin = std::max(worst_sin, sin.UlpsOff(x, sc.sin));
      worst_cos = std::max(worst_cos, cos.UlpsOff(x, sc.cos));
    }
  }
  RecordProperty("worst_ulps", std::to_string(worst_ln) + " " + std::to_string(worst_log10) +
                                  " " + std::to_string(worst_exp) + " " +
                                  std::to_string(worst_atan) + " " + std::to_string(worst_sin) +
                                  " " + std::to_string(worst_cos));
  EXPECT_LE(worst_ln, 1.0);
  EXPECT_LE(worst_log10, 2.0);
  EXPECT_LE(worst_exp, 1.0);
  EXPECT_LE(worst_atan, 1.0);
  EXPECT_LE(worst_sin, 1.0);
  EXPECT_LE(worst_cos, 1.0);
}

}  // namespace
}  // namespace synthfactors
