// The Python module synthfactors: the command line's calculation for
// notebooks. run() returns the fields of synthfactors-cli --json; sweep()
// returns the columns of its CSV as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arguments.h"
#include "chip_file.h"
#include "decoded_words.h"
#include "result_json.h"
#include "register_words.h"
#include "chips.h"
#include "input_fields.h"
#include "loop_run.h"
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

// The texts of a call's inputs, by the table of inputs.
struct CallTexts {
  runner::InputTexts texts;

  void Box(runner::Input input, const py::object& value) {
    texts[input] = InputText(value, runner::FieldOf(input).key.data());
  }
  void Ranges(const py::object& r_range, const py::object& n_range) {
    texts[runner::Input::kRRange] = RangeText(r_range, "r_range");
    texts[runner::Input::kNRange] = RangeText(n_range, "n_range");
  }
  void Chip(const py::object& chip, const py::object& prescaler, const py::object& feedback,
            const py::object& registers) {
    texts[runner::Input::kChip] = ChipName(chip);
    texts[runner::Input::kPrescaler] = PrescalerText(prescaler);
    Choice(runner::Input::kFeedback, feedback);
    if (Flag(registers, "registers")) texts.Flag(runner::Input::kRegisters) = true;
  }
  // A reference path's text (a str) and a modulator's order (an int).
  void Path(const py::object& ref_path, const py::object& mash_order) {
    if (!ref_path.is_none()) {
      if (!PyUnicode_Check(ref_path.ptr())) {
        throw py::type_error("ref_path must be a str such as \"auto\" or \"x2/1/x1/R\"");
      }
      texts[runner::Input::kRefPath] = InputText(ref_path, "ref_path");
    }
    texts[runner::Input::kMashOrder] = OrderText(mash_order);
  }
  // One of an input's words ("fundamental" or "divided"), or None.
  void Choice(runner::Input input, const py::object& word) {
    if (word.is_none()) return;
    const std::string_view key = runner::FieldOf(input).key;
    if (!PyUnicode_Check(word.ptr())) {
      std::string words;
      for (const std::string_view choice : runner::ChoicesOf(input)) {
        words += (words.empty() ? "\"" : " or \"") + std::string(choice) + "\"";
      }
      throw py::type_error(std::string(key) + " must be a str, " + words);
    }
    texts[input] = InputText(word, key.data());
  }
  // The loop's keywords, in the table's order from loop_bandwidth.
  void Loop(const py::object& loop_bandwidth, const py::object& phase_margin,
            const py::object& filter_order, const py::object& gamma, const py::object& t31,
            const py::object& filter, const py::object& cp_current, const py::object& kvco,
            const py::object& vco_noise, const py::object& ref_noise,
            const py::object& noise_offsets, const py::object& jitter_band,
            const py::object& lock_jump, const py::object& lock_tolerance) {
    using runner::Input;
    texts[Input::kLoopBandwidth] = NumberText(loop_bandwidth, "loop_bandwidth");
    texts[Input::kPhaseMargin] = NumberText(phase_margin, "phase_margin");
    texts[Input::kFilterOrder] = NumberText(filter_order, "filter_order");
    texts[Input::kGamma] = NumberText(gamma, "gamma");
    texts[Input::kT31] = NumberText(t31, "t31");
    texts[Input::kFilter] =
        NumberListText(filter, "filter", "an iterable of C1, C2, R2[, C3, R3] in farads and ohms");
    texts[Input::kCpCurrent] = NumberText(cp_current, "cp_current");
    texts[Input::kKvco] = NumberText(kvco, "kvco");
    texts[Input::kVcoNoise] = PointsText(vco_noise, "vco_noise");
    texts[Input::kRefNoise] = PointsText(ref_noise, "ref_noise");
    texts[Input::kNoiseOffsets] =
        NumberListText(noise_offsets, "noise_offsets", "an iterable of offsets in Hz");
    texts[Input::kJitterBand] = BandText(jitter_band, "jitter_band");
    texts[Input::kLockJump] = NumberText(lock_jump, "lock_jump");
    texts[Input::kLockTolerance] = NumberText(lock_tolerance, "lock_tolerance");
  }
  void Noise(const py::object& fom, const py::object& flicker, const py::object& offset) {
    texts[runner::Input::kFom] = NumberText(fom, "fom");
    texts[runner::Input::kFlicker] = NumberText(flicker, "flicker");
    texts[runner::Input::kOffset] = NumberText(offset, "offset");
  }
};

