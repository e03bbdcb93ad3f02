#include "register_words.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "number_text.h"

namespace synthfactors::runner {
namespace {

using S = FieldSource;

// ADF4106 latches, from the vendor's no-OS driver
// (drivers/frequency/adf4106/adf4106.h: the offsets and masks of every
// field) and the ADF4106 data sheet (the initialisation latch sequence
// INIT, R, N; the reserved bits 23:21 of the R latch and 23:22 of the N
// latch written 0).
constexpr std::array<RegisterName, 3> kAdf4106Registers = {{
    {"INIT", 3}, {"R", 0}, {"N", 1}}};
constexpr std::array<RegisterField, 17> kAdf4106Fields = {{
    {"counter_reset", 0, 2, 1, 0, S::kDefault, "0: normal"},
    {"power_down_1", 0, 3, 1, 0, S::kDefault, "0: normal"},
    {"muxout", 0, 4, 3, 1, S::kDefault, "1: digital lock detect"},
    {"pd_polarity", 0, 7, 1, 1, S::kDefault, "1: positive"},
    {"cp_three_state", 0, 8, 1, 0, S::kDefault, "0: normal"},
    {"fastlock", 0, 9, 2, 0, S::kDefault, "0: disabled"},
    {"timer_counter", 0, 11, 4, 0, S::kDefault, "0: 3 cycles"},
    {"current_setting_1", 0, 15, 3, 7, S::kDefault, "7: 5 mA with a 4.7 kOhm R_SET"},
    {"current_setting_2", 0, 18, 3, 7, S::kDefault, "7: 5 mA with a 4.7 kOhm R_SET"},
    {"power_down_2", 0, 21, 1, 0, S::kDefault, "0: asynchronous"},
    {"prescaler", 0, 22, 2, 0, S::kRun, "0 8/9, 1 16/17, 2 32/33, 3 64/65"},
    {"r_counter", 1, 2, 14, 1, S::kRun, "R"},
    {"anti_backlash", 1, 16, 2, 0, S::kDefault, "0: 2.9 ns"},
    {"test_mode", 1, 18, 2, 0, S::kFixed, "reserved: 0"},
    {"lock_detect_precision", 1, 20, 1, 0, S::kDefault, "0: 3 cycles"},
    {"a_counter", 2, 2, 6, 0, S::kRun, "A"},
    {"b_counter", 2, 8, 13, 3, S::kRun, "B"},
}};
// The N latch's charge-pump gain and the reserved bits.
constexpr std::array<RegisterField, 3> kAdf4106Extra = {{
    {"cp_gain", 2, 21, 1, 0, S::kDefault, "0: current setting 1"},
    {"reserved_r", 1, 21, 3, 0, S::kFixed, "reserved: 0"},
    {"reserved_n", 2, 22, 2, 0, S::kFixed, "reserved: 0"},
}};

// ADF4351 words, from the Linux kernel's include/linux/iio/frequency/
// adf4350.h and drivers/iio/frequency/adf4350.c (bit positions, write
// order R5 ... R0, the band-select clock of at most 125 kHz) and a widely
// used SDR driver's host/lib/ic_reg_maps/gen_adf4351_regs.py (the same
// positions, the ADF4351's R3 bits 23:21). They differ where the data sheet
// settles it: R5 bits 20:19 are reserved and must be 11 (the kernel writes
// 00, the SDR driver 00); MOD must be 2 ... 4095 (the kernel writes 1 with
// FRAC 0).
constexpr std::array<RegisterName, 6> kSixRegisters = {{
    {"R5", 5}, {"R4", 4}, {"R3", 3}, {"R2", 2}, {"R1", 1}, {"R0", 0}}};
// Indexes into kSixRegisters.
constexpr int R5 = 0, R4 = 1, R3 = 2, R2 = 3, R1 = 4, R0 = 5;
constexpr std::array<RegisterField, 40> kAdf4351Fields = {{
    {"int", R0, 15, 16, 0, S::kRun, "INT (N in integer mode)"},
    {"frac", R0, 3, 12, 0, S::kRun, "FRAC"},
    {"reserved_r0", R0, 31, 1, 0, S::kFixed, "reserved: 0"},
    {"phase_adjust", R1, 28, 1, 0, S::kDefault, "0: off"},
    {"prescaler", R1, 27, 1, 0, S::kRun, "0 4/5, 1 8/9"},
    {"phase", R1, 15, 12, 1, S::kDefault, "1, as the data sheet recommends"},
    {"mod", R1, 3, 12, 2, S::kRun, "MOD (2 in integer mode)"},
    {"reserved_r1", R1, 29, 3, 0, S::kFixed, "reserved: 0"},
    {"noise_mode", R2, 29, 2, 0, S::kDefault, "0: low noise"},
    {"muxout", R2, 26, 3, 6, S::kDefault, "6: digital lock detect"},
    {"ref_doubler", R2, 25, 1, 0, S::kDefault, "0: off"},
    {"ref_div2", R2, 24, 1, 0, S::kDefault, "0: off"},
    {"r_counter", R2, 14, 10, 1, S::kRun, "R"},
    {"double_buffer", R2, 13, 1, 0, S::kDefault, "0: off"},
    {"charge_pump_current", R2, 9, 4, 7, S::kDefault, "7: 2.5 mA with 5.1 kOhm"},
    {"ldf", R2, 8, 1, 1, S::kRun, "1: integer-N lock detect"},
    {"ldp", R2, 7, 1, 1, S::kRun, "1: 6 ns in integer mode"},
    {"pd_polarity", R2, 6, 1, 1, S::kDefault, "1: positive"},
    {"power_down", R2, 5, 1, 0, S::kDefault, "0: off"},
    {"cp_three_state", R2, 4, 1, 0, S::kDefault, "0: off"},
    {"counter_reset", R2, 3, 1, 0, S::kDefault, "0: off"},
    {"reserved_r2", R2, 31, 1, 0, S::kFixed, "reserved: 0"},
    {"band_select_clock_mode", R3, 23, 1, 0, S::kDefault, "0: low"},
    {"anti_backlash", R3, 22, 1, 1, S::kRun, "1: 3 ns in integer mode"},
    {"charge_cancel", R3, 21, 1, 1, S::kRun, "1: on in integer mode"},
    {"csr", R3, 18, 1, 0, S::kDefault, "0: off"},
    {"clock_div_mode", R3, 15, 2, 0, S::kDefault, "0: off"},
    {"clock_divider", R3, 3, 12, 150, S::kDefault, "150"},
    {"reserved_r3", R3, 24, 8, 0, S::kFixed, "reserved: 0"},
    {"feedback_select", R4, 23, 1, 1, S::kRun, "1: fundamental"},
    {"rf_divider_select", R4, 20, 3, 0, S::kRun, "log2 of the output divider"},
    {"band_select_clock_div", R4, 12, 8, 1, S::kRun, "comparison / 125 kHz, rounded up"},
    {"vco_power_down", R4, 11, 1, 0, S::kDefault, "0: on"},
    {"mute_till_lock", R4, 10, 1, 0, S::kDefault, "0: off"},
    {"aux_output_select", R4, 9, 1, 0, S::kDefault, "0: divided"},
    {"aux_output_enable", R4, 8, 1, 0, S::kDefault, "0: off"},
    {"aux_output_power", R4, 6, 2, 0, S::kDefault, "0: -4 dBm"},
    {"rf_output_enable", R4, 5, 1, 1, S::kDefault, "1: on"},
    {"output_power", R4, 3, 2, 3, S::kDefault, "3: +5 dBm"},
    {"ld_pin_mode", R5, 22, 2, 1, S::kDefault, "1: digital lock detect"},
}};
constexpr std::array<RegisterField, 5> kAdf4351Reserved = {{
    {"reserved_r5_19", R5, 19, 2, 3, S::kFixed, "reserved: 11 (data sheet)"},
    {"reserved_r5", R5, 3, 16, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_21", R5, 21, 1, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_top", R5, 24, 8, 0, S::kFixed, "reserved: 0"},
    {"reserved_r4", R4, 24, 8, 0, S::kFixed, "reserved: 0"},
}};

// MAX2870 words, from a widely used SDR driver's
// host/lib/ic_reg_maps/gen_max2870_regs.py (every field's position) and
// the MAX2870 data sheet (write order R5 ... R0; R4 bits 31:26 reserved,
// 011000; the band-select clock at most 50 kHz; CPL 0 and INT mode in
// integer mode).
constexpr std::array<RegisterField, 38> kMax2870Fields = {{
    {"int_n_mode", R0, 31, 1, 1, S::kRun, "1: integer mode"},
    {"int", R0, 15, 16, 0, S::kRun, "INT (N in integer mode)"},
    {"frac", R0, 3, 12, 0, S::kRun, "FRAC"},
    {"cpoc", R1, 31, 1, 0, S::kDefault, "0: off"},
    {"cpl", R1, 29, 2, 0, S::kRun, "0 in integer mode, 1 in fractional"},
    {"cpt", R1, 27, 2, 0, S::kDefault, "0: normal"},
    {"phase", R1, 15, 12, 1, S::kDefault, "1"},
    {"mod", R1, 3, 12, 2, S::kRun, "M (2 in integer mode)"},
    {"lds", R2, 31, 1, 0, S::kRun, "1 above 32 MHz comparison"},
    {"low_noise_and_spur", R2, 29, 2, 0, S::kDefault, "0: low noise"},
    {"muxout", R2, 26, 3, 6, S::kDefault, "6: digital lock detect"},
    {"ref_doubler", R2, 25, 1, 0, S::kDefault, "0: off"},
    {"ref_div2", R2, 24, 1, 0, S::kDefault, "0: off"},
    {"r_counter", R2, 14, 10, 1, S::kRun, "R"},
    {"double_buffer", R2, 13, 1, 0, S::kDefault, "0: off"},
    {"charge_pump_current", R2, 9, 4, 7, S::kDefault, "7: 2.56 mA with 5.1 kOhm"},
    {"ldf", R2, 8, 1, 1, S::kRun, "1: integer-N lock detect"},
    {"ldp", R2, 7, 1, 1, S::kRun, "1: 6 ns in integer mode"},
    {"pd_polarity", R2, 6, 1, 1, S::kDefault, "1: positive"},
    {"shutdown", R2, 5, 1, 0, S::kDefault, "0: on"},
    {"cp_three_state", R2, 4, 1, 0, S::kDefault, "0: off"},
    {"counter_reset", R2, 3, 1, 0, S::kDefault, "0: off"},
    {"vco", R3, 26, 6, 0, S::kDefault, "0 (autoselect)"},
    {"vas", R3, 25, 1, 0, S::kDefault, "0: autoselect on"},
    {"retune", R3, 24, 1, 1, S::kDefault, "1: on"},
    {"clock_div_mode", R3, 15, 2, 0, S::kDefault, "0: off"},
    {"clock_divider", R3, 3, 12, 1, S::kDefault, "1"},
    {"reserved_r4", R4, 26, 6, 0x18, S::kFixed, "reserved: 011000"},
    {"bs_msb", R4, 24, 2, 0, S::kRun, "band-select divider bits 9:8"},
    {"feedback_select", R4, 23, 1, 1, S::kRun, "1: fundamental"},
    {"rf_divider_select", R4, 20, 3, 0, S::kRun, "log2 of the output divider"},
    {"band_select_clock_div", R4, 12, 8, 1, S::kRun, "comparison / 50 kHz, rounded up, bits 7:0"},
    {"aux_output_select", R4, 9, 1, 1, S::kDefault, "1: fundamental"},
    {"aux_output_enable", R4, 8, 1, 0, S::kDefault, "0: off"},
    {"aux_output_power", R4, 6, 2, 0, S::kDefault, "0: -4 dBm"},
    {"rf_output_enable", R4, 5, 1, 1, S::kDefault, "1: on"},
    {"output_power", R4, 3, 2, 3, S::kDefault, "3: +5 dBm"},
    {"ld_pin_mode", R5, 22, 2, 1, S::kDefault, "1: digital lock detect"},
}};
constexpr std::array<RegisterField, 2> kMax2870Extra = {{
    {"f01", R5, 24, 1, 1, S::kDefault, "1: integer mode when FRAC is 0"},
    {"mux_sdo", R5, 18, 1, 0, S::kDefault, "0: normal"},
}};

// One list per layout: the fields of the main table and the extra ones.
template <std::size_t A, std::size_t B>
constexpr auto Joined(const std::array<RegisterField, A>& a, const std::array<RegisterField, B>& b) {
  std::array<RegisterField, A + B> all{};
  std::size_t at = 0;
  for (const auto& f : a) all[at++] = f;
  for (const auto& f : b) all[at++] = f;
  return all;
}
constexpr auto kAdf4106All = Joined(kAdf4106Fields, kAdf4106Extra);
constexpr auto kAdf4351All = Joined(kAdf4351Fields, kAdf4351Reserved);
constexpr auto kMax2870All = Joined(kMax2870Fields, kMax2870Extra);

const std::array<RegisterLayout, 3> kLayouts = {{
    {"adf4106", 24, 2, kAdf4106Registers, kAdf4106All, 0, 0},
    {"adf4351", 32, 3, kSixRegisters, kAdf4351All, 125, 255},
    {"max2870", 32, 3, kSixRegisters, kMax2870All, 50, 1023},
}};

std::uint32_t Mask(int width) { return width >= 32 ? 0xFFFFFFFFU : (1U << width) - 1; }

int Log2(std::int64_t power_of_two) {
  int bits = 0;
  while ((std::int64_t{1} << bits) < power_of_two) ++bits;
  return bits;
}

// The band-select divider: the comparison frequency over the part's largest
// band-select clock, rounded up, within 1 ... the divider's largest value.
std::int64_t BandSelectDivider(const RegisterLayout& layout, double comparison_khz) {
  if (layout.band_select_max_khz <= 0) return 1;
  const double divider = std::ceil(comparison_khz / layout.band_select_max_khz);
  if (!(divider >= 1)) return 1;
  return static_cast<std::int64_t>(std::min<double>(divider, layout.band_select_max_divider));
}

// The value the run gives a field it sets.
std::int64_t RunValue(const RegisterLayout& layout, std::string_view name, const RegisterRun& run) {
  const bool integer_mode = run.frac == 0;
  const std::int64_t band = BandSelectDivider(layout, run.comparison_khz);
  if (name == "r_counter") return run.r;
  if (name == "int") return run.n;
  if (name == "frac") return run.frac;
  if (name == "mod") return integer_mode ? 2 : run.mod;
  if (name == "a_counter") return run.a;
  if (name == "b_counter") return run.b;
  if (name == "prescaler") {
    if (layout.name == "adf4106") return Log2(std::max<std::int32_t>(run.prescaler, 8) / 8);
    return run.prescaler >= 8 ? 1 : 0;
  }
  if (name == "ldf" || name == "ldp" || name == "anti_backlash" || name == "charge_cancel" ||
      name == "int_n_mode") {
    return integer_mode ? 1 : 0;
  }
  if (name == "cpl") return integer_mode ? 0 : 1;
  if (name == "lds") return run.comparison_khz > 32000 ? 1 : 0;
  if (name == "feedback_select") return run.feedback == FeedbackMode::kFundamental ? 1 : 0;
  if (name == "rf_divider_select") return Log2(run.output_divider);
  if (name == "band_select_clock_div") return band & 0xFF;
  if (name == "bs_msb") return band >> 8;
  return 0;
}

}  // namespace

const RegisterLayout* LayoutNamed(std::string_view name) {
  for (const RegisterLayout& layout : kLayouts) {
    if (layout.name == name) return &layout;
  }
  return nullptr;
}

std::string LayoutNames() { return "adf4106, adf4351 or max2870"; }

std::string WordText(const RegisterLayout& layout, std::uint32_t word) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift = layout.word_bits - 4; shift >= 0; shift -= 4) text += kHex[(word >> shift) & 0xF];
  return text;
}

