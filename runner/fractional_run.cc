#include "fractional_run.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "chip_run.h"
#include "fault_message.h"
#include "fractional_search.h"
#include "number_text.h"
#include "numeric_text.h"

namespace synthfactors::runner {
namespace {

constexpr std::string_view kTooManyDigits =
    "fractional-N planning: the figures have too many digits to be planned exactly";

// The exact figures of a run: the loop frequency RF / factor (x D with
// fundamental feedback), t_unit = loop / ref, and the Hz at the output per
// unit of t before dividing by R, ref x factor / D x 1e6.
struct ExactFigures {
  Rational rf, mult, ref;
  Rational loop, t_unit, hz;
};

// False when a figure does not fit in 64 bits (t_unit) or 128 bits.
bool WorkOut(ExactFigures& x, std::int32_t d) {
  const auto source = Div(x.rf, x.mult);
  const auto scaled = source ? Mul(*source, Rational{d, 1}) : std::nullopt;
  const auto t = scaled ? Div(*scaled, x.ref) : std::nullopt;
  if (!t || t->num <= 0 || t->num > std::numeric_limits<std::int64_t>::max() ||
      t->den > std::numeric_limits<std::int64_t>::max()) {
    return false;
  }
  x.loop = *scaled;
  x.t_unit = *t;
  const auto per_d = Div(x.mult, Rational{d, 1});
  const auto with_ref = per_d ? Mul(*per_d, x.ref) : std::nullopt;
  const auto in_hz = with_ref ? Mul(*with_ref, Rational{1000000, 1}) : std::nullopt;
  if (!in_hz) return false;
  x.hz = *in_hz;
  return true;
}

// The search's bounds: INT's limits with the prescaler the loop frequency
// needs (or the one asked for), R's range and the window as the integer
// search has them, the window narrowed to the fractional-mode limit.
FractionalSearchInputs SearchInputs(const RunInputs& inputs, const BoxNumbers& numbers,
                                    const ExactFigures& x, std::int32_t& prescaler) {
  const ChipProfile& chip = *inputs.chip_profile;
  const FractionalRule& rule = *chip.fractional;
  const std::size_t mode =
      PrescalerModeFor(rule.Counters, inputs.prescaler, std::fabs(NearestDouble(x.loop)));
  const SearchBounds int_bounds = ChipBounds(rule.Counters, mode);
  prescaler = rule.Counters.Prescalers.empty() ? 0 : rule.Counters.Prescalers[mode].P;
  FractionalSearchInputs in;
  in.t_unit = x.t_unit;
  in.ref_mhz = numbers.Ref.IfReadable().value_or(0);
  in.first_r = std::max<std::int64_t>(chip.counters.R.Min, inputs.bounds.FirstTriedR());
  in.last_r = std::min<std::int64_t>(chip.counters.R.Max, inputs.bounds.LastTriedR());
  in.min_int = std::max(int_bounds.MinN, inputs.bounds.MinN);
  in.max_int = std::min(int_bounds.MaxN, inputs.bounds.MaxN);
  in.lower_khz = numbers.MinFC.IfReadable().value_or(0);
  in.upper_khz = numbers.MaxFC.IfReadable().value_or(0);
  if (chip.counters.MinComparisonKHz) {
    in.lower_khz = std::max(in.lower_khz, *chip.counters.MinComparisonKHz);
  }
  if (chip.counters.MaxComparisonKHz) {
    in.upper_khz = std::min(in.upper_khz, *chip.counters.MaxComparisonKHz);
  }
  if (rule.MaxComparisonKHz) in.upper_khz = std::min(in.upper_khz, *rule.MaxComparisonKHz);
  in.max_mod = rule.Mod.Max;
  return in;
}

// Why the search found no setting, in words.
std::string NoSettingMessage(const FractionalSearchInputs& in, const FractionalSearchResult& found) {
  switch (found.why) {
    case NoFractionalSetting::kSpurTooNear:
      return "no setting keeps the integer-boundary spur " + ShortestText(*in.spur_clear_khz) +
             " kHz from the carrier; the furthest found is " +
             ShortestText(found.furthest_dropped_khz) + " kHz";
    case NoFractionalSetting::kNoRInWindow:
      return "no divider pair fits: no reference divider R from " + std::to_string(in.first_r) +
             " to " + std::to_string(in.last_r) +
             " puts the comparison frequency between Minimum Fcomp and Maximum Fcomp"
             " (at most " + ShortestText(in.upper_khz) + " kHz in fractional mode)";
    case NoFractionalSetting::kTooManyDigits:
      return std::string(kTooManyDigits);
    case NoFractionalSetting::kNoInt:
    case NoFractionalSetting::kNone:
      break;
  }
  return "no divider pair fits: no R gives an INT from " + WholeText(in.min_int) + " to " +
         WholeText(in.max_int) + " in fractional mode";
}

void Fail(RunResult& result, std::string message) {
  result.stage = RunStage::kSearch;
  result.message = std::move(message);
}

// The chosen setting's figures, exactly, into the result: false (the reason
// in the result) when one has too many digits to be stated.
bool SetFigures(RunResult& result, const FractionalSearchInputs& in, const ExactFigures& x,
                const FractionalSetting& c, std::int64_t frac, std::int64_t mod, std::int32_t d) {
  result.mode = frac == 0 ? SettingMode::kInteger : SettingMode::kFractional;
  result.r = static_cast<double>(c.r);
  result.n = static_cast<double>(c.integer);
  result.frac = frac;
  if (frac != 0) result.mod = mod;
  result.exact = c.error_num == 0;
  const Rational comparison = *Div(*Mul(x.ref, Rational{1000, 1}), Rational{c.r, 1});
  result.comparison_khz = NearestDouble(comparison);
  // The output error in Hz: (t' - t) x hz / R.
  const auto t_error = MakeRational(c.error_num, static_cast<Int128>(c.q) * x.t_unit.den);
  const auto error_hz = t_error ? Mul(*t_error, *Div(x.hz, Rational{c.r, 1})) : std::nullopt;
  const auto error_ppb = error_hz ? Div(*Mul(*error_hz, Rational{1000, 1}), x.rf) : std::nullopt;
  if (!error_hz || !error_ppb) {
    Fail(result, "fractional-N planning: the error has too many digits to be stated exactly");
    return false;
  }
  result.error_hz = NearestDouble(*error_hz);
  result.error_ppb = NearestDouble(*error_ppb);
  if (frac != 0) {
    result.spur_offset_khz = SpurOffsetKHz(in, c);
    if (const auto exact_spur = Mul(comparison, Rational{c.spur, c.q})) {
      result.spur_offset_khz = NearestDouble(*exact_spur);
    }
  }
  // The VCO the setting gives, exactly: (INT + P/Q) x ref / R (x D with
  // divided feedback).
  const auto n_exact = Add(Rational{c.integer, 1}, Rational{c.p, c.q});
  const auto synthesised = n_exact ? Mul(*n_exact, *Div(x.ref, Rational{c.r, 1})) : std::nullopt;
  const auto vco = synthesised ? Mul(*synthesised, Rational{d, 1}) : std::nullopt;
  if (vco) result.vco_mhz = NearestDouble(*vco);
  return true;
}

// The RF output and the factor: false, with the result ended, where the
// source frequency is 0 or the factor cannot divide it.
bool ReadSource(const BoxNumbers& numbers, RunResult& result) {
  const std::optional<double>&out = numbers.RFOut.IfReadable(), &mult = numbers.RFMult.IfReadable();
  if (!out || *out == 0) {
    result.stage = RunStage::kZeroSource;
    result.message = ZeroSourceMessage();
    return false;
  }
  if (!mult || *mult == 0) {
    result.fault = FaultKind::kDivisionByZero;
    result.stage = RunStage::kSourceFrequency;
    result.message = FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency);
    return false;
  }
  result.factor = *mult;
  try {
    result.rf_source = NumberToSignedText(*out / *mult);
  } catch (const ArithmeticFault&) {
  }
  return true;
}

// The RF output, the factor and the reference as exact rationals; the
// reason in words where they cannot be planned.
std::string ReadExactly(const RunInputs& inputs, const BoxNumbers& numbers, ExactFigures& x) {
  const auto rf = DecimalRational(inputs.rf_out), mult = DecimalRational(inputs.mult),
             ref = DecimalRational(inputs.ref);
  if (!rf || !mult || !ref || mult->num == 0) {
    return "fractional-N planning reads the RF output, the factor and the reference "
           "exactly: each must be a decimal number of at most 30 digits";
  }
  const std::optional<double>& ref_number = numbers.Ref.IfReadable();
  if (!ref_number || !(*ref_number > 0) || ref->num <= 0) {
    return "fractional-N planning needs a reference above 0";
  }
  x.rf = *rf;
  x.mult = *mult;
  x.ref = *ref;
  return "";
}

}  // namespace