std::shared_ptr<const runner::ChipProfile> LoadChipQuietly(std::string_view chip,
                                                           std::string& error) {
  return formats::LoadChip(chip, error);
}

// The checked inputs; ValueError with every fault ("; " between) when any
// input is wrong.
runner::CheckedInputs Checked(const CallTexts& call, const runner::SweepRange* grid) {
  runner::ReadSettings settings;
  settings.naming = runner::Naming::kKey;
  settings.load_chip = LoadChipQuietly;
  settings.grid = grid;
  auto read = runner::ReadInputs(call.texts, settings);
  if (auto* faults = std::get_if<std::vector<runner::InputFault>>(&read)) {
    throw py::value_error(runner::FaultLines(*faults, "; "));
  }
  runner::CheckedInputs checked = std::move(std::get<runner::CheckedInputs>(read));
  return checked;
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
  if (const auto* numbers = std::get_if<std::vector<double>>(&value)) {
    py::list list;
    for (const double number : *numbers) list.append(py::float_(number));
    return list;
  }
  if (const auto* words = std::get_if<runner::NamedWords>(&value)) {
    py::list list;
    for (const auto& [name, word] : *words) {
      py::dict entry;
      entry["name"] = name;
      entry["word"] = word;
      list.append(entry);
    }
    return list;
  }
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
    if (std::holds_alternative<std::monostate>(value)) {
      dict[name] = py::none();
      continue;
    }
    switch (field.kind) {
      case FieldKind::kList: {
        py::list list;
        for (const runner::Alternative& alternative : *owner.alternatives) {
          list.append(FieldsDict(runner::kAlternativeFields, alternative, owner));
        }
        dict[name] = list;
        break;
      }
      case FieldKind::kLoop:
        dict[name] = FieldsDict(runner::kLoopFields,
                                runner::LoopView{*owner.loop_report, *owner.loop}, owner);
        break;
      case FieldKind::kNoise: {
        py::list list;
        for (const auto& row : owner.loop_report->noise) {
          list.append(FieldsDict(runner::kNoiseFields, row, owner));
        }
        dict[name] = list;
        break;
      }
      default:
        dict[name] = PythonValue(field.kind, value);
        break;
    }
  }
  return dict;
}

// A single run of the call's inputs, without the GIL; ValueError where the
// inputs ask what cannot be done for its channel.
RunResult RunChecked(const CallTexts& call, const py::object& decimal_symbol) {
  const std::string symbol = DecimalSymbol(decimal_symbol);
  const auto [inputs, plan] = Checked(call, nullptr);
  RunResult result;
  {
    py::gil_scoped_release release;
    result = runner::RunOnce(inputs, symbol, plan);
  }
  if (result.refusal) throw py::value_error(*result.refusal);
  return result;
}

