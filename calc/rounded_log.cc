#include "rounded_log.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace synthfactors {
namespace {

// A double's bits and back (memcpy: not every target's library has
// std::bit_cast).
std::uint64_t BitsOf(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// An unevaluated sum hi + lo with |lo| <= half an ulp of hi: about 106 bits.
struct Double2 {
  double hi;
  double lo;
};

// a + b exactly, for any a and b (Knuth).
Double2 TwoSum(double a, double b) {
  const double s = a + b;
  const double b_part = s - a;
  const double err = (a - (s - b_part)) + (b - b_part);
  return {s, err};
}

// a + b exactly, for |a| >= |b| (Dekker).
Double2 QuickTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a * b exactly, without a fused multiply-add (Dekker's split into halves).
Double2 TwoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1
  const double p = a * b;
  const double a_scaled = kSplitter * a, b_scaled = kSplitter * b;
  const double a_hi = a_scaled - (a_scaled - a), a_lo = a - a_hi;
  const double b_hi = b_scaled - (b_scaled - b), b_lo = b - b_hi;
  const double err = ((a_hi * b_hi - p) + a_hi * b_lo + a_lo * b_hi) + a_lo * b_lo;
  return {p, err};
}

Double2 Add(Double2 a, Double2 b) {
  Double2 s = TwoSum(a.hi, b.hi);
  const Double2 t = TwoSum(a.lo, b.lo);
  s = QuickTwoSum(s.hi, s.lo + t.hi);
  return QuickTwoSum(s.hi, s.lo + t.lo);
}

Double2 Negate(Double2 a) { return {-a.hi, -a.lo}; }

Double2 Multiply(Double2 a, Double2 b) {
  const Double2 p = TwoProduct(a.hi, b.hi);
  return QuickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Double2 Divide(Double2 a, Double2 b) {
  const double q1 = a.hi / b.hi;
  Double2 r = Add(a, Negate(Multiply(b, {q1, 0})));
  const double q2 = r.hi / b.hi;
  r = Add(r, Negate(Multiply(b, {q2, 0})));
  const double q3 = r.hi / b.hi;
  return Add(QuickTwoSum(q1, q2), {q3, 0});
}

// Constants to 106 bits (log2 10 to 160), from an 80-digit decimal
// evaluation.
constexpr Double2 kLog10OfE{0x1.bcb7b1526e50ep-2, 0x1.95355baaafad3p-57};
constexpr Double2 kLog10Of2{0x1.34413509f79ffp-2, -0x1.9dc1da994fd21p-59};
constexpr Double2 kLn2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr double kLog2Of10[3] = {0x1.a934f0979a371p+1, 0x1.7f2495fb7fa6dp-53,
                                 0x1.fb699b2d8abfcp-107};

// 1 / (2k + 1) and 1 / k!, the series' coefficients, worked out once.
constexpr int kAtanhTerms = 24, kExpTerms = 32;

const std::array<Double2, kAtanhTerms>& OddReciprocals() {
  static const auto table = [] {
    std::array<Double2, kAtanhTerms> reciprocals{};
    for (int k = 0; k < kAtanhTerms; ++k) reciprocals[k] = Divide({1, 0}, {2.0 * k + 1, 0});
    return reciprocals;
  }();
  return table;
}

const std::array<Double2, kExpTerms + 1>& FactorialReciprocals() {
  static const auto table = [] {
    std::array<Double2, kExpTerms + 1> reciprocals{};
    reciprocals[0] = {1, 0};
    for (std::size_t k = 1; k < reciprocals.size(); ++k) {
      reciprocals[k] = Divide(reciprocals[k - 1], {static_cast<double>(k), 0});
    }
    return reciprocals;
  }();
  return table;
}

// ln(m) = 2 atanh(s), s = (m - c) / (m + c), for m near c: the series
// 2 (s + s^3/3 + s^5/5 + ...) plus ln(c), with `terms` odd powers.
Double2 AtanhSeries(Double2 s, int terms) {
  const auto& coefficients = OddReciprocals();
  const Double2 s2 = Multiply(s, s);
  Double2 sum = coefficients[terms - 1];
  for (int k = terms - 2; k >= 0; --k) sum = Add(Multiply(sum, s2), coefficients[k]);
  const Double2 series = Multiply(sum, s);
  return {2 * series.hi, 2 * series.lo};
}

// e^z = 1 + z + z^2/2! + ..., with `terms` powers after the 1.
Double2 ExpSeries(Double2 z, int terms) {
  const auto& coefficients = FactorialReciprocals();
  Double2 sum = coefficients[terms];
  for (int k = terms - 1; k >= 0; --k) sum = Add(Multiply(sum, z), coefficients[k]);
  return sum;
}

// The two series near a node, where the argument is small: the leading
// terms in double-double, the rest (below 2^-60 of the sum) in doubles,
// which hold them to far below 2^-100 of it. A quarter of the work of the
// full series.
Double2 AtanhNearNode(Double2 s) {  // |s| < 0.0056
  const auto& coefficients = OddReciprocals();
  const Double2 s2 = Multiply(s, s);
  double tail = coefficients[7].hi;  // 1/15 + s^2 (...) from 1/9 on
  for (int k = 6; k >= 4; --k) tail = tail * s2.hi + coefficients[k].hi;
  Double2 sum = Add(coefficients[3], {tail * s2.hi, 0});
  for (int k = 2; k >= 0; --k) sum = Add(Multiply(sum, s2), coefficients[k]);
  const Double2 series = Multiply(sum, s);
  return {2 * series.hi, 2 * series.lo};
}

Double2 ExpNearZero(Double2 z) {  // |z| < 0.0055
  const auto& coefficients = FactorialReciprocals();
  double tail = coefficients[12].hi;  // 1/7! + z/8! + ... + z^5/12!
  for (int k = 11; k >= 7; --k) tail = tail * z.hi + coefficients[k].hi;
  Double2 sum = Add(coefficients[6], {tail * z.hi, 0});
  for (int k = 5; k >= 0; --k) sum = Add(Multiply(sum, z), coefficients[k]);
  return sum;
}

// The mantissa is reduced to [1/sqrt 2, sqrt 2] and then to within 1/128 of
// a node c = j/64; ln(c) for every node, worked out once by the series
// (|s| <= 0.18 there, so 24 terms reach 2^-110).
constexpr int kNodesPerUnit = 64;
constexpr int kFirstNode = 45, kLastNode = 91;  // 0.703 ... 1.422

const std::array<Double2, kLastNode - kFirstNode + 1>& LnOfNodes() {
  static const auto table = [] {
    std::array<Double2, kLastNode - kFirstNode + 1> ln{};
    for (int j = kFirstNode; j <= kLastNode; ++j) {
      const double c = static_cast<double>(j) / kNodesPerUnit;
      ln[j - kFirstNode] = AtanhSeries(Divide({c - 1, 0}, TwoSum(c, 1)), kAtanhTerms);
    }
    return ln;
  }();
  return table;
}

// 2^(j/64) for j = 0 ... 63, worked out once by the exponential series of
// j/64 ln 2 (at most 0.69, so 32 terms reach 2^-110).
const std::array<Double2, kNodesPerUnit>& PowersOfTwoOverNodes() {
  static const auto table = [] {
    std::array<Double2, kNodesPerUnit> powers{};
    for (int j = 0; j < kNodesPerUnit; ++j) {
      powers[j] = ExpSeries(Multiply(kLn2, {static_cast<double>(j) / kNodesPerUnit, 0}), kExpTerms);
    }
    return powers;
  }();
  return table;
}

double PowerOfTwo(int exponent) {  // normal exponents only
  return FromBits(static_cast<std::uint64_t>(exponent + 1023) << 52);
}

// value * 2^exponent with one rounding, for |exponent| up to 2100.
double Scale(double value, int exponent) {
  const int first = exponent / 2;
  return value * PowerOfTwo(first) * PowerOfTwo(exponent - first);
}

}  // namespace

double Log10(double x) {
  if (std::isnan(x) || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (std::isinf(x)) return x;
  // x = m * 2^e with m in [1/sqrt 2, sqrt 2].
  int e = 0;
  if (x < std::numeric_limits<double>::min()) {
    x *= PowerOfTwo(54);
    e = -54;
  }
  const auto bits = BitsOf(x);
  e += static_cast<int>(bits >> 52) - 1023;
  double m = FromBits((bits & 0x000f'ffff'ffff'ffffULL) | 0x3ff0'0000'0000'0000ULL);
  if (m > 1.4142135623730951) {
    m /= 2;
    ++e;
  }
  const int j = static_cast<int>(std::lround(m * kNodesPerUnit));
  const double c = static_cast<double>(j) / kNodesPerUnit;
  // m - c is exact (both lie within a factor two, Sterbenz); |s| < 0.0056,
  // so eight terms reach 2^-110.
  const Double2 s = Divide({m - c, 0}, TwoSum(m, c));
  const Double2 ln_m = Add(LnOfNodes()[j - kFirstNode], AtanhNearNode(s));
  return Add(Multiply({static_cast<double>(e), 0}, kLog10Of2), Multiply(ln_m, kLog10OfE)).hi;
}

double Exp10(double y) {
  if (std::isnan(y)) return y;
  // Beyond these the result is +inf or +0 whatever the rounding.
  if (y > 309) return std::numeric_limits<double>::infinity();
  if (y < -330) return 0;
  // 10^y = 2^t, t = y log2(10) = k + j/64 + r with |r| <= 1/128. The
  // product with the three-part constant keeps r exact to far below 2^-106
  // even where t is near 1100 in size.
  const Double2 p1 = TwoProduct(y, kLog2Of10[0]);
  const Double2 p2 = TwoProduct(y, kLog2Of10[1]);
  const double p3 = y * kLog2Of10[2];
  const double nodes = std::floor(p1.hi * kNodesPerUnit + 0.5);
  // p1.hi - nodes/64 is exact: nodes/64 is a multiple of p1.hi's ulp, and
  // the difference is at most 1/128 where nodes is not 0.
  const Double2 r = Add(Add({p1.hi - nodes / kNodesPerUnit, 0}, {p1.lo, 0}), Add(p2, {p3, 0}));
  const auto node = static_cast<std::int64_t>(nodes);
  const auto k = static_cast<int>(node >= 0 ? node / kNodesPerUnit
                                            : -((-node + kNodesPerUnit - 1) / kNodesPerUnit));
  const auto j = static_cast<int>(node - static_cast<std::int64_t>(k) * kNodesPerUnit);
  // 2^r = e^(r ln 2), |r ln 2| < 0.0055: twelve terms reach 2^-110.
  const Double2 power = Multiply(PowersOfTwoOverNodes()[j], ExpNearZero(Multiply(r, kLn2)));
  return Scale(power.hi, k);
}

}  // namespace synthfactors
