#include "chips.h"

#include <optional>

#include "chip_file.h"

namespace synthfactors::python {

std::shared_ptr<const runner::ChipProfile> LoadChip(const std::string& chip) {
  std::string error;
  auto profile = formats::LoadChip(chip, error);
  if (!profile) throw py::value_error(error);
  return profile;
}

py::list Chips() {
  std::string error;
  const auto shipped = formats::ShippedChips(error);
  if (!shipped) throw py::value_error(error);
  py::list chips;
  for (const auto& chip : *shipped) {
    py::dict entry;
    entry["name"] = chip->name;
    entry["description"] = chip->description;
    entry["source"] = chip->source;
    chips.append(entry);
  }
  return chips;
}

}  // namespace synthfactors::python
