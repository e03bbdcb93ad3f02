#include "reference_path.h"

#include <algorithm>
#include <charconv>

namespace synthfactors {
namespace {

Rational Whole(std::int64_t value) { return Rational{value, 1}; }

bool AtMost(const Rational& a, const std::optional<Rational>& limit) {
  return !limit || !Less(*limit, a);
}
bool AtLeast(const Rational& a, const std::optional<Rational>& limit) {
  return !limit || !Less(a, *limit);
}

std::string_view StageName(StageKind kind) {
  switch (kind) {
    case StageKind::kDoubler: return "doubler";
    case StageKind::kPreDivider: return "pre-divider";
    case StageKind::kMultiplier: return "multiplier";
    case StageKind::kRCounter: return "R";
    case StageKind::kHalver: return "halver";
  }
  return "";
}

// "doubler/R/halver".
std::string StageList(const ReferencePath& path) {
  std::string list;
  for (const PathStage& stage : path.stages) {
    if (!list.empty()) list += '/';
    list += StageName(stage.kind);
  }
  return list;
}

std::string DecimalText(const Rational& value) {
  // The figures here are limits and references of a few decimals: shown
  // to six decimals at most, trailing zeros dropped.
  const Int128 scale = 1000000;
  Int128 scaled = value.num * scale / value.den;
  std::string digits;
  bool negative = scaled < 0;
  if (negative) scaled = -scaled;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(scaled % 10)));
    scaled /= 10;
  } while (scaled > 0);
  while (digits.size() < 7) digits.insert(digits.begin(), '0');
  std::string text = digits.substr(0, digits.size() - 6) + "." + digits.substr(digits.size() - 6);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return negative ? "-" + text : text;
}

std::optional<std::int64_t> WholeNumber(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

// Whether the doubler takes `ref`.
bool DoublerTakes(const PathStage& doubler, const Rational& ref) {
  return AtMost(ref, doubler.max_input_mhz) && AtLeast(ref, doubler.min_input_mhz);
}

// Why the multiplier does not take `input` to `input x factor`, or "".
std::string MultiplierFault(const PathStage& mult, const Rational& input, std::int64_t factor) {
  if (factor == 1) return "";
  if (std::find(mult.factors.begin(), mult.factors.end(), factor) == mult.factors.end()) {
    std::string list;
    for (std::size_t i = 0; i < mult.factors.size(); ++i) {
      list += (i == 0 ? "" : i + 1 == mult.factors.size() ? " or " : ", ") +
              std::to_string(mult.factors[i]);
    }
    return "the multiplier multiplies by " + list + ", not " + std::to_string(factor);
  }
  if (!AtLeast(input, mult.min_input_mhz) || !AtMost(input, mult.max_input_mhz)) {
    return "the multiplier takes " + DecimalText(*mult.min_input_mhz) + " to " +
           DecimalText(*mult.max_input_mhz) + " MHz, not " + DecimalText(input) + " MHz";
  }
  const Rational output = *Mul(input, Whole(factor));
  if (!AtLeast(output, mult.min_output_mhz) || !AtMost(output, mult.max_output_mhz)) {
    return "the multiplier gives " + DecimalText(*mult.min_output_mhz) + " to " +
           DecimalText(*mult.max_output_mhz) + " MHz, not " + DecimalText(output) + " MHz";
  }
  return "";
}

}  // namespace

const PathStage* ReferencePath::Find(StageKind kind) const {
  for (const PathStage& stage : stages) {
    if (stage.kind == kind) return &stage;
  }
  return nullptr;
}

PathChoice PathConfig::Split(std::int64_t r) const {
  if (!combined) return {setting, r};
  PathChoice choice{setting, r};
  const auto r_fits = [&](std::int64_t part, std::int64_t pre) {
    if (part > r_max) return false;
    if (part == 1 || !r_max_input_mhz) return true;
    return !Less(*r_max_input_mhz, *Div(base_mhz, Whole(pre)));
  };
  if (r_fits(r, 1)) {
    choice.setting.pre = 1;
    return choice;
  }
  // The smallest pre-divider is the largest part left to R: try R's parts
  // downwards (at most R's range, where trying each pre-divider would take
  // up to its whole range for every R).
  for (std::int64_t part = std::min(r_max, r / 2); part >= 1; --part) {
    if (r % part != 0) continue;
    const std::int64_t pre = r / part;
    if (pre > pre_max) break;  // smaller parts need larger pre-dividers
    if (r_fits(part, pre)) {
      choice.setting.pre = pre;
      choice.r = part;
      return choice;
    }
  }
  choice.setting.pre = 0;  // no split: admits() leaves it out
  return choice;
}

