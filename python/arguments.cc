#include "arguments.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "number_text.h"
#include "number_chars.h"

namespace synthfactors::python {
namespace {

enum class Kind { kText, kInteger, kFloat };

// Whether the value is of a NumPy type; without NumPy loaded, it cannot be.
bool IsNumPy(const py::handle& value, const char* type) {
  const auto numpy = py::reinterpret_steal<py::object>(PyImport_GetModule(py::str("numpy").ptr()));
  return numpy && py::isinstance(value, numpy.attr(type));
}

std::string TypeName(const py::handle& value) {
  return py::str(value.get_type().attr("__name__"));
}

}  // namespace

py::object Scalar(const py::handle& value, const char* name) {
  if (!IsNumPy(value, "ndarray")) return py::reinterpret_borrow<py::object>(value);
  const auto ndim = value.attr("ndim").cast<py::ssize_t>();
  if (ndim != 0) {
    throw py::type_error(std::string(name) + " must be one value, not an array of shape " +
                         std::string(py::str(value.attr("shape"))));
  }
  const auto numpy = py::module_::import("numpy");
  if (py::cast<bool>(numpy.attr("ma").attr("is_masked")(value))) {
    throw py::type_error(std::string(name) + " must be one value, not a masked array");
  }
  // The array's one element as NumPy's scalar (numpy.float64(2.0), numpy.str_('2')).
  return value[py::tuple()];
}

namespace {

Kind KindOf(const py::handle& value, const char* name) {
  if (PyBool_Check(value.ptr()) || IsNumPy(value, "bool_")) {
    throw py::type_error(std::string(name) + " must be a str, int or float, not bool");
  }
  if (PyUnicode_Check(value.ptr())) return Kind::kText;
  if (PyFloat_Check(value.ptr()) || IsNumPy(value, "floating")) return Kind::kFloat;
  if (PyIndex_Check(value.ptr())) return Kind::kInteger;
  throw py::type_error(std::string(name) + " must be a str, int or float, not " +
                       TypeName(value));
}

std::string Text(const py::handle& value, const char* name) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(value.ptr(), &size);
  if (data == nullptr) {
    PyErr_Clear();
    throw py::value_error(std::string(name) +
                          " is not valid text: it holds a lone surrogate character");
  }
  return std::string(data, static_cast<std::size_t>(size));
}

py::int_ Integer(const py::handle& value) {
  PyObject* integer = PyNumber_Index(value.ptr());
  if (integer == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::int_>(integer);
}

double Float(const py::handle& value, const char* name) {
  const double number = PyFloat_AsDouble(value.ptr());
  if (number == -1.0 && PyErr_Occurred() != nullptr) throw py::error_already_set();
  if (!std::isfinite(number)) {
    throw py::value_error(std::string(name) + " must be a finite number");
  }
  return number;
}

// An integer as a double; beyond the double range a ValueError.
double IntegerAsDouble(const py::int_& integer, const char* name) {
  const double number = PyLong_AsDouble(integer.ptr());
  if (number == -1.0 && PyErr_Occurred() != nullptr) {
    PyErr_Clear();
    throw py::value_error(std::string(name) +
                          " is beyond the range of numbers (about 1.8E+308)");
  }
  return number;
}

// A NumPy float narrower than a double (float32, float16), whose own
// shortest text is the decimal it was written as: 0.025 as a float32 is
// 0.02500000037252903 as a double.
bool NarrowFloat(const py::handle& value) {
  return IsNumPy(value, "floating") && value.attr("itemsize").cast<py::ssize_t>() < 8;
}

}  // namespace

std::string Utf8Text(const py::handle& value, const char* name) { return Text(value, name); }

std::string InputText(const py::handle& value_or_array, const char* name) {
  const py::object value = Scalar(value_or_array, name);
  switch (KindOf(value, name)) {
    case Kind::kText:
      return Text(value, name);
    case Kind::kFloat:
      if (NarrowFloat(value)) {
        Float(value, name);  // refuses inf and NaN
        return py::str(value).cast<std::string>();  // NumPy's shortest text of its own type
      }
      return runner::ShortestText(Float(value, name));
    case Kind::kInteger:
      break;
  }
  const py::int_ integer = Integer(value);
  int overflow = 0;
  const long long small = PyLong_AsLongLongAndOverflow(integer.ptr(), &overflow);
  if (overflow == 0) return runner::ShortestText(static_cast<std::int64_t>(small));
  if (overflow > 0) {
    const unsigned long long large = PyLong_AsUnsignedLongLong(integer.ptr());
    if (!PyErr_Occurred()) return runner::ShortestText(static_cast<std::uint64_t>(large));
    PyErr_Clear();
  }
  return runner::ShortestText(IntegerAsDouble(integer, name));
}

std::string ExactText(const py::handle& value_or_array, const char* name) {
  const py::object value = Scalar(value_or_array, name);
  switch (KindOf(value, name)) {
    case Kind::kText:
      return Text(value, name);
    case Kind::kInteger:
      return py::str(Integer(value));
    case Kind::kFloat:
      break;
  }
  const double number = Float(value, name);
  if (NarrowFloat(value)) {
    // Its own shortest digits, without an exponent.
    return py::module_::import("numpy")
        .attr("format_float_positional")(value, py::arg("unique") = true, py::arg("trim") = "-")
        .cast<std::string>();
  }
  char buffer[400];  // the digits of the largest double
  return std::string(
      buffer, ToChars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed).ptr);
}

