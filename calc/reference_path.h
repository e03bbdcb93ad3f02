// A chip's reference path: the stages between its reference input and the
// phase detector, in the order the signal passes them, and the settings of
// those stages a fractional-N search weighs.
//
// Stages (each at most once, R always):
//   - a doubler (x1 or x2), used only with an input up to its limit;
//   - a pre-divider (a whole number in its range);
//   - a multiplier (its factors; 1 bypasses it), used only with its input
//     and output within their ranges;
//   - the R counter (the chip's R range); a limit on its input applies
//     where it divides (R above 1);
//   - a halver (/1 or /2).
// The comparison frequency is ref x doubler x multiplier / (pre-divider x
// R x halver), exactly.
//
// A setting of every stage but R is a configuration: the search runs over
// R in each. With a pre-divider and the multiplier at 1, one configuration
// runs over the product K = pre-divider x R instead (every K that some
// split reaches), and a chosen K is split the simplest way: R alone where
// it can, else the smallest pre-divider that leaves an R (1 at the least)
// in range.
//
// The text of a path names each stage in signal order, separated by "/":
// "x1" or "x2" for the doubler, the pre-divider's whole number, "x1",
// "x3", ... for the multiplier (a bare number is read too), R's whole
// number (or "R": chosen by the search), "1" or "2" for the halver.
// Examples: "x2/1/x1/R" (the doubler, R chosen), "x1/4/1" (R 4 alone).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fractional_plan.h"
#include "fractional_search.h"

namespace synthfactors {

enum class StageKind { kDoubler, kPreDivider, kMultiplier, kRCounter, kHalver };

struct PathStage {
  StageKind kind = StageKind::kRCounter;
  std::int64_t min = 1, max = 1;        // the pre-divider's or R's range
  std::vector<std::int64_t> factors;    // the multiplier's, 1 first
  // Where the stage is used (doubling, dividing by more than 1,
  // multiplying): the input and (multiplier) the output it accepts, MHz.
  std::optional<Rational> min_input_mhz, max_input_mhz;
  std::optional<Rational> min_output_mhz, max_output_mhz;
};

struct ReferencePath {
  std::vector<PathStage> stages;  // in signal order, one of them R

  const PathStage* Find(StageKind kind) const;
};

// The setting of every stage but R.
struct PathSetting {
  bool doubled = false;
  std::int64_t pre = 1;
  std::int64_t mult = 1;
  bool halved = false;
  bool operator==(const PathSetting&) const = default;
};

// The whole path, R included.
struct PathChoice {
  PathSetting setting;
  std::int64_t r = 1;
};

// A configuration the search runs over R in: its setting (with `combined`,
// the pre-divider is folded into R, whose values are then K), the factor
// that makes the reference what R divides (ref x factor), R's range and
// the R it admits.
struct PathConfig {
  PathSetting setting;
  bool combined = false;
  Rational factor{1, 1};
  std::int64_t first_r = 1, last_r = 1;
  std::function<bool(std::int64_t)> admits;  // empty: every R of the range
  std::size_t order = 0;  // its place in the enumeration: the simpler first
  // The stages a chosen R's path uses (a pre-divider above 1 where K is
  // split so): the fewer, the simpler.
  int StagesUsed(std::int64_t r) const;
  // The path a chosen R gives.
  PathChoice Split(std::int64_t r) const;

  // For Split of a combined configuration.
  std::int64_t r_max = 1, pre_max = 1;
  bool r_divides_freely = true;  // whether R above 1 may follow the pre-divider's output
  Rational base_mhz{0, 1};          // ref x doubler
  std::optional<Rational> r_max_input_mhz;
};

// What a run asks of the path: every setting (auto), or one, with R fixed
// or chosen.
struct PathRequest {
  bool automatic = true;
  PathSetting fixed;
  std::optional<std::int64_t> fixed_r;  // empty: chosen by the search
};

// The configurations of `path` for a reference of `ref_mhz` the request
// allows, simpler first; empty with the reason in `error` where a fixed
// path breaks a stage's limit.
std::vector<PathConfig> PathConfigs(const ReferencePath& path, const Rational& ref_mhz,
                                    const PathRequest& request, std::string& error);

// The configuration of R alone: every other stage bypassed.
PathConfig ROnlyConfig(const ReferencePath& path);

// "x2/1/x1/10"; `r` empty writes "R".
std::string PathText(const ReferencePath& path, const PathSetting& setting,
                     std::optional<std::int64_t> r);

// A path's text read against `path`: "auto", or a setting of every stage;
// empty with the reason in `error`.
std::optional<PathRequest> ReadPathText(const ReferencePath& path, std::string_view text,
                                        std::string& error);

// The comparison frequency of a path (MHz), exactly.
std::optional<Rational> PathComparisonMHz(const Rational& ref_mhz, const PathChoice& choice);

// A configuration's search and the setting it chose.
struct PathOutcome {
  const PathConfig* config = nullptr;
  const FractionalSearchInputs* in = nullptr;
  FractionalSetting setting;
};

// The choice among configurations: on frequency first; off it the smaller
// output error; with the noise preference the lower in-band noise; then
// integer mode; the integer-boundary spur further from the carrier (kHz);
// the higher comparison frequency; the fewer stages used; the earlier
// configuration, the smaller R.
bool BetterPath(const PathOutcome& a, const PathOutcome& b);

// Whether the search of a configuration (its inputs `in`) can give a
// setting `best` does not beat: without a tolerance and the noise
// preference, a configuration whose comparison frequencies all lie below
// an integer-mode `best`'s cannot, nor one that places no spur further than
// `best`'s and has no R where integer mode is exact.
bool MayBeat(const FractionalSearchInputs& in, const PathOutcome& best);

}  // namespace synthfactors