py::dict Run(const py::object& rf_out, const py::object& mult, const py::object& ref,
             const py::object& min_fc, const py::object& max_fc, const py::object& r_range,
             const py::object& n_range, const py::object& alternatives, const py::object& fom,
             const py::object& decimal_symbol, const py::object& chip,
             const py::object& prescaler, const py::object& flicker,
             const py::object& offset, const py::object& feedback,
             const py::object& registers, const py::object& tolerance,
             const py::object& spur_clear, const py::object& prefer,
             const py::object& ref_path, const py::object& mash_order,
             const py::object& loop_bandwidth, const py::object& phase_margin,
             const py::object& filter_order, const py::object& gamma, const py::object& t31,
             const py::object& filter, const py::object& cp_current, const py::object& kvco,
             const py::object& vco_noise, const py::object& ref_noise,
             const py::object& noise_offsets, const py::object& jitter_band,
             const py::object& lock_jump, const py::object& lock_tolerance) {
  CallTexts call;
  call.Box(runner::Input::kRfOut, rf_out);
  call.Box(runner::Input::kMult, mult);
  call.Box(runner::Input::kRef, ref);
  call.Box(runner::Input::kMinFc, min_fc);
  call.Box(runner::Input::kMaxFc, max_fc);
  call.Ranges(r_range, n_range);
  call.texts[runner::Input::kAlternatives] = AlternativesText(alternatives);
  call.Noise(fom, flicker, offset);
  call.Chip(chip, prescaler, feedback, registers);
  call.texts[runner::Input::kTolerance] = NumberText(tolerance, "tolerance");
  call.texts[runner::Input::kSpurClear] = NumberText(spur_clear, "spur_clear");
  call.Choice(runner::Input::kPrefer, prefer);
  call.Path(ref_path, mash_order);
  call.Loop(loop_bandwidth, phase_margin, filter_order, gamma, t31, filter, cp_current, kvco,
            vco_noise, ref_noise, noise_offsets, jitter_band, lock_jump, lock_tolerance);
  const RunResult result = RunChecked(call, decimal_symbol);
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
               const py::object& flicker, const py::object& offset,
               const py::object& feedback, const py::object& registers,
               const py::object& tolerance, const py::object& spur_clear,
               const py::object& prefer, const py::object& ref_path,
               const py::object& mash_order, const py::object& loop_bandwidth,
               const py::object& phase_margin,
               const py::object& filter_order, const py::object& gamma, const py::object& t31,
               const py::object& filter, const py::object& cp_current, const py::object& kvco,
               const py::object& vco_noise, const py::object& ref_noise,
               const py::object& noise_offsets, const py::object& jitter_band,
               const py::object& lock_jump, const py::object& lock_tolerance) {
  CallTexts call;
  call.Box(runner::Input::kMult, mult);
  call.Box(runner::Input::kRef, ref);
  call.Box(runner::Input::kMinFc, min_fc);
  call.Box(runner::Input::kMaxFc, max_fc);
  call.Ranges(r_range, n_range);
  call.Noise(fom, flicker, offset);
  call.Chip(chip, prescaler, feedback, registers);
  call.texts[runner::Input::kTolerance] = NumberText(tolerance, "tolerance");
  call.texts[runner::Input::kSpurClear] = NumberText(spur_clear, "spur_clear");
  call.Choice(runner::Input::kPrefer, prefer);
  call.Path(ref_path, mash_order);
  call.Loop(loop_bandwidth, phase_margin, filter_order, gamma, t31, filter, cp_current, kvco,
            vco_noise, ref_noise, noise_offsets, jitter_band, lock_jump, lock_tolerance);
  const bool one_r = Flag(common_r, "common_r");
  const std::string symbol = DecimalSymbol(decimal_symbol);
  std::string error;
  const std::optional<runner::SweepRange> range = runner::SweepRange::FromParts(
      ExactText(start, "start"), ExactText(stop, "stop"), ExactText(step, "step"), kSweepWords,
      error);
  if (!range) throw py::value_error(error);
  auto [others, plan] = Checked(call, &*range);

  SweepColumns columns(static_cast<std::size_t>(range->PointCount()),
                       runner::ResultShape(others, plan));
  SignalWatch watch;
  runner::PlanR choice;
  bool stopped = false;
  std::optional<std::string> refusal;
  {
    py::gil_scoped_release release;
    try {
      if (one_r) {
        choice = runner::ChoosePlanR(*range, others, plan, watch.control());
        others = runner::InputsWithR(others, choice);  // R, prescaler and path, as the rows
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
    } catch (const runner::RunRefused& refused) {
      refusal = refused.what();
    }
  }
  if (stopped) watch.Raise();
  if (refusal) throw py::value_error(*refusal);
  if (one_r && !choice.choice) throw py::value_error(choice.error);

  py::dict result = columns.Finish();
  if (choice.choice) {
    py::dict summary;
    for (const auto& field : runner::kCommonRFields) {
      summary[py::str(field.name.data(), field.name.size())] =
          PythonValue(field.kind, field.read(*choice.choice));
    }
    if (choice.path_text) summary["reference_path"] = *choice.path_text;
    result["common_r"] = summary;
  }
  return result;
}

// The loop's noise of one run at many offsets, for plots: NumPy arrays of
// the offsets and of each source (NaN where a source is absent).
py::dict NoiseCurve(const py::object& rf_out, const py::object& mult, const py::object& ref,
                    const py::object& min_fc, const py::object& max_fc, const py::object& offsets,
                    const py::object& r_range, const py::object& n_range, const py::object& fom,
                    const py::object& decimal_symbol, const py::object& chip,
                    const py::object& prescaler, const py::object& flicker,
                    const py::object& offset, const py::object& feedback,
                    const py::object& tolerance, const py::object& spur_clear,
                    const py::object& prefer, const py::object& ref_path,
               const py::object& mash_order, const py::object& loop_bandwidth,
               const py::object& phase_margin,
                    const py::object& filter_order, const py::object& gamma, const py::object& t31,
                    const py::object& filter, const py::object& cp_current, const py::object& kvco,
                    const py::object& vco_noise, const py::object& ref_noise,
                    const py::object& noise_offsets, const py::object& jitter_band,
                    const py::object& lock_jump, const py::object& lock_tolerance) {
  if (!noise_offsets.is_none()) {
    throw py::type_error("noise_curve() takes its offsets as offsets, not noise_offsets");
  }
  CallTexts call;
  call.Box(runner::Input::kRfOut, rf_out);
  call.Box(runner::Input::kMult, mult);
  call.Box(runner::Input::kRef, ref);
  call.Box(runner::Input::kMinFc, min_fc);
  call.Box(runner::Input::kMaxFc, max_fc);
  call.Ranges(r_range, n_range);
  call.Noise(fom, flicker, offset);
  call.Chip(chip, prescaler, feedback, py::bool_(false));
  call.texts[runner::Input::kTolerance] = NumberText(tolerance, "tolerance");
  call.texts[runner::Input::kSpurClear] = NumberText(spur_clear, "spur_clear");
  call.Choice(runner::Input::kPrefer, prefer);
  call.Path(ref_path, mash_order);
  call.Loop(loop_bandwidth, phase_margin, filter_order, gamma, t31, filter, cp_current, kvco,
            vco_noise, ref_noise, noise_offsets, jitter_band, lock_jump, lock_tolerance);
  if (!call.texts[runner::Input::kLoopBandwidth] && !call.texts[runner::Input::kFilter]) {
    throw py::value_error("noise_curve() needs a loop (loop_bandwidth or filter)");
  }
  // Twenty offsets a decade from 10 Hz to 100 MHz unless given.
  std::string offsets_text;
  if (offsets.is_none()) {
    for (const double f : runner::PlotOffsets()) {
      offsets_text += (offsets_text.empty() ? "" : ",") + runner::ShortestText(f);
    }
  } else {
    offsets_text = *NumberListText(offsets, "offsets", "an iterable of offsets in Hz");
  }
  call.texts[runner::Input::kNoiseOffsets] = offsets_text;
  const RunResult result = RunChecked(call, decimal_symbol);
  if (!result.loop_report) {
    throw py::value_error(result.message.empty()
                              ? std::string("the run has no loop figures (no setting)")
                              : "the run has no loop figures: " + result.message);
  }
  const std::vector<loop::NoiseAtOffset>& rows = result.loop_report->noise;
  py::dict arrays;
  for (const auto& field : runner::kNoiseFields) {
    py::array_t<double> column(static_cast<py::ssize_t>(rows.size()));
    double* data = column.mutable_data();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const FieldValue value = field.read(rows[i]);
      const auto* number = std::get_if<double>(&value);
      data[i] = number != nullptr ? *number : NAN;
    }
    arrays[py::str(field.name.data(), field.name.size())] = column;
  }
  arrays["jitter_band_hz"] =
      py::make_tuple(result.loop_report->jitter_from_hz, result.loop_report->jitter_to_hz);
  return arrays;
}

