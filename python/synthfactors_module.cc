// The Python module synthfactors: the command line's calculation for
// notebooks. run() returns the fields of synthfactors-cli --json; sweep()
// returns the columns of its CSV as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "arithmetic_fault.h"
#include "batch.h"
#include "plan_options.h"
#include "result_json.h"
#include "run_result.h"
#include "sweep.h"
#include "sweep_range.h"
#include "to_hex_text.h"

namespace py = pybind11;

namespace synthfactors::python {
namespace {

using cli::RunInputs;
using cli::RunResult;

// An input as the command line reads it: a str as typed, an int or float as
// its shortest round-trip text (as --batch takes JSON numbers).
std::string InputText(const py::handle& value, const char* name) {
  if (py::isinstance<py::str>(value)) return value.cast<std::string>();
  if (py::isinstance<py::bool_>(value)) {
    throw py::type_error(std::string(name) + " must be a str, int or float, not bool");
  }
  if (py::isinstance<py::int_>(value)) {
    try {
      return cli::ShortestText(value.cast<std::int64_t>());
    } catch (const py::cast_error&) {
    }
    try {
      return cli::ShortestText(value.cast<std::uint64_t>());
    } catch (const py::cast_error&) {
    }
    return cli::ShortestText(value.cast<double>());
  }
  if (py::isinstance<py::float_>(value)) {
    const double number = value.cast<double>();
    if (!std::isfinite(number)) {
      throw py::value_error(std::string(name) + " must be a finite number");
    }
    return cli::ShortestText(number);
  }
  throw py::type_error(std::string(name) + " must be a str, int or float, not " +
                       std::string(py::str(value.get_type().attr("__name__"))));
}

// "A:B", or a pair of ints; None for no range.
std::optional<cli::WholeRange> RangeOf(const py::object& value, const char* name, bool positive,
                                       std::string& text) {
  if (value.is_none()) return std::nullopt;
  if (py::isinstance<py::str>(value)) {
    text = value.cast<std::string>();
  } else if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
    const py::sequence pair = value;
    if (pair.size() != 2) throw py::value_error(std::string(name) + " takes (MIN, MAX)");
    text = InputText(pair[0], name) + ":" + InputText(pair[1], name);
  } else {
    throw py::type_error(std::string(name) + " must be a str \"MIN:MAX\" or a (MIN, MAX) pair");
  }
  std::string error;
  std::optional<cli::WholeRange> range = cli::ParseWholeRange(text, name, positive, error);
  if (!range) throw py::value_error(error);
  return range;
}

RunInputs Inputs(const py::object& rf_out, const py::object& mult, const py::object& ref,
                 const py::object& min_fc, const py::object& max_fc,
                 const py::object& r_range, const py::object& n_range) {
  RunInputs inputs = cli::StartInputs();
  inputs.rf_out = InputText(rf_out, "rf_out");
  inputs.mult = InputText(mult, "mult");
  inputs.ref = InputText(ref, "ref");
  inputs.min_fc = InputText(min_fc, "min_fc");
  inputs.max_fc = InputText(max_fc, "max_fc");
  const auto r = RangeOf(r_range, "r_range", true, inputs.r_range);
  const auto n = RangeOf(n_range, "n_range", false, inputs.n_range);
  inputs.bounds = cli::BoundsOf(r, n);
  return inputs;
}

cli::PlanOptions Plan(int alternatives, const py::object& fom) {
  cli::PlanOptions plan;
  std::string error;
  if (alternatives != 0) {
    const auto count =
        cli::ParseAlternativeCount(std::to_string(alternatives), "alternatives", error);
    if (!count) throw py::value_error(error);
    plan.alternatives = *count;
  }
  if (!fom.is_none()) {
    if (py::isinstance<py::str>(fom)) {
      plan.fom = cli::ParseFigureOfMerit(fom.cast<std::string>(), "fom", error);
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

py::object Run(const py::object& rf_out, const py::object& mult, const py::object& ref,
               const py::object& min_fc, const py::object& max_fc, const py::object& r_range,
               const py::object& n_range, int alternatives, const py::object& fom,
               const std::string& decimal_symbol) {
  const RunInputs inputs = Inputs(rf_out, mult, ref, min_fc, max_fc, r_range, n_range);
  const cli::PlanOptions plan = Plan(alternatives, fom);
  std::string line;
  {
    py::gil_scoped_release release;
    line = cli::JsonLine(cli::ResultToJson(cli::RunOnce(inputs, decimal_symbol, plan)));
  }
  // The very text the command line writes, read back: the same fields and
  // values, by construction.
  return py::module_::import("json").attr("loads")(line);
}

// One point of a sweep, as its CSV row holds it.
struct Row {
  std::string rf_out, rf_source, r_hex, n_hex, fault;
  std::int64_t r = 0, n = 0;
  double comparison_khz = NAN, error_hz = NAN, error_ppb = NAN;
  bool exact = false;
};

std::int64_t Whole(const std::optional<double>& value) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (!value || !(*value >= -kTwoTo63 && *value < kTwoTo63)) return 0;
  return static_cast<std::int64_t>(*value);
}

Row RowOf(const RunResult& result) {
  Row row;
  row.rf_out = result.inputs.rf_out;
  row.rf_source = result.rf_source.value_or("");
  row.r = Whole(result.r);
  row.n = Whole(result.n);
  row.r_hex = cli::HexTextOrEmpty(result.r);
  row.n_hex = cli::HexTextOrEmpty(result.n);
  row.comparison_khz = result.comparison_khz.value_or(NAN);
  row.error_hz = result.error_hz.value_or(NAN);
  row.error_ppb = result.error_ppb.value_or(NAN);
  row.exact = result.exact.value_or(false);
  row.fault = result.fault ? std::string(FaultKindName(*result.fault)) : "";
  return row;
}

std::vector<Row> Rows(const cli::SweepRange& range, const RunInputs& others,
                      const std::string& decimal_symbol) {
  const std::int64_t count = range.PointCount();
  std::vector<Row> rows(static_cast<std::size_t>(count));
  const int threads = cli::UsableProcessors();
  auto work = [&](int t) {
    RunInputs inputs = others;
    for (std::int64_t i = t; i < count; i += threads) {
      inputs.rf_out = range.PointText(i);
      rows[static_cast<std::size_t>(i)] = RowOf(cli::RunOnce(inputs, decimal_symbol));
    }
  };
  std::vector<std::jthread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
  work(0);
  return rows;
}

template <typename T, typename Field>
py::array_t<T> Column(const std::vector<Row>& rows, Field field) {
  py::array_t<T> column(static_cast<py::ssize_t>(rows.size()));
  auto out = column.template mutable_unchecked<1>();
  for (std::size_t i = 0; i < rows.size(); ++i) out(static_cast<py::ssize_t>(i)) = rows[i].*field;
  return column;
}

py::object TextColumn(const std::vector<Row>& rows, std::string Row::*field) {
  py::list texts(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) texts[i] = py::str(rows[i].*field);
  return py::module_::import("numpy").attr("array")(texts, py::arg("dtype") = "str");
}

py::dict Sweep(const py::object& start, const py::object& stop, const py::object& step,
               const py::object& mult, const py::object& ref, const py::object& min_fc,
               const py::object& max_fc, const py::object& r_range, const py::object& n_range,
               bool common_r, const std::string& decimal_symbol) {
  RunInputs others = Inputs(py::str(""), mult, ref, min_fc, max_fc, r_range, n_range);
  const std::string grid = InputText(start, "start") + ":" + InputText(stop, "stop") + ":" +
                           InputText(step, "step");
  std::string error;
  const std::optional<cli::SweepRange> range = cli::SweepRange::Parse(grid, error);
  if (!range) throw py::value_error(error);

  std::optional<CommonR> chosen;
  std::vector<Row> rows;
  {
    py::gil_scoped_release release;
    if (common_r) {
      chosen = cli::ChoosePlanR(*range, others, error);
      if (chosen) others.bounds.FirstR = others.bounds.LastR = chosen->R;
    }
    if (!common_r || chosen) rows = Rows(*range, others, decimal_symbol);
  }
  if (common_r && !chosen) throw py::value_error(error);

  py::dict columns;
  columns["rf_out"] = TextColumn(rows, &Row::rf_out);
  columns["rf_source"] = TextColumn(rows, &Row::rf_source);
  columns["r"] = Column<std::int64_t>(rows, &Row::r);
  columns["n"] = Column<std::int64_t>(rows, &Row::n);
  columns["r_hex"] = TextColumn(rows, &Row::r_hex);
  columns["n_hex"] = TextColumn(rows, &Row::n_hex);
  columns["comparison_khz"] = Column<double>(rows, &Row::comparison_khz);
  columns["error_hz"] = Column<double>(rows, &Row::error_hz);
  columns["error_ppb"] = Column<double>(rows, &Row::error_ppb);
  columns["exact"] = Column<bool>(rows, &Row::exact);
  columns["fault"] = TextColumn(rows, &Row::fault);
  if (chosen) {
    py::dict summary;
    summary["common_r"] = chosen->R;
    summary["comparison_khz"] = chosen->ComparisonKHz;
    summary["exact_channels"] = chosen->ExactChannels;
    summary["channels"] = chosen->Channels;
    summary["worst_error_hz"] = chosen->WorstErrorHz;
    columns["common_r"] = summary;
  }
  return columns;
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
