// Exact arithmetic held to MPFR at a precision wide enough to be exact
// (products of 512 bits) or nearly so (a quotient to 400 bits, then one
// rounding): the products the fractional search compares, exact rational
// order, and the double nearest a rational of every size.
#include <cstdint>
#include <random>

#include <gtest/gtest.h>
#include <mpfr.h>

#include "fractional_plan.h"
#include "wide_product.h"

namespace synthfactors {
namespace {

// MPFR of a 128-bit unsigned value, exactly.
void Set(mpfr_t x, UInt128 value) {
  mpfr_set_ui(x, static_cast<unsigned long>(value >> 64), MPFR_RNDN);
  mpfr_mul_2ui(x, x, 64, MPFR_RNDN);
  mpfr_add_ui(x, x, static_cast<unsigned long>(value), MPFR_RNDN);
}

UInt128 Random128(std::mt19937_64& random, int bits) {
  const UInt128 value = (static_cast<UInt128>(random()) << 64) | random();
  return bits >= 128 ? value : value & ((UInt128{1} << bits) - 1);
}

TEST(ExactArithmetic, ProductsCompareAsMpfrMultipliesThem) {
  std::mt19937_64 random(7);
  mpfr_t a, b, factor;
  mpfr_inits2(1024, a, b, factor, static_cast<mpfr_ptr>(nullptr));
  for (int i = 0; i < 50000; ++i) {
    const int bits = 1 + static_cast<int>(random() % 128);
    const UInt128 w = Random128(random, bits), x = Random128(random, bits);
    const UInt128 y = Random128(random, bits), z = i % 7 == 0 ? w : Random128(random, bits);
    const UInt128 v = Random128(random, 40);
    Set(a, w);
    Set(factor, x);
    mpfr_mul(a, a, factor, MPFR_RNDN);
    Set(factor, v);
    mpfr_mul(a, a, factor, MPFR_RNDN);
    Set(b, i % 7 == 0 ? x : y);
    Set(factor, z);
    mpfr_mul(b, b, factor, MPFR_RNDN);
    Set(factor, v);
    mpfr_mul(b, b, factor, MPFR_RNDN);
    const int expected = mpfr_cmp(a, b);
    const int found = CompareProducts({w, x, v}, {i % 7 == 0 ? x : y, z, v});
    ASSERT_EQ(expected < 0 ? -1 : expected > 0 ? 1 : 0, found) << i;
  }
  mpfr_clears(a, b, factor, static_cast<mpfr_ptr>(nullptr));
}

TEST(ExactArithmetic, TheNearestDoubleOfRationalsOfEverySize) {
  std::mt19937_64 random(11);
  mpfr_t num, den;
  mpfr_inits2(400, num, den, static_cast<mpfr_ptr>(nullptr));
  for (int i = 0; i < 50000; ++i) {
    const auto n = static_cast<Int128>(Random128(random, 1 + static_cast<int>(random() % 126)));
    const auto d = static_cast<Int128>(Random128(random, 1 + static_cast<int>(random() % 126)));
    if (n == 0 || d == 0) continue;
    const Rational value = *MakeRational(i % 2 == 0 ? n : -n, d);
    Set(num, static_cast<UInt128>(n));
    Set(den, static_cast<UInt128>(d));
    mpfr_div(num, num, den, MPFR_RNDN);
    if (i % 2 != 0) mpfr_neg(num, num, MPFR_RNDN);
    ASSERT_EQ(mpfr_get_d(num, MPFR_RNDN), NearestDouble(value)) << i;
    // Order, against the doubles where they differ.
    const Rational other = *MakeRational(d, n);
    if (NearestDouble(value) != NearestDouble(other)) {
      ASSERT_EQ(NearestDouble(value) < NearestDouble(other), Less(value, other)) << i;
    }
  }
  mpfr_clears(num, den, static_cast<mpfr_ptr>(nullptr));
  // Rationals whose cross products pass 128 bits still order exactly.
  const Int128 big = (Int128{1} << 100) + 1;
  EXPECT_TRUE(Less(Rational{big, big + 2}, Rational{big + 1, big + 3}));
  EXPECT_FALSE(Less(Rational{big + 1, big + 3}, Rational{big, big + 2}));
  EXPECT_EQ(0, Compare(Rational{big, big + 2}, Rational{big, big + 2}));
}

}  // namespace
}  // namespace synthfactors