int PathConfig::StagesUsed(std::int64_t r) const {
  const PathChoice choice = Split(r);
  return (choice.setting.doubled ? 1 : 0) + (choice.setting.pre > 1 ? 1 : 0) +
         (choice.setting.mult > 1 ? 1 : 0) + (choice.setting.halved ? 1 : 0);
}

PathConfig ROnlyConfig(const ReferencePath& path) {
  PathConfig config;
  if (const PathStage* r = path.Find(StageKind::kRCounter)) {
    config.first_r = r->min;
    config.last_r = r->max;
  }
  return config;
}

std::vector<PathConfig> PathConfigs(const ReferencePath& path, const Rational& ref_mhz,
                                    const PathRequest& request, std::string& error) {
  const PathStage* doubler = path.Find(StageKind::kDoubler);
  const PathStage* pre = path.Find(StageKind::kPreDivider);
  const PathStage* mult = path.Find(StageKind::kMultiplier);
  const PathStage* r_stage = path.Find(StageKind::kRCounter);
  const PathStage* halver = path.Find(StageKind::kHalver);
  const std::int64_t r_min = r_stage ? r_stage->min : 1, r_max = r_stage ? r_stage->max : 1;
  const std::optional<Rational> r_input =
      r_stage ? r_stage->max_input_mhz : std::optional<Rational>();
  std::vector<PathConfig> configs;

  // A configuration whose R divides `into` (MHz).
  const auto add = [&](const PathSetting& setting, const Rational& into, std::int64_t first,
                       std::int64_t last) {
    PathConfig config;
    config.setting = setting;
    config.factor = *Div(into, ref_mhz);
    if (setting.halved) config.factor = *Div(config.factor, Whole(2));
    config.first_r = first;
    config.last_r = last;
    // R above 1 only where its input is within its limit.
    if (!AtMost(into, r_input)) config.last_r = std::min<std::int64_t>(last, 1);
    config.base_mhz = into;
    config.r_max = r_max;
    config.order = configs.size();
    if (config.first_r <= config.last_r) configs.push_back(std::move(config));
  };

  if (!request.automatic) {
    const PathSetting& s = request.fixed;
    if (s.doubled && (!doubler || !DoublerTakes(*doubler, ref_mhz))) {
      error = doubler ? "the doubler takes up to " + DecimalText(*doubler->max_input_mhz) +
                            " MHz, not " + DecimalText(ref_mhz) + " MHz"
                      : "the path has no doubler";
      return {};
    }
    if (pre && (s.pre < pre->min || s.pre > pre->max)) {
      error = "the pre-divider divides by " + std::to_string(pre->min) + " to " +
              std::to_string(pre->max) + ", not " + std::to_string(s.pre);
      return {};
    }
    const Rational base = s.doubled ? *Mul(ref_mhz, Whole(2)) : ref_mhz;
    const Rational into_mult = *Div(base, Whole(s.pre));
    if (mult) {
      if (std::string fault = MultiplierFault(*mult, into_mult, s.mult); !fault.empty()) {
        error = fault;
        return {};
      }
    }
    const Rational into_r = *Mul(into_mult, Whole(s.mult));
    std::int64_t first = r_min, last = r_max;
    if (request.fixed_r) {
      if (*request.fixed_r < r_min || *request.fixed_r > r_max) {
        error = "R runs from " + std::to_string(r_min) + " to " + std::to_string(r_max) +
                ", not " + std::to_string(*request.fixed_r);
        return {};
      }
      if (*request.fixed_r > 1 && !AtMost(into_r, r_input)) {
        error = "R takes up to " + DecimalText(*r_input) + " MHz where it divides, not " +
                DecimalText(into_r) + " MHz";
        return {};
      }
      first = last = *request.fixed_r;
    }
    add(s, into_r, first, last);
    if (configs.empty()) error = "no R from " + std::to_string(r_min) + " to " + std::to_string(r_max) + " fits";
    return configs;
  }

  const bool can_double = doubler && DoublerTakes(*doubler, ref_mhz);
  for (const bool doubled : {false, true}) {
    if (doubled && !can_double) continue;
    const Rational base = doubled ? *Mul(ref_mhz, Whole(2)) : ref_mhz;
    for (const bool halved : {false, true}) {
      if (halved && !halver) continue;
      PathSetting setting{doubled, 1, 1, halved};
      if (pre) {
        // The multiplier bypassed: R and the pre-divider as one divider K.
        PathConfig config;
        config.setting = setting;
        config.combined = true;
        config.factor = halved ? *Div(Whole(1), Whole(2)) : Whole(1);
        if (doubled) config.factor = *Mul(config.factor, Whole(2));
        config.first_r = 1;
        config.last_r = pre->max * r_max;
        config.r_max = r_max;
        config.pre_max = pre->max;
        config.base_mhz = base;
        config.r_max_input_mhz = r_input;
        config.order = configs.size();
        config.admits = [split = config](std::int64_t k) {
          return split.Split(k).setting.pre != 0;
        };
        configs.push_back(std::move(config));
      } else {
        add(setting, base, r_min, r_max);
      }
      if (!mult) continue;
      for (const std::int64_t factor : mult->factors) {
        if (factor == 1) continue;
        // The pre-divisions that bring base into the multiplier's input
        // range: base / max_input <= pre <= base / min_input.
        std::int64_t first_pre = pre ? pre->min : 1, last_pre = pre ? pre->max : 1;
        if (mult->max_input_mhz && mult->max_input_mhz->num > 0) {
          const Rational least = *Div(base, *mult->max_input_mhz);
          const Int128 ceiling = -Floor(Rational{-least.num, least.den});
          first_pre = static_cast<std::int64_t>(std::max<Int128>(first_pre, ceiling));
        }
        if (mult->min_input_mhz && mult->min_input_mhz->num > 0) {
          const Int128 most = Floor(*Div(base, *mult->min_input_mhz));
          last_pre = static_cast<std::int64_t>(std::min<Int128>(last_pre, most));
        }
        for (std::int64_t p = first_pre; p <= last_pre; ++p) {
          const Rational input = *Div(base, Whole(p));
          if (!MultiplierFault(*mult, input, factor).empty()) continue;
          add(PathSetting{doubled, p, factor, halved}, *Mul(input, Whole(factor)), r_min, r_max);
        }
      }
    }
  }
  return configs;
}

