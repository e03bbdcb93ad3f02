// Chip profiles: a chip's counters, limits and noise figures, from a small
// JSON file (docs/chips.md gives the schema). The formats layer reads a
// file or a shipped profile's text (formats/chip_file.h) and hands its
// value over as a ProfileValue, which keeps the runner free of files and
// JSON libraries; the checks, and the words for what is wrong, are here,
// once.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "chip_counters.h"
#include "mode_names.h"
#include "reference_path.h"

namespace synthfactors::runner {

// A JSON value as any reader gives it. Numbers are doubles; an object's
// members keep their order, names[i] naming values[i].
struct ProfileValue {
  using Array = std::vector<ProfileValue>;
  struct Object {
    std::vector<std::string> names;
    std::vector<ProfileValue> values;
  };
  std::variant<std::monostate, bool, double, std::string, Array, Object> value;
};

// The noise figures a real loop has, in dBc/Hz: a figure of merit (at 1 Hz
// comparison frequency) from -250 to -150, a normalised flicker figure
// (1 Hz carrier, 1 Hz offset) from -350 to -200. Figures beyond these are
// refused, in options and in profiles alike: they are typing mistakes, and
// they would take the noise sums beyond what a double holds.
struct NoiseLimits {
  double Lowest = 0;
  double Highest = 0;
  bool Admits(double value) const { return value >= Lowest && value <= Highest; }
  // "from -250 to -150 dBc/Hz"
  std::string Range() const;
};
inline constexpr NoiseLimits kFomLimits = {-250, -150};
inline constexpr NoiseLimits kFlickerLimits = {-350, -200};

// The P of a P/P+1 prescaler a profile may name.
inline constexpr std::int64_t kLowestPrescaler = 3;
inline constexpr std::int64_t kHighestPrescaler = 1'000'000;

// An output divider after the VCO: powers of two from 1 to Max, or the
// values a channel divider has (1 the VCO itself), and the feedback modes
// the chip has. With fundamental feedback the N divider counts the VCO;
// with divided feedback it counts the divided output, and only dividers up
// to MaxInLoop may then sit inside the loop.
struct OutputDivider {
  std::int32_t Max = 1;
  std::vector<std::int32_t> Values;  // empty: the powers of two up to Max
  bool Fundamental = true;
  bool Divided = false;
  std::int32_t MaxInLoop = 1;

  // The dividers in ascending order.
  std::vector<std::int32_t> All() const;

  bool Has(FeedbackMode mode) const {
    return mode == FeedbackMode::kFundamental ? Fundamental : Divided;
  }
};

// A fractional-N divider: MOD's range, the INT rule (an N counter, plain,
// possibly with prescaler modes) and the comparison limit in fractional
// mode.
// A sigma-delta modulator's order and what it asks: the highest comparison
// frequency, and by the VCO frequency the least N and the phase detector's
// delay setting (rows in ascending order, the last for every higher VCO).
struct MashRow {
  std::optional<double> UpToVcoMHz;
  std::int64_t MinN = 1;
  std::int64_t PfdDelay = 0;
};
struct MashOrder {
  std::int64_t Order = 0;  // 0: integer mode
  std::optional<double> MaxComparisonKHz;
  std::vector<MashRow> Rows;

  const MashRow& RowFor(double vco_mhz) const;
};

struct FractionalRule {
  WholeLimits Mod;        // MOD's range (with two levels, MOD2's)
  std::int64_t Mod1 = 0;  // two levels: the fixed first modulus; 0: one level
  ChipCounters Counters;  // its N rule; R and the limits are the chip's
  std::optional<double> MaxComparisonKHz;
  std::vector<MashOrder> MashOrders;  // empty: no choice of order

  const MashOrder* Order(std::int64_t order) const;
};

// The charge pump's currents, by the register setting that selects each
// (with the resistor the data sheet names), the field that holds the
// setting (none without a register layout) and the setting the words write
// by default.
struct ChargePump {
  std::vector<double> currents_ma;
  // The field's value for each current (empty: its place in the list, where
  // a part's codes run 0, 1, 2, ... without gaps).
  std::vector<std::int64_t> settings;
  std::string field;
  std::size_t default_setting = 0;

  // The value the field holds for the current at `index`.
  std::int64_t FieldValue(std::size_t index) const {
    return settings.empty() ? static_cast<std::int64_t>(index) : settings[index];
  }

  double DefaultMilliamps() const { return currents_ma[default_setting]; }
  // The setting whose current is `ma` to the 0.005 mA a data sheet's table
  // rounds to, if any.
  std::optional<std::size_t> SettingFor(double ma) const;
  // "0.3125, 0.625, ... and 5 mA"
  std::string CurrentList() const;
};

struct ChipProfile {
  std::string name;
  std::string description;
  std::string source;  // where the figures come from
  ChipCounters counters;
  std::optional<double> fom;      // dBc/Hz, a default for --fom
  std::optional<double> flicker;  // dBc/Hz, a default for --flicker
  std::optional<ChargePump> charge_pump;     // defaults for --cp-current
  std::optional<double> kvco_mhz_per_v;      // a default for --kvco
  std::optional<OutputDivider> output_divider;
  std::optional<FractionalRule> fractional;
  // The stages between the reference and the phase detector; whether the
  // search weighs every setting of them unless a run fixes one (else R
  // alone, the other stages bypassed).
  std::optional<ReferencePath> reference_path;
  bool path_automatic = false;
  // The register layout (register_words.h) and the fields the profile sets.
  std::string register_map;  // empty: none
  std::vector<std::pair<std::string, std::int64_t>> register_fields;
};

// The profile in `value`, read from `origin` (a file, or a shipped
// profile's name); empty, with the reason naming the origin and the member,
// in `error`. Nothing of a bad profile is kept.
std::optional<ChipProfile> ReadChipProfile(const ProfileValue& value, std::string_view origin,
                                           std::string& error);

// The profiles shipped with the program, built in from data/chips, in name
// order; the same files are installed for users to read and copy.
struct ShippedProfile {
  std::string_view name;
  std::string_view text;  // JSON
};
std::span<const ShippedProfile> ShippedProfiles();

// The JSON text of the shipped profile `name`, if there is one.
std::optional<std::string_view> ShippedProfileText(std::string_view name);

// The shipped profiles' names: "adf4106, adf4351-int, max2870-int".
std::string ShippedProfileNames();

}  // namespace synthfactors::runner
