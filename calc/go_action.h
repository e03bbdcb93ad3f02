// The GO action: reads the five input boxes, shows the RF source frequency,
// runs the divider search and writes the seven-line report.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "divider_search.h"

namespace synthfactors {

enum class Box { RFOut, RFMult, Ref, MinFC, MaxFC, RFund, DivDisp };

inline constexpr std::array<Box, 7> kAllBoxes = {
    Box::RFOut, Box::RFMult, Box::Ref,    Box::MinFC,
    Box::MaxFC, Box::RFund,  Box::DivDisp};

// "RFOut", "RFMult", ... as the window names its boxes.
std::string_view BoxName(Box box);

// The texts the boxes hold when the window opens: "", "1", "10", "5", "100",
// "" and "". They are also the defaults of the command line.
std::string_view StartText(Box box);

// What the action needs of the window: the text of each box, the window's
// search state and the decimal symbol of the user's locale. Texts are UTF-8;
// a line break inside them is "\r\n".
class TextBoxes {
 public:
  virtual ~TextBoxes() = default;
  virtual std::string Text(Box box) const = 0;
  virtual void SetText(Box box, std::string text) = 0;
  virtual SearchState& State() = 0;
  virtual std::string_view DecimalSymbol() const = 0;
};

inline constexpr std::string_view kLineBreak = "\r\n";

// Runs the action to its end. Raises ArithmeticFault at the faulting step,
// leaving the texts written before it; State().Stage tells where it ended
// (kDone after a complete report, kZeroSource when the source frequency is 0
// and nothing was written).
void OnGoClick(TextBoxes& boxes);

}  // namespace synthfactors
