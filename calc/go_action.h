// The GO action: reads the five input boxes, shows the RF source frequency,
// runs the divider search and writes the seven-line report.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "divider_search.h"

namespace synthfactors {

enum class Box { RFOut, RFMult, Ref, MinFC, MaxFC, RFund, DivDisp };

inline constexpr std::array<Box, 7> kAllBoxes = {
    Box::RFOut, Box::RFMult, Box::Ref,    Box::MinFC,
    Box::MaxFC, Box::RFund,  Box::DivDisp};

// Each box's name, as the window names it, and the text it holds when the
// window opens; the start texts are also the defaults of the command line.
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

// How far a run of the GO action has got; the front ends read it to explain
// a fault, and to tell a finished report from a run that had nothing to do.
enum class RunStage {
  kReadFactor,       // reading RF Multiplication
  kReadOutput,       // reading RF Output
  kSourceFrequency,  // RF Output / RF Multiplication
  kReadReference,    // reading Ref. Input
  kReadLowerLimit,   // reading Minimum Fcomp
  kReadUpperLimit,   // reading Maximum Fcomp
  kSearch,           // the divider search arithmetic
  kErrorFigures,     // the error of the chosen pair
  kReport,           // lines 1-4 of the report
  kHexValues,        // R and N in hexadecimal
  kZeroSource,       // ended early: the source frequency is 0
  kDone,             // the report is complete
};

// What the latest run computed beyond the texts, for front ends that show
// the figures as numbers. A figure is empty where the run did not get that
// far, or where its value is beyond the double range.
struct RunRecord {
  RunStage Stage = RunStage::kDone;  // kSearch while the search runs
  std::optional<bool> Exact;         // set once the search has finished
  std::optional<double> ComparisonKHz;  // as line 3 shows it
  std::optional<double> ErrorHz;        // FreqErr x 10^6, once known
  std::optional<double> ErrorPpb;       // RelErr x 10^9, once known
};

// What the action needs of the window: the text of each box, the window's
// search state and run record, and the decimal symbol of the user's locale.
// Texts are UTF-8; a line break inside them is "\r\n".
class TextBoxes {
 public:
  virtual ~TextBoxes() = default;
  virtual std::string Text(Box box) const = 0;
  virtual void SetText(Box box, std::string text) = 0;
  virtual SearchState& State() = 0;
  virtual RunRecord& Record() = 0;
  virtual std::string_view DecimalSymbol() const = 0;
};

inline constexpr std::string_view kLineBreak = "\r\n";

// Runs the action to its end. Raises ArithmeticFault at the faulting step,
// leaving the texts written before it. Record() is reset at the start and
// tells afterwards how far the run got (EndStage) and what it computed.
// The window runs it with the default bounds; the command line's counter
// ranges narrow the search (see SearchBounds).
void OnGoClick(TextBoxes& boxes, const SearchBounds& bounds = SearchBounds{});

// Where the latest run ended: kDone after a complete report, kZeroSource
// when the source frequency was 0 and nothing was written, else the step
// that faulted, inside the search as precisely as the search records it.
RunStage EndStage(const RunRecord& record, const SearchState& state);

}  // namespace synthfactors
