#include "sweep_writer.h"

#include "io_failure.h"
#include "number_text.h"
#include "result_fields.h"
#include "result_json.h"
#include "loop_run.h"
#include "sweep.h"

namespace synthfactors::formats {

std::string FieldText(runner::FieldKind kind, const runner::FieldValue& value) {
  using runner::FieldKind;
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  if (const auto* number = std::get_if<double>(&value)) {
    return kind == FieldKind::kWhole ? runner::WholeText(*number)
                                     : runner::ShortestText(*number);
  }
  return "";
}

namespace {

// Calls each(text) for the run's sweep columns in order.
template <typename Each>
void ForEachCell(const runner::RunResult& result, Each each) {
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (runner::IsSweepColumn(field, result)) each(FieldText(field.kind, field.read(result)));
  }
}

}  // namespace

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

std::vector<std::string_view> SweepColumnNames(const runner::RunResult& shape) {
  std::vector<std::string_view> names;
  for (const std::size_t column : runner::kSweepColumns) {
    const runner::ResultField& field = runner::kResultFields[column];
    if (runner::IsSweepColumn(field, shape)) names.push_back(field.name);
  }
  return names;
}

std::string SweepCsvHeader(const runner::RunResult& shape) {
  std::string header;
  for (const std::string_view name : SweepColumnNames(shape)) {
    if (!header.empty()) header += ',';
    header += name;
  }
  return header;
}

std::vector<std::string> SweepCells(const runner::RunResult& result) {
  std::vector<std::string> cells;
  cells.reserve(runner::kSweepColumns.size());
  ForEachCell(result, [&](std::string cell) { cells.push_back(std::move(cell)); });
  return cells;
}

std::string SweepCsvRow(const runner::RunResult& result) {
  std::string row;
  bool first = true;
  ForEachCell(result, [&](const std::string& cell) {
    if (!first) row += ',';
    first = false;
    row += CsvField(cell);
  });
  return row;
}

void WriteSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                const runner::PlanOptions& plan, std::string_view decimal_symbol, SweepFormat format, std::ostream& out,
                int threads, std::string_view first_line, runner::WorkControl* control,
                runner::PointSpan span) {
  // The band's loop first: a loop that cannot be designed writes nothing.
  const runner::PlanOptions band = runner::PlanForBand(range, others, plan, decimal_symbol);
  const bool from_start = span.first <= 0;
  if (from_start && !first_line.empty()) out << first_line << '\n';
  if (from_start && format == SweepFormat::kCsv) {
    out << SweepCsvHeader(runner::ResultShape(others, band)) << '\n';
  }
  auto append = [format](const runner::RunResult& result, std::string& text) {
    text += format == SweepFormat::kCsv ? SweepCsvRow(result) : JsonLine(ResultToJson(result));
    text += '\n';
  };
  auto write = [&](const std::string& text, std::int64_t) {
    out << text;
    ThrowIfWriteFailed(out);
  };
  runner::SweepInOrder(range, others, band, decimal_symbol, append, write, threads, control, span);
  FlushOrThrow(out);
}

}  // namespace synthfactors::formats
