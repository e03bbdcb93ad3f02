// The fractional-N search on its own: worked cases, each rule of the choice,
// and the search against an exhaustive one that tries every R in the window
// and every fraction P/Q with Q up to MOD's largest, in plain 128-bit
// integer arithmetic, with none of the search's shortcuts (the best
// fraction by its continued fraction, the furthest spur by pieces, the
// early ends).
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fractional_search.h"

namespace synthfactors {
namespace {

Rational R(std::int64_t num, std::int64_t den) { return *MakeRational(num, den); }

// A search with a window of exactly the R from `first` to `last` of a
// reference of `ref_khz`, N and INT from 1 to 1e9, MOD up to `max_mod`,
// 1 Hz per unit of t before dividing by R (so a tolerance in Hz is in
// units of t x R).
FractionalSearchInputs Inputs(Rational t_unit, std::int64_t ref_khz, std::int64_t first,
                              std::int64_t last, std::int64_t max_mod = 4095) {
  FractionalSearchInputs in;
  in.t_unit = t_unit;
  in.ref_khz = R(ref_khz, 1);
  in.first_r = first;
  in.last_r = last;
  in.integer_n = {1, 1e9};
  in.fractional_int = {1, 1e9};
  in.max_mod = max_mod;
  in.hz_per_t_unit = R(1, 1);
  return in;
}

std::string Text(const std::optional<FractionalSetting>& s, NoFractionalSetting why) {
  if (!s) {
    switch (why) {
      case NoFractionalSetting::kNoRInWindow: return "no R in the window";
      case NoFractionalSetting::kNoInt: return "no INT";
      case NoFractionalSetting::kSpurTooNear: return "spur too near";
      case NoFractionalSetting::kTooManyDigits: return "too many digits";
      case NoFractionalSetting::kNone: break;
    }
    return "?";
  }
  std::string text = "R " + std::to_string(s->r) + ": " + std::to_string(s->integer);
  if (s->p != 0) {
    text += " + " + std::to_string(s->p) + "/" + std::to_string(s->q) + ", spur " +
            std::to_string(s->spur);
  }
  if (!s->on_frequency) text += ", off";
  return text;
}

// "R 1: 259 + 321/1600, spur 321", or the reason there is none.
std::string Chosen(const FractionalSearchInputs& in) {
  const FractionalSearchResult found = SearchFractional(in);
  return Text(found.setting, found.why);
}

TEST(FractionalSearch, WorkedSettings) {
  // 5184.0125 MHz at 20 MHz (R 1 of 20): 259.200625 = 259 + 321/1600.
  EXPECT_EQ("R 1: 259 + 321/1600, spur 321", Chosen(Inputs(R(51840125, 200000), 20000, 1, 1)));
  // A MOD of at most 1000: the nearest fraction that fits, off frequency.
  EXPECT_EQ("R 1: 259 + 193/962, spur 193, off",
            Chosen(Inputs(R(51840125, 200000), 20000, 1, 1, 1000)));
  // 2400 MHz from 10 MHz: integer mode at R 1 wins at once.
  EXPECT_EQ("R 1: 240", Chosen(Inputs(R(240, 1), 10000, 1, 100)));
  // A fraction that rounds to 1 is integer mode, the next whole number.
  EXPECT_EQ("R 1: 241, off", Chosen(Inputs(R(2409999, 10000), 10000, 1, 1, 100)));
}

TEST(FractionalSearch, TheChoiceRule) {
  // 100.5 per unit R: R 1 is 100 + 1/2 (spur f/2), R 2 is 201 exact in
  // integer mode, which comes first.
  EXPECT_EQ("R 2: 201", Chosen(Inputs(R(201, 2), 10000, 1, 4)));
  // 100.25: R 1 100 + 1/4 (spur f/4), R 2 200 + 1/2 (spur f/4 at half the
  // comparison): the same distance, so the smaller R.
  EXPECT_EQ("R 1: 100 + 1/4, spur 1", Chosen(Inputs(R(401, 4), 10000, 1, 3)));
  // Every R of 100.1 places its spur 1 MHz from the carrier (R 2: 5 MHz x
  // 1/5): a least offset of 2 MHz drops them all, and the furthest is named.
  FractionalSearchInputs clear = Inputs(R(1001, 10), 10000, 1, 4);
  clear.integer_n = {1, 2};  // no integer mode to fall back on
  clear.spur_clear_khz = R(2000, 1);
  const FractionalSearchResult dropped = SearchFractional(clear);
  EXPECT_EQ(NoFractionalSetting::kSpurTooNear, dropped.why);
  EXPECT_EQ(1000, dropped.furthest_dropped_khz);
  // Integer mode holds to its own range, fractional mode to its own: INT
  // 240 is beyond a fractional range ending at 200, N 240 within integer
  // mode's.
  FractionalSearchInputs ranges = Inputs(R(240, 1), 10000, 1, 1);
  ranges.fractional_int = {19, 200};
  EXPECT_EQ("R 1: 240", Chosen(ranges));
  ranges.integer_n = {16, 200};
  EXPECT_EQ("no INT", Chosen(ranges));
}

TEST(FractionalSearch, EveryErrorWithinTheToleranceCounts) {
  // t = 240.0003 at R 1 (1 Hz per unit of t x R: a tolerance of 0.0005 Hz
  // is 0.0005 of t). The nearest fraction, 240 + 1/3333, lies within it,
  // but so does 240 itself: integer mode wins.
  FractionalSearchInputs near = Inputs(R(2400003, 10000), 10000, 1, 1);
  near.tolerance_hz = R(5, 10000);
  EXPECT_EQ("R 1", Chosen(near).substr(0, 3));
  EXPECT_EQ("R 1: 240", Chosen(near));
  // Without integer mode, the fraction within the tolerance whose spur
  // lies furthest: 240.0003 +- 0.01 reaches up to 240.0103, and 34/3301 is
  // the largest fraction of Q up to 4095 below 0.0103.
  FractionalSearchInputs wide = Inputs(R(2400003, 10000), 10000, 1, 1);
  wide.integer_n = {1, 2};
  wide.tolerance_hz = R(1, 100);
  EXPECT_EQ("R 1: 240 + 34/3301, spur 34", Chosen(wide));
  // An error exactly at the tolerance is on frequency: 240.1003 lies
  // 0.0003 from 240 + 1/10.
  FractionalSearchInputs edge = Inputs(R(2401003, 10000), 10000, 1, 1, 10);
  edge.integer_n = {1, 2};
  edge.tolerance_hz = R(2, 10000);
  EXPECT_EQ("R 1: 240 + 1/10, spur 1, off", Chosen(edge));
  edge.tolerance_hz = R(3, 10000);
  EXPECT_EQ("R 1: 240 + 1/10, spur 1", Chosen(edge));
}

TEST(FractionalSearch, TheWindowIsExact) {
  // 19.2 MHz / 192 is exactly 100 kHz: a window of exactly 100 kHz admits
  // R 192 (in doubles, 19.2 / 192 x 1000 is 99.99999999999999).
  FractionalSearchInputs edge = Inputs(R(1, 1), 19200, 1, 1023);
  edge.lower_khz = R(100, 1);
  edge.upper_khz = R(100, 1);
  EXPECT_EQ("R 192: 192", Chosen(edge));
  edge.lower_khz = R(1001, 10);  // above every comparison R gives here
  EXPECT_EQ("no R in the window", Chosen(edge));
  // A window with its top below 0 admits nothing.
  FractionalSearchInputs below = Inputs(R(1, 1), 19200, 1, 1023);
  below.upper_khz = R(-5, 1);
  EXPECT_EQ("no R in the window", Chosen(below));
}

TEST(FractionalSearch, TheSpurIsTheVcosDistanceFromAMultiple) {
  // With the VCO twice the loop (divided feedback), 259.200625 at 10 MHz:
  // the VCO 5184.0125 MHz lies 4.0125 MHz from 5180 MHz, 2 x 0.200625 of
  // f_cmp, whatever the loop's own distance.
  FractionalSearchInputs divided = Inputs(R(2592006250, 10000000), 10000, 1, 1);
  divided.vco_per_loop = 2;
  EXPECT_EQ("R 1: 259 + 321/1600, spur 642", Chosen(divided));
  // A fraction that puts the VCO on a multiple has its spur on the carrier.
  EXPECT_EQ(0, SpurNumerator(1, 2, 2));
  EXPECT_EQ(1, SpurNumerator(1, 2, 1));
  EXPECT_EQ(3, SpurNumerator(3, 7, 1));
  EXPECT_EQ(1, SpurNumerator(3, 7, 5));  // 15/7 is 1/7 above 2
}

TEST(FractionalSearch, TheNoisePreferenceWeighsTheComparisonFrequency) {
  // 480.01 per unit R (4800.1 MHz from 10 MHz): R 1 is exact in fractional
  // mode (480 + 1/100, spur 100 kHz), R 100 exact in integer mode at
  // 100 kHz, which the default rule prefers.
  FractionalSearchInputs in = Inputs(R(48001, 100), 10000, 1, 100);
  EXPECT_EQ("R 100: 48001", Chosen(in));
  in.noise = NoiseModel{-220, std::nullopt, 10000};
  EXPECT_EQ("R 1: 480 + 1/100, spur 1", Chosen(in));
  // ... unless a least spur offset rules every fraction out (each lies
  // 100 kHz from the carrier).
  in.spur_clear_khz = R(200, 1);
  EXPECT_EQ("R 100: 48001", Chosen(in));
}

TEST(FractionBounds, TheNearestFractionsEitherSideAgreeWithTryingEveryDenominator) {
  std::uint64_t state = 1234567;
  const auto next = [&](std::uint64_t below) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::int64_t>((state >> 33) % below);
  };
  for (int i = 0; i < 20000; ++i) {
    const std::int64_t den = 1 + next(100000), num = next(den + 1), most = 1 + next(80);
    // By trying every Q: the largest P/Q <= num/den and the smallest >= it.
    std::int64_t lp = 0, lq = 1, hp = 1, hq = 1;
    for (std::int64_t q = 1; q <= most; ++q) {
      const std::int64_t below = num * q / den;                    // floor
      const std::int64_t above = (num * q + den - 1) / den;        // ceil
      if (Int128{below} * lq > Int128{lp} * q) lp = below, lq = q;  // larger
      if (Int128{above} * hq < Int128{hp} * q) hp = above, hq = q;  // smaller
    }
    const auto g = [](std::int64_t& p, std::int64_t& q) {
      const std::int64_t d = std::__gcd(p, q);
      p /= d;
      q /= d;
    };
    g(lp, lq);
    g(hp, hq);
    const auto low = LargestFractionAtMost(R(num, den), most);
    const auto high = SmallestFractionAtLeast(R(num, den), most);
    ASSERT_TRUE(low && high);
    ASSERT_EQ(std::to_string(lp) + "/" + std::to_string(lq),
              std::to_string(low->p) + "/" + std::to_string(low->q))
        << num << "/" << den << " most " << most;
    ASSERT_EQ(std::to_string(hp) + "/" + std::to_string(hq),
              std::to_string(high->p) + "/" + std::to_string(high->q))
        << num << "/" << den << " most " << most;
  }
}

// The exhaustive search: for every R whose comparison frequency lies in
// the window, the whole numbers either side of t in integer mode, and the
// fractions of every Q: those within the tolerance (INT of floor(t) - 1 ...
// floor(t) + 1), else the nearest; the choice by comparing products of
// integers. Kept small enough that every product fits in 128 bits.
struct Candidate {
  std::int64_t r = 0, integer = 0, p = 0, q = 1, spur = 0;
  Int128 e_num = 0, e_den = 1;  // INT + P/Q - t
  bool on = false;
};

struct Case {
  std::int64_t t_num = 0, t_den = 1;  // t_unit
  std::int64_t ref_khz = 1;
  std::int64_t first_r = 1, last_r = 1;
  std::int64_t lower_khz = 0, upper_khz = 0, upper_fractional_khz = 0;
  std::int64_t integer_min = 1, integer_max = 1, int_min = 1, int_max = 1;
  std::int64_t max_mod = 2;
  std::int64_t tolerance_quarters = 0;  // in quarters of a Hz
  std::int64_t spur_clear_khz = -1;     // -1: none
  std::int64_t d = 1;
  std::int64_t mod1 = 0;                // two levels: (FRAC1 + FRAC2/MOD2) / mod1
  std::int64_t skip_every = 0;          // the path leaves out every R with R % this == 1
  bool Admits(std::int64_t r) const { return skip_every == 0 || r % skip_every != 1; }
  // Whether the registers hold P/Q (in lowest terms), and the denominator
  // of its second level (Q itself with one level).
  bool Holds(std::int64_t q) const { return Second(q) <= max_mod; }
  std::int64_t Second(std::int64_t q) const { return mod1 == 0 ? q : q / std::__gcd(q, mod1); }
};

Int128 Abs(Int128 a) { return a < 0 ? -a : a; }

std::int64_t ExhaustiveSpur(std::int64_t p, std::int64_t q, std::int64_t d) {
  const std::int64_t rest = d * p % q;
  const std::int64_t m = std::min(rest, q - rest);
  return m;
}

Candidate Make(const Case& c, std::int64_t r, std::int64_t k, std::int64_t p, std::int64_t q) {
  Candidate x{r, k, p, q, p == 0 ? 0 : ExhaustiveSpur(p, q, c.d)};
  // k + p/q - t_num r / t_den
  x.e_num = (Int128{k} * q + p) * c.t_den - Int128{c.t_num} * r * q;
  x.e_den = Int128{q} * c.t_den;
  // |e| x 1 Hz / r <= tolerance / 4
  x.on = Abs(x.e_num) * 4 <= Int128{c.tolerance_quarters} * x.e_den * r;
  return x;
}

bool Better(const Candidate& a, const Candidate& b) {
  if (a.on != b.on) return a.on;
  if (!a.on) {
    const Int128 left = Abs(a.e_num) * b.e_den * b.r, right = Abs(b.e_num) * a.e_den * a.r;
    if (left != right) return left < right;
  }
  if ((a.p == 0) != (b.p == 0)) return a.p == 0;
  if (a.p != 0) {
    const Int128 left = Int128{a.spur} * b.q * b.r, right = Int128{b.spur} * a.q * a.r;
    if (left != right) return left > right;
  }
  return a.r < b.r;
}

// The best candidate of each R, in R's order; whether any R lay in the
// window, and whether a spur too near dropped one.
std::vector<Candidate> ExhaustiveBests(const Case& c, bool& any_r, bool& dropped) {
  std::vector<Candidate> bests;
  any_r = false;
  dropped = false;
  for (std::int64_t r = c.first_r; r <= c.last_r; ++r) {
    if (!c.Admits(r)) continue;
    // lower <= ref / r <= upper
    if (Int128{c.ref_khz} > Int128{c.upper_khz} * r) continue;
    if (c.lower_khz > 0 && Int128{c.ref_khz} < Int128{c.lower_khz} * r) continue;
    any_r = true;
    const Int128 scaled = Int128{c.t_num} * r;  // t = scaled / t_den
    const std::int64_t whole = static_cast<std::int64_t>(scaled / c.t_den);
    const bool exact = scaled % c.t_den == 0;
    std::vector<Candidate> here;
    for (std::int64_t k = whole; k <= whole + (exact ? 0 : 1); ++k) {
      if (k >= c.integer_min && k <= c.integer_max) here.push_back(Make(c, r, k, 0, 1));
    }
    const bool fractional = Int128{c.ref_khz} <= Int128{c.upper_fractional_khz} * r;
    if (!exact && fractional) {
      std::optional<Candidate> within, nearest;
      for (std::int64_t k = whole - 1; k <= whole + 1; ++k) {
        if (k < c.int_min || k > c.int_max) continue;
        const std::int64_t most_q = c.mod1 == 0 ? c.max_mod : c.mod1 * c.max_mod;
        for (std::int64_t q = 1; q <= most_q; ++q) {
          if (!c.Holds(q)) continue;
          for (std::int64_t p = 1; p < q; ++p) {
            if (std::__gcd(p, q) != 1) continue;
            const Candidate x = Make(c, r, k, p, q);
            // Within the tolerance, only fractions whose Q fits MOD's
            // largest on its own.
            if (x.on && q <= c.max_mod) {
              const Int128 further = within ? Int128{x.spur} * within->q - Int128{within->spur} * q : 1;
              const Int128 nearer =
                  within ? Abs(within->e_num) * x.e_den - Abs(x.e_num) * within->e_den : 0;
              if (further > 0 || (further == 0 && (nearer > 0 || (nearer == 0 && q < within->q)))) {
                within = x;
              }
            }
            // The nearest P/Q to t - floor(t), INT floor(t) only; on a tie
            // the smaller second-level denominator, then the smaller Q.
            if (k == whole) {
              const Int128 left = Abs(x.e_num) * (nearest ? nearest->e_den : 1),
                           right = nearest ? Abs(nearest->e_num) * x.e_den : 0;
              if (!nearest || left < right ||
                  (left == right && c.Second(q) < c.Second(nearest->q))) {
                nearest = x;
              }
            }
          }
        }
      }
      // The nearest fraction overall (0/1 and 1/1 included, the whole
      // numbers, whose second level is 1) must be a proper one, nearer than
      // both whole numbers; on a tie with one, the whole number.
      if (nearest) {
        const Int128 to_floor = Int128{c.t_num} * r - Int128{whole} * c.t_den;  // / t_den
        const Int128 to_ceil = Int128{c.t_den} - to_floor;
        const Int128 gap = Abs(nearest->e_num);  // / (q t_den)
        if (gap >= to_floor * nearest->q || gap >= to_ceil * nearest->q) nearest.reset();
      }
      if (within) {
        here.push_back(*within);
      } else if (nearest) {
        here.push_back(*nearest);
      }
    }
    std::optional<Candidate> best;
    for (const Candidate& x : here) {
      if (x.p != 0 && c.spur_clear_khz >= 0 &&
          Int128{c.ref_khz} * x.spur < Int128{c.spur_clear_khz} * r * x.q) {
        dropped = true;
        continue;
      }
      if (!best || Better(x, *best)) best = x;
    }
    if (best) bests.push_back(*best);
  }
  return bests;
}

FractionalSetting SettingOf(const Candidate& x) {
  FractionalSetting s;
  s.r = x.r;
  s.integer = x.integer;
  s.p = x.p;
  s.q = x.q;
  s.spur = x.spur;
  s.on_frequency = x.on;
  return s;
}

std::string Exhaustive(const Case& c) {
  bool any_r = false, dropped = false;
  const std::vector<Candidate> bests = ExhaustiveBests(c, any_r, dropped);
  std::optional<FractionalSetting> setting;
  if (!bests.empty()) setting = SettingOf(*std::min_element(bests.begin(), bests.end(), Better));
  return Text(setting, dropped ? NoFractionalSetting::kSpurTooNear
                       : any_r ? NoFractionalSetting::kNoInt
                               : NoFractionalSetting::kNoRInWindow);
}

// The exhaustive search's first `count` settings, one per R, best first.
std::string ExhaustiveRanking(const Case& c, int count) {
  bool any_r = false, dropped = false;
  std::vector<Candidate> bests = ExhaustiveBests(c, any_r, dropped);
  std::sort(bests.begin(), bests.end(), Better);
  if (bests.size() > std::size_t(count)) bests.resize(std::size_t(count));
  std::string text;
  for (const Candidate& x : bests) text += Text(SettingOf(x), NoFractionalSetting::kNone) + "; ";
  return text;
}

// A random case small enough for the exhaustive search, its numbers from
// `next(below)`, and the search's inputs for it.
class RandomCases {
 public:
  std::int64_t Next(std::uint64_t below) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::int64_t>(state_ % below);
  }

