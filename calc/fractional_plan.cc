#include "fractional_plan.h"

#include <cmath>
#include <limits>
#include <numeric>

#include "wide_product.h"

namespace synthfactors {
namespace {


Int128 Abs(Int128 x) { return x < 0 ? -x : x; }

Int128 Gcd(Int128 a, Int128 b) {
  a = Abs(a);
  b = Abs(b);
  constexpr Int128 kWide = static_cast<Int128>(std::numeric_limits<std::uint64_t>::max());
  if (a <= kWide && b <= kWide) {  // most figures fit 64 bits, whose division is far cheaper
    auto x = static_cast<std::uint64_t>(a), y = static_cast<std::uint64_t>(b);
    while (y != 0) {
      const std::uint64_t t = x % y;
      x = y;
      y = t;
    }
    return static_cast<Int128>(x);
  }
  while (b != 0) {
    const Int128 t = a % b;
    a = b;
    b = t;
  }
  return a;
}

bool MulOverflows(Int128 a, Int128 b, Int128& out) { return __builtin_mul_overflow(a, b, &out); }
bool AddOverflows(Int128 a, Int128 b, Int128& out) { return __builtin_add_overflow(a, b, &out); }

int BitLength(UInt128 x) {
  int bits = 0;
  while (x != 0) {
    ++bits;
    x >>= 1;
  }
  return bits;
}

}  // namespace

std::optional<Rational> MakeRational(Int128 num, Int128 den) {
  if (den == 0) return std::nullopt;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  const Int128 g = Gcd(num, den);
  if (g > 1) {
    num /= g;
    den /= g;
  }
  return Rational{num, den};
}

std::optional<Rational> Add(const Rational& a, const Rational& b) {
  const Int128 g = Gcd(a.den, b.den);
  Int128 left = 0, right = 0, sum = 0, den = 0;
  if (MulOverflows(a.num, b.den / g, left) || MulOverflows(b.num, a.den / g, right) ||
      AddOverflows(left, right, sum) || MulOverflows(a.den / g, b.den, den)) {
    return std::nullopt;
  }
  return MakeRational(sum, den);
}

std::optional<Rational> Sub(const Rational& a, const Rational& b) {
  return Add(a, Rational{-b.num, b.den});
}

std::optional<Rational> Mul(const Rational& a, const Rational& b) {
  // Cross-reduce first, so that products stay small.
  const Int128 g1 = Gcd(a.num, b.den), g2 = Gcd(b.num, a.den);
  const Int128 an = g1 > 1 ? a.num / g1 : a.num, bd = g1 > 1 ? b.den / g1 : b.den;
  const Int128 bn = g2 > 1 ? b.num / g2 : b.num, ad = g2 > 1 ? a.den / g2 : a.den;
  Int128 num = 0, den = 0;
  if (MulOverflows(an, bn, num) || MulOverflows(ad, bd, den)) return std::nullopt;
  return MakeRational(num, den);
}

std::optional<Rational> Div(const Rational& a, const Rational& b) {
  if (b.num == 0) return std::nullopt;
  return Mul(a, Rational{b.num < 0 ? -b.den : b.den, Abs(b.num)});
}

int Compare(const Rational& a, const Rational& b) {
  // Signs first; then |a.num| x b.den against |b.num| x a.den, exactly.
  const int sa = a.num < 0 ? -1 : a.num > 0 ? 1 : 0;
  const int sb = b.num < 0 ? -1 : b.num > 0 ? 1 : 0;
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  const int magnitude =
      CompareProducts({static_cast<UInt128>(Abs(a.num)), static_cast<UInt128>(b.den)},
                      {static_cast<UInt128>(Abs(b.num)), static_cast<UInt128>(a.den)});
  return sa > 0 ? magnitude : -magnitude;
}

bool Less(const Rational& a, const Rational& b) { return Compare(a, b) < 0; }

double NearestDouble(const Rational& value) {
  if (value.num == 0) return 0.0;
  const bool negative = value.num < 0;
  const UInt128 d = static_cast<UInt128>(value.den);
  // The quotient to 55 bits (53, a guard bit and one more) by long
  // division, the remainder kept as a sticky bit: then one rounding.
  UInt128 q = static_cast<UInt128>(Abs(value.num)) / d;
  UInt128 r = static_cast<UInt128>(Abs(value.num)) % d;
  int exponent = 0;
  bool sticky = false;
  if (BitLength(q) > 55) {
    const int extra = BitLength(q) - 55;
    sticky = (q & ((UInt128{1} << extra) - 1)) != 0 || r != 0;
    q >>= extra;
    exponent = extra;
  } else {
    while (BitLength(q) < 55) {  // r < d < 2^127: doubling it stays below 2^128
      r <<= 1;
      q <<= 1;
      if (r >= d) {
        r -= d;
        q |= 1;
      }
      --exponent;
    }
    sticky = r != 0;
  }
  // q has 55 bits; keep 53 with round-half-even on the rest.
  constexpr int kExtra = 2;
  const UInt128 half = UInt128{1} << (kExtra - 1);
  const UInt128 rest = q & ((UInt128{1} << kExtra) - 1);
  q >>= kExtra;
  if (rest > half || (rest == half && (sticky || (q & 1) != 0))) ++q;
  const double result = std::ldexp(static_cast<double>(q), exponent + kExtra);
  return negative ? -result : result;
}

std::optional<Rational> DecimalRational(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  Int128 digits = 0;
  int scale = 0, count = 0;
  bool point = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      if (digits == 0 && c == '0' && !point) continue;  // leading zeros
      if (++count > 30) return std::nullopt;            // more digits than exactness can hold
      digits = digits * 10 + (c - '0');
      if (point) ++scale;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  int exponent = 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t e = at + 1;
    bool e_negative = false;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) e_negative = text[e++] == '-';
    int value = 0;
    bool any = false;
    for (; e < text.size() && text[e] >= '0' && text[e] <= '9'; ++e) {
      any = true;
      if (value < 100) value = value * 10 + (text[e] - '0');
    }
    if (any) exponent = e_negative ? -value : value;
  }
  scale -= exponent;
  Int128 num = negative ? -digits : digits, den = 1;
  for (; scale > 0; --scale) {
    if (MulOverflows(den, 10, den)) return std::nullopt;
  }
  for (; scale < 0; ++scale) {
    if (MulOverflows(num, 10, num)) return std::nullopt;
  }
  return MakeRational(num, den);
}

