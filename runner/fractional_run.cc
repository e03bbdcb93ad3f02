#include "fractional_run.h"

#include "loop_run.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <numeric>

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

// A double as the decimal it was written as: a box's number, a chip's
// limit or an option's value, exactly.
Rational ExactOf(double value) {
  return DecimalRational(ShortestText(value)).value_or(Rational{0, 1});
}

// The search's bounds in prescaler mode `mode` (an index into the
// fractional rule's modes): N's range in integer mode and INT's in
// fractional mode, R's range, and the window exactly, narrowed to the
// chip's limits and in fractional mode to its own.
FractionalSearchInputs SearchInputs(const RunInputs& inputs, const BoxNumbers& numbers,
                                    const ExactFigures& x, const PathConfig& config,
                                    std::size_t mode, std::size_t integer_mode) {
  const ChipProfile& chip = *inputs.chip_profile;
  const FractionalRule& rule = *chip.fractional;
  const SearchBounds integer_bounds = BothBounds(
      ChipBounds(chip.counters, std::min(integer_mode, ModeCount(chip.counters) - 1)),
      inputs.bounds);
  const SearchBounds fractional_bounds =
      BothBounds(ChipBounds(rule.Counters, std::min(mode, ModeCount(rule.Counters) - 1)),
                 inputs.bounds);
  FractionalSearchInputs in;
  in.t_unit = x.t_unit;
  in.ref_khz = *Mul(x.ref, Rational{1000, 1});
  if (config.combined) {
    // R is the pre-divider and R as one divider: the path holds R's range.
    in.first_r = config.first_r;
    in.last_r = config.last_r;
  } else {
    in.first_r = std::max<std::int64_t>(
        {chip.counters.R.Min, inputs.bounds.FirstTriedR(), config.first_r});
    in.last_r = std::min<std::int64_t>(
        {chip.counters.R.Max, inputs.bounds.LastTriedR(), config.last_r});
  }
  in.r_allowed = config.admits;
  in.integer_n = CounterRange{integer_bounds.MinN, integer_bounds.MaxN};
  in.fractional_int = CounterRange{fractional_bounds.MinN, fractional_bounds.MaxN};
  double lower = numbers.MinFC.IfReadable().value_or(0);
  double upper = numbers.MaxFC.IfReadable().value_or(0);
  if (chip.counters.MinComparisonKHz) lower = std::max(lower, *chip.counters.MinComparisonKHz);
  if (chip.counters.MaxComparisonKHz) upper = std::min(upper, *chip.counters.MaxComparisonKHz);
  in.lower_khz = ExactOf(lower);
  in.upper_khz = ExactOf(upper);
  if (rule.MaxComparisonKHz) in.upper_fractional_khz = ExactOf(std::min(upper, *rule.MaxComparisonKHz));
  in.max_mod = rule.Mod.Max;
  in.mod1 = rule.Mod1;
  return in;
}

// The limits of a modulator's orders at the loop's VCO: integer mode's
// (order 0) on N and the window, the fractional order's on INT and its
// window.
void ApplyMashLimits(const FractionalRule& rule, std::optional<std::int64_t> order,
                     double vco_mhz, FractionalSearchInputs& in) {
  if (!order || rule.MashOrders.empty()) return;
  const auto narrow = [](const MashOrder& m, double vco, CounterRange& n,
                         std::optional<Rational>& upper) {
    n.min = std::max<double>(n.min, static_cast<double>(m.RowFor(vco).MinN));
    if (m.MaxComparisonKHz) {
      const Rational top = ExactOf(*m.MaxComparisonKHz);
      if (!upper || Less(top, *upper)) upper = top;
    }
  };
  narrow(rule.MashOrders.front(), vco_mhz, in.integer_n, in.upper_khz);
  if (const MashOrder* fractional = rule.Order(*order)) {
    if (!in.upper_fractional_khz) in.upper_fractional_khz = in.upper_khz;
    narrow(*fractional, vco_mhz, in.fractional_int, in.upper_fractional_khz);
  }
}

