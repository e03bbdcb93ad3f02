// The GO action: reads the five input boxes, shows the RF source frequency,
// runs the divider search and writes the seven-line report.
#pragma once

#include <array>

#include <cstdint>

#include <optional>
#include <string>
#include <string_view>

#include "box_number.h"
#include "boxes.h"
#include "divider_search.h"

namespace synthfactors {

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
  bool SearchFinished = false;       // the search ended without a fault
  bool Exact = false;                // ... on an exact match
  std::optional<double> Factor;      // RF Multiplication, once read
  std::optional<double> ComparisonKHz;  // as line 3 shows it
  std::optional<double> ErrorHz;        // FreqErr x 10^6, once known
  std::optional<double> ErrorPpb;       // RelErr x 10^9, once known
};

// What the action needs of the window: the text of each box, and the
// decimal symbol of the user's locale for the report's figures. Texts are
// UTF-8; a line break inside them is "\r\n".
class TextBoxes {
 public:
  virtual ~TextBoxes() = default;
  virtual std::string Text(Box box) const = 0;
  virtual void SetText(Box box, std::string text) = 0;
  virtual std::string_view DecimalSymbol() const = 0;
};

// The working values the action keeps from one run to the next, owned by
// whoever runs it (the window, a command-line run): the search's state, and
// the record of how far the latest run got and what it computed.
struct GoActionState {
  SearchState Search;
  RunRecord Record;
};

// The report's digit masks; other tables that show a pair's figures use
// the same ones, so a figure reads the same everywhere.
inline constexpr std::string_view kDividerMask = "#######";
inline constexpr std::string_view kKiloHertzMask = "#####.#####";
inline constexpr std::string_view kHertzMask = "######.###";
inline constexpr std::string_view kPartsMask = "########";

inline constexpr std::string_view kLineBreak = "\r\n";

// Runs the action to its end. Raises ArithmeticFault at the faulting step,
// leaving the texts written before it. state.Record is reset at the start
// and tells afterwards how far the run got (EndStage) and what it computed.
// The window runs it with the default bounds; counter ranges narrow the
// search (see SearchBounds).
// Every number is read from its box's text and every result written back
// as text, on purpose: a fault must leave exactly the texts written before
// it, and a box edited by hand is read as the user left it.
void OnGoClick(TextBoxes& boxes, GoActionState& state,
               const SearchBounds& bounds = SearchBounds{});

// The output boxes of a run on numbers: each empty until the run writes it.
struct GoTexts {
  std::optional<std::string> RFund;
  std::optional<std::string> DivDisp;
};

// The same action on the five boxes' numbers read beforehand (each as
// ParseLeadingNumber reads its box's text, an overflow kept): the same
// steps, figures, texts and faults as OnGoClick on boxes holding those
// texts, with the two output boxes written into `texts`.
void OnGoWithNumbers(const BoxNumbers& numbers, std::string_view decimal_symbol,
                     GoActionState& state, GoTexts& texts,
                     const SearchBounds& bounds = SearchBounds{});

// Where the latest run ended: kDone after a complete report, kZeroSource
// when the source frequency was 0 and nothing was written, else the step
// that faulted, inside the search as precisely as the search records it.
RunStage EndStage(const GoActionState& state);

// The report of a fractional-N setting, in the window's words and masks:
// "RF   / 259 + 321/1600" on the N line and "  FRAC 0x141  MOD 0x640"
// after N on the hex line (neither with FRAC 0). Throws ArithmeticFault
// where a figure does not fit its mask, as the window's report does.
// With two levels, the hex line names FRAC1, FRAC2 and MOD2 instead; a
// FRAC or MOD beyond a signed 32-bit register (a 32-bit modulus) is
// written with all its hexadecimal digits.
struct FractionalReportFigures {
  std::int64_t R = 0, Int = 0, Frac = 0, Mod = 1;
  double ComparisonKHz = 0;
  bool Exact = false;
  double ErrorHz = 0, ErrorPpb = 0;
  std::optional<std::array<std::int64_t, 3>> TwoLevels;  // FRAC1, FRAC2, MOD2
};
std::string FractionalReport(const FractionalReportFigures& figures, std::string_view point);

}  // namespace synthfactors
