#include "portable_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

// The reductions and polynomial coefficients are those of fdlibm (Sun
// Microsystems, 1993: "Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice is preserved."),
// as kept in FreeBSD's msun; the code is this program's own.

namespace synthfactors {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

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

std::uint32_t HighWord(double value) { return static_cast<std::uint32_t>(BitsOf(value) >> 32); }

double WithHighWord(double value, std::uint32_t high) {
  return FromBits((std::uint64_t{high} << 32) | (BitsOf(value) & 0xffffffffU));
}

constexpr double kLn2Hi = 6.93147180369123816490e-01;  // 32 bits: k * kLn2Hi is exact
constexpr double kLn2Lo = 1.90821492927058770002e-10;

// The edge values of the logarithms; false where x needs the reduction.
bool LnEdge(double x, double& result) {
  if (std::isnan(x) || x < 0) {
    result = kNaN;
  } else if (x == 0) {
    result = -kInf;
  } else if (x == kInf) {
    result = kInf;
  } else {
    return false;
  }
  return true;
}

// A positive finite x as 2^k times its significand: the exponent and the
// high word with the exponent bits cleared (subnormals scaled first).
struct Binade {
  int k;
  std::uint32_t high;  // the significand's 20 high bits
  double x;            // x, scaled by 2^54 if it was subnormal
};

Binade BinadeOf(double x) {
  int k = 0;
  std::uint32_t hx = HighWord(x);
  if (hx < 0x00100000U) {
    k -= 54;
    x *= 18014398509481984.0;  // 2^54
    hx = HighWord(x);
  }
  k += static_cast<int>(hx >> 20) - 1023;
  return {k, hx & 0x000fffffU, x};
}

}  // namespace

double Ln(double x) {
  double edge = 0;
  if (LnEdge(x, edge)) return edge;
  // x = 2^k * (1 + f) with sqrt(2)/2 <= 1 + f < sqrt(2); ln(1 + f) from
  // s = f / (2 + f) and a polynomial in s^2.
  Binade b = BinadeOf(x);
  const std::uint32_t hx = b.high;
  const std::uint32_t i = (hx + 0x95f64U) & 0x100000U;
  x = WithHighWord(b.x, hx | (i ^ 0x3ff00000U));
  const int k = b.k + static_cast<int>(i >> 20);
  const double f = x - 1.0;
  const double dk = k;
  if ((0x000fffffU & (2 + hx)) < 3) {  // -2^-20 <= f < 2^-20
    if (f == 0) return k == 0 ? 0.0 : dk * kLn2Hi + dk * kLn2Lo;
    const double r = f * f * (0.5 - 0.33333333333333333 * f);
    if (k == 0) return f - r;
    return dk * kLn2Hi - ((r - dk * kLn2Lo) - f);
  }
  constexpr double kLg1 = 6.666666666666735130e-01, kLg2 = 3.999999999940941908e-01,
                   kLg3 = 2.857142874366239149e-01, kLg4 = 2.222219843214978396e-01,
                   kLg5 = 1.818357216161805012e-01, kLg6 = 1.531383769920937332e-01,
                   kLg7 = 1.479819860511658591e-01;
  const double s = f / (2.0 + f);
  const double z = s * s;
  const double w = z * z;
  const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  const double r = t2 + t1;
  const std::int32_t above = static_cast<std::int32_t>(hx) - 0x6147a;
  const std::int32_t below = 0x6b851 - static_cast<std::int32_t>(hx);
  if ((above | below) > 0) {  // 1 + f far enough from 1 for half f^2 apart
    const double hfsq = 0.5 * f * f;
    if (k == 0) return f - (hfsq - s * (hfsq + r));
    return dk * kLn2Hi - ((hfsq - (s * (hfsq + r) + dk * kLn2Lo)) - f);
  }
  if (k == 0) return f - s * (f - r);
  return dk * kLn2Hi - ((s * (f - r) - dk * kLn2Lo) - f);
}