// Why the search found no setting, in words.
std::string NoSettingMessage(const FractionalSearchInputs& in, const FractionalSearchResult& found) {
  switch (found.why) {
    case NoFractionalSetting::kSpurTooNear:
      return "no setting keeps the integer-boundary spur " + ShortestText(NearestDouble(*in.spur_clear_khz)) +
             " kHz from the carrier; the furthest found is " +
             ShortestText(found.furthest_dropped_khz) + " kHz";
    case NoFractionalSetting::kNoRInWindow:
      return "no divider pair fits: no reference divider R from " + std::to_string(in.first_r) +
             " to " + std::to_string(in.last_r) +
             " puts the comparison frequency between Minimum Fcomp and Maximum Fcomp"
             " (at most " +
             ShortestText(NearestDouble(in.upper_fractional_khz.value_or(*in.upper_khz))) +
             " kHz in fractional mode)";
    case NoFractionalSetting::kTooManyDigits:
      return std::string(kTooManyDigits);
    case NoFractionalSetting::kNoInt:
    case NoFractionalSetting::kNone:
      break;
  }
  return "no divider pair fits: no R gives an INT from " + WholeText(in.fractional_int.min) +
         " to " + WholeText(in.fractional_int.max) + " in fractional mode (nor an N from " +
         WholeText(in.integer_n.min) + " to " + WholeText(in.integer_n.max) + " in integer mode)";
}

// A run that ends without a setting: its fault column says so, the
// message why.
void Fail(RunResult& result, std::string message) {
  result.stage = RunStage::kSearch;
  result.no_setting = true;
  result.message = std::move(message);
}

// A setting's comparison frequency, output error and spur (none in integer
// mode), each the double nearest its exact value; none where the error has
// too many digits to be stated.
struct SettingFigures {
  double comparison_khz = 0, error_hz = 0, error_ppb = 0;
  std::optional<double> spur_offset_khz;
};
std::optional<SettingFigures> FiguresOf(const FractionalSearchInputs& in, const ExactFigures& x,
                                        const FractionalSetting& c) {
  SettingFigures figures;
  figures.comparison_khz = NearestDouble(ComparisonKHz(in, c.r));
  const auto error_hz = ErrorHz(in, c);
  const auto error_ppb = error_hz ? Div(*Mul(*error_hz, Rational{1000, 1}), x.rf) : std::nullopt;
  if (!error_hz || !error_ppb) return std::nullopt;
  figures.error_hz = NearestDouble(*error_hz);
  figures.error_ppb = NearestDouble(*error_ppb);
  if (c.p != 0) {
    const auto spur = SpurOffsetKHz(in, c);
    figures.spur_offset_khz = spur ? NearestDouble(*spur)
                                   : figures.comparison_khz * static_cast<double>(c.spur) /
                                         static_cast<double>(c.q);
  }
  return figures;
}

// The registers' FRAC and MOD of a setting: P/Q, with one level scaled up
// where Q lies below MOD's least; 0 and 1 in integer mode.
std::pair<std::int64_t, std::int64_t> RegisterFraction(const FractionalRule& rule,
                                                       const FractionalSetting& c) {
  std::int64_t frac = c.p, mod = c.q;
  if (rule.Mod1 == 0) {
    while (frac != 0 && mod < rule.Mod.Min) {
      frac += c.p;  // a denominator below MOD's least, scaled up
      mod += c.q;
    }
  }
  if (frac == 0) mod = 1;
  return {frac, mod};
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
  const std::optional<SettingFigures> figures = FiguresOf(in, x, c);
  if (!figures) {
    Fail(result, "fractional-N planning: the error has too many digits to be stated exactly");
    return false;
  }
  result.comparison_khz = figures->comparison_khz;
  result.error_hz = figures->error_hz;
  result.error_ppb = figures->error_ppb;
  if (frac != 0) result.spur_offset_khz = figures->spur_offset_khz;
  // The VCO the setting gives, exactly: (INT + P/Q) x ref / R (x D with
  // divided feedback).
  const auto n_exact = Add(Rational{c.integer, 1}, Rational{c.p, c.q});
  const auto synthesised = n_exact ? Mul(*n_exact, *Div(x.ref, Rational{c.r, 1})) : std::nullopt;
  const auto vco = synthesised ? Mul(*synthesised, Rational{d, 1}) : std::nullopt;
  if (vco) result.vco_mhz = NearestDouble(*vco);
  return true;
}

