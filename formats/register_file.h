// A chip's register words as a file, one register a line, as the parts'
// evaluation software writes and loads them:
//
//   R112	0x700000
//   R111	0x6F0000
//   ...
//   R0	0x00241C
//
// Written: each register once, in the order the layout writes them, with
// the word it holds once the power-up writes are done (a register written
// twice in the sequence, as R0 to calibrate, shows its last word). Read:
// a line's last field is its word in hexadecimal ("0x" optional), a name
// before it (separated by a tab or blanks) is passed over, blank lines
// and lines starting with '#' are skipped, CR LF line ends are taken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "register_words.h"
#include "run.h"

namespace synthfactors::formats {

// The file's text for a run's writes (empty when a register has no word).
std::string RegisterFileText(const runner::RegisterLayout& layout,
                             const runner::NamedWords& writes);

// The words of a file's text, in its order; empty with the reason (the
// line and what it holds) when a line holds no word.
std::optional<std::vector<std::uint32_t>> WordsOfRegisterFile(std::string_view text,
                                                              std::string& error);

// The words in the file at `path` (at most 1 MiB); empty with
// "register file PATH: reason".
std::optional<std::vector<std::uint32_t>> ReadRegisterFile(const std::string& path,
                                                           std::string& error);

// Writes the text in place of `path` (a new file renamed over it once
// written whole): empty when written, else the reason.
std::string WriteRegisterFile(const std::string& path, const std::string& text);

}  // namespace synthfactors::formats
