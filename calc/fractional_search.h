// The fractional-N search: the reference divider R and the INT + FRAC/MOD
// of a fractional-N synthesiser's N divider, chosen in exact arithmetic.
//
// In (FractionalSearchInputs), every figure exact:
//   - the loop frequency over the reference, t_unit = loop / ref (0 <
//     t_unit, numerator and denominator below 2^63): with R the N divider
//     must divide by t(R) = t_unit x R;
//   - the reference in kHz, and the window: R is in it when ref / R lies
//     from lower_khz to upper_khz (both included); R runs from first_r to
//     last_r; fractional mode has a comparison limit of its own;
//   - N's range in integer mode (FRAC 0) and INT's in fractional mode, and
//     the fractions the registers hold: P/Q with Q up to MOD's largest
//     (up to 2^32 - 1), or with two levels (mod1 above 0) the fractions
//     (FRAC1 + FRAC2/MOD2) / mod1 with MOD2 up to the largest, which holds
//     P/Q (in lowest terms) exactly when Q / gcd(Q, mod1) fits MOD2;
//   - where a reference path admits only some R of the window (a pre-
//     divider and R whose product is R here), which it admits;
//   - the tolerance in Hz (0: exact) with hz_per_t_unit, the output's Hz
//     per unit of t before dividing by R; the least spur offset (kHz);
//   - vco_per_loop: D with divided feedback (the VCO is D x the loop),
//     else 1;
//   - with `noise`, the noise preference (see below).
//
// The settings of one R:
//   - integer mode: INT = floor(t) or ceil(t), FRAC 0;
//   - fractional mode: INT + P/Q with 0 < P < Q, a fraction the registers
//     hold. Among those within the tolerance of t whose Q fits MOD's
//     largest (with two levels too: a subset of what they hold), the one
//     whose integer-boundary spur lies furthest from the carrier (then the
//     one nearer t, then the smaller Q); with none within it, the fraction
//     the registers hold nearest t - floor(t) (a best rational
//     approximation; on a tie the smaller Q, with two levels the smaller
//     MOD2).
// A setting is on frequency when its output error, |INT + P/Q - t| x
// hz_per_t_unit / R, is at most the tolerance.
//
// The integer-boundary spur: the VCO's distance to the nearest multiple of
// the comparison frequency f_cmp, f_cmp x dist(D x P/Q) with dist the
// distance to the nearest whole number (0 where a divided loop puts the
// VCO on a multiple). The distance is a modulation offset, so it is the
// same at the VCO and at the RF output after the output divider and the
// multiplier.
//
// The choice among all settings:
//   - on frequency first;
//   - among those on frequency: integer mode first, then the spur furthest
//     from the carrier, then the smaller R (the higher comparison
//     frequency); with the noise preference: the lowest in-band noise
//     (InBandNoise with INT + P/Q), then the further spur (integer mode
//     having none), then the smaller R;
//   - with none on frequency: the smallest error, ties as above;
//   - with a least spur offset, a fractional setting whose spur lies closer
//     is dropped; when that leaves none, the result says so with the
//     furthest spur it dropped.
// Without a setting the result says why: no R in the window, no INT in its
// range, every one dropped for its spur, or figures beyond 128 bits.
//
// Example: t_unit = 5184.0125 / 20 with R 1 (a 5184.0125 MHz loop compared
// at 20 MHz): t = 259.200625 = 259 + 321/1600, exact, its spur 20 MHz x
// 321/1600 = 4.0125 MHz from the carrier.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "fractional_plan.h"
#include "planning.h"

