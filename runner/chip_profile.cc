#include "chip_profile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <tuple>
#include <limits>

#include "divider_search.h"
#include "fractional_plan.h"
#include "number_text.h"
#include "register_words.h"

namespace synthfactors::runner {

// The shipped profiles, generated from data/chips at build time.
std::span<const ShippedProfile> ShippedProfilesTable();

namespace {

using Object = ProfileValue::Object;
using Array = ProfileValue::Array;

// The largest modulus a profile may give: a 32-bit register's.
constexpr std::int64_t kLargestModulus = 4294967295;

// Reads one profile, keeping the first fault: its member's path and what is
// wrong with it.
class ProfileReader {
 public:
  ProfileReader(std::string_view origin, std::string& error) : origin_(origin), error_(error) {}

  bool Fail(std::string_view path, std::string_view problem) {
    if (ok_) {
      error_ = "chip profile " + origin_ + ": ";
      if (!path.empty()) {
        error_ += '"';
        error_ += path;
        error_ += "\" ";
      }
      error_ += problem;
    }
    ok_ = false;
    return false;
  }
  bool ok() const { return ok_; }

  // The object at `path`, its members all among `known`.
  const Object* ObjectAt(const ProfileValue& value, const std::string& path,
                         std::initializer_list<std::string_view> known) {
    const auto* object = std::get_if<Object>(&value.value);
    if (object == nullptr) {
      Fail(path, "must be an object");
      return nullptr;
    }
    for (const std::string& name : object->names) {
      bool listed = false;
      for (const std::string_view k : known) listed = listed || k == name;
      if (!listed) {
        Fail(Join(path, name), "is not a member of a chip profile here (a misspelling?)");
        return nullptr;
      }
    }
    return object;
  }

  static const ProfileValue* Member(const Object& object, std::string_view name) {
    for (std::size_t i = 0; i < object.names.size(); ++i) {
      if (object.names[i] == name) return &object.values[i];
    }
    return nullptr;
  }

  static std::string Join(const std::string& path, std::string_view name) {
    return path.empty() ? std::string(name) : path + "." + std::string(name);
  }

  const ProfileValue* Required(const Object& object, const std::string& path,
                               std::string_view name) {
    const ProfileValue* value = Member(object, name);
    if (value == nullptr) Fail(Join(path, name), "is missing");
    return value;
  }

  std::optional<std::string> Text(const Object& object, const std::string& path,
                                  std::string_view name) {
    const ProfileValue* value = Required(object, path, name);
    if (value == nullptr) return std::nullopt;
    const auto* text = std::get_if<std::string>(&value->value);
    if (text == nullptr || text->empty()) {
      Fail(Join(path, name), "must be a text that is not empty");
      return std::nullopt;
    }
    // Written into reports and terminals: a control character could forge
    // a line or clear the screen.
    for (const char c : *text) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte < 0x20 || byte == 0x7F) {
        Fail(Join(path, name), "holds a control character (a line break, a tab, NUL or ESC), "
                               "which a name or description may not");
        return std::nullopt;
      }
    }
    return *text;
  }

  // A finite number, where the member is given.
  std::optional<double> Number(const Object& object, const std::string& path,
                               std::string_view name) {
    const ProfileValue* value = Member(object, name);
    if (value == nullptr) return std::nullopt;
    const auto* number = std::get_if<double>(&value->value);
    if (number == nullptr || !std::isfinite(*number)) {
      Fail(Join(path, name), "must be a number");
      return std::nullopt;
    }
    return *number;
  }

  // A noise figure within the limits a real loop has, where given.
  std::optional<double> NoiseFigure(const Object& object, std::string_view name,
                               const NoiseLimits& limits) {
    const std::optional<double> value = Number(object, "", name);
    if (value && !limits.Admits(*value)) {
      Fail(std::string(name), "must be " + limits.Range());
      return std::nullopt;
    }
    return value;
  }