// The prescaler of a counter's mode (0 without modes) and what it counts
// up to (none: any frequency).
struct PrescalerLimit {
  std::int32_t p = 0;
  std::optional<double> up_to_mhz;
};
PrescalerLimit LimitOf(const ChipCounters& counters, std::size_t mode) {
  if (counters.Prescalers.empty()) return {};
  const PrescalerMode& m = counters.Prescalers[std::min(mode, counters.Prescalers.size() - 1)];
  return {m.P, m.UpToMHz};
}

// The search, with the prescaler modes the loop frequency needs (or the
// ones asked for), and again with larger ones while the chosen setting
// asks its prescaler to count beyond its limit (a setting within the
// tolerance may lie just above the frequency asked for).
struct Found {
  FractionalSearchInputs in;
  FractionalSearchResult result;
  std::int32_t prescaler = 0;
  ExactFigures x;  // the figures with the configuration's reference
  const PathConfig* config = nullptr;
};
// The search's inputs in the prescaler modes `mode` (fractional) and
// `integer_mode`, with the run's options.
// How one search is set up: the path's configuration, the modulator's
// order (none without a choice), what the VCO is over the loop and the
// noise's factor.
struct SearchPlan {
  const PathConfig* config = nullptr;
  std::optional<std::int64_t> order;
  std::int64_t vco_per_loop = 1;
  double noise_factor = 1;
  double vco_mhz = 0;
};

FractionalSearchInputs ConfiguredSearch(const RunInputs& inputs, const BoxNumbers& numbers,
                                        const ExactFigures& x, const PlanOptions& plan,
                                        std::size_t mode, std::size_t integer_mode,
                                        const SearchPlan& how) {
  const std::int64_t vco_per_loop = how.vco_per_loop;
  const double noise_factor = how.noise_factor;
  FractionalSearchInputs in = SearchInputs(inputs, numbers, x, *how.config, mode, integer_mode);
  ApplyMashLimits(*inputs.chip_profile->fractional, how.order, how.vco_mhz, in);
  in.tolerance_hz = ExactOf(plan.tolerance_hz.value_or(0));
  in.hz_per_t_unit = x.hz;
  if (plan.spur_clear_khz) in.spur_clear_khz = ExactOf(*plan.spur_clear_khz);
  in.vco_per_loop = vco_per_loop;
  if (plan.prefer == Preference::kNoise) {
    in.noise = NoiseModelOf(inputs, plan);
    in.noise_factor = noise_factor;
  }
  return in;
}

// The prescaler modes the loop frequency needs (or the ones asked for).
std::pair<std::size_t, std::size_t> FirstModes(const RunInputs& inputs, const ExactFigures& x) {
  const ChipProfile& chip = *inputs.chip_profile;
  const std::optional<double> counted = std::fabs(NearestDouble(x.loop));
  return {PrescalerModeFor(chip.fractional->Counters, inputs.prescaler, counted),
          PrescalerModeFor(chip.counters, inputs.prescaler, counted)};
}

