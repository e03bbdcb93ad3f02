// The ADF4351's six 32-bit words, written R5 ... R0.
//
// Sources: the Linux kernel's include/linux/iio/frequency/
// adf4350.h and drivers/iio/frequency/adf4350.c (bit positions, write
// order R5 ... R0, the band-select clock of at most 125 kHz) and a widely
// used SDR driver's host/lib/ic_reg_maps/gen_adf4351_regs.py (the same
// positions, the ADF4351's R3 bits 23:21). They differ where the data sheet
// settles it: R5 bits 20:19 are reserved and must be 11 (the kernel writes
// 00, the SDR driver 00); MOD must be 2 ... 4095 (the kernel writes 1 with
// FRAC 0). The data sheet's initialisation sequence writes R5 first and R0
// last; the output divider select stops at /64 (6).
#include "layout_parts.h"

#include "number_text.h"

namespace synthfactors::runner::layouts {
namespace {

constexpr std::array<RegisterField, 40> kFields = {{
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
    {"ref_doubler", R2, 25, 1, 0, S::kRun, "the reference path's doubler"},
    {"ref_div2", R2, 24, 1, 0, S::kRun, "the reference path's divide-by-2"},
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
// The reserved bits, and R3's between the fields the kernel's header
// names (ADF4350_REG3_12BIT_CSR_EN at 18, the ADF4351's bits 23:21).
constexpr std::array<RegisterField, 7> kReserved = {{
    {"reserved_r5_19", R5, 19, 2, 3, S::kFixed, "reserved: 11 (data sheet)"},
    {"reserved_r5", R5, 3, 16, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_21", R5, 21, 1, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5_top", R5, 24, 8, 0, S::kFixed, "reserved: 0"},
    {"reserved_r4", R4, 24, 8, 0, S::kFixed, "reserved: 0"},
    {"reserved_r3_19", R3, 19, 2, 0, S::kFixed, "reserved: 0"},
    {"reserved_r3_17", R3, 17, 1, 0, S::kFixed, "reserved: 0"},
}};

constexpr auto kAll = Joined(kFields, kReserved);

// The prescaler bit and the bits that follow integer mode.
std::optional<std::int64_t> RunValue(std::string_view field, const RegisterRun& run) {
  if (field == "prescaler") return run.prescaler >= 8 ? 1 : 0;
  if (field == "ldf" || field == "ldp" || field == "anti_backlash" || field == "charge_cancel") {
    return InIntegerMode(run);
  }
  return std::nullopt;
}

void ReadCounters(const FieldLookup& value, DecodedWords& out) {
  ReadFractionalCounters(value, out, 64);
  if (const auto p = value("prescaler")) out.prescaler = *p != 0 ? 8 : 4;
  const std::int64_t p = out.prescaler.value_or(4);
  const std::int64_t least = p == 8 ? 75 : 23;
  if (out.n && *out.n < least) {
    out.notes.push_back("INT " + std::to_string(*out.n) + " is below " + std::to_string(least) +
                        " for the " + PrescalerName(p) + " prescaler");
  }
}

// The prescaler counts what the N divider counts: the VCO, or with divided
// feedback the divided output.
void CheckLoop(const DecodedWords& decoded, double loop_mhz, std::vector<std::string>& notes) {
  if (decoded.prescaler.value_or(4) == 4 && loop_mhz > 3600) {
    notes.push_back("the 4/5 prescaler counts up to 3600 MHz, below the " +
                    ShortestText(loop_mhz) + " MHz it is given");
  }
}

}  // namespace

const RegisterLayout kAdf4351 = {.name = "adf4351",
                                 .word_bits = 32,
                                 .control_bits = 3,
                                 .registers = kSixRegisters,
                                 .fields = kAll,
                                 .band_select_max_khz = 125,
                                 .band_select_max_divider = 255,
                                 .feedback_divider_max = 64,
                                 .aliases = {},
                                 .power_up = "write R5, R4, R3, R2, R1 and R0 in that order; R0 last starts the VCO band selection",
                                 .run_value = &RunValue,
                                 .read_counters = &ReadCounters,
                                 .check_loop = &CheckLoop};

}  // namespace synthfactors::runner::layouts