  std::optional<std::int64_t> Whole(const Object& object, const std::string& path,
                                    std::string_view name, std::int64_t lowest) {
    const ProfileValue* value = Required(object, path, name);
    if (value == nullptr) return std::nullopt;
    const auto* number = std::get_if<double>(&value->value);
    const std::optional<std::int64_t> whole =
        number != nullptr ? AsInt64(*number) : std::nullopt;
    if (!whole || *whole < lowest || *whole > (std::int64_t{1} << 40)) {
      Fail(Join(path, name), "must be a whole number from " + std::to_string(lowest) +
                                 " to 2^40");
      return std::nullopt;
    }
    return whole;
  }

  // {"min": A, "max": B}, whole numbers from `lowest`, A not above B.
  std::optional<WholeLimits> Limits(const ProfileValue& value, const std::string& path,
                                    std::int64_t lowest) {
    const Object* object = ObjectAt(value, path, {"min", "max"});
    if (object == nullptr) return std::nullopt;
    return LimitsIn(*object, path, lowest);
  }

  // The "min" and "max" members of an object that has others too.
  std::optional<WholeLimits> LimitsIn(const Object& object, const std::string& path,
                                      std::int64_t lowest) {
    const auto min = Whole(object, path, "min", lowest);
    const auto max = min ? Whole(object, path, "max", lowest) : std::nullopt;
    if (!max) return std::nullopt;
    if (*min > *max) {
      Fail(path, "has min " + std::to_string(*min) + " above max " + std::to_string(*max));
      return std::nullopt;
    }
    return WholeLimits{*min, *max};
  }

  // {"min": A, "max": B}, each optional, non-negative numbers, A not above B.
  void Span(const Object& top, std::string_view name, std::optional<double>& min,
            std::optional<double>& max) {
    const ProfileValue* value = Member(top, name);
    if (value == nullptr) return;
    const std::string path(name);
    const Object* object = ObjectAt(*value, path, {"min", "max"});
    if (object == nullptr) return;
    min = Number(*object, path, "min");
    max = Number(*object, path, "max");
    if ((min && *min < 0) || (max && *max < 0)) {
      Fail(path, "must not be negative");
    } else if (min && max && *min > *max) {
      Fail(path, "has min " + ShortestText(*min) + " above max " + ShortestText(*max));
    }
  }

