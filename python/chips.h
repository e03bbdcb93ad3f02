// Chip profiles for the Python module: the formats layer's one reader (as
// the command line and the planner read them), its faults as ValueError.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "chip_profile.h"

namespace synthfactors::python {

namespace py = pybind11;

// The profile named by `chip`; ValueError when it cannot be read or is not
// a valid profile.
std::shared_ptr<const runner::ChipProfile> LoadChip(const std::string& chip);

// The shipped profiles: a list of {"name", "description", "source"}.
py::list Chips();

}  // namespace synthfactors::python
