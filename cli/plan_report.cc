#include "plan_report.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "numeric_text.h"
#include "result_json.h"

namespace synthfactors::cli {
namespace {

std::string OneDecimal(double value, std::string_view decimal_symbol) {
  char buffer[400];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1).ptr;
  std::string text(buffer, end);
  const std::size_t point = text.find('.');
  if (point != std::string::npos) text.replace(point, 1, decimal_symbol);
  return text;
}

// A mask's text, readable in a column: "." -> "0.", ".5" -> "0.5", "" -> "0".
std::string Figure(double value, std::string_view mask, std::string_view decimal_symbol) {
  std::string text = FormatDigitMask(value, mask, decimal_symbol);
  const std::string_view digits = std::string_view(text).substr(text.starts_with('-') ? 1 : 0);
  if (!digits.empty() && !digits.starts_with(decimal_symbol)) return text;
  std::string padded(text.size() - digits.size(), '-');
  padded.push_back('0');
  padded.append(digits);
  return padded;
}

}  // namespace

std::string PhaseNoiseLine(const std::optional<double>& noise, std::string_view decimal_symbol) {
  if (!noise) return "In-band phase noise  none: it needs N of 1 or more and a factor other than 0";
  return "In-band phase noise  " + OneDecimal(*noise, decimal_symbol) + " dBc/Hz";
}

std::string AlternativesTable(const RunResult& result, std::string_view decimal_symbol) {
  std::vector<std::string> header = {"rank",     "R",         "N",     "comparison kHz",
                                     "error Hz", "error ppb", "exact", "R hex", "N hex"};
  const bool noise = result.plan.fom.has_value();
  if (noise) header.emplace_back("phase noise dBc/Hz");
  std::vector<std::vector<std::string>> rows = {header};
  const double mult = ParseLeadingNumber(result.inputs.mult);
  int rank = 1;
  for (const RankedPair& pair : *result.alternatives) {
    std::vector<std::string> row = {
        std::to_string(rank++),
        FormatDigitMask(pair.R, "#######", decimal_symbol),
        Figure(pair.N, "#######", decimal_symbol),
        Figure(pair.ComparisonKHz, "#####.#####", decimal_symbol),
        Figure(pair.ErrorHz, "######.###", decimal_symbol),
        Figure(pair.ErrorPpb, "########", decimal_symbol),
        pair.Exact ? "yes" : "no",
        HexTextOrEmpty(pair.R),
        HexTextOrEmpty(pair.N)};
    if (noise) {
      const std::optional<double> value =
          InBandPhaseNoise(*result.plan.fom, pair.ComparisonKHz, pair.N, mult);
      row.push_back(value ? OneDecimal(*value, decimal_symbol) : "-");
    }
    rows.push_back(std::move(row));
  }
  std::vector<std::size_t> widths(header.size(), 0);
  for (const auto& row : rows) {
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  std::string table;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      line.append(widths[c] - row[c].size(), ' ');
      line += row[c];
    }
    table += line + '\n';
  }
  return table;
}

}  // namespace synthfactors::cli