  // The prescaler modes, smallest P first, each usable up to its up_to_mhz.
  std::vector<PrescalerMode> Prescalers(const ProfileValue& value, const std::string& path,
                                        bool with_n) {
    std::vector<PrescalerMode> modes;
    const auto* list = std::get_if<Array>(&value.value);
    if (list == nullptr || list->empty()) {
      Fail(path, "must be a list of one or more prescalers");
      return modes;
    }
    for (std::size_t i = 0; i < list->size() && ok(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const Object* object = with_n ? ObjectAt((*list)[i], at, {"p", "up_to_mhz", "min", "max"})
                                    : ObjectAt((*list)[i], at, {"p", "up_to_mhz"});
      if (object == nullptr) break;
      PrescalerMode mode;
      const ProfileValue* p_value = Required(*object, at, "p");
      const auto* p_number = p_value != nullptr ? std::get_if<double>(&p_value->value) : nullptr;
      const std::optional<std::int64_t> p = p_number != nullptr ? AsInt64(*p_number) : std::nullopt;
      if (!p || *p < kLowestPrescaler || *p > kHighestPrescaler) {
        if (p_value != nullptr) {
          Fail(Join(at, "p"), "must be a whole number from " + std::to_string(kLowestPrescaler) +
                                  " to " + std::to_string(kHighestPrescaler));
        }
        break;
      }
      mode.P = static_cast<std::int32_t>(*p);
      mode.UpToMHz = Number(*object, at, "up_to_mhz");
      if (mode.UpToMHz && !(*mode.UpToMHz > 0)) {
        Fail(Join(at, "up_to_mhz"), "must be above 0 MHz");
        break;
      }
      if (with_n && !(mode.N = LimitsIn(*object, at, 1))) break;
      if (!modes.empty() && mode.P <= modes.back().P) {
        Fail(Join(at, "p"), "must be larger than the prescaler before it");
      } else if (!modes.empty() && !modes.back().UpToMHz && mode.UpToMHz) {
        Fail(Join(at, "up_to_mhz"), "follows a prescaler without up_to_mhz, which serves "
                                     "every frequency");
      } else if (!modes.empty() && mode.UpToMHz && *mode.UpToMHz <= *modes.back().UpToMHz) {
        Fail(Join(at, "up_to_mhz"), "must be above the prescaler before it");
      }
      modes.push_back(mode);
    }
    if (ok() && modes.back().UpToMHz) {
      Fail(path, "must end with a prescaler without up_to_mhz, for every higher frequency");
    }
    return modes;
  }

  void Counters(const ProfileValue& value, ChipCounters& chip, const std::string& path = "n") {
    const Object* n = ObjectAt(value, path, {"counter", "min", "max", "prescalers", "a", "b"});
    if (n == nullptr) return;
    const std::optional<std::string> counter = Text(*n, path, "counter");
    if (!counter) return;
    const ProfileValue* prescalers = Member(*n, "prescalers");
    if (*counter == "plain") {
      if (Member(*n, "a") != nullptr || Member(*n, "b") != nullptr) {
        Fail(path, "is a plain counter, which has no A or B counter");
      } else if (prescalers != nullptr &&
                 (Member(*n, "min") != nullptr || Member(*n, "max") != nullptr)) {
        Fail(path, "gives both an N range (min, max) and prescalers, each with its own range: "
                   "give one or the other");
      } else if (prescalers != nullptr) {
        chip.Prescalers = Prescalers(*prescalers, Join(path, "prescalers"), true);
      } else {
        chip.N = LimitsIn(*n, path, 1);
      }
      return;
    }
    if (*counter != "dual-modulus") {
      Fail(Join(path, "counter"), "must be \"plain\" or \"dual-modulus\"");
      return;
    }
    chip.DualModulus = true;
    if (Member(*n, "min") != nullptr || Member(*n, "max") != nullptr) {
      Fail(path, "is a dual-modulus counter, whose N range follows from its A and B counters");
      return;
    }
    const ProfileValue* a = Required(*n, path, "a");
    const ProfileValue* b = a != nullptr ? Required(*n, path, "b") : nullptr;
    const ProfileValue* modes = b != nullptr ? Required(*n, path, "prescalers") : nullptr;
    if (modes == nullptr) return;
    const auto a_limits = Limits(*a, Join(path, "a"), 0);
    const auto b_limits = a_limits ? Limits(*b, Join(path, "b"), 0) : std::nullopt;
    if (!b_limits) return;
    chip.A = *a_limits;
    chip.B = *b_limits;
    chip.Prescalers = Prescalers(*modes, Join(path, "prescalers"), false);
  }

  std::optional<ChipProfile> Profile(const ProfileValue& value) {
    const Object* top =
        ObjectAt(value, "", {"name", "description", "source", "r", "n", "comparison_khz",
                             "source_mhz", "fom", "flicker", "output_divider", "register_map",
                             "register_fields", "fractional", "charge_pump", "kvco_mhz_per_v",
                             "reference_path"});
    if (top == nullptr) return std::nullopt;
    ChipProfile profile;
    auto name = Text(*top, "", "name");
    auto description = ok() ? Text(*top, "", "description") : std::nullopt;
    auto source = ok() ? Text(*top, "", "source") : std::nullopt;
    const ProfileValue* r = ok() ? Required(*top, "", "r") : nullptr;
    const ProfileValue* n = r != nullptr ? Required(*top, "", "n") : nullptr;
    if (n == nullptr) return std::nullopt;
    profile.name = std::move(*name);
    profile.description = std::move(*description);
    profile.source = std::move(*source);
    const auto r_limits = Limits(*r, "r", 1);
    if (!r_limits) return std::nullopt;
    if (r_limits->Max > kLastRTrial) {
      Fail("r.max", "must not be above " + std::to_string(kLastRTrial) +
                        ", the largest R the search tries");
      return std::nullopt;
    }
    profile.counters.R = *r_limits;
    Counters(*n, profile.counters);
    Span(*top, "comparison_khz", profile.counters.MinComparisonKHz,
         profile.counters.MaxComparisonKHz);
    Span(*top, "source_mhz", profile.counters.MinSourceMHz, profile.counters.MaxSourceMHz);
    profile.fom = NoiseFigure(*top, "fom", kFomLimits);
    profile.flicker = NoiseFigure(*top, "flicker", kFlickerLimits);
    if (ok()) ReadOutputDivider(*top, profile);
    if (ok()) ReadRegisters(*top, profile);
    if (ok()) ReadFractional(*top, profile);
    if (ok()) ReadLoopParts(*top, profile);
    if (ok()) ReadReferencePath(*top, profile);
    if (!ok()) return std::nullopt;
    return profile;
  }

  // {"max": 64, "feedback": ["fundamental", "divided"], "max_in_loop": 16}
  void ReadOutputDivider(const Object& top, ChipProfile& profile) {
    const ProfileValue* member = Member(top, "output_divider");
    if (member == nullptr) return;
    const std::string path = "output_divider";
    const Object* object =
        ObjectAt(*member, path, {"max", "values", "feedback", "max_in_loop"});
    if (object == nullptr) return;
    OutputDivider divider;
    if (const ProfileValue* values = Member(*object, "values")) {
      // A channel divider's values: whole numbers from 1 to 1024, ascending.
      const auto* list = std::get_if<Array>(&values->value);
      if (Member(*object, "max") != nullptr) {
        Fail(path, "gives both max (powers of two) and values: give one or the other");
        return;
      }
      for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
        const auto* number = std::get_if<double>(&(*list)[i].value);
        const std::optional<std::int64_t> value = number ? AsInt64(*number) : std::nullopt;
        if (!value || *value < 1 || *value > 1024 ||
            (!divider.Values.empty() && *value <= divider.Values.back())) {
          list = nullptr;
          break;
        }
        divider.Values.push_back(static_cast<std::int32_t>(*value));
      }
      if (list == nullptr || divider.Values.empty()) {
        Fail(Join(path, "values"), "must be a list of whole numbers from 1 to 1024, ascending");
        return;
      }
      divider.Max = divider.Values.back();
    } else {
      const auto max = Whole(*object, path, "max", 1);
      if (!max) return;
      if (*max > 1024 || (*max & (*max - 1)) != 0) {
        Fail(Join(path, "max"), "must be a power of two from 1 to 1024");
        return;
      }
      divider.Max = static_cast<std::int32_t>(*max);
    }
    divider.MaxInLoop = divider.Max;
    if (Member(*object, "max_in_loop") != nullptr) {
      const auto in_loop = Whole(*object, path, "max_in_loop", 1);
      if (!in_loop) return;
      if (*in_loop > divider.Max || (*in_loop & (*in_loop - 1)) != 0) {
        Fail(Join(path, "max_in_loop"), "must be a power of two not above max");
        return;
      }
      divider.MaxInLoop = static_cast<std::int32_t>(*in_loop);
    }
    const ProfileValue* modes = Required(*object, path, "feedback");
    const auto* list = modes != nullptr ? std::get_if<Array>(&modes->value) : nullptr;
    // "must be a list of \"fundamental\" and/or \"divided\""
    std::string quoted;
    for (const auto& [mode, name] : kFeedbackNames) {
      quoted += (quoted.empty() ? "\"" : " and/or \"") + std::string(name) + "\"";
    }
    if (modes != nullptr && (list == nullptr || list->empty())) {
      Fail(Join(path, "feedback"), "must be a list of " + quoted);
      return;
    }
    if (list == nullptr) return;
    divider.Fundamental = false;
    for (const ProfileValue& mode : *list) {
      const auto* text = std::get_if<std::string>(&mode.value);
      const std::optional<FeedbackMode> named = text != nullptr ? FeedbackNamed(*text) : std::nullopt;
      if (!named) {
        Fail(Join(path, "feedback"), "must be a list of " + quoted);
        return;
      }
      (*named == FeedbackMode::kFundamental ? divider.Fundamental : divider.Divided) = true;
    }
    profile.output_divider = divider;
  }

