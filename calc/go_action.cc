#include "go_action.h"

#include <cmath>

#include "checked_arithmetic.h"
#include "numeric_text.h"

namespace synthfactors {
namespace {

// The report's fixed texts, blanks included.
constexpr std::string_view kReferenceLine = "Reference / ";
constexpr std::string_view kFeedbackLine = "RF   / ";
constexpr std::string_view kComparisonLine = "Comparison freq  ";
constexpr std::string_view kKiloHertz = "kHz";
constexpr std::string_view kNoError = "No Error";
constexpr std::string_view kErrorLine = "Error  ";
constexpr std::string_view kHertz = "Hz        ";
constexpr std::string_view kPartsPerBillionUnit = "* 10^-9";
constexpr std::string_view kHexHeading = "Hex divider values ";
constexpr std::string_view kHexR = "R  0x";
constexpr std::string_view kHexN = "  N  0x";

using CheckedPair = PairFormula<CheckedArithmetic>;
using PlainPair = PairFormula<PlainArithmetic>;

template <typename... Pieces>
std::string Join(const Pieces&... pieces) {
  std::string out;
  (out.append(pieces), ...);
  return out;
}

std::optional<double> IfFinite(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}


// The window's boxes: each number read from its text when the action
// needs it.
class TextsRead {
 public:
  explicit TextsRead(TextBoxes& boxes) : boxes_(boxes) {}
  double Number(Box box) const { return ParseLeadingNumber(boxes_.Text(box)); }
  BoxNumber Limit(Box box) const { return BoxNumber::Read(boxes_.Text(box)); }
  std::string Text(Box box) const { return boxes_.Text(box); }
  void SetText(Box box, std::string text) { boxes_.SetText(box, std::move(text)); }
  std::string_view DecimalSymbol() const { return boxes_.DecimalSymbol(); }

 private:
  TextBoxes& boxes_;
};

// Numbers read beforehand, and the two output boxes as texts.
class NumbersRead {
 public:
  NumbersRead(const BoxNumbers& numbers, std::string_view decimal_symbol, GoTexts& texts)
      : numbers_(numbers), decimal_symbol_(decimal_symbol), texts_(texts) {}
  double Number(Box box) const { return Limit(box).Value(); }
  const BoxNumber& Limit(Box box) const {
    switch (box) {
      case Box::RFOut: return numbers_.RFOut;
      case Box::RFMult: return numbers_.RFMult;
      case Box::Ref: return numbers_.Ref;
      case Box::MinFC: return numbers_.MinFC;
      default: return numbers_.MaxFC;
    }
  }
  std::string Text(Box box) const { return Output(box).value_or(std::string()); }
  void SetText(Box box, std::string text) { Output(box) = std::move(text); }
  std::string_view DecimalSymbol() const { return decimal_symbol_; }

