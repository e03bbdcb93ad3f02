// The MAX2870's six 32-bit words, written R5 ... R0.
//
// Sources: a widely used SDR driver's
// host/lib/ic_reg_maps/gen_max2870_regs.py (every field's position) and
// the MAX2870 data sheet (write order R5 ... R0, twice at power-up with at
// least 20 ms between the writes; R4 bits 31:26 reserved,
// 011000; the band-select clock at most 50 kHz; CPL 0 and INT mode in
// integer mode).
#include "layout_parts.h"

namespace synthfactors::runner::layouts {
namespace {

constexpr std::array<RegisterField, 38> kFields = {{
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
    {"ref_doubler", R2, 25, 1, 0, S::kRun, "the reference path's doubler"},
    {"ref_div2", R2, 24, 1, 0, S::kRun, "the reference path's divide-by-2"},
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
    {"reserved_r4_26", R4, 26, 6, 0x18, S::kFixed, "reserved: 011000"},
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
// R5's fields, and the reserved bits between the fields the SDR driver's
// map names (its defaults write them 0).
constexpr std::array<RegisterField, 7> kExtra = {{
    {"f01", R5, 24, 1, 1, S::kDefault, "1: integer mode when FRAC is 0"},
    {"mux_sdo", R5, 18, 1, 0, S::kDefault, "0: normal"},
    {"reserved_r3", R3, 17, 7, 0, S::kFixed, "reserved: 0"},
    {"reserved_r4", R4, 10, 2, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_top", R5, 25, 7, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_19", R5, 19, 3, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5", R5, 3, 15, 0, S::kFixed, "reserved: 0"},
}};

constexpr auto kAll = Joined(kFields, kExtra);

// The bits that follow integer mode, and the lock-detect speed.
std::optional<std::int64_t> RunValue(std::string_view field, const RegisterRun& run) {
  if (field == "int_n_mode" || field == "ldf" || field == "ldp") return InIntegerMode(run);
  if (field == "cpl") return 1 - InIntegerMode(run);
  if (field == "lds") return run.comparison_khz > 32000 ? 1 : 0;
  return std::nullopt;
}

// The part runs in integer mode with the INT bit set (FRAC then unused),
// or with FRAC 0 and F01 set; INT is 16 ... 65535 in integer mode and
// 19 ... 4091 in fractional mode.
void ReadCounters(const FieldLookup& value, DecodedWords& out) {
  ReadFractionalCounters(value, out, 128);
  const bool int_bit = value("int_n_mode").value_or(0) != 0;
  out.integer_mode = int_bit || (out.frac.value_or(0) == 0 && value("f01").value_or(1) != 0);
  if (int_bit && out.frac.value_or(0) != 0) {
    out.notes.push_back("the INT bit is set: the part runs in integer mode and FRAC " +
                        std::to_string(*out.frac) + " is not used");
  }
  const std::int64_t least = out.integer_mode ? 16 : 19;
  if (out.n && *out.n < least) {
    out.notes.push_back("INT " + std::to_string(*out.n) + " is below " + std::to_string(least) +
                        " in this mode");
  }
  if (out.n && !out.integer_mode && *out.n > 4091) {
    out.notes.push_back("INT " + std::to_string(*out.n) + " is above 4091 in fractional mode");
  }
}

void CheckLoop(const DecodedWords&, double, std::vector<std::string>&) {}

}  // namespace

const RegisterLayout kMax2870 = {.name = "max2870",
                                 .word_bits = 32,
                                 .control_bits = 3,
                                 .registers = kSixRegisters,
                                 .fields = kAll,
                                 .band_select_max_khz = 50,
                                 .band_select_max_divider = 1023,
                                 .feedback_divider_max = 16,
                                 .aliases = {},
                                 .power_up = "write R5 ... R0 twice, at least 20 ms apart: the first write enables the part, the second starts the VCO selection",
                                 .run_value = &RunValue,
                                 .read_counters = &ReadCounters,
                                 .check_loop = &CheckLoop};

}  // namespace synthfactors::runner::layouts