  // {"mod": {"min": 2, "max": 4095}, "n": {...as the chip's n...},
  //  "comparison_khz": {"max": 32000}}
  void ReadFractional(const Object& top, ChipProfile& profile) {
    const ProfileValue* member = Member(top, "fractional");
    if (member == nullptr) return;
    const Object* object = ObjectAt(*member, "fractional",
                                    {"mod", "mod1", "n", "comparison_khz", "mash_orders"});
    if (object == nullptr) return;
    FractionalRule rule;
    const ProfileValue* mod = Required(*object, "fractional", "mod");
    if (mod == nullptr) return;
    const auto mod_limits = Limits(*mod, "fractional.mod", 1);
    if (!mod_limits) return;
    if (mod_limits->Max > kLargestModulus) {
      Fail("fractional.mod.max", "must not be above " + std::to_string(kLargestModulus));
      return;
    }
    rule.Mod = *mod_limits;
    if (Member(*object, "mod1") != nullptr) {
      const auto mod1 = Whole(*object, "fractional", "mod1", 2);
      if (!mod1) return;
      if (*mod1 > kLargestModulus) {
        Fail("fractional.mod1", "must not be above " + std::to_string(kLargestModulus));
        return;
      }
      rule.Mod1 = *mod1;
    }
    const ProfileValue* n = Required(*object, "fractional", "n");
    if (n == nullptr) return;
    Counters(*n, rule.Counters, "fractional.n");
    if (!ok()) return;
    if (rule.Counters.DualModulus) {
      Fail("fractional.n", "must be a plain counter");
      return;
    }
    std::optional<double> ignored;
    Span(*object, "comparison_khz", ignored, rule.MaxComparisonKHz);
    if (ok()) ReadMashOrders(*object, rule);
    if (ok()) profile.fractional = rule;
  }

