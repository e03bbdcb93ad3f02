// The window's seven text boxes: their names, as the window names its
// controls, and the texts they hold when the window opens. The start texts
// are also the defaults of the command line and the Python module.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace synthfactors {

enum class Box { RFOut, RFMult, Ref, MinFC, MaxFC, RFund, DivDisp };

inline constexpr std::array<Box, 7> kAllBoxes = {
    Box::RFOut, Box::RFMult, Box::Ref,    Box::MinFC,
    Box::MaxFC, Box::RFund,  Box::DivDisp};

// Indexed by Box.
struct BoxEntry {
  std::string_view name;
  std::string_view start_text;
};
inline constexpr std::array<BoxEntry, kAllBoxes.size()> kBoxTable = {{
    {"RFOut", ""},
    {"RFMult", "1"},
    {"Ref", "10"},
    {"MinFC", "5"},
    {"MaxFC", "100"},
    {"RFund", ""},
    {"DivDisp", ""},
}};

constexpr std::string_view BoxName(Box box) {
  return kBoxTable[static_cast<std::size_t>(box)].name;
}
constexpr std::string_view StartText(Box box) {
  return kBoxTable[static_cast<std::size_t>(box)].start_text;
}

}  // namespace synthfactors
