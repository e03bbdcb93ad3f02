// The register words of the shipped chips: each layout's fields (register,
// lowest bit, width, the value written unless a run or a profile sets it),
// the order the words are written in, composing the words of a run and
// reading a set of words back. Each layout is a file of its own
// (register_layouts/), with its sources named there; this file holds what
// every layout does alike.
//
// The layouts:
//   - "adf4106": three 24-bit latches written INIT, R, N (the initialisation
//     latch method); control bits 1:0 are 3, 0 and 1.
//   - "adf4351": six 32-bit words written R5, R4, R3, R2, R1, R0; control
//     bits 2:0 are the register's number.
//   - "max2870": six 32-bit words written R5 ... R0, as the ADF4351's.
//   - "adf5356": fourteen 32-bit words written R13 ... R0; control bits 3:0
//     are the register's number.
//   - "lmx2594": 113 24-bit words, an address byte (bit 23 0: a write) over
//     16 data bits, written after a reset from R112 down to R0, and R0
//     again to calibrate.
// Where the public sources differ, the data sheet is followed: the
// ADF4351's R5 bits 20:19 are written 11, MOD is 2 (its smallest valid
// value) when FRAC is 0.
//
// Example: an ADF4351 run with INT 96, FRAC 0, R 1, the 4/5 prescaler, the
// output divider /1 with fundamental feedback and a 25 MHz comparison
// frequency writes R5 0x00580005 first and R0 0x00300000 last.
//
// Decoding takes words in any order, names each by its control bits, and
// says in notes where a word breaks a rule: a reserved bit set wrongly, a
// word given twice or not at all, a word of no register, a counter below
// its least value, a band-select clock above the part's limit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mode_names.h"
#include "reference_path.h"