std::optional<std::string> RangeText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  if (PyUnicode_Check(value.ptr())) return Text(value, name);
  if (py::isinstance<py::tuple>(value) || py::isinstance<py::list>(value)) {
    const py::sequence pair = value;
    if (pair.size() != 2) throw py::value_error(std::string(name) + " takes (MIN, MAX)");
    return ExactText(pair[0], name) + ":" + ExactText(pair[1], name);
  }
  throw py::type_error(std::string(name) + " must be a str \"MIN:MAX\" or a (MIN, MAX) pair");
}

std::optional<std::string> NumberText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  return ExactText(value, name);
}

namespace {

// The items of a list argument: any iterable but a text or bytes.
py::list Items(const py::object& value, const char* name, const char* what) {
  if (PyUnicode_Check(value.ptr()) || PyBytes_Check(value.ptr()) ||
      PyByteArray_Check(value.ptr()) || !py::hasattr(value, "__iter__")) {
    throw py::type_error(std::string(name) + " must be a str or " + what + ", not " +
                         TypeName(value));
  }
  py::list items;
  for (const py::handle item : py::iterable(value)) items.append(item);
  if (items.empty()) throw py::value_error(std::string(name) + " must not be empty");
  return items;
}

}  // namespace

std::optional<std::string> NumberListText(const py::object& value, const char* name,
                                          const char* what) {
  if (value.is_none()) return std::nullopt;
  if (PyUnicode_Check(value.ptr())) return Text(value, name);
  const bool array = IsNumPy(value, "ndarray");
  if (array ? value.attr("ndim").cast<py::ssize_t>() == 0
            : PyFloat_Check(value.ptr()) || PyIndex_Check(value.ptr()) ||
                  IsNumPy(value, "generic")) {
    return ExactText(value, name);  // one number
  }
  std::string text;
  for (const py::handle item : Items(value, name, what)) {
    text += (text.empty() ? "" : ",") + ExactText(item, name);
  }
  return text;
}

std::optional<std::string> PointsText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  if (PyUnicode_Check(value.ptr())) return Text(value, name);
  std::string text;
  for (const py::handle item : Items(value, name, "an iterable of (offset, dBc) pairs")) {
    const py::list pair = Items(py::reinterpret_borrow<py::object>(item), name,
                                "an iterable of (offset, dBc) pairs");
    if (pair.size() != 2) {
      throw py::value_error(std::string(name) + " takes (offset, dBc) pairs, not " +
                            std::to_string(pair.size()) + " values in one");
    }
    text += (text.empty() ? "" : ",") + ExactText(pair[0], name) + ":" + ExactText(pair[1], name);
  }
  return text;
}

std::optional<std::string> BandText(const py::object& value, const char* name) {
  if (value.is_none()) return std::nullopt;
  if (PyUnicode_Check(value.ptr())) return Text(value, name);
  const py::list pair = Items(value, name, "a (FROM, TO) pair");
  if (pair.size() != 2) throw py::value_error(std::string(name) + " takes (FROM, TO)");
  return ExactText(pair[0], name) + ":" + ExactText(pair[1], name);
}

std::optional<std::string> ChipName(const py::object& value) {
  if (value.is_none()) return std::nullopt;
  const py::object path = py::module_::import("os").attr("fspath");
  if (!PyUnicode_Check(value.ptr()) && !py::hasattr(value, "__fspath__")) {
    throw py::type_error("chip must be a str (a profile's name or a file), not " +
                         TypeName(value));
  }
  const py::object text = path(value);
  if (!PyUnicode_Check(text.ptr())) {
    throw py::type_error("chip must be a str (a profile's name or a file), not " +
                         TypeName(text));
  }
  return Text(text, "chip");
}

namespace {

// An int (Python's or NumPy's, or a 0-d array of one) as its digits.
std::string IntegerText(const py::object& given, const char* name) {
  const py::object value = Scalar(given, name);
  if (PyBool_Check(value.ptr()) || IsNumPy(value, "bool_") || !PyIndex_Check(value.ptr())) {
    throw py::type_error(std::string(name) + " must be an int, not " + TypeName(value));
  }
  return py::str(Integer(value));
}

}  // namespace

std::optional<std::string> PrescalerText(const py::object& value) {
  if (value.is_none()) return std::nullopt;
  return IntegerText(value, "prescaler");
}

std::optional<std::string> OrderText(const py::object& value) {
  if (value.is_none()) return std::nullopt;
  return IntegerText(value, "mash_order");
}

std::optional<std::string> AlternativesText(const py::object& value) {
  std::string text = IntegerText(value, "alternatives");
  if (text == "0") return std::nullopt;
  return text;
}

bool Flag(const py::object& value, const char* name) {
  if (PyBool_Check(value.ptr()) || IsNumPy(value, "bool_")) return value.cast<bool>();
  throw py::type_error(std::string(name) + " must be True or False, not " + TypeName(value));
}

std::string DecimalSymbol(const py::object& value) {
  if (!PyUnicode_Check(value.ptr())) {
    throw py::type_error("decimal_symbol must be a str, not " + TypeName(value));
  }
  if (PyUnicode_GetLength(value.ptr()) != 1 ||
      !py::cast<bool>(value.attr("isprintable")())) {
    throw py::value_error("decimal_symbol must be one printable character, such as \".\" or \",\"");
  }
  return Text(value, "decimal_symbol");
}

}  // namespace synthfactors::python
