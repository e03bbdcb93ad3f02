#include "chips.h"

#include <limits>
#include <optional>

namespace synthfactors::python {
namespace {

// A str as UTF-8; a lone surrogate (possible from a "\ud800" escape) as an
// escape rather than a failure.
std::string Utf8(const py::handle& text) {
  return py::bytes(text.attr("encode")("utf-8", "backslashreplace")).cast<std::string>();
}

runner::ProfileValue ValueOf(const py::handle& value) {
  runner::ProfileValue out;
  if (PyBool_Check(value.ptr())) {
    out.value = value.cast<bool>();
  } else if (PyLong_Check(value.ptr()) || PyFloat_Check(value.ptr())) {
    const double number = PyFloat_AsDouble(value.ptr());  // ints too
    if (number == -1.0 && PyErr_Occurred() != nullptr) {
      PyErr_Clear();
      out.value = std::numeric_limits<double>::infinity();  // refused as no number
    } else {
      out.value = number;
    }
  } else if (PyUnicode_Check(value.ptr())) {
    out.value = Utf8(value);
  } else if (PyList_Check(value.ptr())) {
    runner::ProfileValue::Array array;
    for (const py::handle item : value) array.push_back(ValueOf(item));
    out.value = std::move(array);
  } else if (PyDict_Check(value.ptr())) {
    runner::ProfileValue::Object object;
    for (const auto& [key, item] : value.cast<py::dict>()) {
      object.names.push_back(Utf8(key));
      object.values.push_back(ValueOf(item));
    }
    out.value = std::move(object);
  }
  return out;
}

}  // namespace

std::shared_ptr<const runner::ChipProfile> LoadChip(const std::string& chip) {
  std::string error;
  const std::optional<std::string> text = runner::ChipProfileText(chip, error);
  if (!text) throw py::value_error(error);
  py::object parsed;
  try {
    parsed = py::module_::import("json").attr("loads")(py::bytes(*text));
  } catch (const py::error_already_set& e) {
    if (!e.matches(PyExc_ValueError) && !e.matches(PyExc_RecursionError)) throw;
    throw py::value_error("chip profile " + chip + ": not valid JSON: " +
                          std::string(py::str(e.value())));
  }
  std::optional<runner::ChipProfile> profile = runner::ReadChipProfile(ValueOf(parsed), chip, error);
  if (!profile) throw py::value_error(error);
  return std::make_shared<const runner::ChipProfile>(std::move(*profile));
}

py::list Chips() {
  py::list chips;
  for (const runner::ShippedProfile& shipped : runner::ShippedProfiles()) {
    const auto chip = LoadChip(std::string(shipped.name));
    py::dict entry;
    entry["name"] = chip->name;
    entry["description"] = chip->description;
    entry["source"] = chip->source;
    chips.append(entry);
  }
  return chips;
}

}  // namespace synthfactors::python
