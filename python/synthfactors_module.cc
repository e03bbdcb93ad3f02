// The Python module synthfactors: the command line's calculation for
// notebooks. run() returns the fields of synthfactors-cli --json; sweep()
// returns the columns of its CSV as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common_r.h"
#include "number_text.h"
#include "plan_options.h"
#include "result_fields.h"
#include "run.h"
#include "sweep.h"
#include "sweep_range.h"

namespace py = pybind11;

namespace synthfactors::python {
namespace {

using runner::FieldKind;
using runner::FieldValue;
using runner::RunInputs;
using runner::RunResult;

// An input as the command line reads it: a str as typed, an int or float as
// its shortest round-trip text (as --batch takes JSON numbers).
std::string InputText(const py::handle& value, const char* name) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value)) {
    throw py::type_error(std::string(name) + " must be a str, int or float, not bool");
  }
  if (py::isinstance<py::int_>(value)) {
    try {
      return runner::ShortestText(value.cast<std::int64_t>());
    } catch (const py::cast_error&) {
    }
    try {
      return runner::ShortestText(value.cast<std::uint64_t>());
    } catch (const py::cast_error&) {
    }
    return runner::ShortestText(value.cast<double>());
  }
  if (py::isinstance<py::float_>(value)) {
    const double number = value.cast<double>();
    if (!std::isfinite(number)) {
      throw py::value_error(std::string(name) + " must be a finite number");
    }
    return runner::ShortestText(number);
  }
  throw py::type_error(std::string(name) + " must be a str, int or float, not " +
                       std::string(py::str(value.get_type().attr("__name__"))));
}

// "A:B", or a pair of numbers; None for no range.
std::optional<std::string> RangeText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
    const py::sequence pair = value;
    if (pair.size() != 2) throw py::value_error(std::string(name) + " takes (MIN, MAX)");
    return InputText(pair[0], name) + ":" + InputText(pair[1], name);
  }
  throw py::type_error(std::string(name) + " must be a str \"MIN:MAX\" or a (MIN, MAX) pair");
}

RunInputs Inputs(const py::object& rf_out, const py::object& mult, const py::object& ref,
                 const py::object& min_fc, const py::object& max_fc,
                 const py::object& r_range, const py::object& n_range) {
  RunInputs inputs;
  inputs.rf_out = InputText(rf_out, "rf_out");
  inputs.mult = InputText(mult, "mult");
  inputs.ref = InputText(ref, "ref");
  inputs.min_fc = InputText(min_fc, "min_fc");
  inputs.max_fc = InputText(max_fc, "max_fc");
  inputs.r_range = RangeText(r_range, "r_range");
  inputs.n_range = RangeText(n_range, "n_range");
  std::string error;
  if (!runner::ReadCounterRanges(inputs, "r_range", "n_range", error)) {
    throw py::value_error(error);
  }
  return inputs;
}

runner::PlanOptions Plan(int alternatives, const py::object& fom) {
  runner::PlanOptions plan;
  std::string error;
  if (alternatives != 0) {
    const auto count =
        runner::ParseAlternativeCount(std::to_string(alternatives), "alternatives", error);
    if (!count) throw py::value_error(error);
    plan.alternatives = *count;
  }
  if (!fom.is_none()) {
    if (py::isinstance<py::str>(fom)) {
      plan.fom = runner::ParseFigureOfMerit(fom.cast<std::string>(), "fom", error);
      if (!plan.fom) throw py::value_error(error);
    } else if (py::isinstance<py::int_>(fom) || py::isinstance<py::float_>(fom)) {
      if (py::isinstance<py::bool_>(fom)) throw py::type_error("fom must be a number");
      const double value = fom.cast<double>();
      if (!std::isfinite(value)) throw py::value_error("fom must be a finite number");
      plan.fom = value;
    } else {
      throw py::type_error("fom must be a number or None");
    }
  }
  return plan;
}

// A field's value as the command line's JSON gives it to json.loads: whole
// numbers within 64 bits as int, other numbers as float, a number that JSON
// cannot hold (infinite, NaN) as None.
py::object PythonValue(FieldKind kind, const FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) {
    return py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text->data(), static_cast<py::ssize_t>(text->size()), "replace"));
  }
  if (const auto* flag = std::get_if<bool>(&value)) return py::bool_(*flag);
  if (const auto* number = std::get_if<double>(&value)) {
    if (!std::isfinite(*number)) return py::none();
    if (kind == FieldKind::kWhole) {
      if (const auto whole = runner::AsInt64(*number)) return py::int_(*whole);
    }
    return py::float_(*number);
  }
  return py::none();
}