std::string CheckOverride(const RegisterLayout& layout, std::string_view field,
                          std::int64_t value) {
  for (const RegisterField& f : layout.fields) {
    if (f.name != field) continue;
    if (f.source == FieldSource::kRun) return "is set by each run";
    if (f.source == FieldSource::kFixed) return "is a reserved field";
    if (value < 0 || value > std::int64_t{Mask(f.width)}) {
      return "must be a whole number from 0 to " + std::to_string(Mask(f.width)) + " (" +
             std::to_string(f.width) + " bits)";
    }
    return "";
  }
  return "is no field of the " + std::string(layout.name) + " layout";
}

std::optional<std::vector<RegisterWord>> ComposeWords(
    const RegisterLayout& layout, const RegisterRun& run,
    std::span<const std::pair<std::string, std::int64_t>> overrides, std::string& error) {
  std::vector<RegisterWord> words;
  for (const RegisterName& reg : layout.registers) words.push_back({reg.name, reg.control});
  for (const RegisterField& field : layout.fields) {
    std::int64_t value = field.start;
    if (field.source == FieldSource::kRun) {
      value = RunValue(layout, field.name, run);
    } else if (field.source == FieldSource::kDefault) {
      for (const auto& [name, given] : overrides) {
        if (name == field.name) value = given;
      }
    }
    if (value < 0 || value > std::int64_t{Mask(field.width)}) {
      error = std::string(field.name) + " " + std::to_string(value) + " does not fit its " +
              std::to_string(field.width) + " bits in " +
              std::string(layout.registers[static_cast<std::size_t>(field.reg)].name);
      return std::nullopt;
    }
    words[static_cast<std::size_t>(field.reg)].word |=
        (static_cast<std::uint32_t>(value) & Mask(field.width)) << field.lsb;
  }
  return words;
}