Rational BestFraction(const Rational& x, std::int64_t most) {
  if (x.den <= most) return x;
  // The continued fraction of x, convergent by convergent, until the next
  // denominator would pass `most`; then the better of the last convergent
  // and the best semiconvergent (on a tie the convergent, whose
  // denominator is the smaller).
  Int128 p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  Int128 n = x.num, d = x.den;
  for (;;) {
    const Int128 a = n / d;
    const Int128 q2 = q0 + a * q1;
    if (q2 > most) break;
    const Int128 p2 = p0 + a * p1;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    const Int128 r = n - a * d;
    n = d;
    d = r;
    if (d == 0) break;
  }
  const Int128 k = (most - q0) / q1;
  const Rational semi{p0 + k * p1, q0 + k * q1};
  const Rational convergent{p1, q1};
  const auto distance = [&](const Rational& r) {
    const Rational diff = *Sub(r, x);
    return Rational{Abs(diff.num), diff.den};
  };
  return Less(distance(semi), distance(convergent)) ? semi : convergent;
}

SmallFraction BestFraction64(std::uint64_t num, std::uint64_t den, std::int64_t most) {
  // The continued fraction of num/den, convergent by convergent (each in
  // lowest terms, so no gcd is needed): it ends on the fraction itself when
  // that fits, else where the next denominator would pass `most`.
  const auto limit = static_cast<std::uint64_t>(most);
  std::uint64_t p0 = 0, q0 = 1, p1 = 1, q1 = 0;
  std::uint64_t n = num, d = den;
  if (num == 0) return {0, 1};
  if (num < den) {  // the first quotient is 0: 0/1 is the first convergent
    p0 = 1;
    q0 = 0;
    p1 = 0;
    q1 = 1;
    n = den;
    d = num;
  }
  for (;;) {
    const std::uint64_t a = n / d;
    if (a > limit) break;
    const std::uint64_t q2 = q0 + a * q1;  // q1 <= limit and a <= limit: no overflow
    if (q2 > limit) break;
    const std::uint64_t p2 = p0 + a * p1;
    p0 = p1;
    q0 = q1;
    p1 = p2;
    q1 = q2;
    const std::uint64_t r = n - a * d;
    n = d;
    d = r;
    if (d == 0) return {p1, q1};
  }
  if (q1 == 0) return {0, 1};  // num/den above `most`: not a fraction of [0, 1]
  const std::uint64_t k = (limit - q0) / q1;
  const SmallFraction semi{p0 + k * p1, q0 + k * q1};
  const SmallFraction convergent{p1, q1};
  // |p/q - num/den| compared by cross-multiplication: |p den - num q| / q.
  const auto gap = [&](const SmallFraction& f) {
    const UInt128 left = static_cast<UInt128>(f.p) * den, right = static_cast<UInt128>(num) * f.q;
    return left > right ? left - right : right - left;
  };
  const UInt128 semi_gap = gap(semi) * convergent.q, convergent_gap = gap(convergent) * semi.q;
  return semi_gap < convergent_gap ? semi : convergent;
}

