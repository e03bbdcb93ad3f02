// The reference path: its text, the configurations a search weighs, and the
// choice among them against an exhaustive one that tries every setting of
// every stage, R included, and compares the settings with rules of its own.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference_path.h"

namespace synthfactors {
namespace {

Rational R(std::int64_t num, std::int64_t den = 1) { return *MakeRational(num, den); }

// Stages are built member by member: a stage leaves most limits unset.
PathStage Stage(StageKind kind, std::int64_t min = 1, std::int64_t max = 1) {
  PathStage stage;
  stage.kind = kind;
  stage.min = min;
  stage.max = max;
  return stage;
}

PathStage Doubler(std::int64_t max_input_mhz) {
  PathStage stage = Stage(StageKind::kDoubler);
  stage.max_input_mhz = R(max_input_mhz);
  return stage;
}

PathStage Multiplier(std::vector<std::int64_t> factors, std::int64_t in_min, std::int64_t in_max,
                     std::int64_t out_min, std::int64_t out_max) {
  PathStage stage = Stage(StageKind::kMultiplier);
  stage.factors = std::move(factors);
  stage.min_input_mhz = R(in_min);
  stage.max_input_mhz = R(in_max);
  stage.min_output_mhz = R(out_min);
  stage.max_output_mhz = R(out_max);
  return stage;
}

// A path like a 15 GHz part's: doubler up to 200 MHz, pre-divider 1 ...
// 4095, multiplier x3 ... x7 (30 ... 70 MHz in, 180 ... 250 MHz out), R 1 ...
// 255 (at most 250 MHz in where it divides).
ReferencePath FourStages() {
  ReferencePath path;
  path.stages.push_back(Doubler(200));
  path.stages.push_back(Stage(StageKind::kPreDivider, 1, 4095));
  path.stages.push_back(Multiplier({1, 3, 4, 5, 6, 7}, 30, 70, 180, 250));
  PathStage r = Stage(StageKind::kRCounter, 1, 255);
  r.max_input_mhz = R(250);
  path.stages.push_back(r);
  return path;
}

// A path like the older parts': doubler up to 30 MHz, R 1 ... 1023, halver.
ReferencePath ThreeStages() {
  ReferencePath path;
  path.stages.push_back(Doubler(30));
  path.stages.push_back(Stage(StageKind::kRCounter, 1, 1023));
  path.stages.push_back(Stage(StageKind::kHalver));
  return path;
}

std::string ReadError(const ReferencePath& path, std::string_view text) {
  std::string error;
  EXPECT_FALSE(ReadPathText(path, text, error)) << text;
  return error;
}

TEST(ReferencePath, TextsInSignalOrder) {
  const ReferencePath four = FourStages(), three = ThreeStages();
  EXPECT_EQ("x1/1/x1/R", PathText(four, {}, std::nullopt));
  EXPECT_EQ("x2/2/x5/4", PathText(four, {.doubled = true, .pre = 2, .mult = 5}, 4));
  EXPECT_EQ("x1/10/2", PathText(three, {.halved = true}, 10));
  std::string error;
  const auto fixed = ReadPathText(four, "x2/1/1/R", error);  // a bare multiplier reads too
  ASSERT_TRUE(fixed) << error;
  EXPECT_FALSE(fixed->automatic);
  EXPECT_TRUE(fixed->fixed.doubled);
  EXPECT_EQ(1, fixed->fixed.mult);
  EXPECT_EQ(std::nullopt, fixed->fixed_r);
  const auto with_r = ReadPathText(three, "x1/4/2", error);
  ASSERT_TRUE(with_r) << error;
  EXPECT_EQ(4, with_r->fixed_r);
  EXPECT_TRUE(with_r->fixed.halved);
  EXPECT_TRUE(ReadPathText(three, "auto", error)->automatic);
  EXPECT_EQ("a path is \"auto\" or one setting a stage (doubler/R/halver), such as "
            "\"x1/R/1\", not \"x2/R\"",
            ReadError(three, "x2/R"));
  EXPECT_EQ("the doubler of a path reads \"x3\"; a path is \"auto\" or one setting a stage "
            "(doubler/R/halver), such as \"x1/R/1\"",
            ReadError(three, "x3/R/1"));
  EXPECT_EQ("the R of a path reads \"0\"; a path is \"auto\" or one setting a stage "
            "(doubler/R/halver), such as \"x1/R/1\"",
            ReadError(three, "x1/0/1"));
}

TEST(ReferencePath, AFixedPathMustKeepEveryStagesLimits) {
  const ReferencePath four = FourStages();
  const auto fault = [&](std::string_view text, std::int64_t ref_mhz) {
    std::string error;
    const auto request = ReadPathText(four, text, error);
    EXPECT_TRUE(request) << error;
    EXPECT_TRUE(PathConfigs(four, R(ref_mhz), *request, error).empty()) << text;
    return error;
  };
  EXPECT_EQ("the doubler takes up to 200 MHz, not 245.76 MHz",
            [&] {
              std::string error;
              const auto request = ReadPathText(four, "x2/1/x1/R", error);
              EXPECT_TRUE(PathConfigs(four, R(24576, 100), *request, error).empty());
              return error;
            }());
  EXPECT_EQ("the multiplier takes 30 to 70 MHz, not 100 MHz", fault("x1/1/x3/R", 100));
  EXPECT_EQ("the multiplier gives 180 to 250 MHz, not 150 MHz", fault("x1/1/x3/R", 50));
  EXPECT_EQ("the multiplier multiplies by 1, 3, 4, 5, 6 or 7, not 2", fault("x1/1/x2/R", 50));
  EXPECT_EQ("the pre-divider divides by 1 to 4095, not 5000", fault("x1/5000/x1/R", 50));
  EXPECT_EQ("R takes up to 250 MHz where it divides, not 500 MHz", fault("x1/1/x1/2", 500));
  EXPECT_EQ("R runs from 1 to 255, not 256", fault("x1/1/x1/256", 50));
  // A path that keeps them: one configuration, R as given.
  std::string error;
  const auto request = ReadPathText(four, "x1/2/x5/3", error);
  const std::vector<PathConfig> one = PathConfigs(four, R(100), *request, error);
  ASSERT_EQ(1u, one.size()) << error;
  EXPECT_EQ(3, one[0].first_r);
  EXPECT_EQ(3, one[0].last_r);
  EXPECT_EQ("x1/2/x5/3", PathText(four, one[0].Split(3).setting, one[0].Split(3).r));
  EXPECT_EQ(0, Compare(R(250, 3), *PathComparisonMHz(R(100), one[0].Split(3))));
}

TEST(ReferencePath, ThePreDividerAndRShareOneDividerSplitTheSimplestWay) {
  const ReferencePath four = FourStages();
  std::string error;
  // 100 MHz: R alone up to 255; beyond, the smallest pre-divider that
  // leaves R in range.
  const std::vector<PathConfig> at_100 = PathConfigs(four, R(100), PathRequest{}, error);
  const PathConfig& k = at_100.front();
  ASSERT_TRUE(k.combined);
  EXPECT_EQ("x1/1/x1/200", PathText(four, k.Split(200).setting, k.Split(200).r));
  EXPECT_EQ("x1/2/x1/150", PathText(four, k.Split(300).setting, k.Split(300).r));
  EXPECT_EQ("x1/257/x1/1", PathText(four, k.Split(257).setting, k.Split(257).r));  // a prime
  EXPECT_EQ("x1/17/x1/255", PathText(four, k.Split(4335).setting, k.Split(4335).r));
  EXPECT_FALSE(k.admits(4099));  // a prime above 4095
  // 1000 MHz is too fast for R to divide: the pre-divider first.
  const std::vector<PathConfig> at_1000 = PathConfigs(four, R(1000), PathRequest{}, error);
  const PathConfig& fast = at_1000.front();
  EXPECT_EQ("x1/5/x1/1", PathText(four, fast.Split(5).setting, fast.Split(5).r));
  EXPECT_EQ("x1/40/x1/205", [&] {
    const PathChoice c = fast.Split(8200);
    return PathText(four, c.setting, c.r);
  }());
  // The multiplier's configurations at 100 MHz: 100 / 2 = 50 MHz x 4 or x5,
  // 100 / 3 x 6 or x7; with the doubler 200 / 3 x3, 200 / 4 x4 or x5, ...
  std::vector<std::string> multiplied;
  for (const PathConfig& c : at_100) {
    if (c.setting.mult > 1) multiplied.push_back(PathText(four, c.setting, std::nullopt));
  }
  EXPECT_EQ((std::vector<std::string>{"x1/2/x4/R", "x1/2/x5/R", "x1/3/x6/R", "x1/3/x7/R",
                                      "x2/3/x3/R", "x2/4/x4/R", "x2/4/x5/R", "x2/5/x5/R",
                                      "x2/5/x6/R", "x2/6/x6/R", "x2/6/x7/R"}),
            multiplied);
}

// The exhaustive choice. Every setting of every stage, R included, whose
// stages keep their limits (checked here by rules of their own), each
// searched as a comparison frequency of its own; the best by this file's
// reading of the rule: on frequency, the smaller error, integer mode, the
// further spur, the higher comparison, the fewer stages, then doubler,
// halver, multiplier, pre-divider and R, the smaller first.
struct Limits {
  std::int64_t doubler_max = 0;  // 0: no doubler
  std::int64_t pre_max = 0;      // 0: no pre-divider
  std::vector<std::int64_t> factors;  // empty: no multiplier
  std::int64_t mult_in_min = 0, mult_in_max = 0, mult_out_min = 0, mult_out_max = 0;
  std::int64_t r_max = 1, r_input_max = 0;  // 0: no limit
  bool halver = false;
};

ReferencePath PathOf(const Limits& l) {
  ReferencePath path;
  if (l.doubler_max > 0) path.stages.push_back(Doubler(l.doubler_max));
  if (l.pre_max > 0) path.stages.push_back(Stage(StageKind::kPreDivider, 1, l.pre_max));
  if (!l.factors.empty()) {
    path.stages.push_back(Multiplier(l.factors, l.mult_in_min, l.mult_in_max, l.mult_out_min, l.mult_out_max));
  }
  PathStage r = Stage(StageKind::kRCounter, 1, l.r_max);
  if (l.r_input_max > 0) r.max_input_mhz = R(l.r_input_max);
  path.stages.push_back(r);
  if (l.halver) path.stages.push_back(Stage(StageKind::kHalver));
  return path;
}

// The search of one comparison frequency (kHz), as R 1 of it.
FractionalSearchInputs SearchAt(const Rational& comparison_khz, const Rational& loop_khz,
                                const FractionalSearchInputs& common) {
  FractionalSearchInputs in = common;
  in.ref_khz = comparison_khz;
  in.t_unit = *Div(loop_khz, comparison_khz);
  in.hz_per_t_unit = *Mul(comparison_khz, R(1000));  // the error at the loop, in Hz
  in.first_r = in.last_r = 1;
  return in;
}

struct Found {
  std::string path;
  FractionalSetting setting;
  Rational comparison_khz, error{0, 1}, spur{0, 1};
  int stages = 0;
  std::vector<std::int64_t> key;  // doubler, halver, multiplier, pre-divider, R
};

bool ExhaustiveBetter(const Found& a, const Found& b) {
  if (a.setting.on_frequency != b.setting.on_frequency) return a.setting.on_frequency;
  if (!a.setting.on_frequency && Compare(a.error, b.error) != 0) return Less(a.error, b.error);
  if ((a.setting.p == 0) != (b.setting.p == 0)) return a.setting.p == 0;
  if (a.setting.p != 0 && Compare(a.spur, b.spur) != 0) return Less(b.spur, a.spur);
  if (Compare(a.comparison_khz, b.comparison_khz) != 0) return Less(b.comparison_khz, a.comparison_khz);
  if (a.stages != b.stages) return a.stages < b.stages;
  return a.key < b.key;
}

std::string Describe(const std::optional<Found>& f) {
  if (!f) return "none";
  std::string text = f->path + ": " + std::to_string(f->setting.integer);
  if (f->setting.p != 0) text += " + " + std::to_string(f->setting.p) + "/" + std::to_string(f->setting.q);
  if (!f->setting.on_frequency) text += ", off";
  return text;
}

Found Make(const ReferencePath& path, const PathChoice& choice, const FractionalSearchInputs& in,
           const FractionalSetting& setting) {
  Found f;
  f.path = PathText(path, choice.setting, choice.r);
  f.setting = setting;
  f.comparison_khz = ComparisonKHz(in, setting.r);
  if (const auto e = ErrorHz(in, setting)) f.error = Rational{e->num < 0 ? -e->num : e->num, e->den};
  if (const auto s = SpurOffsetKHz(in, setting)) f.spur = *s;
  const PathSetting& s = choice.setting;
  f.stages = s.doubled + (s.pre > 1) + (s.mult > 1) + s.halved;
  f.key = {s.doubled, s.halved, s.mult, s.pre, choice.r};
  return f;
}

std::optional<Found> Exhaustive(const Limits& l, const ReferencePath& path, const Rational& ref_mhz,
                                const Rational& loop_khz, const FractionalSearchInputs& common) {
  std::optional<Found> best;
  for (const bool doubled : {false, true}) {
    if (doubled && (l.doubler_max == 0 || Less(R(l.doubler_max), ref_mhz))) continue;
    const Rational base = doubled ? *Mul(ref_mhz, R(2)) : ref_mhz;
    for (std::int64_t pre = 1; pre <= std::max<std::int64_t>(l.pre_max, 1); ++pre) {
      const Rational in_mult = *Div(base, R(pre));
      for (const std::int64_t m : l.factors.empty() ? std::vector<std::int64_t>{1} : l.factors) {
        if (m != 1 && (Less(in_mult, R(l.mult_in_min)) || Less(R(l.mult_in_max), in_mult))) continue;
        const Rational out = *Mul(in_mult, R(m));
        if (m != 1 && (Less(out, R(l.mult_out_min)) || Less(R(l.mult_out_max), out))) continue;
        for (std::int64_t r = 1; r <= l.r_max; ++r) {
          if (r > 1 && l.r_input_max > 0 && Less(R(l.r_input_max), out)) continue;
          for (const bool halved : {false, true}) {
            if (halved && !l.halver) continue;
            const PathChoice choice{{doubled, pre, m, halved}, r};
            const Rational comparison = *Mul(*PathComparisonMHz(ref_mhz, choice), R(1000));
            const FractionalSearchInputs in = SearchAt(comparison, loop_khz, common);
            const FractionalSearchResult result = SearchFractional(in);
            if (!result.setting) continue;
            const Found f = Make(path, choice, in, *result.setting);
            if (!best || ExhaustiveBetter(f, *best)) best = f;
          }
        }
      }
    }
  }
  return best;
}

// The search over the configurations, as a run makes it.
std::optional<Found> OverConfigurations(const ReferencePath& path, const Rational& ref_mhz,
                                        const Rational& loop_khz,
                                        const FractionalSearchInputs& common, int& searched) {
  std::string error;
  const std::vector<PathConfig> configs = PathConfigs(path, ref_mhz, PathRequest{}, error);
  std::vector<FractionalSearchInputs> inputs;
  inputs.reserve(configs.size());
  std::optional<PathOutcome> best;
  for (const PathConfig& config : configs) {
    FractionalSearchInputs in = common;
    in.ref_khz = *Mul(*Mul(ref_mhz, config.factor), R(1000));
    in.t_unit = *Div(loop_khz, in.ref_khz);
    in.hz_per_t_unit = *Mul(in.ref_khz, R(1000));
    in.first_r = config.first_r;
    in.last_r = config.last_r;
    in.r_allowed = config.admits;
    inputs.push_back(in);
    if (best && !MayBeat(inputs.back(), *best)) continue;
    ++searched;
    const FractionalSearchResult result = SearchFractional(inputs.back());
    if (!result.setting) continue;
    const PathOutcome outcome{&config, &inputs.back(), *result.setting};
    if (!best || BetterPath(outcome, *best)) best = outcome;
  }
  if (!best) return std::nullopt;
  const PathChoice choice = best->config->Split(best->setting.r);
  FractionalSetting setting = best->setting;
  return Make(path, choice, *best->in, setting);
}

TEST(ReferencePath, TheChoiceAgreesWithTryingEveryPath) {
  std::uint64_t state = 0xC0FFEE;
  const auto next = [&](std::uint64_t below) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::int64_t>(state % below);
  };
  int doubled = 0, multiplied = 0, pre_divided = 0, halved = 0, fractional = 0, pruned = 0;
  for (int i = 0; i < 1500; ++i) {
    Limits l;
    if (next(3) != 0) l.doubler_max = 20 + next(200);
    if (next(2) == 0) l.pre_max = 1 + next(6);
    if (next(2) == 0) {
      l.factors = {1, 2, 3, 4};
      l.mult_in_min = 5 + next(20);
      l.mult_in_max = l.mult_in_min + next(40);
      l.mult_out_min = 20 + next(60);
      l.mult_out_max = l.mult_out_min + next(150);
    }
    l.r_max = 1 + next(12);
    if (next(2) == 0) l.r_input_max = 10 + next(150);
    l.halver = next(2) == 0;
    const ReferencePath path = PathOf(l);
    const Rational ref_mhz = R(10 + next(150), next(4) == 0 ? 4 : 1);
    // A loop of some hundreds of MHz, to a kHz or a fraction of one.
    const Rational loop_khz = R(1000 * (300 + next(3000)) + next(1000), 1 + next(3));
    FractionalSearchInputs common;
    common.integer_n = {1, 1e9};
    common.fractional_int = {1, 1e9};
    common.max_mod = next(2) == 0 ? 2 + next(40) : 1000000;
    common.lower_khz = R(next(3) == 0 ? 1000 * next(30) : 0);
    common.upper_khz = R(1000 * (20 + next(400)));
    if (next(3) == 0) common.upper_fractional_khz = R(1000 * (10 + next(200)));
    if (next(4) == 0) common.tolerance_hz = R(next(100000), 10);

    int searched = 0;
    const std::optional<Found> found = OverConfigurations(path, ref_mhz, loop_khz, common, searched);
    const std::optional<Found> expected = Exhaustive(l, path, ref_mhz, loop_khz, common);
    ASSERT_EQ(Describe(expected), Describe(found)) << "case " << i;
    if (found) {
      doubled += found->path.starts_with("x2");
      multiplied += found->path.find("/x3/") != std::string::npos ||
                    found->path.find("/x4/") != std::string::npos ||
                    found->path.find("/x2/") != std::string::npos;
      pre_divided += l.pre_max > 0 && found->key[3] > 1;
      halved += found->key[1] != 0;
      fractional += found->setting.p != 0;
    }
    std::string error;
    pruned += searched < static_cast<int>(PathConfigs(path, ref_mhz, PathRequest{}, error).size());
  }
  EXPECT_GT(doubled, 50);
  EXPECT_GT(multiplied, 30);
  EXPECT_GT(pre_divided, 30);
  EXPECT_GT(halved, 30);
  EXPECT_GT(fractional, 200);
  EXPECT_GT(pruned, 100);
}

}  // namespace
}  // namespace synthfactors