DecodedWords DecodeWords(const RegisterLayout& layout, std::span<const std::uint32_t> given,
                         double ref_mhz) {
  DecodedWords out;
  const std::size_t count = layout.registers.size();
  std::vector<std::optional<std::uint32_t>> words(count);
  const std::uint32_t control_mask = Mask(layout.control_bits);
  for (const std::uint32_t word : given) {
    if (layout.word_bits < 32 && (word >> layout.word_bits) != 0) {
      out.notes.push_back(WordText(layout, word) + " has more than " +
                          std::to_string(layout.word_bits) + " bits");
    }
    std::optional<std::size_t> which;
    for (std::size_t i = 0; i < count; ++i) {
      if (layout.registers[i].control == (word & control_mask)) which = i;
    }
    if (!which) {
      out.notes.push_back(WordText(layout, word) + " names no register (control bits " +
                          std::to_string(word & control_mask) + ")");
      continue;
    }
    if (words[*which]) {
      out.notes.push_back(std::string(layout.registers[*which].name) +
                          " is given twice; the last one counts");
    }
    words[*which] = word;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (!words[i]) out.notes.push_back(std::string(layout.registers[i].name) + " is missing");
  }
  const auto value = [&](std::string_view name) -> std::optional<std::int64_t> {
    for (const auto& [field, v] : out.fields) {
      if (field == name) return v;
    }
    return std::nullopt;
  };
  for (const RegisterField& field : layout.fields) {
    const auto& word = words[static_cast<std::size_t>(field.reg)];
    if (!word) continue;
    const std::uint32_t v = (*word >> field.lsb) & Mask(field.width);
    if (field.source == FieldSource::kFixed) {
      if (v != field.start) {
        out.notes.push_back(std::string(field.name) + " in " +
                            std::string(layout.registers[static_cast<std::size_t>(field.reg)].name) +
                            " is " + std::to_string(v) + "; the part wants " +
                            std::to_string(field.start));
      }
      continue;
    }
    out.fields.emplace_back(std::string(field.name), v);
  }

  // The counters and the frequencies they set.
  out.r = value("r_counter");
  const bool adf4106 = layout.name == "adf4106";
  if (adf4106) {
    out.a = value("a_counter");
    out.b = value("b_counter");
    if (const auto p = value("prescaler")) out.prescaler = 8 << *p;
    if (out.a && out.b && out.prescaler) {
      out.n = *out.prescaler * *out.b + *out.a;
      if (*out.b < 3) out.notes.push_back("B is " + std::to_string(*out.b) + ", below 3");
      if (*out.b < *out.a) {
        out.notes.push_back("B " + std::to_string(*out.b) + " is below A " +
                            std::to_string(*out.a) + ": the prescaler cannot count that");
      }
    }
  } else {
    out.n = value("int");
    out.frac = value("frac");
    out.mod = value("mod");
    if (layout.name == "adf4351") {
      if (const auto p = value("prescaler")) out.prescaler = *p != 0 ? 8 : 4;
    }
    if (const auto d = value("rf_divider_select")) out.output_divider = 1 << *d;
    if (const auto f = value("feedback_select")) out.feedback = *f != 0 ? FeedbackMode::kFundamental : FeedbackMode::kDivided;
    if (out.mod && *out.mod < 2) {
      out.notes.push_back("MOD is " + std::to_string(*out.mod) + "; the part wants 2 to 4095");
    }
    if (out.frac && out.mod && *out.frac >= *out.mod && *out.mod > 0) {
      out.notes.push_back("FRAC " + std::to_string(*out.frac) + " is not below MOD " +
                          std::to_string(*out.mod));
    }
    const std::int64_t least =
        layout.name == "max2870" ? (out.frac.value_or(0) == 0 ? 16 : 19)
                                 : (out.prescaler.value_or(4) == 8 ? 75 : 23);
    if (out.n && *out.n < least) {
      out.notes.push_back("INT " + std::to_string(*out.n) + " is below " + std::to_string(least) +
                          (layout.name == "adf4351" ? " for the " +
                                                          std::to_string(out.prescaler.value_or(4)) +
                                                          "/" +
                                                          std::to_string(out.prescaler.value_or(4) + 1) +
                                                          " prescaler"
                                                    : std::string(" in this mode")));
    }
  }
  if (out.r && *out.r < 1) out.notes.push_back("R is 0");
  if (out.r && *out.r >= 1 && ref_mhz > 0) {
    const double doubler = value("ref_doubler").value_or(0) != 0 ? 2.0 : 1.0;
    const double half = value("ref_div2").value_or(0) != 0 ? 2.0 : 1.0;
    const double comparison_mhz = ref_mhz * doubler / (static_cast<double>(*out.r) * half);
    out.comparison_khz = comparison_mhz * 1000;
    if (out.n) {
      double n = static_cast<double>(*out.n);
      if (out.frac && out.mod && *out.mod > 0 && *out.frac != 0) {
        n += static_cast<double>(*out.frac) / static_cast<double>(*out.mod);
      }
      const double loop_mhz = n * comparison_mhz;
      const int divider = out.output_divider.value_or(1);
      const bool fundamental = out.feedback.value_or(FeedbackMode::kFundamental) == FeedbackMode::kFundamental;
      out.vco_mhz = fundamental ? loop_mhz : loop_mhz * divider;
      out.output_mhz = *out.vco_mhz / divider;
      if (adf4106 && out.prescaler) {
        // The prescaler's own limit, from the data sheet's table.
        const double top = *out.prescaler == 8 ? 2400 : *out.prescaler == 16 ? 5200 : 1e9;
        if (loop_mhz > top) {
          out.notes.push_back("the " + std::to_string(*out.prescaler) + "/" +
                              std::to_string(*out.prescaler + 1) + " prescaler counts up to " +
                              ShortestText(top) + " MHz, below the VCO's " +
                              ShortestText(loop_mhz) + " MHz");
        }
      }
      // The prescaler counts what the N divider counts: the VCO, or with
      // divided feedback the divided output.
      if (layout.name == "adf4351" && out.prescaler.value_or(4) == 4 && loop_mhz > 3600) {
        out.notes.push_back("the 4/5 prescaler counts up to 3600 MHz, below the " +
                            ShortestText(loop_mhz) + " MHz it is given");
      }
    }
    if (layout.band_select_max_khz > 0) {
      std::int64_t band = value("band_select_clock_div").value_or(0);
      band |= value("bs_msb").value_or(0) << 8;
      if (band < 1) {
        out.notes.push_back("the band-select clock divider is 0");
      } else if (*out.comparison_khz / static_cast<double>(band) > layout.band_select_max_khz) {
        out.notes.push_back("the band-select clock " +
                            ShortestText(*out.comparison_khz / static_cast<double>(band)) +
                            " kHz is above the part's " + ShortestText(layout.band_select_max_khz) +
                            " kHz");
      }
    }
  }
  return out;
}

}  // namespace synthfactors::runner
