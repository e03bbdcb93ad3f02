#include "go_action.h"

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
constexpr std::string_view kPartsPerBillion = "* 10^-9";
constexpr std::string_view kHexHeading = "Hex divider values ";
constexpr std::string_view kHexR = "R  0x";
constexpr std::string_view kHexN = "  N  0x";

constexpr std::string_view kWholeMask = "#######";
constexpr std::string_view kKiloHertzMask = "#####.#####";
constexpr std::string_view kHertzMask = "######.###";
constexpr std::string_view kPartsMask = "########";

double Read(const TextBoxes& boxes, Box box) {
  return ParseLeadingNumber(boxes.Text(box));
}

template <typename... Pieces>
std::string Join(const Pieces&... pieces) {
  std::string out;
  (out.append(pieces), ...);
  return out;
}

}  // namespace

std::string_view BoxName(Box box) {
  constexpr std::array<std::string_view, kAllBoxes.size()> kNames = {
      "RFOut", "RFMult", "Ref", "MinFC", "MaxFC", "RFund", "DivDisp"};
  return kNames[static_cast<std::size_t>(box)];
}

std::string_view StartText(Box box) {
  constexpr std::array<std::string_view, kAllBoxes.size()> kStartTexts = {
      "", "1", "10", "5", "100", "", ""};
  return kStartTexts[static_cast<std::size_t>(box)];
}

void OnGoClick(TextBoxes& boxes) {
  SearchState& s = boxes.State();
  const std::string_view point = boxes.DecimalSymbol();

  s.Stage = RunStage::kReadFactor;
  const double m = Read(boxes, Box::RFMult);
  s.Stage = RunStage::kReadOutput;
  const double o = Read(boxes, Box::RFOut);

  s.Stage = RunStage::kSourceFrequency;
  s.SrcFreq = Div(o, m);
  if (s.SrcFreq == 0) {
    s.Stage = RunStage::kZeroSource;
    return;
  }
  boxes.SetText(Box::RFund, NumberToSignedText(s.SrcFreq));

  s.Stage = RunStage::kReadReference;
  s.RefFreq = Read(boxes, Box::Ref);

  const bool exact = RunDividerSearch(s, boxes.Text(Box::MinFC),
                                      boxes.Text(Box::MaxFC));

  // The multiplication factor is read again for each use, as typed.
  s.Stage = RunStage::kErrorFigures;
  s.FreqErr = Mul(Sub(Mul(Div(s.RefFreq, s.BestR), s.BestN), s.SrcFreq),
                  Read(boxes, Box::RFMult));
  s.RelErr = Div(Div(s.FreqErr, s.SrcFreq), Read(boxes, Box::RFMult));

  s.Stage = RunStage::kReport;
  boxes.SetText(
      Box::DivDisp,
      Join(kReferenceLine, FormatDigitMask(s.BestR, kWholeMask, point),
           kLineBreak, kFeedbackLine, FormatDigitMask(s.BestN, kWholeMask, point),
           kLineBreak, kComparisonLine,
           FormatDigitMask(Div(Mul(s.RefFreq, 1000), s.BestR), kKiloHertzMask,
                           point),
           kKiloHertz, kLineBreak));

  if (exact) {
    boxes.SetText(Box::DivDisp, Join(boxes.Text(Box::DivDisp), kNoError));
  } else {
    boxes.SetText(
        Box::DivDisp,
        Join(boxes.Text(Box::DivDisp), kErrorLine,
             FormatDigitMask(Mul(s.FreqErr, 1000000), kHertzMask, point),
             kHertz,
             FormatDigitMask(Mul(s.RelErr, 1000000000), kPartsMask, point),
             kPartsPerBillion));
  }

  s.Stage = RunStage::kHexValues;
  boxes.SetText(Box::DivDisp,
                Join(boxes.Text(Box::DivDisp), kLineBreak, kLineBreak,
                     kHexHeading, kLineBreak, kHexR, ToHexText(s.BestR), kHexN,
                     ToHexText(s.BestN)));
  s.Stage = RunStage::kDone;
}

}  // namespace synthfactors
