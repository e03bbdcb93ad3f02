#include "sweep.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <thread>
#include <vector>

#include "arithmetic_fault.h"
#include "io_failure.h"
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

// A divider: whole, so written with all its digits and no exponent.
std::string WholeText(const std::optional<double>& value) {
  if (!value) return "";
  char buffer[400];  // the digits of the largest double
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *value,
                                           std::chars_format::fixed)
                                 .ptr);
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
      WholeText(result.r),
      WholeText(result.n),
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
              std::ostream& out, int threads) {
  if (threads <= 0) {
    threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  // Each thread takes a run of consecutive points and writes them into its
  // own text; the texts are then written in order.
  constexpr std::int64_t kPointsPerRun = 512;
  auto write_points = [&](std::int64_t first, std::int64_t last, std::string& text) {
    RunInputs inputs = others;
    for (std::int64_t i = first; i < last; ++i) {
      inputs.rf_out = range.PointText(i);
      const RunResult result = RunOnce(inputs, decimal_symbol);
      text += format == SweepFormat::kCsv ? SweepCsvRow(result)
                                          : JsonLine(ResultToJson(result));
      text += '\n';
    }
  };

  if (format == SweepFormat::kCsv) out << kSweepCsvHeader << '\n';
  const std::int64_t count = range.PointCount();
  std::vector<std::string> texts(static_cast<std::size_t>(threads));
  for (std::int64_t block = 0; block < count; block += kPointsPerRun * threads) {
    std::vector<std::jthread> workers;
    for (int t = 1; t < threads; ++t) {
      const std::int64_t first = std::min(count, block + kPointsPerRun * t);
      const std::int64_t last = std::min(count, first + kPointsPerRun);
      if (first == last) break;
      workers.emplace_back(write_points, first, last, std::ref(texts[t]));
    }
    write_points(block, std::min(count, block + kPointsPerRun), texts[0]);
    workers.clear();  // joins
    for (std::string& text : texts) {
      out << text;
      text.clear();
    }
    ThrowIfWriteFailed(out);
  }
  FlushOrThrow(out);
}

}  // namespace synthfactors::cli
