#include "fractional_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "arithmetic_fault.h"
#include "fault_message.h"
#include "fractional_plan.h"
#include "go_action.h"
#include "number_text.h"
#include "numeric_text.h"
#include "register_words.h"

namespace synthfactors::runner {
namespace {

std::optional<double> Read(const std::string& text) { return ReadNumber(text); }

// One R's setting, kept small: t = A x R / B is what the N divider must
// divide by; INT + P/Q (Q <= MOD's largest, in lowest terms) is chosen.
struct Candidate {
  // The nearest integer boundary, as a fraction of f_cmp: spur / q.
  std::int64_t spur = 0;
  std::int64_t r = 0;
  std::int64_t integer = 0;
  std::int64_t p = 0, q = 1;
  Int128 error_num = 0;  // (INT + P/Q - t) x Q x B, signed
  bool on_frequency = false;
};

// |a| as an unsigned 128-bit value, for comparing products.
UInt128 Magnitude(Int128 a) {
  return static_cast<UInt128>(a < 0 ? -a : a);
}

// The spur's offset is f_cmp x min(P/Q, 1 - P/Q) = ref x m / (Q x R); ref
// is common, so compare m / (Q x R).
bool SpurFurther(const Candidate& a, const Candidate& b) {
  const Int128 ma = a.spur, mb = b.spur;
  return ma * b.q * b.r > mb * a.q * a.r;
}
bool SpurEqual(const Candidate& a, const Candidate& b) {
  const Int128 ma = a.spur, mb = b.spur;
  return ma * b.q * b.r == mb * a.q * a.r;
}

// The error is |error_num| / (Q x B) x ref / R: compare |e| / (Q x R).
int CompareError(const Candidate& a, const Candidate& b) {
  const UInt128 left = Magnitude(a.error_num) * static_cast<UInt128>(b.q * b.r);
  const UInt128 right = Magnitude(b.error_num) * static_cast<UInt128>(a.q * a.r);
  return left < right ? -1 : left > right ? 1 : 0;
}

// Whether `a` is the better choice: on frequency first; there integer mode,
// then the further spur, then the smaller R; off frequency the smaller
// error, then the same.
bool Better(const Candidate& a, const Candidate& b) {
  if (a.on_frequency != b.on_frequency) return a.on_frequency;
  if (!a.on_frequency) {
    if (const int c = CompareError(a, b); c != 0) return c < 0;
  }
  const bool a_integer = a.p == 0, b_integer = b.p == 0;
  if (a_integer != b_integer) return a_integer;
  if (!a_integer && !SpurEqual(a, b)) return SpurFurther(a, b);
  return a.r < b.r;
}

// The fraction of x = num/den (0 < num < den < 2^63) with the smallest
// error and a denominator of at most `most`: in 64 bits where it can.
Rational Fraction(Int128 num, Int128 den, std::int64_t most) {
  const SmallFraction f =
      BestFraction64(static_cast<std::uint64_t>(num), static_cast<std::uint64_t>(den), most);
  return Rational{static_cast<Int128>(f.p), static_cast<Int128>(f.q)};
}

struct Plan {
  Int128 a = 0, b = 1;  // t(R) = a x R / b
  std::int64_t max_mod = 4095;
  double tolerance_hz = 0;
  Rational hz_per_t_unit;  // ref / R x scale x 1e6 without the 1/R: multiply by 1/R
  std::optional<double> spur_clear_khz;
  double ref_khz = 0;
  std::int64_t divided_by = 1;  // D with divided feedback, else 1
};

// The candidate of R, given floor(A R / B) as `whole` and A R mod B as
// `rest` (the loop steps both from one R to the next without dividing).
std::optional<Candidate> Evaluate(const Plan& plan, std::int64_t r, Int128 whole, Int128 rest,
                                  double min_int, double max_int) {
  Candidate c;
  c.r = r;
  Int128 integer = whole;
  Rational chosen{0, 1};
  if (rest != 0) chosen = Fraction(rest, plan.b, plan.max_mod);
  if (chosen.num == chosen.den && chosen.num != 0) {  // rounds to 1: carries into INT
    ++integer;
    chosen = Rational{0, 1};
  }
  if (static_cast<double>(integer) < min_int || static_cast<double>(integer) > max_int) {
    return std::nullopt;
  }
  c.integer = static_cast<std::int64_t>(integer);
  c.p = static_cast<std::int64_t>(chosen.num);
  c.q = static_cast<std::int64_t>(chosen.den);
  c.spur = std::min(c.p, c.q - c.p);
  if (c.p != 0 && plan.divided_by > 1) {
    // With divided feedback the VCO itself, D x (INT + P/Q) x f_cmp, may lie
    // nearer an integer boundary: the smaller distance is the spur.
    const std::int64_t vco_rest = static_cast<std::int64_t>((Int128{plan.divided_by} * c.p) % c.q);
    const std::int64_t vco_spur = std::min(vco_rest, c.q - vco_rest);
    if (vco_spur > 0) c.spur = std::min(c.spur, vco_spur);
  }
  // (INT + P/Q - A R / B) x Q x B = ((INT - whole) Q + P) B - rest Q
  Int128 left = 0, right = 0;
  if (__builtin_mul_overflow((integer - whole) * c.q + c.p, plan.b, &left) ||
      __builtin_mul_overflow(rest, static_cast<Int128>(c.q), &right)) {
    return std::nullopt;
  }
  c.error_num = left - right;
  if (plan.tolerance_hz <= 0) {
    c.on_frequency = c.error_num == 0;
  } else {
    const long double error_hz =
        std::fabs(static_cast<long double>(c.error_num)) /
        (static_cast<long double>(c.q) * static_cast<long double>(plan.b)) *
        static_cast<long double>(plan.hz_per_t_unit.num) /
        static_cast<long double>(plan.hz_per_t_unit.den) / static_cast<long double>(r);
    c.on_frequency = error_hz <= plan.tolerance_hz;
  }
  return c;
}

double SpurKHz(const Plan& plan, const Candidate& c) {
  const double m = static_cast<double>(c.spur);
  return plan.ref_khz / static_cast<double>(c.r) * m / static_cast<double>(c.q);
}

// loop = rf / mult x d, t_unit = loop / ref, hz = ref x mult / d x 1e6;
// false when a figure does not fit in 64 bits (t_unit) or 128 bits.
bool ExactFigures(const Rational& rf, const Rational& mult, const Rational& ref, std::int32_t d,
                  Rational& loop, Rational& t_unit, Rational& hz) {
  const auto source = Div(rf, mult);
  if (!source) return false;
  const auto scaled = Mul(*source, Rational{d, 1});
  if (!scaled) return false;
  loop = *scaled;
  const auto t = Div(loop, ref);
  if (!t || t->num <= 0 || t->num > std::numeric_limits<std::int64_t>::max() ||
      t->den > std::numeric_limits<std::int64_t>::max()) {
    return false;
  }
  t_unit = *t;
  const auto per_d = Div(mult, Rational{d, 1});
  const auto with_ref = per_d ? Mul(*per_d, ref) : std::nullopt;
  const auto in_hz = with_ref ? Mul(*with_ref, Rational{1000000, 1}) : std::nullopt;
  if (!in_hz) return false;
  hz = *in_hz;
  return true;
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

void Fail(RunResult& result, std::string message) {
  result.stage = RunStage::kSearch;
  result.message = std::move(message);
}

}  // namespace

bool HasFractionalChip(const RunInputs& inputs) {
  return inputs.chip_profile && inputs.chip_profile->fractional;
}

RunResult FractionalRunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                            const PlanOptions& plan) {
  RunResult result;
  result.inputs = inputs;
  result.plan = plan;
  result.noise = NoiseModelOf(inputs, plan);
  const ChipProfile& chip = *inputs.chip_profile;
  const FractionalRule& rule = *chip.fractional;

  const std::optional<double> out = Read(inputs.rf_out), mult = Read(inputs.mult),
                              ref = Read(inputs.ref), lower_text = Read(inputs.min_fc),
                              upper_text = Read(inputs.max_fc);
  if (!out || *out == 0) {
    result.stage = RunStage::kZeroSource;
    result.message = ZeroSourceMessage();
    return result;
  }
  if (!mult || *mult == 0) {
    result.fault = FaultKind::kDivisionByZero;
    result.stage = RunStage::kSourceFrequency;
    result.message = FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency);
    return result;
  }
  result.factor = *mult;
  const double source = *out / *mult;
  try {
    result.rf_source = NumberToSignedText(source);
  } catch (const ArithmeticFault&) {
  }
  const std::optional<Rational> rf_exact = DecimalRational(inputs.rf_out);
  const std::optional<Rational> mult_exact = DecimalRational(inputs.mult);
  const std::optional<Rational> ref_exact = DecimalRational(inputs.ref);
  if (!rf_exact || !mult_exact || !ref_exact || mult_exact->num == 0) {
    Fail(result, "fractional-N planning reads the RF output, the factor and the reference "
                 "exactly: each must be a decimal number of at most 30 digits");
    return result;
  }
  if (!ref || !(*ref > 0) || ref_exact->num <= 0) {
    Fail(result, "fractional-N planning needs a reference above 0");
    return result;
  }
  result.notes = ChipNotesFor(chip, inputs, source, decimal_symbol);
  const std::optional<DividerChoice> divider = ChooseDivider(inputs, source);
  const std::int32_t d = divider ? divider->divider : 1;
  const bool fundamental = !divider || divider->fundamental;
  if (divider) {
    result.output_divider = divider->divider;
    result.feedback = divider->fundamental ? "fundamental" : "divided";
  }
  // The loop frequency, exactly: RF / factor (x D with fundamental
  // feedback); t = loop / ref x R; and the Hz at the output per unit of
  // (t' - t), before dividing by R: ref x factor / D x 1e6.
  Rational loop, t_unit, hz;
  if (!ExactFigures(*rf_exact, *mult_exact, *ref_exact, fundamental ? d : 1, loop, t_unit, hz)) {
    Fail(result, "fractional-N planning: the figures have too many digits to be planned exactly");
    return result;
  }

