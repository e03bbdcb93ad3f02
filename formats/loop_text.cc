#include "loop_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "number_chars.h"
#include "number_text.h"

namespace synthfactors::formats {
namespace {

std::string WithSymbol(std::string text, std::string_view decimal_symbol) {
  if (const std::size_t point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, decimal_symbol);
  }
  return text;
}

std::string Fixed(double value, int decimals, std::string_view decimal_symbol) {
  if (!std::isfinite(value)) return "-";
  char buffer[400];
  const auto end =
      ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
  return WithSymbol(std::string(buffer, end), decimal_symbol);
}

// A given figure as the user wrote it would read: its shortest text.
std::string Shortest(double value, std::string_view decimal_symbol) {
  return WithSymbol(runner::ShortestText(value), decimal_symbol);
}

// A frequency as the offsets are written: "100 Hz", "1 kHz", "2.5 MHz".
std::string Frequency(double hz, std::string_view decimal_symbol) {
  if (hz >= 1e6) return Shortest(hz / 1e6, decimal_symbol) + " MHz";
  if (hz >= 1e3) return Shortest(hz / 1e3, decimal_symbol) + " kHz";
  return Shortest(hz, decimal_symbol) + " Hz";
}

std::string Width(std::string text, std::size_t width) {
  const std::size_t size = static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
  if (size < width) text.insert(0, width - size, ' ');
  return text;
}

// Four significant digits without a prefix: 0.1234, 12.35, 1235, 12346.
std::string Significant(double value, std::string_view decimal_symbol) {
  if (!std::isfinite(value)) return "-";
  if (value == 0) return "0";
  char buffer[64];
  const auto end =
      ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 3).ptr;
  const std::string scientific(buffer, end);
  const std::size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  return Fixed(value, std::max(0, 3 - exponent), decimal_symbol);
}

std::string NoiseTable(const runner::LoopReport& report, std::string_view decimal_symbol) {
  const bool pll = !report.noise.empty() && report.noise.front().pll_dbc_hz;
  const bool vco = !report.noise.empty() && report.noise.front().vco_dbc_hz;
  const bool reference = !report.noise.empty() && report.noise.front().reference_dbc_hz;
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> header = {"offset", "total"};
  if (pll) header.emplace_back("PLL");
  if (vco) header.emplace_back("VCO");
  if (reference) header.emplace_back("reference");
  header.emplace_back("resistors");
  rows.push_back(header);
  auto decibels = [&](const std::optional<double>& value) {
    return value ? Fixed(*value, 1, decimal_symbol) : std::string("-");
  };
  for (const loop::NoiseAtOffset& row : report.noise) {
    std::vector<std::string> cells = {Frequency(row.offset_hz, decimal_symbol),
                                      decibels(row.total_dbc_hz)};
    if (pll) cells.push_back(decibels(row.pll_dbc_hz));
    if (vco) cells.push_back(decibels(row.vco_dbc_hz));
    if (reference) cells.push_back(decibels(row.reference_dbc_hz));
    cells.push_back(decibels(row.resistors_dbc_hz));
    rows.push_back(std::move(cells));
  }
  std::vector<std::size_t> widths(header.size(), 0);
  for (const auto& cells : rows) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
      widths[c] = std::max(widths[c], Width(cells[c], 0).size());
    }
  }
  std::string table;
  for (const auto& cells : rows) {
    std::string line = "   ";
    for (std::size_t c = 0; c < cells.size(); ++c) line += "  " + Width(cells[c], widths[c]);
    table += line + '\n';
  }
  return table;
}

std::string LockLine(const runner::RunResult& result, std::string_view decimal_symbol) {
  const runner::LoopOptions& options = *result.plan.loop;
  const std::string step = " after a " + Frequency(*options.lock_jump_mhz * 1e6, decimal_symbol) +
                           " step";
  switch (*result.loop_report->lock) {
    case loop::LockTime::Outcome::kSettles:
      return "  Lock time " + EngineeringText(*result.loop->lock_time_us / 1e6, "s", decimal_symbol) +
             " to within " + Frequency(options.lock_tolerance_hz, decimal_symbol) + step + '\n';
    case loop::LockTime::Outcome::kUnstable:
      return "  Lock time  none: the loop is unstable\n";
    case loop::LockTime::Outcome::kTooLong:
      return "  Lock time  none: the loop rings longer than the program follows" + step + '\n';
  }
  return "";
}

}  // namespace

