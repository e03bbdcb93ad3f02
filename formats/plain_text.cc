#include "plain_text.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <charconv>
#include <vector>

#include "loop_text.h"
#include "number_text.h"
#include "numeric_text.h"
#include "result_fields.h"
#include "number_chars.h"

namespace synthfactors::formats {
namespace {

std::string OneDecimal(double value, std::string_view decimal_symbol) {
  char buffer[400];
  const auto end =
      ToChars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1).ptr;
  std::string text(buffer, end);
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimal_symbol);
  return text;
}

// A mask's text, readable in a column: "." -> "0.", ".5" -> "0.5", "" -> "0".
std::string ColumnText(double value, std::string_view mask, std::string_view decimal_symbol) {
  std::string text = FormatDigitMask(value, mask, decimal_symbol);
  const std::string_view digits = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
  if (!digits.empty() && !digits.starts_with(decimal_symbol)) return text;
  std::string padded(text.size() - digits.size(), '-');
  padded.push_back('0');
  padded.append(digits);
  return padded;
}

std::string WithLineFeeds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// Characters, not bytes: a decimal symbol may take more than one byte.
std::size_t Width(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// An offset in Hz, kHz or MHz, whichever keeps it below 1000 (or MHz): a
// whole figure with all its digits, never an exponent below 1e15.
std::string OffsetText(double hz) {
  const auto text = [](double value) {
    return value == std::floor(value) && std::fabs(value) < 1e15 ? runner::WholeText(value)
                                                                 : runner::ShortestText(value);
  };
  if (hz < 1000) return text(hz) + " Hz";
  if (hz < 1e6) return text(hz / 1000) + " kHz";
  return text(hz / 1e6) + " MHz";
}

std::string RegisterOrEmpty(double value) { return runner::RegisterText(value).value_or(""); }

}  // namespace

void WritePlain(const runner::RunResult& result, std::string_view decimal_symbol,
                std::ostream& out) {
  if (result.rf_source) out << "RF Source Frequency" << *result.rf_source << " MHz\n";
  if (result.report) out << '\n' << WithLineFeeds(*result.report) << '\n';
  // The planning figures follow the report whenever it shows a pair, also
  // when a later step (N too large for a register) ended the run.
  if (result.report) {
    // B and A are register values: only for a pair the report completed.
    if (result.counts && result.Complete()) out << CountersLine(result) << '\n';
    if (result.output_divider && result.vco_mhz) {
      out << OutputDividerLine(result, decimal_symbol) << '\n';
    }
    if (result.noise) out << PhaseNoiseLine(result, decimal_symbol) << '\n';
    if (result.mode) {
      std::string spur = "none: integer mode";
      if (result.spur_offset_khz) {
        spur = runner::ShortestText(*result.spur_offset_khz);
        if (const std::size_t point = spur.find('.'); point != std::string::npos) {
          spur.replace(point, 1, decimal_symbol);
        }
        spur += " kHz from the carrier";
      }
      out << "Integer-boundary spur  " << spur << '\n';
    }
    if (result.reference_path) out << "Reference path  " << *result.reference_path << '\n';
    if (result.mash_order) {
      out << "MASH order  " << *result.mash_order
          << (*result.mash_order == 0 ? " (integer mode)" : "") << '\n';
    }
    if (result.registers && result.Complete()) {
      for (const auto& [name, word] : *result.registers) {
        out << "Register " << name << "  " << word << '\n';
      }
      const runner::FieldValue power_up = runner::field_read::PowerUp(result);
      if (const auto* text = std::get_if<std::string>(&power_up)) {
        out << "Power-up  " << *text << '\n';
      }
    }
  }
  for (const std::string& note : result.notes) out << note << '\n';
  if (result.report) out << LoopBlock(result, decimal_symbol);
  if (result.report && result.alternatives) {
    out << '\n' << AlternativesTable(result, decimal_symbol);
  }
}

std::string OutputDividerLine(const runner::RunResult& result, std::string_view decimal_symbol) {
  std::string vco = runner::ShortestText(*result.vco_mhz);
  if (const std::size_t point = vco.find('.'); point != std::string::npos) {
    vco.replace(point, 1, decimal_symbol);
  }
  return "Output divider  /" + std::to_string(*result.output_divider) + "  VCO " + vco + " MHz  " +
         std::string(runner::NameOf(result.feedback.value_or(runner::FeedbackMode::kFundamental))) +
         " feedback";
}