double Log10Fast(double x) {
  double edge = 0;
  if (LnEdge(x, edge)) return edge;
  // log10(x) = n * log10(2) + log10(m), x = 2^n * m with m in [1, 2) (or in
  // [1/2, 1) for x below 1): the first part exact in its high half.
  constexpr double kInvLn10 = 4.34294481903251816668e-01;
  constexpr double kLog10Of2Hi = 3.01029995663611771306e-01;
  constexpr double kLog10Of2Lo = 3.69423907715893078616e-13;
  const Binade b = BinadeOf(x);
  const std::uint32_t below_one = b.k < 0 ? 1U : 0U;
  const double m = WithHighWord(b.x, b.high | ((0x3ffU - below_one) << 20));
  const double y = b.k + static_cast<int>(below_one);
  const double z = y * kLog10Of2Lo + kInvLn10 * Ln(m);
  return z + y * kLog10Of2Hi;
}

double Exp(double x) {
  constexpr double kOverflow = 7.09782712893383973096e+02;
  constexpr double kUnderflow = -7.45133219101941108420e+02;
  constexpr double kInvLn2 = 1.44269504088896338700e+00;
  constexpr double kP1 = 1.66666666666666019037e-01, kP2 = -2.77777777770155933842e-03,
                   kP3 = 6.61375632143793436117e-05, kP4 = -1.65339022054652515390e-06,
                   kP5 = 4.13813679705723846039e-08;
  if (std::isnan(x)) return x;
  if (x > kOverflow) return kInf;
  if (x < kUnderflow) return 0.0;
  const double ax = std::fabs(x);
  double hi = 0, lo = 0;
  int k = 0;
  if (ax > 0.5 * 0.6931471805599453) {
    if (ax < 1.5 * 0.6931471805599453) {
      k = x < 0 ? -1 : 1;
      hi = x - k * kLn2Hi;
      lo = k * kLn2Lo;
    } else {
      k = static_cast<int>(kInvLn2 * x + (x < 0 ? -0.5 : 0.5));
      const double dk = k;
      hi = x - dk * kLn2Hi;
      lo = dk * kLn2Lo;
    }
    x = hi - lo;
  } else if (ax < 3.725290298461914e-09) {  // 2^-28
    return 1.0 + x;
  }
  const double t = x * x;
  const double c = x - t * (kP1 + t * (kP2 + t * (kP3 + t * (kP4 + t * kP5))));
  if (k == 0) return 1.0 - ((x * c) / (c - 2.0) - x);
  const double y = 1.0 - ((lo - (x * c) / (2.0 - c)) - hi);
  return std::ldexp(y, k);  // exact but for a subnormal result's one rounding
}

double Atan(double x) {
  constexpr double kAtanHi[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01,
                                9.82793723247329054082e-01, 1.57079632679489655800e+00};
  constexpr double kAtanLo[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17,
                                1.39033110312309984516e-17, 6.12323399573676603587e-17};
  constexpr double kAT[] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01,
                            1.42857142725034663711e-01,  -1.11111104054623557880e-01,
                            9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                            6.66107313738753120669e-02,  -5.83357013379057348645e-02,
                            4.97687799461593236017e-02,  -3.65315727442169155270e-02,
                            1.62858201153657823623e-02};
  if (std::isnan(x)) return x;
  const bool negative = std::signbit(x);
  const std::uint32_t ix = HighWord(x) & 0x7fffffffU;
  if (ix >= 0x44100000U) {  // |x| >= 2^66, or inf
    const double z = kAtanHi[3] + kAtanLo[3];
    return negative ? -z : z;
  }
  int id = -1;
  if (ix < 0x3fdc0000U) {               // |x| < 0.4375
    if (ix < 0x3e400000U) return x;     // |x| < 2^-27
  } else {
    x = std::fabs(x);
    if (ix < 0x3ff30000U) {             // |x| < 1.1875
      if (ix < 0x3fe60000U) {           // 7/16 <= |x| < 11/16
        id = 0;
        x = (2.0 * x - 1.0) / (2.0 + x);
      } else {                          // 11/16 <= |x| < 19/16
        id = 1;
        x = (x - 1.0) / (x + 1.0);
      }
    } else if (ix < 0x40038000U) {      // |x| < 2.4375
      id = 2;
      x = (x - 1.5) / (1.0 + 1.5 * x);
    } else {                            // 2.4375 <= |x| < 2^66
      id = 3;
      x = -1.0 / x;
    }
  }
  const double z = x * x;
  const double w = z * z;
  const double s1 =
      z * (kAT[0] + w * (kAT[2] + w * (kAT[4] + w * (kAT[6] + w * (kAT[8] + w * kAT[10])))));
  const double s2 = w * (kAT[1] + w * (kAT[3] + w * (kAT[5] + w * (kAT[7] + w * kAT[9]))));
  if (id < 0) return x - x * (s1 + s2);
  const double result = kAtanHi[id] - ((x * (s1 + s2) - kAtanLo[id]) - x);
  return negative ? -result : result;
}