// The search, with the prescaler modes the loop frequency needs, unless
// `best` shows at the first modes that it cannot win.
Found SearchWithPrescalers(const RunInputs& inputs, const BoxNumbers& numbers,
                           const ExactFigures& x, const PlanOptions& plan, const SearchPlan& how,
                           const std::optional<PathOutcome>& best, bool& skipped) {
  const ChipProfile& chip = *inputs.chip_profile;
  const auto [first_mode, first_integer_mode] = FirstModes(inputs, x);
  Found found;
  skipped = false;
  for (std::size_t step = 0;; ++step) {
    const std::size_t mode = first_mode + step, integer_mode = first_integer_mode + step;
    found.in = ConfiguredSearch(inputs, numbers, x, plan, mode, integer_mode, how);
    if (step == 0 && best && !MayBeat(found.in, *best)) {
      skipped = true;
      return found;
    }
    found.result = SearchFractional(found.in);
    if (!found.result.setting) return found;
    const FractionalSetting& c = *found.result.setting;
    const PrescalerLimit limit = c.p == 0 ? LimitOf(chip.counters, integer_mode)
                                          : LimitOf(chip.fractional->Counters, mode);
    found.prescaler = limit.p;
    const auto n = Add(Rational{c.integer, 1}, Rational{c.p, c.q});
    const auto khz = n ? Mul(*n, ComparisonKHz(found.in, c.r)) : std::nullopt;
    const bool beyond = limit.up_to_mhz && khz && NearestDouble(*khz) > *limit.up_to_mhz * 1000;
    const bool larger = mode + 1 < ModeCount(chip.fractional->Counters) ||
                        integer_mode + 1 < ModeCount(chip.counters);
    if (!beyond || !larger) return found;
  }
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
  if ((rf->num < 0) != (mult->num < 0)) {
    return "fractional-N planning needs a source frequency (RF output / factor) above 0, not " +
           ShortestText(NearestDouble(*Div(*rf, *mult)));
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

// The modulator orders a run tries: the one asked for, else each from the
// lowest (the first that reaches the channel exactly is taken); none
// without a choice.
std::vector<std::optional<std::int64_t>> OrdersFor(const RunInputs& inputs) {
  const FractionalRule& rule = *inputs.chip_profile->fractional;
  if (rule.MashOrders.size() < 2) return {std::nullopt};
  if (inputs.mash_order) return {inputs.mash_order};
  std::vector<std::optional<std::int64_t>> orders;
  for (std::size_t i = 1; i < rule.MashOrders.size(); ++i) orders.push_back(rule.MashOrders[i].Order);
  return orders;
}

// How telling a failed search is: a spur too near says most, then no INT,
// then no R in the window.
int Telling(const FractionalSearchResult& result) {
  switch (result.why) {
    case NoFractionalSetting::kSpurTooNear: return 4;
    case NoFractionalSetting::kNoInt: return 3;
    case NoFractionalSetting::kNoRInWindow: return 2;
    case NoFractionalSetting::kTooManyDigits: return 1;
    case NoFractionalSetting::kNone: break;
  }
  return 0;
}

// The searches of a run over its path's configurations and its modulator's
// orders, and the setting chosen.
struct PathSearch {
  std::vector<PathConfig> configs;
  std::deque<Found> founds;  // each search, at a stable place
  std::optional<PathOutcome> best;
  const Found* best_found = nullptr;
  std::optional<std::int64_t> order;
  const Found* failure = nullptr;  // the most telling search without a setting
  bool too_many_digits = false;
};

void SearchPaths(const RunInputs& inputs, const BoxNumbers& numbers, const ExactFigures& x,
                 const PlanOptions& plan, std::int32_t d, bool fundamental, double factor,
                 PathSearch& search) {
  const auto source = Div(x.rf, x.mult);
  const auto vco = source ? Mul(*source, Rational{d, 1}) : std::nullopt;
  const double vco_mhz = vco ? std::fabs(NearestDouble(*vco)) : 0;
  // The configurations with the highest comparison frequency first: their
  // setting, once found, lets the others be passed over where they cannot
  // beat it. The choice does not hang on the order (BetterPath ranks every
  // pair of settings), only the time it takes.
  std::vector<const PathConfig*> visit;
  for (const PathConfig& config : search.configs) visit.push_back(&config);
  std::stable_sort(visit.begin(), visit.end(), [](const PathConfig* a, const PathConfig* b) {
    const auto top_a = Div(a->factor, Rational{a->first_r, 1});
    const auto top_b = Div(b->factor, Rational{b->first_r, 1});
    return top_a && top_b && Less(*top_b, *top_a);
  });
  // Of failed searches equally telling, the earlier configuration speaks.
  const auto more_telling = [](const Found& a, const Found& b) {
    if (Telling(a.result) != Telling(b.result)) return Telling(a.result) > Telling(b.result);
    if (a.result.why == NoFractionalSetting::kSpurTooNear &&
        a.result.furthest_dropped_khz != b.result.furthest_dropped_khz) {
      return a.result.furthest_dropped_khz > b.result.furthest_dropped_khz;
    }
    return a.config->order < b.config->order;
  };
  for (const std::optional<std::int64_t> order : OrdersFor(inputs)) {
    std::optional<PathOutcome> best;
    const Found* best_found = nullptr;
    for (const PathConfig* visited : visit) {
      const PathConfig& config = *visited;
      ExactFigures xc = x;
      const auto ref = Mul(x.ref, config.factor);
      if (!ref) {
        search.too_many_digits = true;
        continue;
      }
      xc.ref = *ref;
      if (!WorkOut(xc, fundamental ? d : 1)) {
        search.too_many_digits = true;
        continue;
      }
      const SearchPlan how{&config, order, fundamental ? 1 : d,
                           fundamental ? factor / d : factor, vco_mhz};
      bool skipped = false;
      Found found = SearchWithPrescalers(inputs, numbers, xc, plan, how, best, skipped);
      if (skipped) continue;
      found.x = xc;
      found.config = &config;
      const Found& stored = search.founds.emplace_back(std::move(found));
      if (!stored.result.setting) {
        if (!search.failure || more_telling(stored, *search.failure)) search.failure = &stored;
        continue;
      }
      const PathOutcome outcome{&config, &stored.in, *stored.result.setting};
      if (!best || BetterPath(outcome, *best)) {
        best = outcome;
        best_found = &stored;
      }
    }
    if (!best) continue;
    const bool exact = best->setting.error_num == 0;
    if (!search.best || exact) {
      search.best = best;
      search.best_found = best_found;
      search.order = order;
    }
    if (exact) return;
  }
}

// The registers' FRAC1 and FRAC2/MOD2 of P/Q over a first modulus of mod1:
// FRAC1 = floor(P mod1 / Q), and the rest over Q in lowest terms, MOD2 at
// least its least value.
void TwoLevels(std::int64_t p, std::int64_t q, std::int64_t mod1, std::int64_t least_mod2,
               RunResult& result) {
  const Int128 scaled = Int128{p} * mod1;
  const auto frac1 = static_cast<std::int64_t>(scaled / q);
  const auto rest = static_cast<std::int64_t>(scaled % q);
  const std::int64_t g = std::gcd(rest, q);
  std::int64_t frac2 = rest / g, mod2 = q / g;
  if (frac2 == 0) mod2 = least_mod2;
  const std::int64_t times = (least_mod2 + mod2 - 1) / mod2;
  result.frac1 = frac1;
  result.frac2 = frac2 * times;
  result.mod2 = mod2 * times;
}

}  // namespace

bool PathPlanned(const RunInputs& inputs) {
  const ChipProfile* chip = inputs.chip_profile.get();
  return chip != nullptr && chip->reference_path &&
         (inputs.path_request || chip->path_automatic);
}

std::variant<std::vector<PathConfig>, std::string> PathConfigsOf(const RunInputs& inputs,
                                                                 const Rational& ref_mhz) {
  const ChipProfile& chip = *inputs.chip_profile;
  if (!PathPlanned(inputs)) {
    PathConfig alone;
    alone.first_r = chip.counters.R.Min;
    alone.last_r = chip.counters.R.Max;
    return std::vector<PathConfig>{alone};
  }
  // The R range asked for narrows R's stage.
  ReferencePath path = *chip.reference_path;
  for (PathStage& stage : path.stages) {
    if (stage.kind != StageKind::kRCounter) continue;
    stage.min = std::max<std::int64_t>(stage.min, inputs.bounds.FirstTriedR());
    stage.max = std::min<std::int64_t>(stage.max, inputs.bounds.LastTriedR());
  }
  std::string error;
  std::vector<PathConfig> configs =
      PathConfigs(path, ref_mhz, inputs.path_request.value_or(PathRequest{}), error);
  if (configs.empty()) {
    return "no setting of the reference path fits" + (error.empty() ? "" : ": " + error);
  }
  return configs;
}

namespace {

// The alternatives of a run: the best setting of each R of the chosen
// search (its reference path's setting, modulator order and prescaler
// kept), ranked as the run chooses, so that the first is the run's own. A
// setting whose error cannot be stated exactly is left out.
std::vector<Alternative> Alternatives(const RunInputs& inputs, const RunResult& result,
                                      const Found& found, std::optional<std::int64_t> order,
                                      double noise_factor) {
  const FractionalRule& rule = *inputs.chip_profile->fractional;
  std::vector<Alternative> alternatives;
  for (const FractionalSetting& c : FractionalSearch(found.in).Ranked(result.plan.alternatives)) {
    const std::optional<SettingFigures> figures = FiguresOf(found.in, found.x, c);
    if (!figures) continue;
    const PathChoice path = found.config->Split(c.r);
    const auto [frac, mod] = RegisterFraction(rule, c);
    Alternative& alternative = alternatives.emplace_back();
    alternative.rank = static_cast<int>(alternatives.size());
    alternative.pair = RankedPair{.R = static_cast<std::int32_t>(path.r),
                                  .N = static_cast<double>(c.integer),
                                  .ComparisonKHz = figures->comparison_khz,
                                  .ErrorHz = figures->error_hz,
                                  .ErrorPpb = figures->error_ppb,
                                  .Exact = c.error_num == 0};
    alternative.mode = frac == 0 ? SettingMode::kInteger : SettingMode::kFractional;
    alternative.frac = frac;
    if (frac != 0) {
      alternative.mod = mod;
      alternative.spur_offset_khz = figures->spur_offset_khz;
    }
    if (!rule.MashOrders.empty()) alternative.mash_order = frac == 0 ? 0 : order.value_or(1);
    if (PathPlanned(inputs)) {
      alternative.reference_path =
          PathText(*inputs.chip_profile->reference_path, path.setting, path.r);
    }
    if (result.noise) {
      const double n_value =
          static_cast<double>(c.integer) + static_cast<double>(frac) / static_cast<double>(mod);
      if (const auto noise = InBandNoise(*result.noise, figures->comparison_khz, n_value,
                                         noise_factor)) {
        alternative.phase_noise = noise->Total;
      }
    }
  }
  return alternatives;
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
  const double factor = *numbers.RFMult.IfReadable();
  PathSearch search;
  auto configs = PathConfigsOf(inputs, x.ref);
  if (auto* error = std::get_if<std::string>(&configs)) {
    Fail(result, *error);
    return result;
  }
  search.configs = std::get<std::vector<PathConfig>>(std::move(configs));
  SearchPaths(inputs, numbers, x, plan, d, fundamental, factor, search);
  if (!search.best) {
    if (search.failure) {
      Fail(result, NoSettingMessage(search.failure->in, search.failure->result));
    } else {
      Fail(result, std::string(kTooManyDigits));
    }
    return result;
  }

  const Found& found = *search.best_found;
  const FractionalSetting& c = search.best->setting;
  if (plan.alternatives > 0) {
    result.alternatives =
        Alternatives(inputs, result, found, search.order, fundamental ? factor / d : factor);
  }
  const PathChoice path = found.config->Split(c.r);
  const FractionalRule& rule = *inputs.chip_profile->fractional;
  const auto [frac, mod] = RegisterFraction(rule, c);
  if (rule.Mod1 != 0 && frac != 0) {
    TwoLevels(c.p, c.q, rule.Mod1, rule.Mod.Min, result);
  } else if (rule.Mod1 != 0) {
    result.frac1 = 0;  // integer mode: no fraction, as FRAC is 0
    result.frac2 = 0;
  }
  if (!SetFigures(result, found.in, found.x, c, frac, mod, fundamental ? 1 : d)) return result;
  result.r = static_cast<double>(path.r);
  if (PathPlanned(inputs)) {
    result.reference_path = PathText(*inputs.chip_profile->reference_path, path.setting, path.r);
  }
  std::int64_t pfd_delay = 0;
  if (!rule.MashOrders.empty()) {
    result.mash_order = frac == 0 ? 0 : search.order.value_or(1);
    if (const MashOrder* order = rule.Order(*result.mash_order)) {
      pfd_delay = order->RowFor(result.vco_mhz.value_or(0)).PfdDelay;
    }
  }
  try {
    FractionalReportFigures figures{.R = path.r, .Int = c.integer, .Frac = frac, .Mod = mod,
                                    .ComparisonKHz = *result.comparison_khz,
                                    .Exact = *result.exact, .ErrorHz = *result.error_hz,
                                    .ErrorPpb = *result.error_ppb,
                                    .TwoLevels = std::nullopt};
    if (result.mod2) figures.TwoLevels = {{*result.frac1, *result.frac2, *result.mod2}};
    result.report = FractionalReport(figures, decimal_symbol);
  } catch (const ArithmeticFault& fault) {
    result.fault = fault.kind();
    result.stage = RunStage::kHexValues;
    result.message = FaultMessage(fault.kind(), RunStage::kHexValues);
    return result;
  }
  result.stage = RunStage::kDone;
  const double n_value =
      static_cast<double>(c.integer) + static_cast<double>(frac) / static_cast<double>(mod);
  AddNoise(result, *result.comparison_khz, n_value, fundamental ? factor / d : factor);
  AddLoop(result, {.comparison_khz = *result.comparison_khz,
                   .n = n_value,
                   .factor = fundamental ? factor / d : factor,
                   .feedback_division = fundamental ? 1.0 : double(d),
                   .reference_mhz = numbers.Ref.Value()});
  if (result.refusal) return result;
  if (SourceReachable(*inputs.chip_profile, source, divider)) {
    AddRegisterWords(*inputs.chip_profile,
                     RegisterRun{.r = path.r, .n = c.integer, .frac = frac, .mod = mod,
                                 .prescaler = found.prescaler, .output_divider = d,
                                 .feedback = fundamental ? FeedbackMode::kFundamental
                                                         : FeedbackMode::kDivided,
                                 .comparison_khz = *result.comparison_khz,
                                 .path = path.setting,
                                 .mash_order = result.mash_order.value_or(0),
                                 .pfd_delay = pfd_delay,
                                 .frac1 = result.frac1.value_or(0),
                                 .frac2 = result.frac2.value_or(0),
                                 .mod2 = result.mod2.value_or(2),
                                 .ref_mhz = numbers.Ref.Value(),
                                 .vco_mhz = result.vco_mhz.value_or(0)},
                     result);
  }
  return result;
}

std::variant<FractionalSearchInputs, std::string> FractionalInputsOf(const RunInputs& inputs,
                                                                    const BoxNumbers& numbers,
                                                                    const PlanOptions& plan,
                                                                    const PathConfig& config) {
  RunResult scratch;
  if (!ReadSource(numbers, scratch)) return scratch.message;
  const double source = *numbers.RFOut.IfReadable() / *numbers.RFMult.IfReadable();
  ExactFigures x;
  if (std::string error = ReadExactly(inputs, numbers, x); !error.empty()) return error;
  const std::optional<DividerChoice> divider = ChooseDivider(inputs, source);
  const std::int32_t d = divider ? divider->divider : 1;
  const bool fundamental = !divider || divider->Fundamental();
  const auto ref = Mul(x.ref, config.factor);
  if (!ref) return std::string(kTooManyDigits);
  x.ref = *ref;
  if (!WorkOut(x, fundamental ? d : 1)) return std::string(kTooManyDigits);
  const double factor = *numbers.RFMult.IfReadable();
  const auto [mode, integer_mode] = FirstModes(inputs, x);
  const auto exact_source = Div(x.rf, x.mult);
  const auto vco = exact_source ? Mul(*exact_source, Rational{d, 1}) : std::nullopt;
  const std::vector<std::optional<std::int64_t>> orders = OrdersFor(inputs);
  const SearchPlan how{&config, orders.front(), fundamental ? 1 : d,
                       fundamental ? factor / d : factor,
                       vco ? std::fabs(NearestDouble(*vco)) : 0};
  return ConfiguredSearch(inputs, numbers, x, plan, mode, integer_mode, how);
}

}  // namespace synthfactors::runner