// The words of `chip` read back, as synthfactors-cli --decode --json gives
// them (the same object, through the same writer).
py::object Decode(const py::object& chip, const py::object& ref, const py::object& words) {
  const std::optional<std::string> name = ChipName(chip);
  if (!name) throw py::type_error("decode() needs a chip");
  const auto profile = LoadChip(*name);
  const runner::RegisterLayout* layout = runner::LayoutNamed(profile->register_map);
  if (layout == nullptr) {
    throw py::value_error("the " + profile->name + " profile names no register_map");
  }
  std::string error;
  const std::optional<double> ref_mhz = runner::ParseDecimal(
      ExactText(ref, "ref"), "ref", "the reference frequency in MHz, above 0", "25", true, error);
  if (!ref_mhz) throw py::value_error(error);
  // Words are an iterable of ints (Python's or NumPy's, an array too) or
  // hexadecimal texts; a bare text or bytes is one word, not its letters.
  if (PyUnicode_Check(words.ptr()) || PyBytes_Check(words.ptr()) ||
      PyByteArray_Check(words.ptr())) {
    throw py::type_error("words must be a list of words (int or str), not a single str or bytes");
  }
  std::vector<std::uint32_t> values;
  for (const py::handle word : py::iterable(words)) {
    if (PyBool_Check(word.ptr())) throw py::type_error("words must be int or str, not bool");
    if (PyIndex_Check(word.ptr()) && !PyUnicode_Check(word.ptr())) {
      const py::object number = py::reinterpret_steal<py::object>(PyNumber_Index(word.ptr()));
      int overflow = 0;
      const long long value = PyLong_AsLongLongAndOverflow(number.ptr(), &overflow);
      if (overflow != 0 || value < 0 || value > 0xFFFFFFFFLL) {
        throw py::value_error("words: a word has at most 32 bits, not " +
                              py::repr(number).cast<std::string>());
      }
      values.push_back(static_cast<std::uint32_t>(value));
      continue;
    }
    if (!PyUnicode_Check(word.ptr())) throw py::type_error("words must be int or str");
    const std::string text = Utf8Text(word, "words");
    const auto parsed = formats::ParseWord(text);
    if (!parsed) {
      throw py::value_error("words are hexadecimal such as \"0x00580005\", not \"" +
                            runner::CutShort(text, 40) + "\"");
    }
    values.push_back(*parsed);
  }
  if (values.empty()) throw py::value_error("words: decode() needs at least one word");
  const runner::DecodedWords decoded = runner::DecodeWords(*layout, values, *ref_mhz);
  for (const auto& figure : {decoded.comparison_khz, decoded.vco_mhz, decoded.output_mhz}) {
    if (figure && !std::isfinite(*figure)) {
      throw py::value_error("ref puts the frequencies beyond what the program can state");
    }
  }
  const ReferencePath* path = profile->reference_path ? &*profile->reference_path : nullptr;
  const std::string text = formats::JsonLine(formats::DecodedToJson(*layout, decoded, path));
  return py::module_::import("json").attr("loads")(py::str(text));
}