  // INT's limits with the prescaler the loop frequency needs (or the one
  // asked for); R's range and the window as the integer search has them.
  const double loop_mhz = NearestDouble(loop);
  std::size_t mode = 0;
  if (!rule.Counters.Prescalers.empty()) {
    mode = SmallestPrescaler(rule.Counters, std::fabs(loop_mhz))
               .value_or(rule.Counters.Prescalers.size() - 1);
    for (std::size_t i = 0; inputs.prescaler && i < rule.Counters.Prescalers.size(); ++i) {
      if (rule.Counters.Prescalers[i].P == *inputs.prescaler) mode = std::max(mode, i);
    }
  }
  const SearchBounds int_bounds = ChipBounds(rule.Counters, mode);
  const std::int32_t prescaler =
      rule.Counters.Prescalers.empty() ? 0 : rule.Counters.Prescalers[mode].P;
  const double min_int = std::max(int_bounds.MinN, inputs.bounds.MinN);
  const double max_int = std::min(int_bounds.MaxN, inputs.bounds.MaxN);
  const std::int64_t first_r = std::max<std::int64_t>(chip.counters.R.Min, inputs.bounds.FirstTriedR());
  const std::int64_t last_r = std::min<std::int64_t>(chip.counters.R.Max, inputs.bounds.LastTriedR());
  double lower = lower_text.value_or(0);
  double upper = upper_text.value_or(0);
  if (chip.counters.MinComparisonKHz) lower = std::max(lower, *chip.counters.MinComparisonKHz);
  if (chip.counters.MaxComparisonKHz) upper = std::min(upper, *chip.counters.MaxComparisonKHz);
  if (rule.MaxComparisonKHz) upper = std::min(upper, *rule.MaxComparisonKHz);

