// Exact comparison of products of non-negative whole numbers too wide for
// 128 bits: each side's factors are multiplied in 512 bits, so a product
// of up to four factors below 2^128 is never cut short.
//
// Example: CompareProducts({a, b}, {c, d}) is -1, 0 or 1 as a x b is less
// than, equal to or greater than c x d.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>

#include "fractional_plan.h"

namespace synthfactors {

class WideUnsigned {
 public:
  explicit WideUnsigned(UInt128 value = 0) {
    limbs_[0] = static_cast<std::uint64_t>(value);
    limbs_[1] = static_cast<std::uint64_t>(value >> 64);
  }

  // This x `factor`, exactly as long as it fits 512 bits (four factors
  // below 2^128 always do).
  WideUnsigned& operator*=(UInt128 factor) {
    const std::uint64_t low = static_cast<std::uint64_t>(factor);
    const std::uint64_t high = static_cast<std::uint64_t>(factor >> 64);
    std::array<std::uint64_t, kLimbs> out{};
    for (std::size_t i = 0; i < kLimbs; ++i) {
      if (limbs_[i] == 0) continue;
      Accumulate(out, i, static_cast<UInt128>(limbs_[i]) * low);
      if (i + 1 < kLimbs) Accumulate(out, i + 1, static_cast<UInt128>(limbs_[i]) * high);
    }
    limbs_ = out;
    return *this;
  }

  // -1, 0 or 1.
  friend int Compare(const WideUnsigned& a, const WideUnsigned& b) {
    for (std::size_t i = kLimbs; i-- > 0;) {
      if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
    }
    return 0;
  }

 private:
  static constexpr std::size_t kLimbs = 8;

  // Adds `value` at limb `at`, carrying upwards.
  static void Accumulate(std::array<std::uint64_t, kLimbs>& out, std::size_t at, UInt128 value) {
    for (std::size_t i = at; i < kLimbs && value != 0; ++i) {
      const UInt128 sum = static_cast<UInt128>(out[i]) + static_cast<std::uint64_t>(value);
      out[i] = static_cast<std::uint64_t>(sum);
      value = (value >> 64) + (sum >> 64);
    }
  }

  std::array<std::uint64_t, kLimbs> limbs_{};
};

// The product of the factors, in 512 bits.
inline WideUnsigned WideProduct(std::initializer_list<UInt128> factors) {
  WideUnsigned product(1);
  for (const UInt128 factor : factors) product *= factor;
  return product;
}

// -1, 0 or 1 as the product of `left` is less than, equal to or greater
// than the product of `right`.
inline int CompareProducts(std::initializer_list<UInt128> left,
                           std::initializer_list<UInt128> right) {
  return Compare(WideProduct(left), WideProduct(right));
}

}  // namespace synthfactors