template <typename Record, std::size_t N>
py::dict FieldsDict(const std::array<runner::Field<Record>, N>& fields, const Record& record,
                    const RunResult& owner) {
  py::dict dict;
  for (const auto& field : fields) {
    if (!runner::IsPresent(field, owner)) continue;
    const FieldValue value = field.read(record);
    py::str name(field.name.data(), field.name.size());
    if (field.kind != FieldKind::kList || std::holds_alternative<std::monostate>(value)) {
      dict[name] = PythonValue(field.kind, value);
      continue;
    }
    py::list list;
    for (const runner::Alternative& alternative : *owner.alternatives) {
      list.append(FieldsDict(runner::kAlternativeFields, alternative, owner));
    }
    dict[name] = list;
  }
  return dict;
}

py::dict Run(const py::object& rf_out, const py::object& mult, const py::object& ref,
             const py::object& min_fc, const py::object& max_fc, const py::object& r_range,
             const py::object& n_range, int alternatives, const py::object& fom,
             const std::string& decimal_symbol) {
  const RunInputs inputs = Inputs(rf_out, mult, ref, min_fc, max_fc, r_range, n_range);
  const runner::PlanOptions plan = Plan(alternatives, fom);
  RunResult result;
  {
    py::gil_scoped_release release;
    result = runner::RunOnce(inputs, decimal_symbol, plan);
  }
  return FieldsDict(runner::kResultFields, result, result);
}

// A sweep's column while the workers fill it: one value per point, of the
// kind of its field. Texts are kept until the end, when NumPy takes them.
struct SweepColumn {
  const runner::ResultField* field;
  std::vector<std::string> texts;
  std::vector<double> numbers;
  std::vector<std::int64_t> wholes;
  std::vector<std::uint8_t> flags;  // bytes, not vector<bool>'s shared bits
};

// The column's value for a point: "" for an empty text, 0 for an empty or
// too large divider, NaN for an empty number, false for an empty flag.
void Store(SweepColumn& column, std::size_t index, const FieldValue& value) {
  switch (column.field->kind) {
    case FieldKind::kText:
      if (const auto* text = std::get_if<std::string>(&value)) column.texts[index] = *text;
      break;
    case FieldKind::kWhole:
      if (const auto* number = std::get_if<double>(&value)) {
        column.wholes[index] = runner::AsInt64(*number).value_or(0);
      }
      break;
    case FieldKind::kNumber:
      if (const auto* number = std::get_if<double>(&value)) column.numbers[index] = *number;
      break;
    case FieldKind::kFlag:
      if (const auto* flag = std::get_if<bool>(&value)) column.flags[index] = *flag ? 1 : 0;
      break;
    case FieldKind::kList:
      break;
  }
}

template <typename T>
py::array_t<T> NumPyArray(const std::vector<T>& values) {
  py::array_t<T> array(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), array.mutable_data());
  return array;
}

py::object NumPyColumn(const SweepColumn& column) {
  switch (column.field->kind) {
    case FieldKind::kText: {
      py::list texts(column.texts.size());
      for (std::size_t i = 0; i < column.texts.size(); ++i) texts[i] = py::str(column.texts[i]);
      return py::module_::import("numpy").attr("array")(texts, py::arg("dtype") = "str");
    }
    case FieldKind::kWhole:
      return NumPyArray(column.wholes);
    case FieldKind::kNumber:
      return NumPyArray(column.numbers);
    case FieldKind::kFlag:
    case FieldKind::kList:
      break;
  }
  py::array_t<bool> flags(static_cast<py::ssize_t>(column.flags.size()));
  std::transform(column.flags.begin(), column.flags.end(), flags.mutable_data(),
                 [](std::uint8_t flag) { return flag != 0; });
  return flags;
}