// A keyword argument of an input, named by its key, with its start text as
// its default (None for an option).
py::arg_v Keyword(runner::Input input) {
  const runner::InputField& field = runner::FieldOf(input);
  if (field.start.empty()) return py::arg(field.key.data()) = py::none();
  return py::arg(field.key.data()) = std::string(field.start);
}

// A parameter of a function's text signature: its name and default as
// Python would write it ("" for none); "*" alone marks the keyword-only ones.
struct Parameter {
  std::string name;
  std::string default_text;
};

// An input's keyword with its start text (quoted) or None.
Parameter Keyed(runner::Input input) {
  const runner::InputField& field = runner::FieldOf(input);
  return {std::string(field.key),
          field.start.empty() ? "None" : "'" + std::string(field.start) + "'"};
}

// "name(a, b='1', *, c=None)\n--\n\n" and the doc: the form CPython reads a
// builtin's signature from.
std::string Documented(std::string_view name, const std::vector<Parameter>& parameters,
                       std::string_view doc) {
  std::string text(name);
  text += '(';
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    if (i > 0) text += ", ";
    text += parameters[i].name;
    if (!parameters[i].default_text.empty()) text += "=" + parameters[i].default_text;
  }
  return text + ")\n--\n\n" + std::string(doc);
}

// The loop's keywords, in the table's order.
std::vector<Parameter> LoopParameters() {
  using runner::Input;
  std::vector<Parameter> loop;
  for (const Input input :
       {Input::kLoopBandwidth, Input::kPhaseMargin, Input::kFilterOrder, Input::kGamma,
        Input::kT31, Input::kFilter, Input::kCpCurrent, Input::kKvco, Input::kVcoNoise,
        Input::kRefNoise, Input::kNoiseOffsets, Input::kJitterBand, Input::kLockJump,
        Input::kLockTolerance}) {
    loop.push_back(Keyed(input));
  }
  return loop;
}

