// The Python module synthfactors: the command line's calculation for
// notebooks. run() returns the fields of synthfactors-cli --json; sweep()
// returns the columns of its CSV as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>

#include "arguments.h"
#include "chips.h"
#include "common_r.h"
#include "number_text.h"
#include "plan_options.h"
#include "result_fields.h"
#include "run.h"
#include "sweep.h"
#include "sweep_columns.h"
#include "sweep_range.h"
#include "work_control.h"

namespace py = pybind11;

namespace synthfactors::python {
namespace {

using runner::FieldKind;
using runner::FieldValue;
using runner::RunInputs;
using runner::RunResult;

// The grid's words in the module's errors.
constexpr runner::GridWords kSweepWords = {
    "", "start", "stop", "step",
    "start, stop and step must be decimal numbers in MHz, such as 10368, 10370 and 0.025"};

RunInputs Inputs(const py::object& rf_out, const py::object& mult, const py::object& ref,
                 const py::object& min_fc, const py::object& max_fc,
                 const py::object& r_range, const py::object& n_range, const py::object& chip,
                 const py::object& prescaler) {
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
  inputs.chip = ChipName(chip);
  if (inputs.chip) inputs.chip_profile = LoadChip(*inputs.chip);
  inputs.prescaler = Prescaler(prescaler);
  return inputs;
}

runner::PlanOptions Plan(const py::object& alternatives, const py::object& fom,
                         const py::object& flicker, const py::object& offset) {
  runner::PlanOptions plan;
  plan.alternatives = AlternativeCount(alternatives);
  plan.fom = Decibels(fom, "fom");
  plan.flicker = Decibels(flicker, "flicker");
  plan.offset_hz = Offset(offset);
  return plan;
}

void CheckPrescaler(const RunInputs& inputs, const std::optional<double>& source_mhz) {
  std::string error;
  if (!runner::PrescalerAllowed(inputs, source_mhz, "prescaler", error)) {
    throw py::value_error(error);
  }
}

// A field's value as the command line's JSON gives it to json.loads: whole
// numbers within 64 bits as int, other numbers as float, a number that JSON
// cannot hold (infinite, NaN) as None.
py::object PythonValue(FieldKind kind, const FieldValue& value) {
  auto text_object = [](const std::string& text) {
    return py::reinterpret_steal<py::object>(
        PyUnicode_DecodeUTF8(text.data(), static_cast<py::ssize_t>(text.size()), "replace"));
  };
  if (const auto* text = std::get_if<std::string>(&value)) return text_object(*text);
  if (const auto* texts = std::get_if<std::vector<std::string>>(&value)) {
    py::list list;
    for (const std::string& item : *texts) list.append(text_object(item));
    return list;
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
    const py::str name(field.name.data(), field.name.size());
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
             const py::object& n_range, const py::object& alternatives, const py::object& fom,
             const py::object& decimal_symbol, const py::object& chip,
             const py::object& prescaler, const py::object& flicker,
             const py::object& offset) {
  const RunInputs inputs =
      Inputs(rf_out, mult, ref, min_fc, max_fc, r_range, n_range, chip, prescaler);
  const runner::PlanOptions plan = Plan(alternatives, fom, flicker, offset);
  const std::string symbol = DecimalSymbol(decimal_symbol);
  CheckPrescaler(inputs, runner::SourceMHz(inputs));
  RunResult result;
  {
    py::gil_scoped_release release;
    result = runner::RunOnce(inputs, symbol, plan);
  }
  return FieldsDict(runner::kResultFields, result, result);
}

// Long work without the GIL that Ctrl+C stops: a few times a second the
// calling thread takes the GIL back to let Python see its signals; a
// KeyboardInterrupt (or another handler's exception) stops the workers and
// is raised once they have returned.
class SignalWatch {
 public:
  SignalWatch() {
    control_.on_tick = [this](std::int64_t, std::int64_t, std::string_view) {
      const py::gil_scoped_acquire acquire;
      if (PyErr_CheckSignals() != 0) {
        raised_ = py::error_already_set();
        control_.Stop();
      }
    };
  }
  runner::WorkControl* control() { return &control_; }
  // With the GIL, after a WorkStopped.
  [[noreturn]] void Raise() {
    if (raised_) throw *raised_;
    throw py::value_error("the sweep was stopped");
  }

 private:
  runner::WorkControl control_;
  std::optional<py::error_already_set> raised_;
};

py::dict Sweep(const py::object& start, const py::object& stop, const py::object& step,
               const py::object& mult, const py::object& ref, const py::object& min_fc,
               const py::object& max_fc, const py::object& r_range, const py::object& n_range,
               const py::object& common_r, const py::object& decimal_symbol,
               const py::object& chip, const py::object& prescaler, const py::object& fom,
               const py::object& flicker, const py::object& offset) {
  RunInputs others =
      Inputs(py::str(""), mult, ref, min_fc, max_fc, r_range, n_range, chip, prescaler);
  const runner::PlanOptions plan = Plan(py::int_(0), fom, flicker, offset);
  const bool one_r = Flag(common_r, "common_r");
  const std::string symbol = DecimalSymbol(decimal_symbol);
  std::string error;
  const std::optional<runner::SweepRange> range = runner::SweepRange::FromParts(
      ExactText(start, "start"), ExactText(stop, "stop"), ExactText(step, "step"), kSweepWords,
      error);
  if (!range) throw py::value_error(error);
  CheckPrescaler(others, runner::HighestSourceMHz(*range, others));

  SweepColumns columns(static_cast<std::size_t>(range->PointCount()),
                       runner::ResultShape(others, plan));
  SignalWatch watch;
  runner::PlanR choice;
  bool stopped = false;
  {
    py::gil_scoped_release release;
    try {
      if (one_r) {
        choice = runner::ChoosePlanR(*range, others, watch.control());
        if (choice.choice) others.bounds.FirstR = others.bounds.LastR = choice.choice->R;
        if (choice.prescaler) others.prescaler = choice.prescaler;
      }
      if (!one_r || choice.choice) {
        runner::SweepEveryPoint(
            *range, others, plan, symbol,
            [&](std::int64_t point, const RunResult& result) {
              columns.Store(static_cast<std::size_t>(point), result);
            },
            0, watch.control());
      }
    } catch (const runner::WorkStopped&) {
      stopped = true;
    }
  }
  if (stopped) watch.Raise();
  if (one_r && !choice.choice) throw py::value_error(choice.error);

  py::dict result = columns.Finish();
  if (choice.choice) {
    py::dict summary;
    for (const auto& field : runner::kCommonRFields) {
      summary[py::str(field.name.data(), field.name.size())] =
          PythonValue(field.kind, field.read(*choice.choice));
    }
    result["common_r"] = summary;
  }
  return result;
}

constexpr const char* kRunDoc = R"(Chooses R and N for one RF output frequency, as synthfactors-cli --json.

Each input is a str, read exactly as the window reads its box (blanks
ignored, the number at the start counts, no number reads as 0), or a
number, Python's or NumPy's, taken as its shortest round-trip text.
Frequencies are in MHz, the comparison limits in kHz.

r_range, n_range: counter ranges, "MIN:MAX" or (MIN, MAX), the numbers
taken exactly; only R in the R range (within 1 ... 1000000) are tried and
only N in the N range admitted.
alternatives: also rank up to this many admitted pairs (1 ... 1000; 0: none).
fom: the PLL's figure of merit in dBc/Hz, for the in-band phase noise.
decimal_symbol: the report's decimal symbol, one printable character.
chip: a chip profile (a name from chips(), or a file) whose counters and
limits apply on top of the window, as --chip; prescaler: its P, as
--prescaler. flicker, offset: the 1/f noise in dBc/Hz and the offset in Hz
it is read at (default 10000), added to the in-band noise.

Returns a dict with the fields of the command line's JSON object: rf_out,
mult, ref, min_fc, max_fc, (r_range, n_range,) rf_source, report, exact, r,
n, comparison_khz, error_hz, error_ppb, fault, message, and with the
options phase_noise_dbc_hz, phase_noise_floor_dbc_hz,
phase_noise_flicker_dbc_hz, offset_hz, prescaler, b, a, notes and
alternatives. A run that ends in an
arithmetic fault is no exception: see its fault and message fields. A
wrong type (bool for a number, a float for alternatives) raises TypeError;
a bad range or option value, a number beyond the double range or text
with a lone surrogate raises ValueError.)";

constexpr const char* kSweepDoc = R"(Runs every RF output start, start + step, ... stop (MHz).

start, stop and step are exact decimals: a str as typed, an int, or a
float taken as its exact decimal (100000.0 is 100000, 1e-05 is 0.00001);
the grid is that of synthfactors-cli --sweep, at most 10000000 points. The
other inputs are as for run(), fom and flicker adding a
phase_noise_dbc_hz column, a dual-modulus chip the prescaler, b and a
columns. Computed on every usable processor without
holding the GIL; Ctrl+C stops the workers and raises KeyboardInterrupt.

Returns a dict of NumPy arrays, one per column of the command line's CSV:
rf_out, rf_source, r_hex, n_hex, fault (str; "" where empty), r, n (int64,
or float64 when a divider is 2**63 or more; 0 where the search did not
finish), comparison_khz, error_hz, error_ppb (float64; NaN where the run
did not get that far) and exact (bool). With common_r=True, one R serves
every channel (as --common-r) and the dict also holds "common_r":
{common_r, comparison_khz, exact_channels, channels, worst_error_hz};
ValueError when no R serves every channel, or when the plan asks for more
than 5e10 channel-and-R trials.)";

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
             py::arg("decimal_symbol") = ".", py::arg("chip") = py::none(),
             py::arg("prescaler") = py::none(), py::arg("flicker") = py::none(),
             py::arg("offset") = py::none());
  module.def("sweep", &Sweep, kSweepDoc, py::arg("start"), py::arg("stop"), py::arg("step"),
             py::arg("mult") = "1", py::arg("ref") = "10", py::arg("min_fc") = "5",
             py::arg("max_fc") = "100", py::kw_only(), py::arg("r_range") = py::none(),
             py::arg("n_range") = py::none(), py::arg("common_r") = false,
             py::arg("decimal_symbol") = ".", py::arg("chip") = py::none(),
             py::arg("prescaler") = py::none(), py::arg("fom") = py::none(),
             py::arg("flicker") = py::none(), py::arg("offset") = py::none());
  module.def("chips", &Chips,
             "The shipped chip profiles: a list of dicts with name, description and source "
             "(where the figures come from).");
}
