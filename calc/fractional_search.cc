#include "fractional_search.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "best_kept.h"
#include "wide_product.h"

namespace synthfactors {
namespace {

UInt128 Magnitude(Int128 a) { return static_cast<UInt128>(a < 0 ? -a : a); }
UInt128 Unsigned(std::int64_t a) { return static_cast<UInt128>(a); }
UInt128 Unsigned(Int128 a) { return static_cast<UInt128>(a); }

Rational Whole(Int128 value) { return Rational{value, 1}; }

// floor(a / b) and ceil(a / b) of positive rationals; empty on overflow.
std::optional<Int128> FloorOf(const Rational& a, const Rational& b) {
  const auto q = Div(a, b);
  if (!q) return std::nullopt;
  return Floor(*q);
}
std::optional<Int128> CeilOf(const Rational& a, const Rational& b) {
  const auto q = Div(a, b);
  if (!q) return std::nullopt;
  return -Floor(Rational{-q->num, q->den});
}

// Compares the spurs of two fractional settings, spur / (Q x R) each: -1
// when a's lies nearer the carrier.
int CompareSpur(const FractionalSetting& a, const FractionalSetting& b) {
  return CompareProducts({Unsigned(a.spur), Unsigned(b.q), Unsigned(b.r)},
                         {Unsigned(b.spur), Unsigned(a.q), Unsigned(a.r)});
}

// Compares the output errors, |error| / R each.
int CompareError(const FractionalSetting& a, const FractionalSetting& b) {
  return CompareProducts({Magnitude(a.error_num), Unsigned(b.error_den), Unsigned(b.r)},
                         {Magnitude(b.error_num), Unsigned(a.error_den), Unsigned(a.r)});
}

// The rule: on frequency; then off frequency the smaller error, on
// frequency (with the noise preference) the lower noise; then integer
// mode, the further spur, the smaller R.
bool BetterByRule(const FractionalSetting& a, const FractionalSetting& b, bool noise) {
  if (a.on_frequency != b.on_frequency) return a.on_frequency;
  if (!a.on_frequency) {
    if (const int c = CompareError(a, b); c != 0) return c < 0;
  } else if (noise && a.noise != b.noise) {
    return a.noise < b.noise;
  }
  const bool a_integer = a.p == 0, b_integer = b.p == 0;
  if (a_integer != b_integer) return a_integer;
  if (!a_integer) {
    if (const int c = CompareSpur(a, b); c != 0) return c > 0;
  }
  return a.r < b.r;
}

// The gap |x - target|.
Rational Gap(const SmallFraction& x, const Rational& target) {
  const auto d = Sub(Rational{static_cast<Int128>(x.p), static_cast<Int128>(x.q)}, target);
  return d ? Rational{d->num < 0 ? -d->num : d->num, d->den} : Rational{1, 1};
}

}  // namespace

std::int64_t SpurNumerator(std::int64_t p, std::int64_t q, std::int64_t vco_per_loop) {
  if (p == 0) return 0;
  const auto rest = static_cast<std::int64_t>((Int128{vco_per_loop} * p) % q);
  return std::min(rest, q - rest);  // 0: the VCO on a multiple
}

Rational ComparisonKHz(const FractionalSearchInputs& in, std::int64_t r) {
  return Div(in.ref_khz, Whole(r)).value_or(Rational{0, 1});
}

std::optional<Rational> SpurOffsetKHz(const FractionalSearchInputs& in,
                                      const FractionalSetting& setting) {
  if (setting.p == 0) return std::nullopt;
  return Mul(ComparisonKHz(in, setting.r), Rational{setting.spur, setting.q});
}

std::optional<Rational> ErrorOf(const FractionalSetting& setting) {
  return MakeRational(setting.error_num, setting.error_den);
}

std::optional<Rational> ErrorHz(const FractionalSearchInputs& in,
                                const FractionalSetting& setting) {
  const auto error = ErrorOf(setting);
  const auto per_r = Div(in.hz_per_t_unit, Whole(setting.r));
  return error && per_r ? Mul(*error, *per_r) : std::nullopt;
}

FractionalSearch::FractionalSearch(const FractionalSearchInputs& in) : in_(in) {
  first_ = in.first_r;
  last_ = in.last_r;
  window_fits_ = true;
  if (in.upper_khz && in.upper_khz->num <= 0) {  // no comparison frequency is that low
    first_ = first_fractional_ = last_ + 1;
    return;
  }
  window_fits_ = false;
  if (in.upper_khz) {
    const auto first = CeilOf(in.ref_khz, *in.upper_khz);
    if (!first) return;
    first_ = static_cast<std::int64_t>(std::max<Int128>(first_, *first));
  }
  if (in.lower_khz.num > 0) {
    const auto last = FloorOf(in.ref_khz, in.lower_khz);
    if (!last) return;
    last_ = static_cast<std::int64_t>(std::min<Int128>(last_, *last));
  }
  first_fractional_ = first_;
  if (in.upper_fractional_khz && in.upper_fractional_khz->num <= 0) {
    first_fractional_ = last_ + 1;
  } else if (in.upper_fractional_khz) {
    const auto first = CeilOf(in.ref_khz, *in.upper_fractional_khz);
    if (!first) return;
    first_fractional_ = static_cast<std::int64_t>(std::max<Int128>(first_, *first));
  }
  window_fits_ = true;
}

std::optional<std::int64_t> FractionalSearch::First() const {
  if (!window_fits_) return std::nullopt;
  return first_;
}

std::optional<std::int64_t> FractionalSearch::Last() const {
  if (!window_fits_) return std::nullopt;
  return last_;
}

std::optional<std::int64_t> FractionalSearch::FirstWholeR() const {
  if (!window_fits_ || first_ > last_) return std::nullopt;
  // t(R) = num R / den, in lowest terms: whole where den divides R.
  const Int128 den = in_.t_unit.den;
  if (den > last_) return std::nullopt;
  const auto step = static_cast<std::int64_t>(den);
  for (std::int64_t r = (first_ + step - 1) / step * step; r <= last_; r += step) {
    const Int128 n = in_.t_unit.num * Int128{r / step};
    if (in_.integer_n.Holds(n) && Admits(r)) return r;
  }
  return std::nullopt;
}

SmallFraction FractionalSearch::NearestFraction(std::uint64_t rest, std::uint64_t b) const {
  if (in_.mod1 <= 0) return BestFraction64(rest, b, in_.max_mod);
  // rest / B x mod1 = FRAC1 + rest2 / B: FRAC2/MOD2 the nearest to rest2 / B
  // (1/1 carries into FRAC1).
  const UInt128 scaled = static_cast<UInt128>(rest) * static_cast<UInt128>(in_.mod1);
  const auto frac1 = static_cast<std::uint64_t>(scaled / b);
  const auto rest2 = static_cast<std::uint64_t>(scaled % b);
  const SmallFraction second = BestFraction64(rest2, b, in_.max_mod);
  std::uint64_t p = frac1 * second.q + second.p;
  std::uint64_t q = static_cast<std::uint64_t>(in_.mod1) * second.q;
  const std::uint64_t g = std::gcd(p, q);
  return {p / g, q / g};
}

bool FractionalSearch::Better(const FractionalSetting& a, const FractionalSetting& b) const {
  return BetterByRule(a, b, in_.noise.has_value());
}

// A setting of R: INT + P/Q against t = whole + rest / B.
FractionalSetting FractionalSearch::SettingOf(std::int64_t r, Int128 integer, std::int64_t p,
                                              std::int64_t q, Int128 whole, Int128 rest) const {
  FractionalSetting s;
  s.r = r;
  s.integer = static_cast<std::int64_t>(integer);
  s.p = p;
  s.q = q;
  s.spur = SpurNumerator(p, q, in_.vco_per_loop);
  // (INT + P/Q) - (whole + rest/B) = ((INT - whole) Q B + P B - rest Q) / (Q B)
  const Int128 b = in_.t_unit.den;
  s.error_num = ((integer - whole) * q + p) * b - rest * q;
  s.error_den = Int128{q} * b;
  // On frequency: |error| x hz / R <= the tolerance, exactly.
  s.on_frequency =
      s.error_num == 0 ||
      (in_.tolerance_hz.num > 0 &&
       CompareProducts({Magnitude(s.error_num), Unsigned(in_.hz_per_t_unit.num),
                        Unsigned(in_.tolerance_hz.den)},
                       {Unsigned(in_.tolerance_hz.num), Unsigned(s.error_den),
                        Unsigned(in_.hz_per_t_unit.den), Unsigned(r)}) <= 0);
  if (in_.noise && s.on_frequency) {
    const double n = static_cast<double>(s.integer) +
                     static_cast<double>(s.p) / static_cast<double>(s.q);
    const auto noise =
        InBandNoise(*in_.noise, NearestDouble(ComparisonKHz(in_, r)), n, in_.noise_factor);
    s.noise = noise ? noise->Total : INFINITY;
  }
  return s;
}

// The fractional setting of R within the tolerance whose spur lies
// furthest from the carrier (then the one nearer t, then the smaller Q),
// among INT = floor(t) - 1 ... floor(t) + 1. The spur dist(D x P/Q) rises
// and falls between the points j/(2D), so each piece's best fraction lies
// at its end nearer the peak.
std::optional<FractionalSetting> FractionalSearch::FurthestWithinTolerance(std::int64_t r,
                                                                           Int128 whole,
                                                                           Int128 rest) const {
  const auto delta = Div(*Mul(in_.tolerance_hz, Whole(r)), in_.hz_per_t_unit);
  const auto t = Add(Whole(whole), Rational{rest, in_.t_unit.den});
  if (!delta || !t) return std::nullopt;
  const std::int64_t twice_d = 2 * in_.vco_per_loop;
  std::optional<FractionalSetting> best;
  Rational best_gap{0, 1};
  for (Int128 k = whole - 1; k <= whole + 1; ++k) {
    if (!in_.fractional_int.Holds(k)) continue;
    const auto low = Sub(*t, *delta), high = Add(*t, *delta);
    const auto lo_k = low ? Sub(*low, Whole(k)) : std::nullopt;
    const auto hi_k = high ? Sub(*high, Whole(k)) : std::nullopt;
    const auto target = Sub(*t, Whole(k));
    if (!lo_k || !hi_k || !target) continue;
    const Rational lo = std::max(*lo_k, Rational{0, 1}, Less);
    const Rational hi = std::min(*hi_k, Rational{1, 1}, Less);
    if (Less(hi, lo)) continue;
    const Int128 first = Floor(*Mul(lo, Whole(twice_d))), last = Floor(*Mul(hi, Whole(twice_d)));
    for (Int128 j = first; j <= last; ++j) {
      const Rational piece_lo = std::max(lo, *MakeRational(j, twice_d), Less);
      const Rational piece_hi = std::min(hi, *MakeRational(j + 1, twice_d), Less);
      if (Less(piece_hi, piece_lo)) continue;
      const std::optional<SmallFraction> x = j % 2 == 0
                                                 ? LargestFractionAtMost(piece_hi, in_.max_mod)
                                                 : SmallestFractionAtLeast(piece_lo, in_.max_mod);
      if (!x || x->p == 0 || x->p >= x->q) continue;
      const Rational value{static_cast<Int128>(x->p), static_cast<Int128>(x->q)};
      if (Less(value, piece_lo) || Less(piece_hi, value)) continue;
      const FractionalSetting s = SettingOf(r, k, static_cast<std::int64_t>(x->p),
                                            static_cast<std::int64_t>(x->q), whole, rest);
      const Rational gap = Gap(*x, *target);
      int order = best ? CompareSpur(s, *best) : 1;
      if (order == 0) order = Compare(best_gap, gap);
      if (order == 0) order = best->q > s.q ? 1 : -1;
      if (order > 0) {
        best = s;
        best_gap = gap;
      }
    }
  }
  return best;
}

SettingAtR FractionalSearch::BestAt(std::int64_t r) const {
  SettingAtR at;
  const Int128 b = in_.t_unit.den;
  Int128 ar = 0;
  if (__builtin_mul_overflow(in_.t_unit.num, Int128{r}, &ar)) return at;
  const Int128 whole = ar / b, rest = ar % b;
  const auto consider = [&](const FractionalSetting& s) {
    if (s.p != 0 && in_.spur_clear_khz) {
      const auto spur = SpurOffsetKHz(in_, s);
      if (spur && Less(*spur, *in_.spur_clear_khz)) {
        if (!at.dropped_spur_khz || Less(*at.dropped_spur_khz, *spur)) at.dropped_spur_khz = spur;
        return;
      }
    }
    if (!at.setting || BetterByRule(s, *at.setting, false)) at.setting = s;
  };
  // Fractional mode, where t is not whole and the comparison allows it:
  // within the tolerance the furthest spur, else the nearest fraction.
  std::optional<FractionalSetting> fractional;
  if (rest != 0 && r >= first_fractional_) {
    if (in_.tolerance_hz.num > 0) fractional = FurthestWithinTolerance(r, whole, rest);
    if (!fractional && in_.fractional_int.Holds(whole)) {
      const SmallFraction nearest =
          NearestFraction(static_cast<std::uint64_t>(rest), static_cast<std::uint64_t>(b));
      if (nearest.p != 0 && nearest.p != nearest.q) {
        fractional = SettingOf(r, whole, static_cast<std::int64_t>(nearest.p),
                               static_cast<std::int64_t>(nearest.q), whole, rest);
      }
    }
  }
  if (fractional) consider(*fractional);
  // Integer mode: the whole numbers either side of t. With no tolerance a
  // fractional setting kept comes closer than either.
  const bool kept = fractional && at.setting;
  if (rest != 0 && in_.tolerance_hz.num == 0 && kept) return at;
  for (Int128 k = whole; k <= whole + (rest != 0 ? 1 : 0); ++k) {
    if (in_.integer_n.Holds(k)) consider(SettingOf(r, k, 0, 1, whole, rest));
  }
  return at;
}

FractionalSearchResult FractionalSearch::Run() const {
  FractionalSearchResult result;
  if (!window_fits_) {
    result.why = NoFractionalSetting::kTooManyDigits;
    return result;
  }
  result.window_first = first_;
  result.window_last = last_;
  if (first_ > last_) {
    result.why = NoFractionalSetting::kNoRInWindow;
    return result;
  }
  Int128 check = 0;
  if (__builtin_mul_overflow(in_.t_unit.num, Int128{last_}, &check)) {
    result.why = NoFractionalSetting::kTooManyDigits;
    return result;
  }
  const bool shortcuts = in_.tolerance_hz.num == 0 && !in_.noise;
  // The furthest a spur can lie is half the comparison frequency.
  const std::int64_t most_spur = 1;
  std::optional<FractionalSetting> best;
  std::optional<Rational> furthest_dropped;
  bool admitted = false;
  for (std::int64_t r = first_; r <= last_; ++r) {
    if (!Admits(r)) continue;
    admitted = true;
    const SettingAtR at = BestAt(r);
    if (at.dropped_spur_khz &&
        (!furthest_dropped || Less(*furthest_dropped, *at.dropped_spur_khz))) {
      furthest_dropped = at.dropped_spur_khz;
    }
    if (at.setting && (!best || Better(*at.setting, *best))) best = at.setting;
    if (!shortcuts || !best || !best->on_frequency) continue;
    // Nothing beats an exact integer-mode setting at the highest comparison.
    if (best->p == 0) break;
    // Once the spur on frequency lies further than any later R (a lower
    // comparison frequency) can place one, only integer mode can win:
    // ref / (R + 1) x reach < ref / R_best x spur / Q.
    if (CompareProducts({Unsigned(most_spur), Unsigned(best->q), Unsigned(best->r)},
                                        {Unsigned(best->spur), Unsigned(std::int64_t{2}), Unsigned(r + 1)}) >= 0) {
      continue;
    }
    for (++r; r <= last_; ++r) {
      if ((in_.t_unit.num * Int128{r}) % in_.t_unit.den != 0 || !Admits(r)) continue;
      const SettingAtR exact = BestAt(r);
      if (exact.setting && exact.setting->p == 0 && exact.setting->on_frequency) {
        best = exact.setting;
        break;
      }
    }
    break;
  }
  if (best) {
    result.setting = best;
  } else if (!admitted) {
    result.why = NoFractionalSetting::kNoRInWindow;
  } else if (furthest_dropped) {
    result.why = NoFractionalSetting::kSpurTooNear;
    result.furthest_dropped_khz = NearestDouble(*furthest_dropped);
  } else {
    result.why = NoFractionalSetting::kNoInt;
  }
  return result;
}

std::vector<FractionalSetting> FractionalSearch::Ranked(int count) const {
  Int128 check = 0;
  if (count <= 0 || !window_fits_ || first_ > last_ ||
      __builtin_mul_overflow(in_.t_unit.num, Int128{last_}, &check)) {
    return {};
  }
  const auto better = [this](const FractionalSetting& a, const FractionalSetting& b) {
    return Better(a, b);
  };
  BestKept<FractionalSetting, decltype(better)> kept(count, better);
  for (std::int64_t r = first_; r <= last_; ++r) {
    if (!Admits(r)) continue;
    if (const std::optional<FractionalSetting> setting = BestAt(r).setting) kept.Offer(*setting);
  }
  return kept.Take();
}

FractionalSearchResult SearchFractional(const FractionalSearchInputs& in) {
  return FractionalSearch(in).Run();
}

}  // namespace synthfactors