std::string CountersLine(const runner::RunResult& result) {
  const std::int32_t p = *result.prescaler;
  return "Counters  P " + std::to_string(p) + "/" + std::to_string(p + 1) + "  B 0x" +
         RegisterOrEmpty(static_cast<double>(result.counts->B)) + "  A 0x" +
         RegisterOrEmpty(static_cast<double>(result.counts->A));
}

std::string PhaseNoiseLine(const runner::RunResult& result, std::string_view decimal_symbol) {
  if (!result.phase_noise) {
    return "In-band phase noise  none: it needs N of 1 or more and a factor other than 0";
  }
  std::string line = "In-band phase noise  " + OneDecimal(*result.phase_noise, decimal_symbol) +
                     " dBc/Hz";
  if (!result.phase_noise_flicker) return line;
  std::string at = OffsetText(result.noise->OffsetHz);
  if (const std::size_t point = at.find('.'); point != std::string::npos) {
    at.replace(point, 1, decimal_symbol);
  }
  // With a decimal comma, "-65,6, -72,7" would read as four numbers.
  const std::string_view between = decimal_symbol == "." ? ", " : "; ";
  return line + " at " + at + " (floor " + OneDecimal(*result.phase_noise_floor, decimal_symbol) +
         std::string(between) + "flicker " +
         OneDecimal(*result.phase_noise_flicker, decimal_symbol) + ")";
}

std::string AlternativesTable(const runner::RunResult& result, std::string_view decimal_symbol) {
  std::vector<std::string> header = {"rank",     "R",         "N",     "comparison kHz",
                                     "error Hz", "error ppb", "exact", "R hex", "N hex"};
  const bool counters = runner::HasDualModulusChip(result.inputs);
  if (counters) {
    header.emplace_back("B hex");
    header.emplace_back("A hex");
  }
  // A fractional-N chip's settings: their mode, FRAC and MOD (N is INT),
  // spur and, where it is planned, reference path.
  const bool fractional = runner::field_read::WithFractional(result);
  if (fractional) header.insert(header.end(), {"mode", "FRAC", "MOD", "spur kHz"});
  const bool path = fractional && runner::field_read::WithReferencePath(result);
  if (path) header.emplace_back("reference path");
  const bool orders = fractional && runner::field_read::WithMashOrder(result);
  if (orders) header.emplace_back("MASH order");
  const bool noise = result.noise.has_value();
  if (noise) header.emplace_back("phase noise dBc/Hz");
  std::vector<std::vector<std::string>> rows = {header};
  for (const runner::Alternative& alternative : *result.alternatives) {
    const RankedPair& pair = alternative.pair;
    std::vector<std::string> row = {
        std::to_string(alternative.rank),
        FormatDigitMask(pair.R, kDividerMask, decimal_symbol),
        ColumnText(pair.N, kDividerMask, decimal_symbol),
        ColumnText(pair.ComparisonKHz, kKiloHertzMask, decimal_symbol),
        ColumnText(pair.ErrorHz, kHertzMask, decimal_symbol),
        ColumnText(pair.ErrorPpb, kPartsMask, decimal_symbol),
        pair.Exact ? "yes" : "no",
        RegisterOrEmpty(pair.R),
        RegisterOrEmpty(pair.N)};
    if (counters) {
      row.push_back(alternative.counts ? RegisterOrEmpty(static_cast<double>(alternative.counts->B)) : "");
      row.push_back(alternative.counts ? RegisterOrEmpty(static_cast<double>(alternative.counts->A)) : "");
    }
    if (fractional) {
      row.emplace_back(alternative.mode ? runner::NameOf(*alternative.mode) : "-");
      row.push_back(alternative.frac ? std::to_string(*alternative.frac) : "-");
      row.push_back(alternative.mod ? std::to_string(*alternative.mod) : "-");
      row.push_back(alternative.spur_offset_khz
                        ? ColumnText(*alternative.spur_offset_khz, kKiloHertzMask, decimal_symbol)
                        : "-");
    }
    if (path) row.push_back(alternative.reference_path.value_or("-"));
    if (orders) row.push_back(alternative.mash_order ? std::to_string(*alternative.mash_order) : "-");
    if (noise) {
      row.push_back(alternative.phase_noise
                        ? OneDecimal(*alternative.phase_noise, decimal_symbol)
                        : "-");
    }
    rows.push_back(std::move(row));
  }
  std::vector<std::size_t> widths(header.size(), 0);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], Width(row[c]));
  }
  std::string table;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      line.append(widths[c] - Width(row[c]), ' ');
      line += row[c];
    }
    table += line + '\n';
  }
  return table;
}

}  // namespace synthfactors::formats
