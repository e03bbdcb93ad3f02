// What the register layouts (one file each beside this one) share: the
// six registers of the ADF4351 and the MAX2870, the helpers their tables
// and hooks use, and the layouts themselves for register_words.cc to list.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "register_words.h"

namespace synthfactors::runner::layouts {

using S = FieldSource;

// Six 32-bit words written R5 ... R0, each named by control bits 2:0.
inline constexpr std::array<RegisterName, 6> kSixRegisters = {{
    {"R5", 5}, {"R4", 4}, {"R3", 3}, {"R2", 2}, {"R1", 1}, {"R0", 0}}};
// Indexes into kSixRegisters.
inline constexpr int R5 = 0, R4 = 1, R3 = 2, R2 = 3, R1 = 4, R0 = 5;

// One list of a layout's fields: its main table and its extra ones.
template <std::size_t A, std::size_t B>
constexpr auto Joined(const std::array<RegisterField, A>& a, const std::array<RegisterField, B>& b) {
  std::array<RegisterField, A + B> all{};
  std::size_t at = 0;
  for (const auto& f : a) all[at++] = f;
  for (const auto& f : b) all[at++] = f;
  return all;
}

inline int Log2(std::int64_t power_of_two) {
  int bits = 0;
  while ((std::int64_t{1} << bits) < power_of_two) ++bits;
  return bits;
}

// 1 in integer mode (FRAC 0), else 0: the mode bits of the fractional parts.
inline std::int64_t InIntegerMode(const RegisterRun& run) { return run.frac == 0 ? 1 : 0; }

// The fields of an INT + FRAC/MOD part with an output divider up to
// `largest_divider`: INT, FRAC, MOD, the divider and the feedback, with
// notes on a MOD, FRAC or divider the part cannot run. Integer mode where
// FRAC is 0.
void ReadFractionalCounters(const FieldLookup& value, DecodedWords& out, int largest_divider);

// A figure in a note: a whole number with all its digits (122880, not
// 1.2288e+05), else its shortest text.
std::string FigureText(double value);

// "P/P+1".
inline std::string PrescalerName(std::int64_t p) {
  return std::to_string(p) + "/" + std::to_string(p + 1);
}

extern const RegisterLayout kAdf4106;
extern const RegisterLayout kAdf4351;
extern const RegisterLayout kAdf5356;
extern const RegisterLayout kLmx2594;
extern const RegisterLayout kMax2870;

}  // namespace synthfactors::runner::layouts
