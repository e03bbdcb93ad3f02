// How the tables of the planner and the page head and show the result
// columns: captions in words with units ("Error (Hz)"), the counters B and A
// in hexadecimal as their registers take them, and long figures to nine
// significant digits. A copy, a tooltip and every export keep the exact
// text the command line writes.
#pragma once

#include <string>
#include <string_view>

#include "result_fields.h"

namespace synthfactors::runner {

struct ColumnCaption {
  std::string_view column;
  std::string_view caption;
};

// One caption per result column (sweep columns and alternatives alike); a
// register word's column keeps its register's name.
inline constexpr ColumnCaption kColumnCaptions[] = {
    {"rank", "Rank"},
    {"rf_out", "RF out (MHz)"},
    {"rf_source", "Source (MHz)"},
    {"r", "R"},
    {"n", "N"},
    {"r_hex", "R (hex)"},
    {"n_hex", "N (hex)"},
    {"comparison_khz", "Comparison (kHz)"},
    {"error_hz", "Error (Hz)"},
    {"error_ppb", "Error (ppb)"},
    {"exact", "Exact"},
    {"fault", "Fault"},
    {"phase_noise_dbc_hz", "Noise (dBc/Hz)"},
    {"phase_noise_floor_dbc_hz", "Noise floor (dBc/Hz)"},
    {"phase_noise_flicker_dbc_hz", "Flicker (dBc/Hz)"},
    {"prescaler", "Prescaler P"},
    {"b", "B (hex)"},
    {"a", "A (hex)"},
    {"output_divider", "Output divider"},
    {"vco_mhz", "VCO (MHz)"},
    {"feedback", "Feedback"},
    {"mode", "Mode"},
    {"int", "INT"},
    {"frac", "FRAC"},
    {"mod", "MOD"},
    {"spur_offset_khz", "Spur offset (kHz)"},
    {"reference_path", "Reference path"},
    {"mash_order", "MASH order"},
    {"frac1", "FRAC1"},
    {"frac2", "FRAC2"},
    {"mod2", "MOD2"},
    {"c1_f", "C1 (F)"},
    {"c2_f", "C2 (F)"},
    {"c3_f", "C3 (F)"},
    {"r2_ohm", "R2 (Ω)"},
    {"r3_ohm", "R3 (Ω)"},
    {"loop_bandwidth_hz", "Loop bandwidth (Hz)"},
    {"phase_margin_deg", "Phase margin (°)"},
    {"phase_error_deg", "Phase error (° rms)"},
    {"jitter_fs", "Jitter (fs rms)"},
    {"lock_time_us", "Lock time (µs)"},
};

// The caption of a column; the column's own name where it has none.
std::string_view CaptionOf(std::string_view column);

// The columns shown in hexadecimal (the command line writes them in decimal).
inline bool ShownInHex(std::string_view column) { return column == "b" || column == "a"; }

// A figure's text as a table shows it: `exact` (its shortest round-trip
// text) where that has at most nine significant digits, else the value to
// nine significant digits as printf's %.9g writes it ("78.3699052",
// "1.23456789e+09").
std::string NineDigitText(double value, const std::string& exact);

// Whether a column of this kind is shortened to nine digits: the measured
// figures (kNumber), never a divider or count (kWhole), which is exact.
inline bool Shortened(FieldKind kind) { return kind == FieldKind::kNumber; }

}  // namespace synthfactors::runner
