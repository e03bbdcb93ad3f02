#include "sweep_writer.h"

#include "io_failure.h"
#include "number_text.h"
#include "result_fields.h"
#include "result_json.h"
#include "sweep.h"

namespace synthfactors::cli {
namespace {

using runner::FieldKind;
using runner::FieldValue;

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

std::string CsvValue(FieldKind kind, const FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return CsvField(*text);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  if (const auto* number = std::get_if<double>(&value)) {
    return kind == FieldKind::kWhole ? runner::WholeText(*number)
                                     : runner::ShortestText(*number);
  }
  return "";
}

}  // namespace

std::string SweepCsvHeader(const runner::RunResult& shape) {
  std::string header;
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (!runner::IsSweepColumn(field, shape)) continue;
    if (!header.empty()) header += ',';
    header += field.name;
  }
  return header;
}

std::string SweepCsvRow(const runner::RunResult& result) {
  std::string row;
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (!runner::IsSweepColumn(field, result)) continue;
    if (column != runner::kSweepColumns.front()) row += ',';
    row += CsvValue(field.kind, field.read(result));
  }
  return row;
}

void WriteSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                const runner::PlanOptions& plan, std::string_view decimal_symbol, SweepFormat format, std::ostream& out,
                int threads, std::string_view first_line, runner::WorkControl* control) {
  if (!first_line.empty()) out << first_line << '\n';
  if (format == SweepFormat::kCsv) {
    out << SweepCsvHeader(runner::ResultShape(others, plan)) << '\n';
  }
  auto append = [format](const runner::RunResult& result, std::string& text) {
    text += format == SweepFormat::kCsv ? SweepCsvRow(result) : JsonLine(ResultToJson(result));
    text += '\n';
  };
  auto write = [&](const std::string& text, std::int64_t) {
    out << text;
    ThrowIfWriteFailed(out);
  };
  runner::SweepInOrder(range, others, plan, decimal_symbol, append, write, threads, control);
  FlushOrThrow(out);
}

}  // namespace synthfactors::cli
