// The decimal logarithm and power of ten against MPFR's correctly rounded
// ones: the edge values by name, then half a million arguments of each, drawn
// from every size of double and from the sizes the noise figures meet.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>
#include <mpfr.h>

#include "rounded_log.h"

namespace synthfactors {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class Mpfr {
 public:
  Mpfr() { mpfr_init2(value_, 53); }
  ~Mpfr() { mpfr_clear(value_); }
  Mpfr(const Mpfr&) = delete;
  Mpfr& operator=(const Mpfr&) = delete;

  double Log10(double x) {
    mpfr_set_d(value_, x, MPFR_RNDN);
    mpfr_log10(value_, value_, MPFR_RNDN);
    return mpfr_get_d(value_, MPFR_RNDN);
  }
  double Exp10(double y) {
    mpfr_set_d(value_, y, MPFR_RNDN);
    mpfr_exp10(value_, value_, MPFR_RNDN);
    return mpfr_get_d(value_, MPFR_RNDN);
  }

 private:
  mpfr_t value_;
};

TEST(RoundedLog10, ExactAndEdgeValues) {
  EXPECT_EQ(0.0, Log10(1));
  EXPECT_FALSE(std::signbit(Log10(1)));
  EXPECT_EQ(1.0, Log10(10));
  EXPECT_EQ(3.0, Log10(1000));
  EXPECT_EQ(22.0, Log10(1e22));
  EXPECT_EQ(-kInf, Log10(0));
  EXPECT_EQ(-kInf, Log10(-0.0));
  EXPECT_EQ(kInf, Log10(kInf));
  EXPECT_TRUE(std::isnan(Log10(-1)));
  EXPECT_TRUE(std::isnan(Log10(-kInf)));
  EXPECT_TRUE(std::isnan(Log10(kNaN)));
  Mpfr mpfr;
  for (double x : {std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
                   std::numeric_limits<double>::max(), 0.1, 2.0, 0.7071067811865476,
                   1.4142135623730951, 1.4142135623730954, 0.9999999999999999,
                   1.0000000000000002, 3.2e9, 1e-300}) {
    EXPECT_EQ(mpfr.Log10(x), Log10(x)) << x;
  }
}

TEST(RoundedExp10, ExactAndEdgeValues) {
  EXPECT_EQ(1.0, Exp10(0));
  EXPECT_EQ(1.0, Exp10(-0.0));
  EXPECT_EQ(10.0, Exp10(1));
  EXPECT_EQ(1000.0, Exp10(3));
  EXPECT_EQ(1e22, Exp10(22));
  EXPECT_EQ(0.1, Exp10(-1));
  EXPECT_EQ(1e-17, Exp10(-17));
  EXPECT_EQ(kInf, Exp10(309));
  EXPECT_EQ(kInf, Exp10(1e300));
  EXPECT_EQ(kInf, Exp10(kInf));
  EXPECT_EQ(0.0, Exp10(-400));
  EXPECT_EQ(0.0, Exp10(-kInf));
  EXPECT_TRUE(std::isnan(Exp10(kNaN)));
  Mpfr mpfr;
  for (double y : {308.25, 308.2547155599167, 308.25471555991675, -307.6, -307.65265556858857,
                   1e-20, -1e-20, 0.5, -17.25, 15.95}) {
    EXPECT_EQ(mpfr.Exp10(y), Exp10(y)) << y;
  }
}

TEST(RoundedLog10, EqualsMpfrOnHalfAMillionArguments) {
  Mpfr mpfr;
  std::mt19937_64 random(29);
  std::uniform_real_distribution<double> noise_sizes(0, 13);
  int differing = 0;
  for (int i = 0; i < 500'000; ++i) {
    // Half by their bits (every exponent, subnormals), half as the noise
    // figures meet them (frequencies in Hz, dividers, factors).
    double x = 0;
    if (i % 2 == 0) {
      do {
        x = std::bit_cast<double>(random() >> 1);
      } while (!std::isfinite(x) || x == 0);
    } else {
      x = std::round(std::pow(10.0, noise_sizes(random)) * 1000) / 1000;
      if (x == 0) continue;
    }
    if (mpfr.Log10(x) != Log10(x) && ++differing <= 5) {
      ADD_FAILURE() << std::hexfloat << x << ": " << mpfr.Log10(x) << " expected, got "
                    << Log10(x);
    }
  }
  EXPECT_EQ(0, differing);
}

TEST(RoundedExp10, EqualsMpfrOnHalfAMillionArguments) {
  Mpfr mpfr;
  std::mt19937_64 random(29);
  // Every normal result, and the powers of the noise sums (tens of dB).
  std::uniform_real_distribution<double> any_normal(-307.65, 308.25);
  std::uniform_real_distribution<double> noise_powers(-30, 0);
  int differing = 0;
  for (int i = 0; i < 500'000; ++i) {
    const double y = i % 2 == 0 ? any_normal(random) : noise_powers(random);
    if (mpfr.Exp10(y) != Exp10(y) && ++differing <= 5) {
      ADD_FAILURE() << std::hexfloat << y << ": " << mpfr.Exp10(y) << " expected, got "
                    << Exp10(y);
    }
  }
  EXPECT_EQ(0, differing);
}

TEST(RoundedExp10, SubnormalResultsAreWithinOneUnit) {
  Mpfr mpfr;
  constexpr double kUnit = std::numeric_limits<double>::denorm_min();
  for (double y = -307.7; y > -323.3; y -= 0.0137) {
    EXPECT_LE(std::fabs(mpfr.Exp10(y) - Exp10(y)), kUnit) << y;
  }
}

}  // namespace
}  // namespace synthfactors
