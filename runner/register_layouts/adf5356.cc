// The ADF5356's fourteen 32-bit words, written R13 ... R0.
//
// Sources: Analog Devices' no-OS driver, drivers/frequency/adf5355/
// adf5355.h and adf5355.c (the bit positions of the ADF5355 family, the
// ADF5356's own reserved words R7 0x04000007, R8 0x15596568, R11
// 0x0061200B and R12 0x000005FC with the resync clock divider at bit 12,
// the band-select divider ceil(fPFD / 1.6 MHz), the timeouts, the ADC
// clock divider, the bleed current 24 x fPFD / 61.44 MHz x I_CP / 0.9 mA,
// the write order R13 ... R1 and R0 last) and ARTIQ's
// artiq/coredevice/adf5356_reg.py (the same positions: FRAC2 and MOD2 each
// 14 bits in R2 and 14 in R13). Where they differ the vendor's driver,
// written for this part, is followed: ARTIQ writes the ADF5355's R7
// 0x10000007 and R8 0x102D0428, and a band-select divider over 160 kHz.
#include <algorithm>
#include <array>
#include <cmath>

#include "layout_parts.h"

#include "number_text.h"

namespace synthfactors::runner::layouts {
namespace {

constexpr std::array<RegisterName, 14> kRegisters = {{
    {"R13", 13}, {"R12", 12}, {"R11", 11}, {"R10", 10}, {"R9", 9}, {"R8", 8}, {"R7", 7},
    {"R6", 6}, {"R5", 5}, {"R4", 4}, {"R3", 3}, {"R2", 2}, {"R1", 1}, {"R0", 0}}};
// Indexes into kRegisters.
constexpr int Q13 = 0, Q12 = 1, Q11 = 2, Q10 = 3, Q9 = 4, Q8 = 5, Q7 = 6, Q6 = 7, Q5 = 8, Q4 = 9,
              Q3 = 10, Q2 = 11, Q1 = 12, Q0 = 13;

constexpr auto kFields = std::to_array<RegisterField>({
    {"autocal", Q0, 21, 1, 1, S::kDefault, "1: calibrate the VCO when R0 is written"},
    {"prescaler", Q0, 20, 1, 0, S::kRun, "0 4/5, 1 8/9"},
    {"int", Q0, 4, 16, 0, S::kRun, "INT"},
    {"reserved_r0", Q0, 22, 10, 0, S::kFixed, "reserved: 0"},
    {"frac1", Q1, 4, 24, 0, S::kRun, "FRAC1 (over 2^24)"},
    {"reserved_r1", Q1, 28, 4, 0, S::kFixed, "reserved: 0"},
    {"frac2_lsb", Q2, 18, 14, 0, S::kRun, "FRAC2 bits 13:0"},
    {"mod2_lsb", Q2, 4, 14, 2, S::kRun, "MOD2 bits 13:0"},
    {"sd_load_reset", Q3, 30, 1, 0, S::kDefault, "0: on"},
    {"phase_resync", Q3, 29, 1, 0, S::kDefault, "0: off"},
    {"phase_adjust", Q3, 28, 1, 0, S::kDefault, "0: off"},
    {"phase", Q3, 4, 24, 0, S::kDefault, "0"},
    {"reserved_r3", Q3, 31, 1, 0, S::kFixed, "reserved: 0"},
    {"muxout", Q4, 27, 3, 6, S::kDefault, "6: digital lock detect"},
    {"ref_doubler", Q4, 26, 1, 0, S::kRun, "the reference path's doubler"},
    {"ref_div2", Q4, 25, 1, 0, S::kRun, "the reference path's divide-by-2"},
    {"r_counter", Q4, 15, 10, 1, S::kRun, "R"},
    {"double_buffer", Q4, 14, 1, 0, S::kDefault, "0: off"},
    {"charge_pump_current", Q4, 10, 4, 2, S::kDefault, "2: 0.9375 mA"},
    {"ref_mode", Q4, 9, 1, 0, S::kDefault, "0: single-ended"},
    {"mux_logic", Q4, 8, 1, 1, S::kDefault, "1: 3.3 V"},
    {"pd_polarity", Q4, 7, 1, 1, S::kDefault, "1: positive"},
    {"power_down", Q4, 6, 1, 0, S::kDefault, "0: off"},
    {"cp_three_state", Q4, 5, 1, 0, S::kDefault, "0: off"},
    {"counter_reset", Q4, 4, 1, 0, S::kDefault, "0: off"},
    {"reserved_r4", Q4, 30, 2, 0, S::kFixed, "reserved: 0"},
    {"reserved_r5", Q5, 4, 28, 0x0080002, S::kFixed, "reserved: 0x00800025 with the address"},
    {"bleed_polarity", Q6, 31, 1, 0, S::kDefault, "0: negative"},
    {"gated_bleed", Q6, 30, 1, 0, S::kDefault, "0: off"},
    {"negative_bleed", Q6, 29, 1, 0, S::kRun, "1 in fractional mode up to 100 MHz comparison"},
    {"reserved_r6_25", Q6, 25, 4, 0xA, S::kFixed, "reserved: 1010"},
    {"feedback_select", Q6, 24, 1, 1, S::kRun, "1: fundamental"},
    {"rf_divider_select", Q6, 21, 3, 0, S::kRun, "log2 of the output divider"},
    {"cp_bleed_current", Q6, 13, 8, 1, S::kRun, "24 x fPFD / 61.44 MHz x I_CP / 0.9 mA"},
    {"mute_till_lock", Q6, 11, 1, 0, S::kDefault, "0: off"},
    {"rf_outb_power_down", Q6, 10, 1, 1, S::kDefault, "1: RFoutB (2 x VCO) off"},
    {"reserved_r6_7", Q6, 7, 3, 0, S::kFixed, "reserved: 0"},
    {"rf_output_enable", Q6, 6, 1, 1, S::kDefault, "1: RFoutA on"},
    {"output_power", Q6, 4, 2, 3, S::kDefault, "3: +5 dBm"},
    {"le_sync_edge", Q7, 27, 1, 0, S::kDefault, "0: falling edge"},
    {"reserved_r7_26", Q7, 26, 1, 1, S::kFixed, "reserved: 1"},
    {"le_sync", Q7, 25, 1, 1, S::kDefault, "1: load enable synchronised to the reference"},
    {"reserved_r7", Q7, 10, 15, 0, S::kFixed, "reserved: 0"},
    {"ld_cycle_count", Q7, 8, 2, 0, S::kDefault, "0: 1024 cycles"},
    {"lol_mode", Q7, 7, 1, 0, S::kDefault, "0: off"},
    {"frac_n_ld_precision", Q7, 5, 2, 3, S::kDefault, "3: 12 ns"},
    {"ld_mode", Q7, 4, 1, 0, S::kRun, "1 in integer mode"},
    {"reserved_r8", Q8, 4, 28, 0x1559656, S::kFixed, "reserved: 0x15596568 with the address"},
    {"band_select_clock_div", Q9, 24, 8, 1, S::kRun, "comparison / 1.6 MHz, rounded up"},
    {"timeout", Q9, 14, 10, 1, S::kRun, "comparison / 600 kHz, rounded up"},
    {"alc_wait", Q9, 9, 5, 1, S::kRun, "50 us of timeouts, rounded up"},
    {"synth_lock_timeout", Q9, 4, 5, 1, S::kRun, "20 us of timeouts, rounded up"},
    {"adc_clock_div", Q10, 6, 8, 1, S::kRun, "(comparison / 100 kHz - 2) / 4, rounded up"},
    {"adc_conversion", Q10, 5, 1, 1, S::kDefault, "1: on"},
    {"adc_enable", Q10, 4, 1, 1, S::kDefault, "1: on"},
    {"reserved_r10", Q10, 14, 18, 0x300, S::kFixed, "reserved: 0x00C0000A with the fields"},
    {"vco_band_hold", Q11, 24, 1, 0, S::kDefault, "0: off"},
    {"reserved_r11", Q11, 4, 20, 0x61200, S::kFixed, "reserved: 0x0061200B with the address"},
    {"reserved_r11_top", Q11, 25, 7, 0, S::kFixed, "reserved: 0"},
    {"resync_clock_div", Q12, 12, 20, 1, S::kDefault, "1"},
    {"reserved_r12", Q12, 4, 8, 0x5F, S::kFixed, "reserved: 0x5FC with the address"},
    {"frac2_msb", Q13, 18, 14, 0, S::kRun, "FRAC2 bits 27:14"},
    {"mod2_msb", Q13, 4, 14, 0, S::kRun, "MOD2 bits 27:14"},
    {"reserved_r6_12", Q6, 12, 1, 0, S::kFixed, "reserved: 0"},
    {"reserved_r7_top", Q7, 28, 4, 0, S::kFixed, "reserved: 0"},
});

constexpr double kFirstModulus = 16777216;  // MOD1, 2^24

std::int64_t CeilDiv(double a, double b) { return static_cast<std::int64_t>(std::ceil(a / b)); }

// The timeouts of R9 from the comparison frequency, as the vendor's driver
// works them out: the timeout counter, then the ALC wait and the synthesiser
// lock timeout in units of it.
std::int64_t TimeoutOf(const RegisterRun& run) {
  const double hz = run.comparison_khz * 1000;
  return std::clamp<std::int64_t>(CeilDiv(hz, 600000), 1, 1023);
}

std::optional<std::int64_t> RunValue(std::string_view field, const RegisterRun& run) {
  const double hz = run.comparison_khz * 1000;
  if (field == "prescaler") return run.prescaler >= 8 ? 1 : 0;
  if (field == "frac1") return run.frac1;
  if (field == "frac2_lsb") return run.frac2 & 0x3FFF;
  if (field == "frac2_msb") return run.frac2 >> 14;
  if (field == "mod2_lsb") return run.mod2 & 0x3FFF;
  if (field == "mod2_msb") return run.mod2 >> 14;
  if (field == "ld_mode") return InIntegerMode(run);
  if (field == "negative_bleed") return run.frac != 0 && run.comparison_khz <= 100000 ? 1 : 0;
  if (field == "cp_bleed_current") {
    const double bleed = std::floor(24 * hz / 61.44e6 * run.cp_current_ma / 0.9);
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(bleed), 1, 255);
  }
  if (field == "timeout") return TimeoutOf(run);
  const auto timeout = static_cast<double>(TimeoutOf(run));
  if (field == "alc_wait") return std::clamp<std::int64_t>(CeilDiv(hz * 5, 100000.0 * timeout), 1, 31);
  if (field == "synth_lock_timeout") {
    return std::clamp<std::int64_t>(CeilDiv(hz * 2, 100000.0 * timeout), 1, 31);
  }
  if (field == "adc_clock_div") {
    return std::clamp<std::int64_t>(CeilDiv(hz / 100000 - 2, 4), 1, 255);
  }
  return std::nullopt;
}

void ReadCounters(const FieldLookup& value, DecodedWords& out) {
  out.n = value("int");
  out.frac = value("frac1");
  out.mod = static_cast<std::int64_t>(kFirstModulus);
  const auto part = [&](std::string_view low, std::string_view high) -> std::optional<std::int64_t> {
    const auto l = value(low), h = value(high);
    if (!l || !h) return std::nullopt;
    return (*h << 14) | *l;
  };
  out.frac2 = part("frac2_lsb", "frac2_msb");
  out.mod2 = part("mod2_lsb", "mod2_msb");
  out.integer_mode = out.frac.value_or(0) == 0 && out.frac2.value_or(0) == 0;
  if (const auto p = value("prescaler")) out.prescaler = *p != 0 ? 8 : 4;
  const std::int64_t p = out.prescaler.value_or(4);
  const std::int64_t least = p == 8 ? 75 : 23, most = p == 8 ? 65535 : 32767;
  if (out.n && (*out.n < least || *out.n > most)) {
    out.notes.push_back("INT " + std::to_string(*out.n) + " is outside " + std::to_string(least) +
                        " ... " + std::to_string(most) + " for the " + PrescalerName(p) +
                        " prescaler");
  }
  if (out.mod2 && *out.mod2 < 2) {
    out.notes.push_back("MOD2 is " + std::to_string(*out.mod2) + "; the part wants 2 to 268435455");
  }
  if (out.frac2 && out.mod2 && *out.mod2 > 0 && *out.frac2 >= *out.mod2) {
    out.notes.push_back("FRAC2 " + std::to_string(*out.frac2) + " is not below MOD2 " +
                        std::to_string(*out.mod2));
  }
  if (const auto d = value("rf_divider_select")) {
    if (*d <= 6) {
      out.output_divider = 1 << *d;
    } else {
      out.notes.push_back("the output divider select " + std::to_string(*d) +
                          " is no divider of the part's (/1 ... /64)");
    }
  }
  if (const auto f = value("feedback_select")) {
    out.feedback = *f != 0 ? FeedbackMode::kFundamental : FeedbackMode::kDivided;
  }
  PathSetting path;
  path.doubled = value("ref_doubler").value_or(0) != 0;
  path.halved = value("ref_div2").value_or(0) != 0;
  out.path = path;
}

void CheckLoop(const DecodedWords&, double, std::vector<std::string>&) {}

// The settings that follow the comparison frequency: the vendor's driver
// works each out from it, and the calibration runs at most at 75 MHz.
void CheckWords(const FieldLookup& value, const DecodedWords& decoded, double,
                std::vector<std::string>& notes) {
  if (!decoded.comparison_khz) return;
  RegisterRun run;
  run.comparison_khz = *decoded.comparison_khz;
  for (const std::string_view field : {"timeout", "alc_wait", "synth_lock_timeout", "adc_clock_div"}) {
    const auto given = value(field);
    const auto wanted = RunValue(field, run);
    if (given && wanted && *given < *wanted) {
      notes.push_back(std::string(field) + " is " + std::to_string(*given) + ", below the " +
                      std::to_string(*wanted) + " a comparison of " +
                      FigureText(*decoded.comparison_khz) + " kHz asks");
    }
  }
  if (*decoded.comparison_khz > 75000 && value("autocal").value_or(0) != 0) {
    notes.push_back("the comparison " + FigureText(*decoded.comparison_khz) +
                    " kHz is above the 75 MHz the VCO calibration runs at: calibrate with R "
                    "doubled first, then write R4, R2, R1 and R0 for this comparison");
  }
}

}  // namespace

const RegisterLayout kAdf5356 = {
    .name = "adf5356",
    .word_bits = 32,
    .control_bits = 4,
    .registers = kRegisters,
    .fields = kFields,
    .band_select_max_khz = 1600,
    .band_select_max_divider = 255,
    .feedback_divider_max = 64,
    .aliases = {},
    .power_up = "write R13, R12, ... R1 in that order, wait for the ADC (16 of its clock cycles), then write R0: with AUTOCAL set it calibrates the VCO; above 75 MHz comparison calibrate with R doubled first",
    .run_value = &RunValue,
    .read_counters = &ReadCounters,
    .check_loop = &CheckLoop,
    .check_words = &CheckWords};

}  // namespace synthfactors::runner::layouts
