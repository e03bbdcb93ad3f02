// Chip profiles for the faces that read JSON with nlohmann (the command line,
// the planner): a shipped profile's name or a file, read into the runner's
// profile.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "chip_profile.h"

namespace synthfactors::formats {

// The profile named by `chip`; null, with the reason in `error`, when it
// cannot be read or is not a valid profile.
std::shared_ptr<const runner::ChipProfile> LoadChip(std::string_view chip, std::string& error);

}  // namespace synthfactors::formats