py::dict Sweep(const py::object& start, const py::object& stop, const py::object& step,
               const py::object& mult, const py::object& ref, const py::object& min_fc,
               const py::object& max_fc, const py::object& r_range, const py::object& n_range,
               bool common_r, const std::string& decimal_symbol) {
  RunInputs others = Inputs(py::str(""), mult, ref, min_fc, max_fc, r_range, n_range);
  const std::string grid = InputText(start, "start") + ":" + InputText(stop, "stop") + ":" +
                           InputText(step, "step");
  std::string error;
  const std::optional<runner::SweepRange> range = runner::SweepRange::Parse(grid, error);
  if (!range) throw py::value_error(error);

  const auto count = static_cast<std::size_t>(range->PointCount());
  std::vector<SweepColumn> columns;
  for (const std::size_t index : runner::kSweepColumns) {
    SweepColumn& column = columns.emplace_back();
    column.field = &runner::kResultFields[index];
    switch (column.field->kind) {
      case FieldKind::kText: column.texts.resize(count); break;
      case FieldKind::kWhole: column.wholes.resize(count); break;
      case FieldKind::kNumber: column.numbers.resize(count, NAN); break;
      default: column.flags.resize(count); break;
    }
  }
  std::optional<CommonR> chosen;
  {
    py::gil_scoped_release release;
    if (common_r) {
      chosen = runner::ChoosePlanR(*range, others, error);
      if (chosen) others.bounds.FirstR = others.bounds.LastR = chosen->R;
    }
    if (!common_r || chosen) {
      runner::SweepEveryPoint(*range, others, decimal_symbol,
                              [&](std::int64_t point, const RunResult& result) {
                                for (SweepColumn& column : columns) {
                                  Store(column, static_cast<std::size_t>(point),
                                        column.field->read(result));
                                }
                              });
    }
  }
  if (common_r && !chosen) throw py::value_error(error);

  py::dict result;
  for (const SweepColumn& column : columns) {
    result[py::str(column.field->name.data(), column.field->name.size())] = NumPyColumn(column);
  }
  if (chosen) {
    py::dict summary;
    for (const auto& field : runner::kCommonRFields) {
      summary[py::str(field.name.data(), field.name.size())] =
          PythonValue(field.kind, field.read(*chosen));
    }
    result["common_r"] = summary;
  }
  return result;
}

constexpr const char* kRunDoc = R"(Chooses R and N for one RF output frequency, as synthfactors-cli --json.

Each input is a str, read exactly as the window reads its box (blanks
ignored, the number at the start counts, no number reads as 0), or an int
or float, taken as its shortest round-trip text. Frequencies are in MHz,
the comparison limits in kHz.

r_range, n_range: counter ranges, "MIN:MAX" or (MIN, MAX); only R in the
R range are tried and only N in the N range admitted.
alternatives: also rank up to this many admitted pairs (1 ... 1000; 0: none).
fom: the PLL's figure of merit in dBc/Hz, for the in-band phase noise.
decimal_symbol: the report's decimal symbol.

Returns a dict with the fields of the command line's JSON object: rf_out,
mult, ref, min_fc, max_fc, (r_range, n_range,) rf_source, report, exact, r,
n, comparison_khz, error_hz, error_ppb, fault, message, and with the
options phase_noise_dbc_hz and alternatives. A run that ends in an
arithmetic fault is no exception: see its fault and message fields. A
wrong type raises TypeError, a bad range or option value ValueError.)";

constexpr const char* kSweepDoc = R"(Runs every RF output start, start + step, ... stop (MHz).

start, stop and step are exact decimals (str, or numbers taken as their
shortest text); the grid is that of synthfactors-cli --sweep. The other
inputs are as for run(). Computed on every usable processor, without
holding the GIL.

Returns a dict of NumPy arrays, one per column of the command line's CSV:
rf_out, rf_source, r_hex, n_hex, fault (str; "" where empty), r, n (int64;
0 where the search did not finish), comparison_khz, error_hz, error_ppb
(float64; NaN where the run did not get that far) and exact (bool). With
common_r=True, one R serves every channel (as --common-r) and the dict
also holds "common_r": {common_r, comparison_khz, exact_channels, channels,
worst_error_hz}; ValueError when no R serves every channel.)";

}  // namespace
}  // namespace synthfactors::python

PYBIND11_MODULE(synthfactors, module) {
  using namespace synthfactors::python;
  module.doc() =
      "Exact divider calculation for integer-N PLL synthesisers: the same figures, to the "
      "last character, as the synthfactors window and synthfactors-cli.";
  module.def("run", &Run, kRunDoc, py::arg("rf_out"), py::arg("mult") = "1",
             py::arg("ref") = "10", py::arg("min_fc") = "5", py::arg("max_fc") = "100",
             py::kw_only(), py::arg("r_range") = py::none(), py::arg("n_range") = py::none(),
             py::arg("alternatives") = 0, py::arg("fom") = py::none(),
             py::arg("decimal_symbol") = ".");
  module.def("sweep", &Sweep, kSweepDoc, py::arg("start"), py::arg("stop"), py::arg("step"),
             py::arg("mult") = "1", py::arg("ref") = "10", py::arg("min_fc") = "5",
             py::arg("max_fc") = "100", py::kw_only(), py::arg("r_range") = py::none(),
             py::arg("n_range") = py::none(), py::arg("common_r") = false,
             py::arg("decimal_symbol") = ".");
}