std::string PathText(const ReferencePath& path, const PathSetting& setting,
                     std::optional<std::int64_t> r) {
  std::string text;
  for (const PathStage& stage : path.stages) {
    if (!text.empty()) text += '/';
    switch (stage.kind) {
      case StageKind::kDoubler: text += setting.doubled ? "x2" : "x1"; break;
      case StageKind::kPreDivider: text += std::to_string(setting.pre); break;
      case StageKind::kMultiplier: text += "x" + std::to_string(setting.mult); break;
      case StageKind::kRCounter: text += r ? std::to_string(*r) : "R"; break;
      case StageKind::kHalver: text += setting.halved ? "2" : "1"; break;
    }
  }
  return text;
}

std::optional<PathRequest> ReadPathText(const ReferencePath& path, std::string_view text,
                                        std::string& error) {
  if (text == "auto") return PathRequest{};
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t slash = text.find('/', start);
    parts.push_back(text.substr(start, slash == std::string_view::npos ? slash : slash - start));
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  const std::string expected = "\"auto\" or one setting a stage (" + StageList(path) +
                               "), such as \"" + PathText(path, PathSetting{}, std::nullopt) + "\"";
  if (parts.size() != path.stages.size()) {
    error = "a path is " + expected + ", not \"" + std::string(text) + "\"";
    return std::nullopt;
  }
  PathRequest request;
  request.automatic = false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    const StageKind kind = path.stages[i].kind;
    const std::string_view digits = part.starts_with('x') || part.starts_with('X') ? part.substr(1) : part;
    const std::optional<std::int64_t> number = WholeNumber(
        kind == StageKind::kDoubler || kind == StageKind::kMultiplier ? digits : part);
    bool fits = number.has_value();
    switch (kind) {
      case StageKind::kDoubler:
        fits = fits && (*number == 1 || *number == 2);
        if (fits) request.fixed.doubled = *number == 2;
        break;
      case StageKind::kPreDivider:
        fits = fits && *number >= 1;
        if (fits) request.fixed.pre = *number;
        break;
      case StageKind::kMultiplier:
        fits = fits && *number >= 1;
        if (fits) request.fixed.mult = *number;
        break;
      case StageKind::kRCounter:
        if (part == "R" || part == "r") {
          fits = true;
        } else {
          fits = fits && *number >= 1;
          if (fits) request.fixed_r = *number;
        }
        break;
      case StageKind::kHalver:
        fits = fits && (*number == 1 || *number == 2);
        if (fits) request.fixed.halved = *number == 2;
        break;
    }
    if (!fits) {
      error = "the " + std::string(StageName(kind)) + " of a path reads \"" + std::string(part) +
              "\"; a path is " + expected;
      return std::nullopt;
    }
  }
  return request;
}