namespace synthfactors {

// A whole number's range, inclusive.
struct CounterRange {
  double min = 0, max = 0;
  bool Holds(Int128 value) const {
    return static_cast<double>(value) >= min && static_cast<double>(value) <= max;
  }
};

struct FractionalSearchInputs {
  Rational t_unit;
  Rational ref_khz;
  std::int64_t first_r = 1, last_r = 1;
  Rational lower_khz{0, 1};
  std::optional<Rational> upper_khz;              // none: no top
  std::optional<Rational> upper_fractional_khz;  // the top in fractional mode
  CounterRange integer_n;                           // N in integer mode
  CounterRange fractional_int;                      // INT in fractional mode
  std::int64_t max_mod = 4095;  // MOD's (or MOD2's) largest, at most 2^32 - 1
  std::int64_t mod1 = 0;        // two levels: the fixed first modulus (2^24)
  // The R the reference path admits (empty: every R of the window).
  std::function<bool(std::int64_t)> r_allowed;
  Rational tolerance_hz{0, 1};
  Rational hz_per_t_unit;
  std::optional<Rational> spur_clear_khz;
  std::int64_t vco_per_loop = 1;
  // The noise preference: the model, and the factor from the loop to the
  // RF output (the multiplication over D with fundamental feedback).
  std::optional<NoiseModel> noise;
  double noise_factor = 1;
};

// A setting: INT + P/Q at R, P/Q in lowest terms (0/1 in integer mode).
struct FractionalSetting {
  std::int64_t r = 0;
  std::int64_t integer = 0;
  std::int64_t p = 0, q = 1;
  // The spur's distance from the carrier as a fraction of the comparison
  // frequency: spur / q (none in integer mode).
  std::int64_t spur = 0;
  // INT + P/Q - t(R), signed: error_num / error_den (not reduced).
  Int128 error_num = 0, error_den = 1;
  bool on_frequency = false;
  double noise = 0;  // with the noise preference
};

enum class NoFractionalSetting {
  kNone,           // a setting was found
  kNoRInWindow,    // no R from first_r to last_r puts f_cmp in the window
  kNoInt,          // no R gives an INT (or N) in its range
  kSpurTooNear,    // every setting's spur lies closer than the least offset
  kTooManyDigits,  // a figure does not fit in 128 bits
};

struct FractionalSearchResult {
  std::optional<FractionalSetting> setting;
  NoFractionalSetting why = NoFractionalSetting::kNone;
  // With kSpurTooNear: the furthest spur among those dropped, kHz.
  double furthest_dropped_khz = 0;
  // The R the window admits (empty with kNoRInWindow).
  std::int64_t window_first = 0, window_last = -1;
};

// The best setting of one R, with what the least spur offset dropped at
// it; empty where R gives none.
struct SettingAtR {
  std::optional<FractionalSetting> setting;
  std::optional<Rational> dropped_spur_khz;  // the furthest dropped
};

// The search over the inputs' window (worked out once).
class FractionalSearch {
 public:
  explicit FractionalSearch(const FractionalSearchInputs& in);

  FractionalSearchResult Run() const;
  // The best setting of R, which must lie in the window.
  SettingAtR BestAt(std::int64_t r) const;
  // Whether `a` is the better choice by the rule above.
  bool Better(const FractionalSetting& a, const FractionalSetting& b) const;
  // The best setting of each R of the window the path admits, best first by
  // the rule above, up to `count`: the whole window is weighed (no early
  // end), so the first is Run()'s setting. Empty where Run() finds none.
  std::vector<FractionalSetting> Ranked(int count) const;
  // The R of the window (first > last: none); empty where the window's
  // figures do not fit in 128 bits.
  std::optional<std::int64_t> First() const;
  std::optional<std::int64_t> Last() const;
  // Whether the reference path admits R (every R without one).
  bool Admits(std::int64_t r) const { return !in_.r_allowed || in_.r_allowed(r); }
  // The smallest R of the window the path admits where t is whole and N
  // lies in integer mode's range: where integer mode is exact.
  std::optional<std::int64_t> FirstWholeR() const;

 private:
  // The fraction the registers hold nearest rest / B (in [0, 1]).
  SmallFraction NearestFraction(std::uint64_t rest, std::uint64_t b) const;
  std::optional<FractionalSetting> FurthestWithinTolerance(std::int64_t r, Int128 whole,
                                                           Int128 rest) const;
  FractionalSetting SettingOf(std::int64_t r, Int128 integer, std::int64_t p, std::int64_t q,
                              Int128 whole, Int128 rest) const;

  const FractionalSearchInputs& in_;
  bool window_fits_ = false;
  std::int64_t first_ = 0, last_ = -1, first_fractional_ = 0;
};

FractionalSearchResult SearchFractional(const FractionalSearchInputs& in);

// A setting's comparison frequency and spur offset in kHz, exactly.
Rational ComparisonKHz(const FractionalSearchInputs& in, std::int64_t r);
std::optional<Rational> SpurOffsetKHz(const FractionalSearchInputs& in,
                                      const FractionalSetting& setting);

// The error as a rational, and the output error in Hz, exactly (signed).
std::optional<Rational> ErrorOf(const FractionalSetting& setting);
std::optional<Rational> ErrorHz(const FractionalSearchInputs& in, const FractionalSetting& setting);

// The spur of P/Q as a fraction of f_cmp, its numerator over Q.
std::int64_t SpurNumerator(std::int64_t p, std::int64_t q, std::int64_t vco_per_loop);

}  // namespace synthfactors