RunResult FractionalRunOnce(const RunInputs& inputs, const BoxNumbers& numbers,
                            std::string_view decimal_symbol, const PlanOptions& plan) {
  RunResult result = StartRun(inputs, plan);
  if (!ReadSource(numbers, result)) return result;
  const double source = *numbers.RFOut.IfReadable() / *numbers.RFMult.IfReadable();
  ExactFigures x;
  if (const std::string error = ReadExactly(inputs, numbers, x); !error.empty()) {
    Fail(result, error);
    return result;
  }
  const std::optional<DividerChoice> divider = ChooseDivider(inputs, source);
  AddChipFacts(result, numbers, source, divider, decimal_symbol);
  const std::int32_t d = divider ? divider->divider : 1;
  const bool fundamental = !divider || divider->Fundamental();
  if (!WorkOut(x, fundamental ? d : 1)) {
    Fail(result, std::string(kTooManyDigits));
    return result;
  }
  std::int32_t prescaler = 0;
  FractionalSearchInputs in = SearchInputs(inputs, numbers, x, prescaler);
  in.tolerance_hz = plan.tolerance_hz.value_or(0);
  in.hz_per_t_unit = x.hz;
  in.spur_clear_khz = plan.spur_clear_khz;
  in.divided_by = fundamental ? 1 : d;
  const FractionalSearchResult found = SearchFractional(in);
  if (!found.setting) {
    Fail(result, NoSettingMessage(in, found));
    return result;
  }

  const FractionalSetting& c = *found.setting;
  std::int64_t frac = c.p, mod = c.q;
  while (frac != 0 && mod < inputs.chip_profile->fractional->Mod.Min) {
    frac += c.p;  // a denominator below MOD's least, scaled up
    mod += c.q;
  }
  if (frac == 0) mod = 1;
  if (!SetFigures(result, in, x, c, frac, mod, fundamental ? 1 : d)) return result;
  try {
    result.report = FractionalReport({.R = c.r, .Int = c.integer, .Frac = frac, .Mod = mod,
                                      .ComparisonKHz = *result.comparison_khz,
                                      .Exact = *result.exact, .ErrorHz = *result.error_hz,
                                      .ErrorPpb = *result.error_ppb},
                                     decimal_symbol);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.stage = RunStage::kHexValues;
    result.message = FaultMessage(fault.kind(), RunStage::kHexValues);
    return result;
  }
  result.stage = RunStage::kDone;
  const double n_value =
      static_cast<double>(c.integer) + static_cast<double>(frac) / static_cast<double>(mod);
  const double factor = *numbers.RFMult.IfReadable();
  AddNoise(result, *result.comparison_khz, n_value, fundamental ? factor / d : factor);
  AddRegisterWords(*inputs.chip_profile,
                   RegisterRun{.r = c.r, .n = c.integer, .frac = frac, .mod = mod,
                               .prescaler = prescaler, .output_divider = d,
                               .feedback = fundamental ? FeedbackMode::kFundamental : FeedbackMode::kDivided,
                               .comparison_khz = *result.comparison_khz},
                   result);
  return result;
}

}  // namespace synthfactors::runner