std::optional<Rational> PathComparisonMHz(const Rational& ref_mhz, const PathChoice& choice) {
  const PathSetting& s = choice.setting;
  auto up = Mul(ref_mhz, Whole((s.doubled ? 2 : 1) * s.mult));
  if (!up) return std::nullopt;
  return Div(*up, Whole(s.pre * choice.r * (s.halved ? 2 : 1)));
}

namespace {

// -1, 0 or 1 as a is below, equal to or above b; figures too wide for
// exact arithmetic compare as their nearest doubles.
int CompareOptional(const std::optional<Rational>& a, const std::optional<Rational>& b) {
  if (a && b) return Compare(*a, *b);
  const double x = a ? NearestDouble(*a) : 0, y = b ? NearestDouble(*b) : 0;
  return x < y ? -1 : x > y ? 1 : 0;
}

std::optional<Rational> Magnitude(std::optional<Rational> value) {
  if (value && value->num < 0) value->num = -value->num;
  return value;
}

}  // namespace

bool BetterPath(const PathOutcome& a, const PathOutcome& b) {
  const FractionalSetting &x = a.setting, &y = b.setting;
  if (x.on_frequency != y.on_frequency) return x.on_frequency;
  if (!x.on_frequency) {
    const int c = CompareOptional(Magnitude(ErrorHz(*a.in, x)), Magnitude(ErrorHz(*b.in, y)));
    if (c != 0) return c < 0;
  } else if (a.in->noise && x.noise != y.noise) {
    return x.noise < y.noise;
  }
  if ((x.p == 0) != (y.p == 0)) return x.p == 0;
  if (x.p != 0) {
    const int c = CompareOptional(SpurOffsetKHz(*a.in, x), SpurOffsetKHz(*b.in, y));
    if (c != 0) return c > 0;
  }
  const int c = Compare(ComparisonKHz(*a.in, x.r), ComparisonKHz(*b.in, y.r));
  if (c != 0) return c > 0;
  const int stages_a = a.config->StagesUsed(x.r), stages_b = b.config->StagesUsed(y.r);
  if (stages_a != stages_b) return stages_a < stages_b;
  if (a.config->order != b.config->order) return a.config->order < b.config->order;
  return x.r < y.r;
}

bool MayBeat(const FractionalSearchInputs& in, const PathOutcome& best) {
  if (!best.setting.on_frequency || best.in->tolerance_hz.num != 0 || best.in->noise ||
      in.tolerance_hz.num != 0 || in.noise) {
    return true;
  }
  const FractionalSearch search(in);
  const std::optional<std::int64_t> first = search.First();
  if (!first || *first < 1) return true;
  const Rational highest = ComparisonKHz(in, *first);
  const Rational best_comparison = ComparisonKHz(*best.in, best.setting.r);
  if (best.setting.p == 0) return !Less(highest, best_comparison);
  // A spur lies at most half the comparison frequency from the carrier.
  const auto reach = Div(highest, Rational{2, 1});
  const auto spur = SpurOffsetKHz(*best.in, best.setting);
  if (!reach || !spur || Less(*spur, *reach)) return true;
  return search.FirstWholeR().has_value();
}

}  // namespace synthfactors
