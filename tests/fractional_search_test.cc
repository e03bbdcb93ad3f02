// The fractional-N search on its own: worked cases, each rule of the choice,
// and the search against an exhaustive one that tries every R in the window
// and every fraction P/Q with Q up to MOD's largest, with none of the
// search's shortcuts (the window found by halving, the best fraction by its
// continued fraction, the early ends).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "fractional_search.h"

namespace synthfactors {
namespace {

Rational R(std::int64_t num, std::int64_t den) { return *MakeRational(num, den); }

// A search with a window of exactly the R from `first` to `last` of a
// reference of `ref_mhz`, INT from 1 to 1e9, MOD up to `max_mod`.
FractionalSearchInputs Inputs(Rational t_unit, double ref_mhz, std::int64_t first,
                              std::int64_t last, std::int64_t max_mod = 4095) {
  FractionalSearchInputs in;
  in.t_unit = t_unit;
  in.ref_mhz = ref_mhz;
  in.first_r = first;
  in.last_r = last;
  in.lower_khz = 0;
  in.upper_khz = 1e12;
  in.min_int = 1;
  in.max_int = 1e9;
  in.max_mod = max_mod;
  in.hz_per_t_unit = R(static_cast<std::int64_t>(ref_mhz * 1e6), 1);
  return in;
}

// "R 1: 259 + 321/1600, spur 321", or the reason there is none.
std::string Chosen(const FractionalSearchInputs& in) {
  const FractionalSearchResult found = SearchFractional(in);
  if (!found.setting) {
    switch (found.why) {
      case NoFractionalSetting::kNoRInWindow: return "no R in the window";
      case NoFractionalSetting::kNoInt: return "no INT";
      case NoFractionalSetting::kSpurTooNear: return "spur too near";
      case NoFractionalSetting::kTooManyDigits: return "too many digits";
      case NoFractionalSetting::kNone: break;
    }
    return "?";
  }
  const FractionalSetting& s = *found.setting;
  std::string text = "R " + std::to_string(s.r) + ": " + std::to_string(s.integer);
  if (s.p != 0) text += " + " + std::to_string(s.p) + "/" + std::to_string(s.q);
  if (s.p != 0) text += ", spur " + std::to_string(s.spur);
  if (!s.on_frequency) text += ", off";
  return text;
}

TEST(FractionalSearch, WorkedSettings) {
  // 5184.0125 MHz at 20 MHz (R 1 of 20): 259.200625 = 259 + 321/1600.
  EXPECT_EQ("R 1: 259 + 321/1600, spur 321", Chosen(Inputs(R(51840125, 200000), 20, 1, 1)));
  // A MOD of at most 1000: the nearest fraction that fits, off frequency.
  EXPECT_EQ("R 1: 259 + 193/962, spur 193, off",
            Chosen(Inputs(R(51840125, 200000), 20, 1, 1, 1000)));
  // 2400 MHz from 10 MHz: integer mode at R 1 wins at once.
  EXPECT_EQ("R 1: 240", Chosen(Inputs(R(240, 1), 10, 1, 100)));
  // A fraction that rounds to 1 carries into INT: 240.9999 with MOD <= 100.
  EXPECT_EQ("R 1: 241, off", Chosen(Inputs(R(2409999, 10000), 10, 1, 1, 100)));
}

TEST(FractionalSearch, TheChoiceRule) {
  // 100.5 per unit R: R 1 is 100 + 1/2 (spur f/2), R 2 is 201 exact in
  // integer mode, which comes first.
  EXPECT_EQ("R 2: 201", Chosen(Inputs(R(201, 2), 10, 1, 4)));
  // 100.25: R 1 100 + 1/4 (spur f/4), R 2 200 + 1/2 (spur f/4 at half the
  // comparison): the same distance, so the smaller R.
  EXPECT_EQ("R 1: 100 + 1/4, spur 1", Chosen(Inputs(R(401, 4), 10, 1, 3)));
  // 100.1: R 1 spur f/10, R 3 300 + 3/10 spur 3f/30 (the same), R 5 500 + 1/2
  // spur f/10 too: the smaller R.
  EXPECT_EQ("R 1: 100 + 1/10, spur 1", Chosen(Inputs(R(1001, 10), 10, 1, 5)));
  // Every R of 100.1 places its spur 1 MHz from the carrier (R 2: 5 MHz x
  // 1/5): a least offset of 2 MHz drops them all, and the furthest is named.
  FractionalSearchInputs clear = Inputs(R(1001, 10), 10, 1, 4);
  clear.spur_clear_khz = 2000;
  const FractionalSearchResult dropped = SearchFractional(clear);
  EXPECT_EQ(NoFractionalSetting::kSpurTooNear, dropped.why);
  EXPECT_EQ(1000, dropped.furthest_dropped_khz);  // R 1: 10 MHz x 1/10
}

TEST(FractionalSearch, WhyThereIsNone) {
  FractionalSearchInputs window = Inputs(R(240, 1), 10, 1, 100);
  window.lower_khz = 200;  // R 1 ... 50 compare above 200 kHz: R 51 ... 100 below
  window.upper_khz = 190;
  EXPECT_EQ("no R in the window", Chosen(window));
  FractionalSearchInputs ints = Inputs(R(240, 1), 10, 1, 3);
  ints.min_int = 1000;  // R 3 gives 720 at most
  EXPECT_EQ("no INT", Chosen(ints));
  // A window edge that is not exact in doubles: 19.2 / 192 x 1000 is
  // 99.99999999999999, so a window of exactly 100 kHz admits no R.
  FractionalSearchInputs edge = Inputs(R(1, 1), 19.2, 1, 1023);
  edge.lower_khz = 100;
  edge.upper_khz = 100;
  EXPECT_EQ("no R in the window", Chosen(edge));
}

// The exhaustive search: every R whose comparison frequency (as the search
// works it out in doubles) lies in the window, and for each the nearest
// P/Q found by trying every Q; the choice made by comparing exact
// rationals.
struct Exhaustive {
  std::int64_t r = 0, integer = 0, p = 0, q = 1, spur = 0;
  Rational error;  // |INT + P/Q - t|
  bool on = false;
};

Rational AbsOf(const Rational& x) { return Rational{x.num < 0 ? -x.num : x.num, x.den}; }

std::optional<Exhaustive> ExhaustiveSetting(const FractionalSearchInputs& in, std::int64_t r) {
  const Rational t = *Mul(in.t_unit, R(r, 1));
  const Int128 whole = t.num / t.den;
  const Rational frac = *Sub(t, Rational{whole, 1});
  Rational best_p{0, 1};
  Rational best_gap = frac;
  for (std::int64_t q = 1; q <= in.max_mod; ++q) {
    const Int128 below = frac.num * q / frac.den;
    for (Int128 p = below; p <= below + 1 && p <= q; ++p) {
      const Rational gap = AbsOf(*Sub(R(static_cast<std::int64_t>(p), q), frac));
      if (Less(gap, best_gap)) {
        best_gap = gap;
        best_p = R(static_cast<std::int64_t>(p), q);
      }
    }
  }
  Exhaustive s;
  s.r = r;
  s.integer = static_cast<std::int64_t>(whole);
  s.p = static_cast<std::int64_t>(best_p.num);
  s.q = static_cast<std::int64_t>(best_p.den);
  if (s.p == s.q) {
    ++s.integer;
    s.p = 0;
    s.q = 1;
  }
  if (static_cast<double>(s.integer) < in.min_int || static_cast<double>(s.integer) > in.max_int) {
    return std::nullopt;
  }
  s.spur = std::min(s.p, s.q - s.p);
  if (s.p != 0 && in.divided_by > 1) {
    const std::int64_t vco = (in.divided_by * s.p) % s.q;
    if (vco != 0) s.spur = std::min({s.spur, vco, s.q - vco});
  }
  s.error = AbsOf(*Sub(*Add(Rational{s.integer, 1}, R(s.p, s.q)), t));
  if (in.tolerance_hz <= 0) {
    s.on = s.error.num == 0;
  } else {
    // Hz = error x hz_per_t_unit / R, against the tolerance exactly.
    const Rational hz = *Div(*Mul(s.error, in.hz_per_t_unit), R(r, 1));
    const Rational tolerance = R(static_cast<std::int64_t>(in.tolerance_hz * 1024), 1024);
    s.on = !Less(tolerance, hz);
  }
  return s;
}

bool ExhaustiveBetter(const Exhaustive& a, const Exhaustive& b) {
  if (a.on != b.on) return a.on;
  // The error at the output is |error| x ref / R: compare |error| / R.
  const Rational ea = *Div(a.error, R(a.r, 1)), eb = *Div(b.error, R(b.r, 1));
  if (!a.on && (Less(ea, eb) || Less(eb, ea))) return Less(ea, eb);
  if ((a.p == 0) != (b.p == 0)) return a.p == 0;
  if (a.p != 0) {  // both fractional: the spur further from the carrier
    const Rational sa = R(a.spur, a.q * a.r), sb = R(b.spur, b.q * b.r);
    if (Less(sa, sb) || Less(sb, sa)) return Less(sb, sa);
  }
  return a.r < b.r;
}

std::string ExhaustiveChoice(const FractionalSearchInputs& in) {
  std::optional<Exhaustive> best;
  bool any_r = false, any_int = false, dropped = false;
  for (std::int64_t r = in.first_r; r <= in.last_r; ++r) {
    const double khz = in.ref_mhz / static_cast<double>(r) * 1000;
    if (!(khz <= in.upper_khz) || khz < in.lower_khz) continue;
    any_r = true;
    const std::optional<Exhaustive> s = ExhaustiveSetting(in, r);
    if (!s) continue;
    any_int = true;
    FractionalSetting as_found;
    as_found.r = r;
    as_found.q = s->q;
    as_found.spur = s->spur;
    if (s->p != 0 && in.spur_clear_khz && SpurOffsetKHz(in, as_found) < *in.spur_clear_khz) {
      dropped = true;
      continue;
    }
    if (!best || ExhaustiveBetter(*s, *best)) best = s;
  }
  if (!best) return dropped ? "spur too near" : any_int || any_r ? "no INT" : "no R in the window";
  std::string text = "R " + std::to_string(best->r) + ": " + std::to_string(best->integer);
  if (best->p != 0) text += " + " + std::to_string(best->p) + "/" + std::to_string(best->q);
  if (best->p != 0) text += ", spur " + std::to_string(best->spur);
  if (!best->on) text += ", off";
  return text;
}

TEST(FractionalSearch, AgreesWithAnExhaustiveSearch) {
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  const auto next = [&](std::uint64_t below) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state % below;
  };
  const double refs[] = {10, 19.2, 25, 13, 26, 100};
  int cases = 0, fractional = 0, integer_only_skips = 0;
  for (int i = 0; i < 3000; ++i) {
    const auto den = static_cast<std::int64_t>(1 + next(2000));
    const auto num = static_cast<std::int64_t>(den * (5 + next(400)) + next(den));
    FractionalSearchInputs in = Inputs(R(num, den), refs[next(6)], 1 + next(5), 0, 2 + next(60));
    in.last_r = in.first_r + static_cast<std::int64_t>(next(80));
    const double top = in.ref_mhz * 1000 / static_cast<double>(in.first_r + next(10));
    in.upper_khz = next(4) == 0 ? 1e12 : top;
    in.lower_khz = next(3) == 0 ? 0 : top / static_cast<double>(2 + next(40));
    in.min_int = static_cast<double>(next(3) == 0 ? 20 + next(200) : 1);
    in.max_int = next(5) == 0 ? in.min_int + static_cast<double>(next(2000)) : 1e9;
    if (next(3) == 0) in.tolerance_hz = static_cast<double>(next(200000)) / 4;
    if (next(4) == 0) in.spur_clear_khz = static_cast<double>(next(2000));
    in.divided_by = std::int64_t{1} << next(3);
    const std::string found = Chosen(in);
    ASSERT_EQ(ExhaustiveChoice(in), found)
        << "case " << i << ": t " << num << "/" << den << " ref " << in.ref_mhz << " R "
        << in.first_r << "..." << in.last_r << " window " << in.lower_khz << "..." << in.upper_khz
        << " INT " << in.min_int << "..." << in.max_int << " MOD " << in.max_mod << " tolerance "
        << in.tolerance_hz << " spur clear " << in.spur_clear_khz.value_or(-1) << " D "
        << in.divided_by;
    ++cases;
    if (found.find('/') != std::string::npos) ++fractional;
    if (in.tolerance_hz <= 0 && found.find(": ") != std::string::npos &&
        found.find('/') == std::string::npos) {
      ++integer_only_skips;
    }
  }
  // The cases reach both modes.
  EXPECT_GT(fractional, cases / 4);
  EXPECT_GT(integer_only_skips, cases / 50);
}

}  // namespace
}  // namespace synthfactors
