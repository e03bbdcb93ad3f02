// The Python module's arguments read into the calculation's values, with
// errors in the module's own words: TypeError for a wrong type, ValueError
// for a value the calculation cannot use. Numbers may be Python's or
// NumPy's; bool is never taken for a number.
#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <optional>
#include <string>

namespace synthfactors::python {

namespace py = pybind11;

// A NumPy array of no dimensions as its one value; any other array a
// TypeError naming the argument; anything else as it is.
py::object Scalar(const py::handle& value, const char* name);

// A str as UTF-8; a lone surrogate is a ValueError naming `name`.
std::string Utf8Text(const py::handle& value, const char* name);

// An input box's text: a str as typed; an integer as its digits (beyond 64
// bits as the nearest float's text); a float as its shortest round-trip
// text, as the command line's --batch takes JSON numbers (a NumPy float32
// or float16 as the shortest text of its own type: float32(0.025) is
// "0.025").
std::string InputText(const py::handle& value_or_array, const char* name);

// A number of a sweep's grid or a counter range, exactly: a str as typed,
// an integer as all its digits, a whole float as that integer, another
// float as its shortest round-trip decimal without exponent (1e-05 is
// "0.00001"; a float32 or float16 the shortest of its own type).
std::string ExactText(const py::handle& value_or_array, const char* name);

// A counter range: "MIN:MAX" or a (MIN, MAX) pair; None for none.
std::optional<std::string> RangeText(const py::object& value, const char* name);

// A noise figure or offset (fom, flicker, offset): a number, taken as its
// exact decimal, or its text; None for none.
std::optional<std::string> NumberText(const py::object& value, const char* name);

// A list of numbers as the command line writes it ("100,1000,10000"): a str
// as typed, or an iterable of numbers (a NumPy array too), each exactly;
// None for none. `what` names the list in a TypeError.
std::optional<std::string> NumberListText(const py::object& value, const char* name,
                                          const char* what);

// Noise points ("1000:-80,10000:-105"): a str as typed, or an iterable of
// (offset, dBc) pairs; None for none.
std::optional<std::string> PointsText(const py::object& value, const char* name);

// A band ("1000:10000000"): a str as typed or a (FROM, TO) pair; None for
// none.
std::optional<std::string> BandText(const py::object& value, const char* name);

// A chip: a shipped profile's name or a file (str or os.PathLike); None for
// none.
std::optional<std::string> ChipName(const py::object& value);

// The prescaler P asked for: an int as its digits; None for the smallest.
std::optional<std::string> PrescalerText(const py::object& value);
// A modulator's order (mash_order): an int, or None.
std::optional<std::string> OrderText(const py::object& value);

// The number of alternatives, an int; 0 for none.
std::optional<std::string> AlternativesText(const py::object& value);

// True or False (Python's or NumPy's), nothing else.
bool Flag(const py::object& value, const char* name);

// One printable character.
std::string DecimalSymbol(const py::object& value);

}  // namespace synthfactors::python