  // "mash_orders": [{"order": 0, "comparison_khz": {"max": ...}, "min_n":
  // [{"up_to_vco_mhz": ..., "min": ..., "pfd_delay": ...}, ...]}, ...]:
  // order 0 (integer mode) and each fractional order, ascending.
  void ReadMashOrders(const Object& fractional, FractionalRule& rule) {
    const ProfileValue* member = Member(fractional, "mash_orders");
    if (member == nullptr) return;
    const std::string path = "fractional.mash_orders";
    const auto* list = std::get_if<Array>(&member->value);
    if (list == nullptr || list->size() < 2) {
      Fail(path, "must be a list of the orders, 0 (integer mode) first, then one or more");
      return;
    }
    for (std::size_t i = 0; i < list->size() && ok(); ++i) {
      const std::string at = path + "[" + std::to_string(i) + "]";
      const Object* object = ObjectAt((*list)[i], at, {"order", "comparison_khz", "min_n"});
      if (object == nullptr) return;
      MashOrder order;
      const auto number = Whole(*object, at, "order", 0);
      if (!number) return;
      if (*number != (rule.MashOrders.empty() ? 0 : rule.MashOrders.back().Order + 1)) {
        Fail(Join(at, "order"), "must follow the order before it, from 0");
        return;
      }
      order.Order = *number;
      if (const ProfileValue* comparison = Member(*object, "comparison_khz")) {
        const Object* limits = ObjectAt(*comparison, Join(at, "comparison_khz"), {"max"});
        if (limits == nullptr) return;
        order.MaxComparisonKHz = Number(*limits, Join(at, "comparison_khz"), "max");
      }
      const ProfileValue* rows = Required(*object, at, "min_n");
      const auto* row_list = rows != nullptr ? std::get_if<Array>(&rows->value) : nullptr;
      if (row_list == nullptr || row_list->empty()) {
        if (rows != nullptr) Fail(Join(at, "min_n"), "must be a list of one or more rows");
        return;
      }
      for (std::size_t j = 0; j < row_list->size() && ok(); ++j) {
        const std::string row_at = Join(at, "min_n") + "[" + std::to_string(j) + "]";
        const Object* row_object =
            ObjectAt((*row_list)[j], row_at, {"up_to_vco_mhz", "min", "pfd_delay"});
        if (row_object == nullptr) return;
        MashRow row;
        row.UpToVcoMHz = Number(*row_object, row_at, "up_to_vco_mhz");
        const auto min = Whole(*row_object, row_at, "min", 1);
        const auto delay = min ? Whole(*row_object, row_at, "pfd_delay", 0) : std::nullopt;
        if (!delay) return;
        row.MinN = *min;
        row.PfdDelay = *delay;
        const bool last = j + 1 == row_list->size();
        if (last == row.UpToVcoMHz.has_value() ||
            (!order.Rows.empty() && row.UpToVcoMHz &&
             *row.UpToVcoMHz <= *order.Rows.back().UpToVcoMHz)) {
          Fail(row_at, "must rise in up_to_vco_mhz, the last row without it");
          return;
        }
        order.Rows.push_back(row);
      }
      rule.MashOrders.push_back(std::move(order));
    }
  }

