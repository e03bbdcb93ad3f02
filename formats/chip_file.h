// Chip profiles for every face (the command line, the planner, the Python
// module): a shipped profile's name or a file, its JSON read with one
// reader into the runner's profile, so a profile one face accepts every
// face accepts, with the same message for the same fault.
//
// A file is read only when it is a regular file of at most 1 MiB; anything
// else is refused saying what it is (no such file, a directory, a pipe, a
// device, a loop of symbolic links, no permission). JSON nested deeper
// than 16 levels is no profile.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chip_profile.h"

namespace synthfactors::formats {

// The JSON text of `chip`: a shipped profile's name, or a file. Empty, with
// the reason in `error`, when it is neither.
std::optional<std::string> ChipProfileText(std::string_view chip, std::string& error);

// The profile named by `chip`; null, with the reason in `error`, when it
// cannot be read or is not a valid profile.
std::shared_ptr<const runner::ChipProfile> LoadChip(std::string_view chip, std::string& error);

// The shipped profiles, read, in name order: what every face lists. Empty,
// with the reason in `error`, when one cannot be read (a build fault).
std::optional<std::vector<std::shared_ptr<const runner::ChipProfile>>> ShippedChips(
    std::string& error);

}  // namespace synthfactors::formats