  Plan p;
  p.a = t_unit.num;
  p.b = t_unit.den;
  p.max_mod = rule.Mod.Max;
  p.tolerance_hz = plan.tolerance_hz.value_or(0);
  p.hz_per_t_unit = hz;
  p.spur_clear_khz = plan.spur_clear_khz;
  p.ref_khz = *ref * 1000;
  p.divided_by = fundamental ? 1 : d;

  std::optional<Candidate> best;
  std::optional<double> furthest_cleared_out;  // the best spur among those dropped
  // Once a spur on frequency lies further than half the comparison
  // frequency, no later R (a lower comparison frequency) can place one
  // further: only an exact integer-mode setting can still win.
  bool integer_only = false;
  // The comparison frequency falls as R grows, so the R whose comparison
  // lies in the window are one run, found by halving.
  const auto comparison_khz = [&](std::int64_t r) { return *ref / static_cast<double>(r) * 1000; };
  const std::int64_t window_first =
      FirstWhere(first_r, last_r, [&](std::int64_t r) { return comparison_khz(r) <= upper; });
  const std::int64_t window_end =
      FirstWhere(first_r, last_r, [&](std::int64_t r) { return comparison_khz(r) < lower; });
  const bool any_in_window = window_first < window_end;
  // A R / B as whole + rest / B, stepped by A / B from one R to the next.
  Int128 first_ar = 0;
  if (any_in_window &&
      __builtin_mul_overflow(p.a, static_cast<Int128>(window_first), &first_ar)) {
    Fail(result, "fractional-N planning: the figures have too many digits to be planned exactly");
    return result;
  }
  Int128 whole = first_ar / p.b, rest = first_ar % p.b;
  const Int128 step_whole = p.a / p.b, step_rest = p.a % p.b;
  for (std::int64_t r = window_first; r < window_end; ++r) {
    if (r > window_first) {
      whole += step_whole;
      rest += step_rest;
      if (rest >= p.b) {
        rest -= p.b;
        ++whole;
      }
    }
    if (integer_only && rest != 0) continue;
    const std::optional<Candidate> c = Evaluate(p, r, whole, rest, min_int, max_int);
    if (!c) continue;
    if (c->p != 0 && p.spur_clear_khz && SpurKHz(p, *c) < *p.spur_clear_khz) {
      const double spur = SpurKHz(p, *c);
      if (!furthest_cleared_out || spur > *furthest_cleared_out) furthest_cleared_out = spur;
      continue;
    }
    if (!best || Better(*c, *best)) best = c;
    // Nothing beats an exact integer-mode setting at the highest comparison.
    if (best->on_frequency && best->p == 0) break;
    if (best->on_frequency && p.tolerance_hz <= 0 &&
        comparison_khz(r) / 2 < SpurKHz(p, *best) * (1 - 1e-9)) {
      integer_only = true;
    }
  }
  if (!best) {
    if (furthest_cleared_out) {
      Fail(result, "no setting keeps the integer-boundary spur " +
                       ShortestText(*p.spur_clear_khz) +
                       " kHz from the carrier; the furthest found is " +
                       ShortestText(*furthest_cleared_out) + " kHz");
    } else if (!any_in_window) {
      Fail(result, "no divider pair fits: no reference divider R from " + std::to_string(first_r) +
                       " to " + std::to_string(last_r) +
                       " puts the comparison frequency between Minimum Fcomp and Maximum Fcomp"
                       " (at most " + ShortestText(upper) + " kHz in fractional mode)");
    } else {
      Fail(result, "no divider pair fits: no R gives an INT from " + WholeText(min_int) + " to " +
                       WholeText(max_int) + " in fractional mode");
    }
    return result;
  }