std::vector<Parameter> Joined(std::vector<Parameter> first, const std::vector<Parameter>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

using runner::Input;
const std::vector<Parameter> kRunParameters = Joined(
    {{"rf_out", ""}, Keyed(Input::kMult), Keyed(Input::kRef), Keyed(Input::kMinFc),
     Keyed(Input::kMaxFc), {"*", ""}, Keyed(Input::kRRange), Keyed(Input::kNRange),
     {"alternatives", "0"}, Keyed(Input::kFom), {"decimal_symbol", "'.'"}, Keyed(Input::kChip),
     Keyed(Input::kPrescaler), Keyed(Input::kFlicker), Keyed(Input::kOffset),
     Keyed(Input::kFeedback), {"registers", "False"}, Keyed(Input::kTolerance),
     Keyed(Input::kSpurClear), Keyed(Input::kPrefer), Keyed(Input::kRefPath),
     Keyed(Input::kMashOrder)},
    LoopParameters());
const std::vector<Parameter> kSweepParameters = Joined(
    {{"start", ""}, {"stop", ""}, {"step", ""}, Keyed(Input::kMult), Keyed(Input::kRef),
     Keyed(Input::kMinFc), Keyed(Input::kMaxFc), {"*", ""}, Keyed(Input::kRRange),
     Keyed(Input::kNRange), {"common_r", "False"}, {"decimal_symbol", "'.'"},
     Keyed(Input::kChip), Keyed(Input::kPrescaler), Keyed(Input::kFom), Keyed(Input::kFlicker),
     Keyed(Input::kOffset), Keyed(Input::kFeedback), {"registers", "False"},
     Keyed(Input::kTolerance), Keyed(Input::kSpurClear), Keyed(Input::kPrefer),
     Keyed(Input::kRefPath), Keyed(Input::kMashOrder)},
    LoopParameters());
const std::vector<Parameter> kNoiseCurveParameters = Joined(
    {{"rf_out", ""}, Keyed(Input::kMult), Keyed(Input::kRef), Keyed(Input::kMinFc),
     Keyed(Input::kMaxFc), {"*", ""}, {"offsets", "None"}, Keyed(Input::kRRange),
     Keyed(Input::kNRange), Keyed(Input::kFom), {"decimal_symbol", "'.'"}, Keyed(Input::kChip),
     Keyed(Input::kPrescaler), Keyed(Input::kFlicker), Keyed(Input::kOffset),
     Keyed(Input::kFeedback), Keyed(Input::kTolerance), Keyed(Input::kSpurClear),
     Keyed(Input::kPrefer), Keyed(Input::kRefPath), Keyed(Input::kMashOrder)},
    LoopParameters());

// The table of inputs, for notebooks and for the tests that keep the
// module's keywords to it.
py::list Inputs() {
  py::list fields;
  for (const runner::InputField& field : runner::kInputFields) {
    py::dict entry;
    entry["key"] = std::string(field.key);
    entry["flag"] = std::string(field.flag);
    entry["value_name"] = std::string(field.value_name);
    entry["help"] = std::string(field.help);
    entry["start"] = field.start.empty() ? py::object(py::none()) : py::str(std::string(field.start));
    entry["unit"] = std::string(field.unit);
    py::list modes;
    const std::pair<unsigned, const char*> kModes[] = {{runner::kSingleRun, "single"},
                                                        {runner::kBatchRun, "batch"},
                                                        {runner::kSweepRun, "sweep"},
                                                        {runner::kPlannerRun, "planner"}};
    for (const auto& [bit, name] : kModes) {
      if ((field.modes & bit) != 0) modes.append(name);
    }
    entry["modes"] = modes;
    fields.append(entry);
  }
  return fields;
}

constexpr const char* kRunDoc = R"(Chooses R and N for one RF output frequency, as synthfactors-cli --json.

Each input is a str, read exactly as the window reads its box (blanks
ignored, the number at the start counts, no number reads as 0), or a
number, Python's or NumPy's, taken as its shortest round-trip text (a
NumPy float32 or float16 as the shortest text of its own type, so
float32(1000.1) is "1000.1").
Frequencies are in MHz, the comparison limits in kHz.

r_range, n_range: counter ranges, "MIN:MAX" or (MIN, MAX), the numbers
taken exactly; only R in the R range (within 1 ... 1000000) are tried and
only N in the N range admitted.
alternatives: also rank up to this many admitted pairs (1 ... 1000; 0: none;
with a fractional-N chip, the best setting of each R).
fom: the PLL's figure of merit in dBc/Hz, for the in-band phase noise.
decimal_symbol: the report's decimal symbol, one printable character.
chip: a chip profile (a name from chips(), or a file) whose counters and
limits apply on top of the window, as --chip; prescaler: its P, as
--prescaler. flicker, offset: the 1/f noise in dBc/Hz and the offset in Hz
it is read at (default 10000), added to the in-band noise.

feedback: with a chip that has an output divider, "fundamental" or
"divided"; registers: also the chip's register words; tolerance,
spur_clear, prefer: the fractional-N choice (Hz, kHz, "spur" or
"noise"); loop_bandwidth ... lock_tolerance: a loop filter designed or
given, with its noise, jitter and lock time (see noise_curve()).

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

constexpr const char* kNoiseCurveDoc = R"(The loop's phase noise of one run at many offsets, for plots.

Takes the inputs of run() (a loop among them: loop_bandwidth or filter)
and offsets, the offsets in Hz (rising; by default twenty a decade from
10 Hz to 100 MHz). Returns a dict of NumPy float64 arrays offset_hz,
total_dbc_hz, pll_dbc_hz, vco_dbc_hz, reference_dbc_hz and
resistors_dbc_hz (NaN where a source is not given), the phase noise at the
RF output as the "loop" of run() tabulates it, and jitter_band_hz, the
(FROM, TO) the jitter is integrated over. ValueError where the run has no
setting or the loop cannot be designed.)";

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
  // Each function's docstring starts with its text signature, from which
  // inspect.signature() reads the parameters (pybind11's own first line
  // would hide it).
  py::options options;
  options.disable_function_signatures();
  module.doc() =
      "Exact divider calculation for integer-N PLL synthesisers: the same figures, to the "
      "last character, as the synthfactors window and synthfactors-cli.";
  using synthfactors::runner::Input;
  static const std::string run_doc = Documented("run", kRunParameters, kRunDoc);
  module.def("run", &Run, run_doc.c_str(), py::arg("rf_out"), Keyword(Input::kMult),
             Keyword(Input::kRef), Keyword(Input::kMinFc), Keyword(Input::kMaxFc), py::kw_only(),
             Keyword(Input::kRRange), Keyword(Input::kNRange),
             py::arg("alternatives") = 0, Keyword(Input::kFom), py::arg("decimal_symbol") = ".",
             Keyword(Input::kChip), Keyword(Input::kPrescaler), Keyword(Input::kFlicker),
             Keyword(Input::kOffset), Keyword(Input::kFeedback),
             py::arg("registers") = false, Keyword(Input::kTolerance), Keyword(Input::kSpurClear),
             Keyword(Input::kPrefer), Keyword(Input::kRefPath), Keyword(Input::kMashOrder),
             Keyword(Input::kLoopBandwidth), Keyword(Input::kPhaseMargin),
             Keyword(Input::kFilterOrder), Keyword(Input::kGamma), Keyword(Input::kT31),
             Keyword(Input::kFilter), Keyword(Input::kCpCurrent), Keyword(Input::kKvco),
             Keyword(Input::kVcoNoise), Keyword(Input::kRefNoise), Keyword(Input::kNoiseOffsets),
             Keyword(Input::kJitterBand), Keyword(Input::kLockJump), Keyword(Input::kLockTolerance));
  static const std::string sweep_doc = Documented("sweep", kSweepParameters, kSweepDoc);
  module.def("sweep", &Sweep, sweep_doc.c_str(), py::arg("start"), py::arg("stop"),
             py::arg("step"), Keyword(Input::kMult), Keyword(Input::kRef), Keyword(Input::kMinFc),
             Keyword(Input::kMaxFc), py::kw_only(), Keyword(Input::kRRange),
             Keyword(Input::kNRange), py::arg("common_r") = false,
             py::arg("decimal_symbol") = ".", Keyword(Input::kChip), Keyword(Input::kPrescaler),
             Keyword(Input::kFom), Keyword(Input::kFlicker), Keyword(Input::kOffset),
             Keyword(Input::kFeedback), py::arg("registers") = false,
             Keyword(Input::kTolerance), Keyword(Input::kSpurClear), Keyword(Input::kPrefer),
             Keyword(Input::kRefPath), Keyword(Input::kMashOrder),
             Keyword(Input::kLoopBandwidth), Keyword(Input::kPhaseMargin),
             Keyword(Input::kFilterOrder), Keyword(Input::kGamma), Keyword(Input::kT31),
             Keyword(Input::kFilter), Keyword(Input::kCpCurrent), Keyword(Input::kKvco),
             Keyword(Input::kVcoNoise), Keyword(Input::kRefNoise), Keyword(Input::kNoiseOffsets),
             Keyword(Input::kJitterBand), Keyword(Input::kLockJump), Keyword(Input::kLockTolerance));
  static const std::string curve_doc =
      Documented("noise_curve", kNoiseCurveParameters, kNoiseCurveDoc);
  module.def("noise_curve", &NoiseCurve, curve_doc.c_str(), py::arg("rf_out"),
             Keyword(Input::kMult), Keyword(Input::kRef), Keyword(Input::kMinFc),
             Keyword(Input::kMaxFc), py::kw_only(), py::arg("offsets") = py::none(),
             Keyword(Input::kRRange), Keyword(Input::kNRange), Keyword(Input::kFom),
             py::arg("decimal_symbol") = ".", Keyword(Input::kChip), Keyword(Input::kPrescaler),
             Keyword(Input::kFlicker), Keyword(Input::kOffset), Keyword(Input::kFeedback),
             Keyword(Input::kTolerance), Keyword(Input::kSpurClear), Keyword(Input::kPrefer),
             Keyword(Input::kRefPath), Keyword(Input::kMashOrder),
             Keyword(Input::kLoopBandwidth), Keyword(Input::kPhaseMargin),
             Keyword(Input::kFilterOrder), Keyword(Input::kGamma), Keyword(Input::kT31),
             Keyword(Input::kFilter), Keyword(Input::kCpCurrent), Keyword(Input::kKvco),
             Keyword(Input::kVcoNoise), Keyword(Input::kRefNoise), Keyword(Input::kNoiseOffsets),
             Keyword(Input::kJitterBand), Keyword(Input::kLockJump), Keyword(Input::kLockTolerance));
  static const std::string inputs_doc = Documented(
      "inputs", {},
      "The table of inputs every face reads: a list of dicts with key, flag, value_name, help, "
      "start (None for an option), unit and modes (of single, batch, sweep and planner).");
  module.def("inputs", &Inputs, inputs_doc.c_str());
  static const std::string decode_doc = Documented(
      "decode", {{"chip", ""}, {"ref", ""}, {"words", ""}},
      "Reads a chip's register words back, as synthfactors-cli --decode CHIP --ref MHZ WORD... "
      "--json: r, n or int/frac/mod, prescaler, output_divider, feedback, comparison_khz, "
      "vco_mhz, output_mhz, fields and notes. Words are an iterable of ints (Python's or "
      "NumPy's, an array too) or hexadecimal texts, in any order; a bare str or bytes is a "
      "TypeError, a word beyond 32 bits or a text that is not a word a ValueError.");
  module.def("decode", &Decode, decode_doc.c_str(), py::arg("chip"), py::arg("ref"),
             py::arg("words"));
  static const std::string chips_doc = Documented(
      "chips", {},
      "The shipped chip profiles: a list of dicts with name, description and source (where "
      "the figures come from).");
  module.def("chips", &Chips, chips_doc.c_str());
}