 private:
  std::optional<std::string>& Output(Box box) const {
    return box == Box::RFund ? texts_.RFund : texts_.DivDisp;
  }
  const BoxNumbers& numbers_;
  std::string_view decimal_symbol_;
  GoTexts& texts_;
};

// The action's steps on any boxes: Number(box) is the box's number as
// ParseLeadingNumber reads its text (raising its overflow), Limit(box) the
// same for the search to read when it needs it, Text and SetText the report.
template <typename Boxes>
void Go(Boxes& boxes, GoActionState& state, const SearchBounds& bounds) {
  SearchState& s = state.Search;
  RunRecord& record = state.Record;
  record = RunRecord{};
  const std::string_view point = boxes.DecimalSymbol();

  record.Stage = RunStage::kReadFactor;
  const double m = boxes.Number(Box::RFMult);
  record.Factor = m;
  record.Stage = RunStage::kReadOutput;
  const double o = boxes.Number(Box::RFOut);

  record.Stage = RunStage::kSourceFrequency;
  s.SrcFreq = Div(o, m);
  if (s.SrcFreq == 0) {
    record.Stage = RunStage::kZeroSource;
    return;
  }
  boxes.SetText(Box::RFund, NumberToSignedText(s.SrcFreq));

  record.Stage = RunStage::kReadReference;
  s.RefFreq = boxes.Number(Box::Ref);

  record.Stage = RunStage::kSearch;
  const bool exact =
      RunDividerSearch(s, boxes.Limit(Box::MinFC), boxes.Limit(Box::MaxFC), bounds);
  record.SearchFinished = true;
  record.Exact = exact;

  // The multiplication factor is read again for each use, as typed.
  record.Stage = RunStage::kErrorFigures;
  s.FreqErr = CheckedPair::OutputError(s.RefFreq, s.BestR, s.BestN, s.SrcFreq,
                                        boxes.Number(Box::RFMult));
  s.RelErr = CheckedPair::RelativeError(s.FreqErr, s.SrcFreq, boxes.Number(Box::RFMult));
  // Worked out whether or not line 4 shows them; line 4 checks them itself.
  const double error_hz = PlainPair::Hertz(s.FreqErr);
  const double error_ppb = PlainPair::PartsPerBillion(s.RelErr);
  record.ErrorHz = IfFinite(error_hz);
  record.ErrorPpb = IfFinite(error_ppb);

  record.Stage = RunStage::kReport;
  const double comparison_khz = CheckedPair::ComparisonKiloHertz(s.RefFreq, s.BestR);
  record.ComparisonKHz = comparison_khz;
  boxes.SetText(
      Box::DivDisp,
      Join(kReferenceLine, FormatDigitMask(s.BestR, kDividerMask, point),
           kLineBreak, kFeedbackLine, FormatDigitMask(s.BestN, kDividerMask, point),
           kLineBreak, kComparisonLine,
           FormatDigitMask(comparison_khz, kKiloHertzMask, point), kKiloHertz,
           kLineBreak));

  if (exact) {
    boxes.SetText(Box::DivDisp, Join(boxes.Text(Box::DivDisp), kNoError));
  } else {
    boxes.SetText(
        Box::DivDisp,
        Join(boxes.Text(Box::DivDisp), kErrorLine,
             FormatDigitMask(CheckedResult(error_hz), kHertzMask, point),
             kHertz,
             FormatDigitMask(CheckedResult(error_ppb), kPartsMask, point),
             kPartsPerBillionUnit));
  }

  record.Stage = RunStage::kHexValues;
  boxes.SetText(Box::DivDisp,
                Join(boxes.Text(Box::DivDisp), kLineBreak, kLineBreak,
                     kHexHeading, kLineBreak, kHexR, ToHexText(s.BestR), kHexN,
                     ToHexText(s.BestN)));
  record.Stage = RunStage::kDone;
}

}  // namespace

void OnGoClick(TextBoxes& boxes, GoActionState& state, const SearchBounds& bounds) {
  TextsRead read(boxes);
  Go(read, state, bounds);
}

void OnGoWithNumbers(const BoxNumbers& numbers, std::string_view decimal_symbol,
                     GoActionState& state, GoTexts& texts, const SearchBounds& bounds) {
  NumbersRead read(numbers, decimal_symbol, texts);
  Go(read, state, bounds);
}

RunStage EndStage(const GoActionState& state) {
  if (state.Record.Stage != RunStage::kSearch) return state.Record.Stage;
  switch (state.Search.Phase) {
    case SearchPhase::kReadLowerLimit:
      return RunStage::kReadLowerLimit;
    case SearchPhase::kReadUpperLimit:
      return RunStage::kReadUpperLimit;
    case SearchPhase::kCandidates:
      break;
  }
  return RunStage::kSearch;
}

namespace {

// A register value in hexadecimal: the window's text up to a signed 32-bit
// register's largest, all the digits of a wider (unsigned) one beyond.
std::string RegisterHex(std::int64_t value) {
  if (value <= 0x7FFFFFFF) return ToHexText(static_cast<double>(value));
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (auto rest = static_cast<std::uint64_t>(value); rest != 0; rest /= 16) {
    text.insert(text.begin(), kHex[rest % 16]);
  }
  return text;
}

}  // namespace

std::string FractionalReport(const FractionalReportFigures& f, std::string_view point) {
  std::string report = std::string(kReferenceLine) + FormatDigitMask(static_cast<double>(f.R), kDividerMask, point);
  report += "\r\n";
  report += std::string(kFeedbackLine) + FormatDigitMask(static_cast<double>(f.Int), kDividerMask, point);
  if (f.Frac != 0) {
    report += " + " + std::to_string(f.Frac) + "/" + std::to_string(f.Mod);
  }
  report += "\r\n";
  report += std::string(kComparisonLine) +
            FormatDigitMask(f.ComparisonKHz, kKiloHertzMask, point) + std::string(kKiloHertz);
  report += "\r\n";
  if (f.Exact) {
    report += kNoError;
  } else {
    report += std::string(kErrorLine) + FormatDigitMask(f.ErrorHz, kHertzMask, point) +
              std::string(kHertz) + FormatDigitMask(f.ErrorPpb, kPartsMask, point) +
              std::string(kPartsPerBillionUnit);
  }
  report += "\r\n\r\n";
  report += std::string(kHexHeading) + "\r\n" + std::string(kHexR) +
            ToHexText(static_cast<double>(f.R)) + std::string(kHexN) +
            ToHexText(static_cast<double>(f.Int));
  if (f.Frac != 0 && f.TwoLevels) {
    report += "  FRAC1 0x" + RegisterHex((*f.TwoLevels)[0]) + "  FRAC2 0x" +
              RegisterHex((*f.TwoLevels)[1]) + "  MOD2 0x" + RegisterHex((*f.TwoLevels)[2]);
  } else if (f.Frac != 0) {
    report += "  FRAC 0x" + RegisterHex(f.Frac) + "  MOD 0x" + RegisterHex(f.Mod);
  }
  return report;
}

}  // namespace synthfactors
