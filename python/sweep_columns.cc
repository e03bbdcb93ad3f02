#include "sweep_columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "number_text.h"

namespace synthfactors::python {
namespace {

using runner::FieldKind;
using runner::FieldValue;

// Cell widths: a few more than the texts usually need (grid points, source
// frequencies, register values, fault names); a longer text is kept apart.
std::size_t CellWidth(std::string_view name) {
  return name.ends_with("_hex") || name == "fault" ? 8 : 16;
}

// UTF-8 to code points (a sweep's texts are ASCII, but nothing relies on
// it); a byte that starts no valid sequence becomes U+FFFD.
std::u32string CodePoints(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2
                              : (lead >> 3) == 0x1E ? 3 : 4;
    bool valid = extra < 4 && i + extra < text.size();
    char32_t point = lead & (0x7F >> extra);
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      point = (point << 6) | (next & 0x3F);
    }
    out.push_back(valid ? point : U'\uFFFD');
    i += valid ? extra + 1 : 1;
  }
  return out;
}

// Writes a text's code points at `out`, which has room for them.
void PutText(std::string_view text, char32_t* out) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; })) {
    std::copy(text.begin(), text.end(), out);
    return;
  }
  const std::u32string points = CodePoints(text);
  std::copy(points.begin(), points.end(), out);
}

}  // namespace

SweepColumns::SweepColumns(std::size_t points, const runner::RunResult& shape)
    : points_(points) {
  const auto count = static_cast<py::ssize_t>(points);
  columns_.reserve(runner::kSweepColumns.size());
  for (const std::size_t index : runner::kSweepColumns) {
    if (!runner::IsSweepColumn(runner::kResultFields[index], shape)) continue;
    Column& column = columns_.emplace_back();
    column.field = &runner::kResultFields[index];
    switch (column.field->kind) {
      case FieldKind::kText:
        // Not written here: every cell is written by Store, so the pages
        // are touched only by the workers.
        column.width = CellWidth(column.field->name);
        column.cells.reset(new char[points * column.width]);
        continue;
      case FieldKind::kNumber:
      case FieldKind::kWhole:
        column.array = py::array_t<double>(count);
        break;
      case FieldKind::kFlag:
      case FieldKind::kTexts:  // lists are no sweep column; stored as flags if ever
      case FieldKind::kWords:
      case FieldKind::kList:
      case FieldKind::kNumbers:
      case FieldKind::kLoop:
      case FieldKind::kNoise:
        column.array = py::array_t<bool>(count);
        break;
    }
    column.data = column.array.mutable_data();
  }
}

void SweepColumns::StoreText(Column& column, std::size_t index, std::string_view text) {
  char* cell = &column.cells[index * column.width];
  const std::size_t kept = text.size() <= column.width ? text.size() : 0;
  std::memcpy(cell, text.data(), kept);
  std::memset(cell + kept, 0, column.width - kept);
  if (kept == text.size()) return;
  const std::lock_guard lock(longer_mutex_);
  column.longer[index] = text;
}

// Every column's value for the point, an empty one as "", NaN, 0 or false.
void SweepColumns::Store(std::size_t index, const runner::RunResult& result) {
  for (Column& column : columns_) {
    const FieldValue value = column.field->read(result);
    const auto* text = std::get_if<std::string>(&value);
    const auto* number = std::get_if<double>(&value);
    const auto* flag = std::get_if<bool>(&value);
    switch (column.field->kind) {
      case FieldKind::kText:
        StoreText(column, index, text != nullptr ? std::string_view(*text) : std::string_view());
        break;
      case FieldKind::kNumber:
        static_cast<double*>(column.data)[index] = number != nullptr ? *number : NAN;
        break;
      case FieldKind::kWhole:
        static_cast<double*>(column.data)[index] = number != nullptr ? *number : 0.0;
        if (number != nullptr && !runner::AsInt64(*number)) divider_beyond_int64_ = true;
        break;
      case FieldKind::kFlag:
      case FieldKind::kTexts:
      case FieldKind::kList:
      case FieldKind::kWords:
      case FieldKind::kNumbers:
      case FieldKind::kLoop:
      case FieldKind::kNoise:
        static_cast<bool*>(column.data)[index] = flag != nullptr && *flag;
        break;
    }
  }
}

py::object SweepColumns::TextArray(Column& column) {
  std::size_t width = 1;
  for (std::size_t i = 0; i < points_; ++i) {
    width = std::max(width, strnlen(&column.cells[i * column.width], column.width));
  }
  for (const auto& [index, text] : column.longer) width = std::max(width, CodePoints(text).size());
  py::array array = py::module_::import("numpy").attr("empty")(
      points_, py::arg("dtype") = "<U" + std::to_string(width));
  auto* out = static_cast<char32_t*>(array.mutable_data());
  std::fill_n(out, points_ * width, U'\0');
  for (std::size_t i = 0; i < points_; ++i) {
    const char* cell = &column.cells[i * column.width];
    PutText(std::string_view(cell, strnlen(cell, column.width)), out + i * width);
  }
  for (const auto& [index, text] : column.longer) PutText(text, out + index * width);
  column.cells.reset();  // freed before the next column is built
  return array;
}

py::dict SweepColumns::Finish() {
  py::dict arrays;
  // Dividers first, while the text cells are still the smaller.
  for (Column& column : columns_) {
    if (column.field->kind == FieldKind::kWhole && !divider_beyond_int64_) {
      column.array = column.array.attr("astype")("int64");
    }
  }
  for (Column& column : columns_) {
    const py::str name(column.field->name.data(), column.field->name.size());
    arrays[name] = column.field->kind == FieldKind::kText ? TextArray(column) : column.array;
  }
  return arrays;
}

}  // namespace synthfactors::python