  // "reference_path": {"stages": [{"stage": "doubler", "max_input_mhz": 30},
  // {"stage": "r"}, {"stage": "halver"}], "default": "auto"}
  void ReadReferencePath(const Object& top, ChipProfile& profile) {
    const ProfileValue* member = Member(top, "reference_path");
    if (member == nullptr) return;
    const std::string path = "reference_path";
    const Object* object = ObjectAt(*member, path, {"stages", "default"});
    if (object == nullptr) return;
    const ProfileValue* stages = Required(*object, path, "stages");
    const auto* list = stages != nullptr ? std::get_if<Array>(&stages->value) : nullptr;
    if (list == nullptr || list->empty()) {
      if (stages != nullptr) Fail(Join(path, "stages"), "must be a list of stages");
      return;
    }
    ReferencePath reference;
    constexpr std::array<std::pair<std::string_view, StageKind>, 5> kStages = {{
        {"doubler", StageKind::kDoubler}, {"pre_divider", StageKind::kPreDivider},
        {"multiplier", StageKind::kMultiplier}, {"r", StageKind::kRCounter},
        {"halver", StageKind::kHalver}}};
    for (std::size_t i = 0; i < list->size() && ok(); ++i) {
      const std::string at = Join(path, "stages") + "[" + std::to_string(i) + "]";
      const Object* stage_object =
          ObjectAt((*list)[i], at,
                   {"stage", "min", "max", "factors", "min_input_mhz", "max_input_mhz",
                    "input_mhz", "output_mhz"});
      if (stage_object == nullptr) return;
      const auto kind_name = Text(*stage_object, at, "stage");
      if (!kind_name) return;
      PathStage stage;
      std::size_t position = kStages.size();
      for (std::size_t k = 0; k < kStages.size(); ++k) {
        if (kStages[k].first == *kind_name) position = k;
      }
      if (position == kStages.size()) {
        Fail(Join(at, "stage"), "must be doubler, pre_divider, multiplier, r or halver");
        return;
      }
      stage.kind = kStages[position].second;
      if (reference.Find(stage.kind) != nullptr) {
        Fail(Join(at, "stage"), "names a stage the path has already");
        return;
      }
      const auto limit = [&](std::string_view name) -> std::optional<Rational> {
        const std::optional<double> value = Number(*stage_object, at, name);
        if (!value) return std::nullopt;
        if (!(*value > 0)) {
          Fail(Join(at, name), "must be above 0 MHz");
          return std::nullopt;
        }
        return DecimalRational(ShortestText(*value));
      };
      stage.min_input_mhz = limit("min_input_mhz");
      stage.max_input_mhz = limit("max_input_mhz");
      if (stage.kind == StageKind::kPreDivider) {
        const auto range = LimitsIn(*stage_object, at, 1);
        if (!range) return;
        stage.min = range->Min;
        stage.max = range->Max;
      } else if (stage.kind == StageKind::kRCounter) {
        stage.min = profile.counters.R.Min;
        stage.max = profile.counters.R.Max;
      } else if (stage.kind == StageKind::kMultiplier) {
        const ProfileValue* factors = Required(*stage_object, at, "factors");
        const auto* factor_list = factors != nullptr ? std::get_if<Array>(&factors->value) : nullptr;
        for (std::size_t f = 0; factor_list != nullptr && f < factor_list->size(); ++f) {
          const auto* number = std::get_if<double>(&(*factor_list)[f].value);
          const std::optional<std::int64_t> factor = number ? AsInt64(*number) : std::nullopt;
          if (!factor || *factor < 1 || *factor > 64 ||
              (stage.factors.empty() ? *factor != 1 : *factor <= stage.factors.back())) {
            factor_list = nullptr;
            break;
          }
          stage.factors.push_back(*factor);
        }
        if (factor_list == nullptr) {
          if (factors != nullptr) {
            Fail(Join(at, "factors"), "must be a list of whole factors, 1 first, ascending, up to 64");
          }
          return;
        }
        for (const auto& [name, low, high] :
             {std::tuple{"input_mhz", &stage.min_input_mhz, &stage.max_input_mhz},
              std::tuple{"output_mhz", &stage.min_output_mhz, &stage.max_output_mhz}}) {
          std::optional<double> min, max;
          Span(*stage_object, name, min, max);
          if (min) *low = DecimalRational(ShortestText(*min));
          if (max) *high = DecimalRational(ShortestText(*max));
        }
      }
      reference.stages.push_back(std::move(stage));
    }
    if (!ok()) return;
    if (reference.Find(StageKind::kRCounter) == nullptr) {
      Fail(Join(path, "stages"), "must hold the r stage");
      return;
    }
    if (const ProfileValue* choice = Member(*object, "default")) {
      const auto* text = std::get_if<std::string>(&choice->value);
      if (text == nullptr || (*text != "auto" && *text != "r")) {
        Fail(Join(path, "default"), "must be \"auto\" (every setting weighed) or \"r\" (R alone)");
        return;
      }
      profile.path_automatic = *text == "auto";
    }
    profile.reference_path = std::move(reference);
  }