namespace synthfactors::runner {

// Who sets a field's value.
enum class FieldSource {
  kDefault,  // its start value, unless a profile's register_fields sets it
  kRun,      // the run (counters, prescaler, divider, mode bits)
  kFixed,    // reserved bits that must hold their start value
};

struct RegisterField {
  std::string_view name;
  int reg;  // index into the layout's registers
  int lsb;
  int width;
  std::uint32_t start;
  FieldSource source;
  std::string_view meaning;  // the start value in words, for the README
};

struct RegisterName {
  std::string_view name;   // "R5", "INIT"
  std::uint32_t control;   // the value of the control bits that name it
};

// Another latch that holds a register's fields, read back as that register
// (the ADF4106's function latch holds the initialisation latch's).
struct RegisterAlias {
  std::string_view name;     // "FUNCTION"
  std::uint32_t control;
  std::size_t register_index;  // into the layout's registers
};

struct RegisterRun;
struct DecodedWords;

struct RegisterWord {
  std::string_view name;
  std::uint32_t word;
};

// A decoded field's value by name, where the words held it.
using FieldLookup = std::function<std::optional<std::int64_t>(std::string_view name)>;

struct RegisterLayout {
  std::string_view name;  // "adf4351"
  int word_bits;          // 24 or 32
  int control_bits;       // the bits that name a word's register: 2, 3, 4 or 8
  std::span<const RegisterName> registers;  // in write order
  std::span<const RegisterField> fields;
  double band_select_max_khz;  // 0: no band-select clock
  int band_select_max_divider;
  // With divided feedback, the largest part of the output divider inside
  // the loop (the N divider counts the VCO over min(D, this)); 0: none.
  int feedback_divider_max;
  std::span<const RegisterAlias> aliases;
  // How the words are written at power-up, as the data sheet asks.
  std::string_view power_up;
  // What the layout's own fields take from a run (its prescaler's code,
  // its mode bits); empty for a field every layout sets alike.
  std::optional<std::int64_t> (*run_value)(std::string_view field, const RegisterRun& run);
  // The counters, prescaler, divider and feedback the decoded fields set,
  // with notes on counters the part cannot run.
  void (*read_counters)(const FieldLookup& value, DecodedWords& out);
  // Notes on what the N divider's counter is given (MHz): a prescaler
  // asked to count beyond its limit.
  void (*check_loop)(const DecodedWords& decoded, double loop_mhz, std::vector<std::string>& notes);
  // Where the bits that name the register lie: 0 (the lowest bits), or
  // above the data (an address byte over 16 data bits).
  int address_lsb = 0;
  // The writes at power-up from each register's word (the registers in
  // write order): empty, the words themselves; else the part's sequence,
  // which may write a register more than once.
  std::vector<RegisterWord> (*sequence)(std::span<const RegisterWord> words) = nullptr;
  // The fields such a sequence changes between writes of one register: a
  // register given more than once is noted only where its words differ
  // elsewhere.
  std::span<const std::string_view> sequence_fields = {};
  // Notes on the part's own rules the decoded fields break (calibration
  // settings that do not match the comparison frequency, ...).
  void (*check_words)(const FieldLookup& value, const DecodedWords& decoded, double ref_mhz,
                      std::vector<std::string>& notes) = nullptr;
};

// The layout named `name`, if the program knows it.
const RegisterLayout* LayoutNamed(std::string_view name);
// The layouts the program knows, in name order.
std::span<const RegisterLayout* const> Layouts();
// Their names: "adf4106, adf4351 or max2870".
std::string LayoutNames();

// What a run sets in the words.
struct RegisterRun {
  std::int64_t r = 1;
  std::int64_t n = 0;  // N, or INT in fractional mode
  std::int64_t frac = 0, mod = 2;
  std::int64_t a = 0, b = 0;     // with a dual-modulus prescaler
  std::int32_t prescaler = 0;    // P of P/P+1; 0: none
  std::int32_t output_divider = 1;
  FeedbackMode feedback = FeedbackMode::kFundamental;
  double comparison_khz = 0;
  // The reference path's settings besides R.
  PathSetting path;
  // With a modulator of orders: the order and the phase detector's delay.
  std::int64_t mash_order = 0, pfd_delay = 0;
  // With a two-level fraction: FRAC1 and FRAC2/MOD2 (frac/mod the whole).
  std::int64_t frac1 = 0, frac2 = 0, mod2 = 2;
  // The reference and the VCO (MHz), exactly as far as a double holds them:
  // the calibration's settings follow from them.
  double ref_mhz = 0, vco_mhz = 0;
  // The charge pump's current (mA): the bleed current follows it.
  double cp_current_ma = 0;
};

// Each register's word for a run, in write order, each field from the run,
// else from `overrides` (name, value), else its start value. Empty, with
// the reason, when a run value does not fit its field.
std::optional<std::vector<RegisterWord>> ComposeWords(
    const RegisterLayout& layout, const RegisterRun& run,
    std::span<const std::pair<std::string, std::int64_t>> overrides, std::string& error);

// The writes at power-up: the layout's sequence of those words (the words
// themselves where it has none).
std::vector<RegisterWord> PowerUpWrites(const RegisterLayout& layout,
                                        std::span<const RegisterWord> words);

// "0x00580005" (8 hex digits), or 6 for a 24-bit word.
std::string WordText(const RegisterLayout& layout, std::uint32_t word);
// The same with the word's bits given (a multiple of 4).
std::string WordText(int word_bits, std::uint32_t word);

// The profile's override of a field: its name must be a field of the layout
// set by default (not by the run, not reserved), and its value must fit.
// Empty when allowed; else the reason.
std::string CheckOverride(const RegisterLayout& layout, std::string_view field,
                          std::int64_t value);

// A set of words read back.
struct DecodedWords {
  std::vector<std::pair<std::string, std::uint32_t>> fields;  // by name, in layout order
  std::optional<std::int64_t> r, n, frac, mod, a, b;
  // With two levels: FRAC2 and MOD2 (frac is FRAC1 over mod, the first
  // modulus).
  std::optional<std::int64_t> frac2, mod2;
  // The reference path's settings besides R, where the words hold them.
  std::optional<PathSetting> path;
  std::optional<std::int64_t> mash_order;
  std::optional<std::int32_t> prescaler;
  std::optional<std::int32_t> output_divider;
  std::optional<FeedbackMode> feedback;
  std::optional<double> comparison_khz, vco_mhz, output_mhz;
  bool integer_mode = true;  // FRAC not used
  std::vector<std::string> notes;
};

// Reads the `given` words with the reference `ref_mhz`.
DecodedWords DecodeWords(const RegisterLayout& layout, std::span<const std::uint32_t> given,
                         double ref_mhz);

}  // namespace synthfactors::runner