  const Candidate& c = *best;
  std::int64_t frac = c.p, mod = c.q;
  while (frac != 0 && mod < rule.Mod.Min) {  // a denominator below MOD's least, scaled up
    frac += c.p;
    mod += c.q;
  }
  if (frac == 0) mod = 1;
  result.mode = frac == 0 ? "integer" : "fractional";
  result.r = static_cast<double>(c.r);
  result.n = static_cast<double>(c.integer);
  result.frac = frac;
  result.mod = frac == 0 ? std::optional<std::int64_t>() : std::optional<std::int64_t>(mod);
  result.exact = c.error_num == 0;
  const Rational comparison = *Div(*Mul(*ref_exact, Rational{1000, 1}), Rational{c.r, 1});
  result.comparison_khz = NearestDouble(comparison);
  // The output error in Hz: (t' - t) x hz / R.
  const auto t_error = MakeRational(c.error_num, static_cast<Int128>(c.q) * p.b);
  const auto error_hz = t_error ? Mul(*t_error, *Div(hz, Rational{c.r, 1})) : std::nullopt;
  const auto error_ppb =
      error_hz ? Div(*Mul(*error_hz, Rational{1000, 1}), *rf_exact) : std::nullopt;
  if (!error_hz || !error_ppb) {
    Fail(result, "fractional-N planning: the error has too many digits to be stated exactly");
    return result;
  }
  result.error_hz = NearestDouble(*error_hz);
  result.error_ppb = NearestDouble(*error_ppb);
  if (frac != 0) {
    result.spur_offset_khz = SpurKHz(p, c);
    const Rational m{c.spur, c.q};
    if (const auto exact_spur = Mul(comparison, m)) result.spur_offset_khz = NearestDouble(*exact_spur);
  }
  const double n_value = static_cast<double>(c.integer) + static_cast<double>(frac) / static_cast<double>(mod);
  // The VCO the setting gives, exactly: (INT + P/Q) x ref / R (x D with
  // divided feedback).
  const auto n_exact = Add(Rational{c.integer, 1}, Rational{c.p, c.q});
  const auto synthesised = n_exact ? Mul(*n_exact, *Div(*ref_exact, Rational{c.r, 1})) : std::nullopt;
  const auto vco = synthesised ? Mul(*synthesised, Rational{fundamental ? 1 : d, 1}) : std::nullopt;
  if (vco) result.vco_mhz = NearestDouble(*vco);
  try {
    FractionalReportFigures figures;
    figures.R = c.r;
    figures.Int = c.integer;
    figures.Frac = frac;
    figures.Mod = mod;
    figures.ComparisonKHz = *result.comparison_khz;
    figures.Exact = *result.exact;
    figures.ErrorHz = *result.error_hz;
    figures.ErrorPpb = *result.error_ppb;
    result.report = FractionalReport(figures, decimal_symbol);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.stage = RunStage::kHexValues;
    result.message = FaultMessage(fault.kind(), RunStage::kHexValues);
    return result;
  }
  result.stage = RunStage::kDone;
  if (result.noise) {
    const double factor = fundamental ? *mult / d : *mult;
    if (const auto noise = InBandNoise(*result.noise, *result.comparison_khz, n_value, factor)) {
      result.phase_noise = noise->Total;
      if (noise->Flicker) {
        result.phase_noise_floor = noise->Floor;
        result.phase_noise_flicker = noise->Flicker;
      }
    }
  }
  if (plan.registers) {
    if (const RegisterLayout* layout = LayoutNamed(chip.register_map)) {
      RegisterRun run;
      run.r = c.r;
      run.n = c.integer;
      run.frac = frac;
      run.mod = mod;
      run.prescaler = prescaler;
      run.output_divider = d;
      run.fundamental_feedback = fundamental;
      run.comparison_khz = *result.comparison_khz;
      std::string error;
      if (const auto words = ComposeWords(*layout, run, chip.register_fields, error)) {
        std::vector<std::pair<std::string, std::string>> texts;
        for (const RegisterWord& word : *words) {
          texts.emplace_back(std::string(word.name), WordText(*layout, word.word));
        }
        result.registers = std::move(texts);
      } else {
        result.notes.push_back("Note: no register words: " + error);
      }
    }
  }
  return result;
}

}  // namespace synthfactors::runner
