// The fractional-N search: the reference divider R and the INT + FRAC/MOD
// of a fractional-N synthesiser's N divider, chosen in exact arithmetic.
//
// In (FractionalSearchInputs):
//   - the loop frequency over the reference, t_unit = loop / ref, an exact
//     rational (0 < t_unit, numerator and denominator below 2^63): with R
//     the N divider must divide by t(R) = t_unit x R;
//   - the reference in MHz as a double, for the window: R is in the window
//     when ref / R x 1000 (kHz, in doubles, as the integer search works it
//     out) lies from lower_khz to upper_khz; R runs from first_r to last_r;
//   - INT's range (min_int ... max_int) and MOD's largest value;
//   - the tolerance in Hz (0: exact) with hz_per_t_unit, the output's Hz per
//     unit of t before dividing by R; the least spur offset (kHz), if any;
//   - divided_by: D with divided feedback (the VCO is D x the loop), else 1.
//
// For each R in the window, the setting is INT + P/Q with P/Q the fraction
// nearest t(R) - floor(t(R)) whose Q is at most MOD's largest (ties to the
// smaller Q; a fraction that rounds to 1 carries into INT), if INT lies in
// its range. Its integer-boundary spur lies f_cmp x min(P/Q, 1 - P/Q) from
// the carrier; with divided feedback the VCO's own distance to the nearest
// multiple of f_cmp, f_cmp x min(D P/Q mod 1, ...), counts too where it is
// not 0, and the smaller is the spur.
//
// The choice (Out: FractionalSearchResult):
//   - a setting is on frequency when its output error is at most the
//     tolerance;
//   - among those on frequency: integer mode (P 0) first, then the spur
//     furthest from the carrier, then the smaller R (the higher comparison
//     frequency);
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
#include <optional>

#include "fractional_plan.h"

namespace synthfactors {

struct FractionalSearchInputs {
  Rational t_unit;
  double ref_mhz = 0;
  std::int64_t first_r = 1, last_r = 1;
  double lower_khz = 0, upper_khz = 0;
  double min_int = 0, max_int = 0;
  std::int64_t max_mod = 4095;
  double tolerance_hz = 0;
  Rational hz_per_t_unit;
  std::optional<double> spur_clear_khz;
  std::int64_t divided_by = 1;
};

// A chosen setting: INT + P/Q at R, P/Q in lowest terms (0/1 in integer
// mode).
struct FractionalSetting {
  std::int64_t r = 0;
  std::int64_t integer = 0;
  std::int64_t p = 0, q = 1;
  // The spur's distance from the carrier as a fraction of the comparison
  // frequency: spur / q.
  std::int64_t spur = 0;
  // (INT + P/Q - t(R)) x Q x (t_unit's denominator): the error, signed.
  Int128 error_num = 0;
  bool on_frequency = false;
};

enum class NoFractionalSetting {
  kNone,           // a setting was found
  kNoRInWindow,    // no R from first_r to last_r puts f_cmp in the window
  kNoInt,          // no R gives an INT in its range
  kSpurTooNear,    // every setting's spur lies closer than the least offset
  kTooManyDigits,  // t(R) does not fit in 128 bits
};

struct FractionalSearchResult {
  std::optional<FractionalSetting> setting;
  NoFractionalSetting why = NoFractionalSetting::kNone;
  // With kSpurTooNear: the furthest spur among those dropped, kHz.
  double furthest_dropped_khz = 0;
};

FractionalSearchResult SearchFractional(const FractionalSearchInputs& in);

// A setting's spur offset in kHz, in doubles: ref x 1000 / R x spur / Q.
double SpurOffsetKHz(const FractionalSearchInputs& in, const FractionalSetting& setting);

}  // namespace synthfactors