std::string EngineeringText(double value, std::string_view unit, std::string_view decimal_symbol) {
  if (!std::isfinite(value)) return "-";
  if (value == 0) return "0 " + std::string(unit);
  char buffer[64];
  const auto end =
      ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 3).ptr;
  const std::string scientific(buffer, end);  // "-6.591e-09"
  const std::size_t e = scientific.find('e');
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);
  const bool negative = scientific.front() == '-';
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (scientific[i] != '.') digits += scientific[i];
  }
  const int engineering = exponent - ((exponent % 3) + 3) % 3;
  static constexpr std::string_view kPrefixes[] = {"f", "p", "n", "u", "m", "", "k", "M", "G", "T"};
  const int slot = engineering / 3 + 5;
  if (slot < 0 || slot > 9) return WithSymbol(scientific, decimal_symbol) + " " + std::string(unit);
  const auto whole = static_cast<std::size_t>(1 + exponent - engineering);
  std::string text = (negative ? "-" : "") + digits.substr(0, whole);
  if (whole < digits.size()) text += std::string(decimal_symbol) + digits.substr(whole);
  return text + " " + std::string(kPrefixes[slot]) + std::string(unit);
}

std::string LoopBlock(const runner::RunResult& result, std::string_view decimal_symbol) {
  if (!result.loop_report || !result.loop || !result.plan.loop) return "";
  const runner::LoopReport& report = *result.loop_report;
  const runner::LoopOptions& options = *result.plan.loop;
  const loop::LoopFilter& f = report.filter;
  std::string block = "Loop filter  order " + std::to_string(f.order);
  if (!report.designed) {
    block += ", as given";
  } else if (options.bandwidth_khz || options.designed_at) {
    block += ", designed";
    if (options.designed_at) block += " at " + WithSymbol(*options.designed_at, decimal_symbol) + " MHz";
    if (options.bandwidth_khz) {
      block += " for " + Frequency(*options.bandwidth_khz * 1000, decimal_symbol) + " and " +
               Shortest(options.phase_margin_deg, decimal_symbol) + " degrees";
    }
  }
  block += '\n';
  block += "  C1 " + EngineeringText(f.c1, "F", decimal_symbol) + "  C2 " +
           EngineeringText(f.c2, "F", decimal_symbol) + "  R2 " +
           EngineeringText(f.r2, "Ohm", decimal_symbol);
  if (f.order == 3) {
    block += "  C3 " + EngineeringText(f.c3, "F", decimal_symbol) + "  R3 " +
             EngineeringText(f.r3, "Ohm", decimal_symbol);
  }
  block += '\n';
  block += "  Charge pump " + Shortest(report.cp_current_ma, decimal_symbol) + " mA  VCO gain " +
           Shortest(report.kvco_mhz_per_v, decimal_symbol) + " MHz/V\n";
  block += "  Bandwidth " + EngineeringText(result.loop->bandwidth_hz, "Hz", decimal_symbol) +
           "  phase margin " + Fixed(result.loop->phase_margin_deg, 2, decimal_symbol) +
           " degrees\n";
  block += "  Phase noise at the RF output, dBc/Hz:\n" + NoiseTable(report, decimal_symbol);
  block += "  Jitter from " + Frequency(report.jitter_from_hz, decimal_symbol) + " to " +
           Frequency(report.jitter_to_hz, decimal_symbol) + "  phase error " +
           Significant(result.loop->phase_error_deg_rms, decimal_symbol) + " degrees rms  " + EngineeringText(result.loop->jitter_fs_rms / 1e15, "s", decimal_symbol) +
           " rms\n";
  if (report.lock) block += LockLine(result, decimal_symbol);
  return block;
}

}  // namespace synthfactors::formats