namespace {

// sin and cos of x + y, |x + y| <= pi/4, y a tail below half an ulp of x.
double KernelSin(double x, double y) {
  constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                   kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                   kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;
  const double z = x * x;
  const double v = z * x;
  const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)));
  if (y == 0) return x + v * (kS1 + z * r);
  return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

double KernelCos(double x, double y) {
  constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                   kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                   kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;
  const double z = x * x;
  const double w4 = z * z;
  const double r = z * (kC1 + z * (kC2 + z * kC3)) + w4 * w4 * (kC4 + z * (kC5 + z * kC6));
  const double hz = 0.5 * z;
  const double w = 1.0 - hz;
  return w + (((1.0 - w) - hz) + (z * r - x * y));
}

// x - n * pi/2 as y0 + y1 with |y0 + y1| <= pi/4 (nearly), for
// |x| <= 2^20 * pi/2: pi/2 in three 33-bit parts, the later ones used only
// where the earlier ones cancel most of x (Cody and Waite).
int ReduceByHalfPi(double x, double& y0, double& y1) {
  constexpr double kInvHalfPi = 6.36619772367581382433e-01;
  constexpr double kHalfPi1 = 1.57079632673412561417e+00, kHalfPi1Tail = 6.07710050650619224932e-11;
  constexpr double kHalfPi2 = 6.07710050630396597660e-11, kHalfPi2Tail = 2.02226624879595063154e-21;
  constexpr double kHalfPi3 = 2.02226624871116645580e-21, kHalfPi3Tail = 8.47842766036889956997e-32;
  constexpr double kRoundToInt = 6755399441055744.0;  // 1.5 * 2^52
  const double fn = (x * kInvHalfPi + kRoundToInt) - kRoundToInt;
  const int n = static_cast<int>(fn);
  double r = x - fn * kHalfPi1;
  double w = fn * kHalfPi1Tail;
  y0 = r - w;
  const int exponent = static_cast<int>((HighWord(x) >> 20) & 0x7ff);
  auto exponent_of = [](double v) { return static_cast<int>((HighWord(v) >> 20) & 0x7ff); };
  if (exponent - exponent_of(y0) > 16) {
    double t = r;
    w = fn * kHalfPi2;
    r = t - w;
    w = fn * kHalfPi2Tail - ((t - r) - w);
    y0 = r - w;
    if (exponent - exponent_of(y0) > 49) {
      t = r;
      w = fn * kHalfPi3;
      r = t - w;
      w = fn * kHalfPi3Tail - ((t - r) - w);
      y0 = r - w;
    }
  }
  y1 = (r - y0) - w;
  return n;
}

}  // namespace

SineCosine SinCos(double x) {
  if (!(std::fabs(x) <= kSinCosLimit)) return {kNaN, kNaN};
  if (std::fabs(x) <= 0.7853981633974483) {  // pi/4
    if (std::fabs(x) < 7.450580596923828e-09) return {x, 1.0};  // 2^-27
    return {KernelSin(x, 0), KernelCos(x, 0)};
  }
  double y0 = 0, y1 = 0;
  const int n = ReduceByHalfPi(x, y0, y1);
  const double s = KernelSin(y0, y1), c = KernelCos(y0, y1);
  switch (n & 3) {
    case 0: return {s, c};
    case 1: return {c, -s};
    case 2: return {-s, -c};
    default: return {-c, s};
  }
}

}  // namespace synthfactors