  // "charge_pump": {"ma": [currents by setting], "field": a register field,
  // "default": a setting}; "kvco_mhz_per_v": the VCO's gain.
  void ReadLoopParts(const Object& top, ChipProfile& profile) {
    if (const std::optional<double> kvco = Number(top, "", "kvco_mhz_per_v")) {
      if (!(*kvco > 0)) {
        Fail("kvco_mhz_per_v", "must be above 0");
        return;
      }
      profile.kvco_mhz_per_v = kvco;
    }
    const ProfileValue* member = Member(top, "charge_pump");
    if (member == nullptr || !ok()) return;
    const std::string path = "charge_pump";
    const Object* object = ObjectAt(*member, path, {"ma", "settings", "field", "default"});
    if (object == nullptr) return;
    ChargePump pump;
    const ProfileValue* list = Required(*object, path, "ma");
    const auto* currents = list != nullptr ? std::get_if<Array>(&list->value) : nullptr;
    if (currents == nullptr || currents->empty() || currents->size() > 1024) {
      if (list != nullptr) Fail(Join(path, "ma"), "must be a list of 1 to 1024 currents in mA");
      return;
    }
    for (const ProfileValue& current : *currents) {
      const auto* ma = std::get_if<double>(&current.value);
      if (ma == nullptr || !std::isfinite(*ma) || !(*ma > 0)) {
        Fail(Join(path, "ma"), "must be a list of currents in mA, each above 0");
        return;
      }
      pump.currents_ma.push_back(*ma);
    }
    if (const ProfileValue* codes = Member(*object, "settings")) {
      const auto* list = std::get_if<Array>(&codes->value);
      for (std::size_t i = 0; list != nullptr && i < list->size(); ++i) {
        const auto* number = std::get_if<double>(&(*list)[i].value);
        const std::optional<std::int64_t> code = number ? AsInt64(*number) : std::nullopt;
        if (!code || *code < 0) {
          list = nullptr;
          break;
        }
        pump.settings.push_back(*code);
      }
      if (list == nullptr || pump.settings.size() != pump.currents_ma.size()) {
        Fail(Join(path, "settings"),
             "must be a list of the field's values, one for each current of ma");
        return;
      }
    }
    const auto setting = Whole(*object, path, "default", 0);
    if (!setting) return;
    if (*setting >= static_cast<std::int64_t>(pump.currents_ma.size())) {
      Fail(Join(path, "default"), "must be a setting of the list, from 0 to " +
                                      std::to_string(pump.currents_ma.size() - 1));
      return;
    }
    pump.default_setting = static_cast<std::size_t>(*setting);
    if (Member(*object, "field") != nullptr) {
      const auto field = Text(*object, path, "field");
      if (!field) return;
      const RegisterLayout* layout = LayoutNamed(profile.register_map);
      if (layout == nullptr) {
        Fail(Join(path, "field"), "needs a register_map");
        return;
      }
      std::int64_t largest = static_cast<std::int64_t>(pump.currents_ma.size() - 1);
      for (const std::int64_t code : pump.settings) largest = std::max(largest, code);
      if (const std::string why = CheckOverride(*layout, *field, largest); !why.empty()) {
        Fail(Join(path, "field"), why);
        return;
      }
      pump.field = *field;
    }
    profile.charge_pump = std::move(pump);
  }