Int128 Floor(const Rational& x) {
  const Int128 q = x.num / x.den;
  return (x.num % x.den != 0 && x.num < 0) ? q - 1 : q;
}

std::optional<SmallFraction> LargestFractionAtMost(const Rational& y, std::int64_t most) {
  if (y.num < 0 || most < 1) return std::nullopt;
  // The Stern-Brocot descent between a/b <= y < c/d, each side moved by as
  // many mediant steps at once as keep it so and its denominator within
  // `most`.
  const auto yn = static_cast<UInt128>(y.num), yd = static_cast<UInt128>(y.den);
  const auto limit = static_cast<UInt128>(most);
  UInt128 a = static_cast<UInt128>(Floor(y)), b = 1, c = a + 1, d = 1;
  if (a * yd == yn) return SmallFraction{static_cast<std::uint64_t>(a), 1};
  for (;;) {
    if (b + d > limit) break;
    // a/b <= y < c/d and c*yd - yn*d > 0, yn*b - a*yd >= 0.
    const UInt128 below = yn * b - a * yd;  // y - a/b, times b*yd
    const UInt128 above = c * yd - yn * d;  // c/d - y, times d*yd
    if ((a + c) * yd <= yn * (b + d)) {
      // The lower side rises: the most k with (a + k c)/(b + k d) <= y.
      UInt128 k = below / above;
      k = std::min(k, (limit - b) / d);
      a += k * c;
      b += k * d;
      if (a * yd == yn * b) break;  // y itself
    } else {
      // The upper side falls: the most k with (c + k a)/(d + k b) > y.
      UInt128 k = (above - 1) / below;
      k = std::min(k, (limit - d) / b);
      c += k * a;
      d += k * b;
    }
  }
  return SmallFraction{static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(b)};
}

std::optional<SmallFraction> SmallestFractionAtLeast(const Rational& y, std::int64_t most) {
  // By symmetry about an integer: the smallest p/q >= y is k - the largest
  // fraction <= k - y, with k = ceil(y).
  const Int128 k = -Floor(Rational{-y.num, y.den});
  const auto mirror = LargestFractionAtMost(Rational{k * y.den - y.num, y.den}, most);
  if (!mirror) return std::nullopt;
  const auto whole = static_cast<std::uint64_t>(k);
  return SmallFraction{whole * mirror->q - mirror->p, mirror->q};
}

}  // namespace synthfactors
