#include "sweep.h"

#include <charconv>

#include "arithmetic_fault.h"
#include "result_json.h"
#include "to_hex_text.h"

namespace synthfactors::cli {
namespace {

std::string NumberText(const std::optional<double>& value) {
  if (!value) return "";
  char buffer[32];
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, *value).ptr);
}

// The register text, or empty where the value does not fit in 32 bits.
std::string HexText(const std::optional<double>& value) {
  if (!value) return "";
  try {
    return ToHexText(*value);
  } catch (const ArithmeticFault&) {
    return "";
  }
}

// RFC 4180: a field with a comma, quote or line break is quoted.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string SweepCsvRow(const RunResult& result) {
  const std::string fields[] = {
      CsvField(result.inputs.rf_out),
      CsvField(result.rf_source.value_or("")),
      NumberText(result.r),
      NumberText(result.n),
      HexText(result.r),
      HexText(result.n),
      NumberText(result.comparison_khz),
      NumberText(result.error_hz),
      NumberText(result.error_ppb),
      result.exact ? (*result.exact ? "true" : "false") : "",
      result.fault ? std::string(FaultKindName(*result.fault)) : ""};
  std::string row;
  for (const std::string& field : fields) {
    if (&field != fields) row += ',';
    row += field;
  }
  return row;
}

void RunSweep(const SweepRange& range, const RunInputs& others,
              std::string_view decimal_symbol, SweepFormat format,
              std::ostream& out) {
  if (format == SweepFormat::kCsv) out << kSweepCsvHeader << '\n';
  RunInputs inputs = others;
  for (std::int64_t i = 0; i < range.PointCount(); ++i) {
    inputs.rf_out = range.PointText(i);
    const RunResult result = RunOnce(inputs, decimal_symbol);
    out << (format == SweepFormat::kCsv ? SweepCsvRow(result)
                                        : JsonLine(ResultToJson(result)))
        << '\n';
  }
  out << std::flush;
}

}  // namespace synthfactors::cli
