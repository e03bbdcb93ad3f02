// The words of a run's modes: each mode is a type, and its words stand in
// one table, which the inputs read, the results write and the faces list.
//
//   - FeedbackMode: where the N divider of a chip with an output divider
//     takes its input: the VCO ("fundamental") or the divided output
//     ("divided").
//   - Preference: what a fractional-N search weighs among the settings on
//     frequency: the integer-boundary spur ("spur") or the in-band noise
//     ("noise").
//   - SettingMode: a fractional-N setting in integer mode (FRAC 0,
//     "integer") or fractional mode ("fractional").
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace synthfactors::runner {

enum class FeedbackMode { kFundamental, kDivided };

inline constexpr std::array<std::pair<FeedbackMode, std::string_view>, 2> kFeedbackNames = {{
    {FeedbackMode::kFundamental, "fundamental"},
    {FeedbackMode::kDivided, "divided"},
}};

// What a fractional-N search weighs after being on frequency: the
// integer-boundary spur (the default) or the in-band noise.
enum class Preference { kSpur, kNoise };

inline constexpr std::array<std::pair<Preference, std::string_view>, 2> kPreferenceNames = {{
    {Preference::kSpur, "spur"},
    {Preference::kNoise, "noise"},
}};

enum class SettingMode { kInteger, kFractional };

inline constexpr std::array<std::pair<SettingMode, std::string_view>, 2> kSettingModeNames = {{
    {SettingMode::kInteger, "integer"},
    {SettingMode::kFractional, "fractional"},
}};

// A mode's word.
template <typename Mode, std::size_t N>
constexpr std::string_view NameIn(const std::array<std::pair<Mode, std::string_view>, N>& table,
                                  Mode mode) {
  for (const auto& [each, name] : table) {
    if (each == mode) return name;
  }
  return {};
}

// The mode a word names, if any.
template <typename Mode, std::size_t N>
constexpr std::optional<Mode> ModeIn(const std::array<std::pair<Mode, std::string_view>, N>& table,
                                     std::string_view name) {
  for (const auto& [mode, each] : table) {
    if (each == name) return mode;
  }
  return std::nullopt;
}

// The words joined for a message: "fundamental or divided".
template <typename Mode, std::size_t N>
std::string NamesIn(const std::array<std::pair<Mode, std::string_view>, N>& table,
                    std::string_view last_joint = " or ") {
  std::string names;
  for (std::size_t i = 0; i < N; ++i) {
    if (i > 0) names += i + 1 == N ? last_joint : std::string_view(", ");
    names += table[i].second;
  }
  return names;
}

constexpr std::string_view NameOf(FeedbackMode mode) { return NameIn(kFeedbackNames, mode); }
constexpr std::string_view NameOf(SettingMode mode) { return NameIn(kSettingModeNames, mode); }
constexpr std::string_view NameOf(Preference preference) {
  return NameIn(kPreferenceNames, preference);
}
constexpr std::optional<FeedbackMode> FeedbackNamed(std::string_view name) {
  return ModeIn(kFeedbackNames, name);
}

}  // namespace synthfactors::runner
