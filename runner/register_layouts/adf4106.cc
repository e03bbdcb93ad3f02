// The ADF4106's three 24-bit latches, written INIT, R, N.
//
// Sources: Analog Devices' no-OS driver, drivers/frequency/adf4106/
// adf4106.h (the offsets and masks of every field), and the ADF4106 data
// sheet (the initialisation latch sequence INIT, R, N at power-up, the
// function latch holding the same fields; the reserved bits
// 23:21 of the R latch and 23:22 of the N latch written 0; B of 3 or more;
// the prescalers' top frequencies).
#include "layout_parts.h"

#include "number_text.h"

namespace synthfactors::runner::layouts {
namespace {

constexpr std::array<RegisterName, 3> kRegisters = {{{"INIT", 3}, {"R", 0}, {"N", 1}}};
constexpr std::array<RegisterField, 17> kFields = {{
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
constexpr std::array<RegisterField, 3> kExtra = {{
    {"cp_gain", 2, 21, 1, 0, S::kDefault, "0: current setting 1"},
    {"reserved_r", 1, 21, 3, 0, S::kFixed, "reserved: 0"},
    {"reserved_n", 2, 22, 2, 0, S::kFixed, "reserved: 0"},
}};

constexpr auto kAll = Joined(kFields, kExtra);

// The prescaler field's code: 0 8/9, 1 16/17, 2 32/33, 3 64/65.
std::optional<std::int64_t> RunValue(std::string_view field, const RegisterRun& run) {
  if (field == "prescaler") return Log2(std::max<std::int32_t>(run.prescaler, 8) / 8);
  return std::nullopt;
}

void ReadCounters(const FieldLookup& value, DecodedWords& out) {
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
}

// The prescaler's own limit, from the data sheet's table.
void CheckLoop(const DecodedWords& decoded, double loop_mhz, std::vector<std::string>& notes) {
  if (!decoded.prescaler) return;
  const double top = *decoded.prescaler == 8 ? 2400 : *decoded.prescaler == 16 ? 5200 : 1e9;
  if (loop_mhz > top) {
    notes.push_back("the " + PrescalerName(*decoded.prescaler) + " prescaler counts up to " +
                    ShortestText(top) + " MHz, below the VCO's " + ShortestText(loop_mhz) +
                    " MHz");
  }
}

// The function latch (control bits 2) holds the initialisation latch's
// fields.
constexpr std::array<RegisterAlias, 1> kAliases = {{{"FUNCTION", 2, 0}}};

}  // namespace

const RegisterLayout kAdf4106 = {.name = "adf4106",
                                 .word_bits = 24,
                                 .control_bits = 2,
                                 .registers = kRegisters,
                                 .fields = kAll,
                                 .band_select_max_khz = 0,
                                 .band_select_max_divider = 0,
                                 .feedback_divider_max = 0,
                                 .aliases = kAliases,
                                 .power_up = "write INIT, then R, then N (the initialisation latch method), after the supply is up",
                                 .run_value = &RunValue,
                                 .read_counters = &ReadCounters,
                                 .check_loop = &CheckLoop};

}  // namespace synthfactors::runner::layouts