  Case Make() {
    Case c;
    c.t_den = 1 + Next(300);
    c.t_num = c.t_den * (5 + Next(200)) + Next(c.t_den);
    c.ref_khz = 1000 * (1 + Next(40));
    c.first_r = 1 + Next(4);
    c.last_r = c.first_r + Next(40);
    c.upper_khz = Next(4) == 0 ? c.ref_khz : c.ref_khz / (c.first_r + Next(6));
    c.upper_fractional_khz = Next(3) == 0 ? c.upper_khz : c.upper_khz / (1 + Next(3));
    c.lower_khz = Next(3) == 0 ? 0 : c.upper_khz / (2 + Next(20));
    c.integer_min = Next(3) == 0 ? 20 + Next(200) : 1;
    c.integer_max = Next(5) == 0 ? c.integer_min + Next(2000) : 100000;
    c.int_min = Next(3) == 0 ? 20 + Next(200) : 1;
    c.int_max = Next(5) == 0 ? c.int_min + Next(2000) : 100000;
    c.max_mod = 2 + Next(24);
    if (Next(2) == 0) c.tolerance_quarters = Next(Next(2) == 0 ? 40 : 4000);
    if (Next(4) == 0) c.spur_clear_khz = Next(3000);
    c.d = std::int64_t{1} << Next(3);
    if (Next(3) == 0) {  // two levels: a small first modulus, MOD2 up to 2 ... 9
      c.mod1 = std::int64_t{2} << Next(3);
      c.max_mod = 2 + Next(8);
    }
    if (Next(4) == 0) c.skip_every = 2 + Next(4);
    return c;
  }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

FractionalSearchInputs InputsOf(const Case& c) {
  FractionalSearchInputs in = Inputs(R(c.t_num, c.t_den), c.ref_khz, c.first_r, c.last_r,
                                     c.max_mod);
  in.lower_khz = R(c.lower_khz, 1);
  in.upper_khz = R(c.upper_khz, 1);
  in.upper_fractional_khz = R(c.upper_fractional_khz, 1);
  in.integer_n = {static_cast<double>(c.integer_min), static_cast<double>(c.integer_max)};
  in.fractional_int = {static_cast<double>(c.int_min), static_cast<double>(c.int_max)};
  in.tolerance_hz = R(c.tolerance_quarters, 4);
  if (c.spur_clear_khz >= 0) in.spur_clear_khz = R(c.spur_clear_khz, 1);
  in.vco_per_loop = c.d;
  in.mod1 = c.mod1;
  if (c.skip_every > 0) in.r_allowed = [c](std::int64_t r) { return c.Admits(r); };
  return in;
}

TEST(FractionalSearch, AgreesWithAnExhaustiveSearch) {
  RandomCases cases;
  int fractional = 0, integer = 0, off = 0, with_tolerance = 0, second_level = 0, skipped = 0;
  for (int i = 0; i < 2500; ++i) {
    const Case c = cases.Make();
    const FractionalSearchInputs in = InputsOf(c);
    const std::string found = Chosen(in);
    ASSERT_EQ(Exhaustive(c), found)
        << "case " << i << ": t " << c.t_num << "/" << c.t_den << " ref " << c.ref_khz
        << " kHz, R " << c.first_r << "..." << c.last_r << ", window " << c.lower_khz << "..."
        << c.upper_khz << " (" << c.upper_fractional_khz << " fractional), N " << c.integer_min
        << "..." << c.integer_max << ", INT " << c.int_min << "..." << c.int_max << ", MOD "
        << c.max_mod << ", tolerance " << c.tolerance_quarters << "/4 Hz, spur clear "
        << c.spur_clear_khz << ", D " << c.d << ", MOD1 " << c.mod1 << ", skipping R % "
        << c.skip_every;
    fractional += found.find('/') != std::string::npos;
    integer += found.find('/') == std::string::npos && found.starts_with("R ");
    off += found.ends_with(", off");
    with_tolerance += c.tolerance_quarters > 0;
    // A fraction only the second level holds: its Q beyond MOD2's largest.
    const std::size_t slash = found.find('/');
    if (c.mod1 > 0 && slash != std::string::npos &&
        std::stoll(found.substr(slash + 1)) > c.max_mod) {
      ++second_level;
    }
    skipped += c.skip_every > 0 && c.first_r % c.skip_every == 1;
  }
  // The cases reach every kind of choice.
  EXPECT_GT(fractional, 400);
  EXPECT_GT(integer, 400);
  EXPECT_GT(off, 100);
  EXPECT_GT(with_tolerance, 1000);
  EXPECT_GT(second_level, 100);
  EXPECT_GT(skipped, 50);
}

// The ranked settings are each R's best, best first, as the exhaustive
// search ranks them; the first is the search's choice.
TEST(FractionalSearch, TheRankingAgreesWithAnExhaustiveSearch) {
  RandomCases cases;
  int long_lists = 0;
  for (int i = 0; i < 1500; ++i) {
    const Case c = cases.Make();
    const int count = 1 + static_cast<int>(cases.Next(12));
    const FractionalSearchInputs in = InputsOf(c);
    const FractionalSearch search(in);
    std::string found;
    const std::vector<FractionalSetting> ranked = search.Ranked(count);
    for (const FractionalSetting& s : ranked) found += Text(s, NoFractionalSetting::kNone) + "; ";
    ASSERT_EQ(ExhaustiveRanking(c, count), found) << "case " << i << ", " << count << " asked";
    if (!ranked.empty()) {
      ASSERT_EQ(Chosen(in), Text(ranked.front(), NoFractionalSetting::kNone)) << "case " << i;
    }
    long_lists += ranked.size() >= 5;
  }
  EXPECT_GT(long_lists, 300);
}

TEST(FractionalSearch, TheFirstWholeRIsTheSmallestExactIntegerSetting) {
  // 100.25 per unit R: t is whole at R 4, 8, ...; N from 402 on leaves R 4
  // out, a path without R 8 leaves R 12.
  FractionalSearchInputs in = Inputs(R(401, 4), 10000, 1, 40);
  EXPECT_EQ(4, FractionalSearch(in).FirstWholeR());
  in.integer_n = {402, 1e9};
  EXPECT_EQ(8, FractionalSearch(in).FirstWholeR());
  in.r_allowed = [](std::int64_t r) { return r != 8; };
  EXPECT_EQ(12, FractionalSearch(in).FirstWholeR());
  in.last_r = 11;
  EXPECT_EQ(std::nullopt, FractionalSearch(in).FirstWholeR());
}

TEST(BestFraction, ThirtyTwoBitDenominatorsAgreeWithTheWideArithmetic) {
  // BestFraction64 in 64 bits against BestFraction on 128-bit rationals,
  // with denominators up to the 32 bits of a 32-bit DEN.
  std::uint64_t state = 42;
  const auto next = [&](std::uint64_t below) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 1) % below;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t den = 1 + next(std::uint64_t{1} << 62), num = next(den + 1);
    const std::int64_t most =
        static_cast<std::int64_t>(i % 3 == 0 ? 4294967295ULL : 1 + next(4294967295ULL));
    const SmallFraction fast = BestFraction64(num, den, most);
    const Rational wide = BestFraction(R(static_cast<std::int64_t>(num), static_cast<std::int64_t>(den)), most);
    ASSERT_EQ(std::to_string(static_cast<std::uint64_t>(wide.num)) + "/" +
                  std::to_string(static_cast<std::uint64_t>(wide.den)),
              std::to_string(fast.p) + "/" + std::to_string(fast.q))
        << num << "/" << den << " most " << most;
  }
}

}  // namespace
}  // namespace synthfactors