  // "register_map": a layout's name; "register_fields": {"field": value}.
  void ReadRegisters(const Object& top, ChipProfile& profile) {
    const ProfileValue* map = Member(top, "register_map");
    const ProfileValue* fields = Member(top, "register_fields");
    if (map == nullptr) {
      if (fields != nullptr) Fail("register_fields", "needs a register_map");
      return;
    }
    const auto* name = std::get_if<std::string>(&map->value);
    const RegisterLayout* layout = name != nullptr ? LayoutNamed(*name) : nullptr;
    if (layout == nullptr) {
      Fail("register_map", "must be " + LayoutNames());
      return;
    }
    profile.register_map = *name;
    if (fields == nullptr) return;
    const auto* object = std::get_if<Object>(&fields->value);
    if (object == nullptr) {
      Fail("register_fields", "must be an object of field names and whole numbers");
      return;
    }
    for (std::size_t i = 0; i < object->names.size(); ++i) {
      const std::string path = Join("register_fields", object->names[i]);
      const auto* number = std::get_if<double>(&object->values[i].value);
      const std::optional<std::int64_t> value = number != nullptr ? AsInt64(*number) : std::nullopt;
      if (!value) {
        Fail(path, "must be a whole number");
        return;
      }
      if (const std::string why = CheckOverride(*layout, object->names[i], *value); !why.empty()) {
        Fail(path, why);
        return;
      }
      profile.register_fields.emplace_back(object->names[i], *value);
    }
  }

 private:
  std::string origin_;
  std::string& error_;
  bool ok_ = true;
};

}  // namespace

std::optional<ChipProfile> ReadChipProfile(const ProfileValue& value, std::string_view origin,
                                           std::string& error) {
  return ProfileReader(origin, error).Profile(value);
}

std::vector<std::int32_t> OutputDivider::All() const {
  if (!Values.empty()) return Values;
  std::vector<std::int32_t> all;
  for (std::int32_t d = 1; d <= Max; d *= 2) all.push_back(d);
  return all;
}

const MashRow& MashOrder::RowFor(double vco_mhz) const {
  for (const MashRow& row : Rows) {
    if (!row.UpToVcoMHz || vco_mhz <= *row.UpToVcoMHz) return row;
  }
  return Rows.back();
}

const MashOrder* FractionalRule::Order(std::int64_t order) const {
  for (const MashOrder& m : MashOrders) {
    if (m.Order == order) return &m;
  }
  return nullptr;
}

std::optional<std::size_t> ChargePump::SettingFor(double ma) const {
  for (std::size_t i = 0; i < currents_ma.size(); ++i) {
    if (std::fabs(currents_ma[i] - ma) <= 0.005 + 1e-12) return i;
  }
  return std::nullopt;
}

std::string ChargePump::CurrentList() const {
  std::string list;
  for (std::size_t i = 0; i < currents_ma.size(); ++i) {
    list += (i == 0 ? "" : i + 1 == currents_ma.size() ? " and " : ", ") +
            ShortestText(currents_ma[i]);
  }
  return list + " mA";
}

std::string NoiseLimits::Range() const {
  return "from " + ShortestText(Lowest) + " to " + ShortestText(Highest) + " dBc/Hz";
}

std::span<const ShippedProfile> ShippedProfiles() { return ShippedProfilesTable(); }

std::optional<std::string_view> ShippedProfileText(std::string_view name) {
  for (const ShippedProfile& shipped : ShippedProfiles()) {
    if (shipped.name == name) return shipped.text;
  }
  return std::nullopt;
}

std::string ShippedProfileNames() {
  std::string names;
  for (const ShippedProfile& shipped : ShippedProfiles()) {
    names += std::string(names.empty() ? "" : ", ") + std::string(shipped.name);
  }
  return names;
}

}  // namespace synthfactors::runner
