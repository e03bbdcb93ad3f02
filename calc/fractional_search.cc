#include "fractional_search.h"

#include <algorithm>
#include <cmath>

namespace synthfactors {
namespace {

// |a| as an unsigned 128-bit value, for comparing products.
UInt128 Magnitude(Int128 a) { return static_cast<UInt128>(a < 0 ? -a : a); }

// The spur's offset is f_cmp x spur / Q = ref x spur / (Q x R); ref is
// common, so compare spur / (Q x R).
bool SpurFurther(const FractionalSetting& a, const FractionalSetting& b) {
  const Int128 ma = a.spur, mb = b.spur;
  return ma * b.q * b.r > mb * a.q * a.r;
}
bool SpurEqual(const FractionalSetting& a, const FractionalSetting& b) {
  const Int128 ma = a.spur, mb = b.spur;
  return ma * b.q * b.r == mb * a.q * a.r;
}

// The error is |error_num| / (Q x B) x ref / R: compare |e| / (Q x R).
int CompareError(const FractionalSetting& a, const FractionalSetting& b) {
  const UInt128 left = Magnitude(a.error_num) * static_cast<UInt128>(b.q * b.r);
  const UInt128 right = Magnitude(b.error_num) * static_cast<UInt128>(a.q * a.r);
  return left < right ? -1 : left > right ? 1 : 0;
}

// Whether `a` is the better choice (see the header).
bool Better(const FractionalSetting& a, const FractionalSetting& b) {
  if (a.on_frequency != b.on_frequency) return a.on_frequency;
  if (!a.on_frequency) {
    if (const int c = CompareError(a, b); c != 0) return c < 0;
  }
  const bool a_integer = a.p == 0, b_integer = b.p == 0;
  if (a_integer != b_integer) return a_integer;
  if (!a_integer && !SpurEqual(a, b)) return SpurFurther(a, b);
  return a.r < b.r;
}

// The setting of R, given floor(t(R)) as `whole` and the rest of t(R) x B
// as `rest` (the loop steps both from one R to the next without dividing).
std::optional<FractionalSetting> Evaluate(const FractionalSearchInputs& in, std::int64_t r,
                                          Int128 whole, Int128 rest) {
  const Int128 b = in.t_unit.den;
  FractionalSetting c;
  c.r = r;
  Int128 integer = whole;
  SmallFraction chosen;
  if (rest != 0) {
    chosen = BestFraction64(static_cast<std::uint64_t>(rest), static_cast<std::uint64_t>(b),
                            in.max_mod);
  }
  if (chosen.p == chosen.q && chosen.p != 0) {  // rounds to 1: carries into INT
    ++integer;
    chosen = SmallFraction{};
  }
  if (static_cast<double>(integer) < in.min_int || static_cast<double>(integer) > in.max_int) {
    return std::nullopt;
  }
  c.integer = static_cast<std::int64_t>(integer);
  c.p = static_cast<std::int64_t>(chosen.p);
  c.q = static_cast<std::int64_t>(chosen.q);
  c.spur = std::min(c.p, c.q - c.p);
  if (c.p != 0 && in.divided_by > 1) {
    // With divided feedback the VCO itself, D x (INT + P/Q) x f_cmp, may lie
    // nearer an integer boundary: the smaller distance is the spur.
    const auto vco_rest = static_cast<std::int64_t>((Int128{in.divided_by} * c.p) % c.q);
    const std::int64_t vco_spur = std::min(vco_rest, c.q - vco_rest);
    if (vco_spur > 0) c.spur = std::min(c.spur, vco_spur);
  }
  // (INT + P/Q - t) x Q x B = ((INT - whole) Q + P) B - rest Q
  Int128 left = 0, right = 0;
  if (__builtin_mul_overflow((integer - whole) * c.q + c.p, b, &left) ||
      __builtin_mul_overflow(rest, static_cast<Int128>(c.q), &right)) {
    return std::nullopt;
  }
  c.error_num = left - right;
  if (in.tolerance_hz <= 0) {
    c.on_frequency = c.error_num == 0;
  } else {
    const long double error_hz =
        std::fabs(static_cast<long double>(c.error_num)) /
        (static_cast<long double>(c.q) * static_cast<long double>(b)) *
        static_cast<long double>(in.hz_per_t_unit.num) /
        static_cast<long double>(in.hz_per_t_unit.den) / static_cast<long double>(r);
    c.on_frequency = error_hz <= in.tolerance_hz;
  }
  return c;
}

// The first r of [from, to] where `reached` holds, or to + 1: `reached`
// must hold from some r on.
template <typename Predicate>
std::int64_t FirstWhere(std::int64_t from, std::int64_t to, Predicate reached) {
  std::int64_t low = from, high = to + 1;
  while (low < high) {
    const std::int64_t middle = low + (high - low) / 2;
    if (reached(middle)) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

}  // namespace

double SpurOffsetKHz(const FractionalSearchInputs& in, const FractionalSetting& setting) {
  const double ref_khz = in.ref_mhz * 1000;
  return ref_khz / static_cast<double>(setting.r) * static_cast<double>(setting.spur) /
         static_cast<double>(setting.q);
}

FractionalSearchResult SearchFractional(const FractionalSearchInputs& in) {
  FractionalSearchResult result;
  const Int128 a = in.t_unit.num, b = in.t_unit.den;
  // The comparison frequency falls as R grows, so the R whose comparison
  // lies in the window are one run, found by halving.
  const auto comparison_khz = [&](std::int64_t r) {
    return in.ref_mhz / static_cast<double>(r) * 1000;
  };
  const std::int64_t window_first = FirstWhere(
      in.first_r, in.last_r, [&](std::int64_t r) { return comparison_khz(r) <= in.upper_khz; });
  const std::int64_t window_end = FirstWhere(
      in.first_r, in.last_r, [&](std::int64_t r) { return comparison_khz(r) < in.lower_khz; });
  if (window_first >= window_end) {
    result.why = NoFractionalSetting::kNoRInWindow;
    return result;
  }
  // t(R) x B = A R as whole + rest / B, stepped by A / B from one R to the
  // next.
  Int128 first_ar = 0;
  if (__builtin_mul_overflow(a, static_cast<Int128>(window_first), &first_ar)) {
    result.why = NoFractionalSetting::kTooManyDigits;
    return result;
  }
  Int128 whole = first_ar / b, rest = first_ar % b;
  const Int128 step_whole = a / b, step_rest = a % b;

  std::optional<FractionalSetting> best;
  std::optional<double> furthest_dropped;
  // Once a spur on frequency lies further than half the comparison
  // frequency, no later R (a lower comparison frequency) can place one
  // further: only an exact integer-mode setting can still win.
  bool integer_only = false;
  for (std::int64_t r = window_first; r < window_end; ++r) {
    if (r > window_first) {
      whole += step_whole;
      rest += step_rest;
      if (rest >= b) {
        rest -= b;
        ++whole;
      }
    }
    if (integer_only && rest != 0) continue;
    const std::optional<FractionalSetting> c = Evaluate(in, r, whole, rest);
    if (!c) continue;
    if (c->p != 0 && in.spur_clear_khz && SpurOffsetKHz(in, *c) < *in.spur_clear_khz) {
      const double spur = SpurOffsetKHz(in, *c);
      if (!furthest_dropped || spur > *furthest_dropped) furthest_dropped = spur;
      continue;
    }
    if (!best || Better(*c, *best)) best = c;
    // Nothing beats an exact integer-mode setting at the highest comparison.
    if (best->on_frequency && best->p == 0) break;
    if (best->on_frequency && in.tolerance_hz <= 0 &&
        comparison_khz(r) / 2 < SpurOffsetKHz(in, *best) * (1 - 1e-9)) {
      integer_only = true;
    }
  }
  if (best) {
    result.setting = best;
  } else if (furthest_dropped) {
    result.why = NoFractionalSetting::kSpurTooNear;
    result.furthest_dropped_khz = *furthest_dropped;
  } else {
    result.why = NoFractionalSetting::kNoInt;
  }
  return result;
}

}  // namespace synthfactors
