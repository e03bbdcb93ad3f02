#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "fault_message.h"
#include "memory_boxes.h"
#include "numeric_text.h"

namespace synthfactors {
namespace {

struct Inputs {
  std::string rf_out;
  std::string mult = "1";
  std::string ref = "10";
  std::string min_fc = "5";
  std::string max_fc = "100";
};

// The boxes after a run; `fault` is set when the run faulted.
struct Outcome {
  MemoryBoxes boxes;
  std::optional<FaultKind> fault;
};

Outcome Click(const Inputs& in, MemoryBoxes boxes = MemoryBoxes()) {
  boxes.SetText(Box::RFOut, in.rf_out);
  boxes.SetText(Box::RFMult, in.mult);
  boxes.SetText(Box::Ref, in.ref);
  boxes.SetText(Box::MinFC, in.min_fc);
  boxes.SetText(Box::MaxFC, in.max_fc);
  Outcome out{std::move(boxes), std::nullopt};
  try {
    out.boxes.Go();
  } catch (const ArithmeticFault& fault) {
    out.fault = fault.kind();
  }
  return out;
}

std::string Report(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (const std::string_view line : lines) {
    if (!text.empty()) text += "\r\n";
    text += line;
  }
  return text;
}

// Boxes that already show an earlier run's texts.
MemoryBoxes Earlier() {
  MemoryBoxes boxes;
  boxes.SetText(Box::RFund, "old source");
  boxes.SetText(Box::DivDisp, "old report");
  return boxes;
}

TEST(OnGoClick, WorkedExamplesCharacterForCharacter) {
  struct Case {
    Inputs in;
    std::string rf_source;
    std::string report;
  } cases[] = {
      {{"1000"}, " 1000",
       Report({"Reference / 100", "RF   / 10000", "Comparison freq  100.kHz",
               "No Error", "", "Hex divider values ", "R  0x64  N  0x2710"})},
      {{"1000.001"}, " 1000.001",
       Report({"Reference / 2000", "RF   / 200000", "Comparison freq  5.kHz",
               "Error  -1000.Hz        -1000* 10^-9", "", "Hex divider values ",
               "R  0x7D0  N  0x30D40"})},
      {{"1234.5678", "1", "13", "10", "200"}, " 1234.5678",
       Report({"Reference / 1143", "RF   / 108547",
               "Comparison freq  11.37358kHz", "Error  4.024Hz        3* 10^-9",
               "", "Hex divider values ", "R  0x477  N  0x1A803"})},
      {{"10000", "4"}, " 2500",
       Report({"Reference / 100", "RF   / 25000", "Comparison freq  100.kHz",
               "No Error", "", "Hex divider values ", "R  0x64  N  0x61A8"})},
  };
  for (const Case& c : cases) {
    const Outcome out = Click(c.in);
    EXPECT_FALSE(out.fault) << c.in.rf_out;
    EXPECT_EQ(c.rf_source, out.boxes.Text(Box::RFund));
    EXPECT_EQ(c.report, out.boxes.Text(Box::DivDisp));
    EXPECT_EQ(RunStage::kDone, out.boxes.EndStage());
  }
}

TEST(OnGoClick, SearchStateAfterTheWorkedExamples) {
  const Outcome exact = Click({"1000"});
  const SearchState& s = exact.boxes.State();
  EXPECT_EQ(100, s.RTrial);  // visited R = 1 ... 100
  EXPECT_EQ(100, s.BestR);
  EXPECT_EQ(10000, s.BestN);
  EXPECT_EQ(0, s.FreqErr);
  EXPECT_TRUE(IsExactMatch(s));

  const Outcome near = Click({"1000.001"});
  EXPECT_EQ(2001, near.boxes.State().RTrial);  // stopped by the lower limit
  EXPECT_EQ(2000, near.boxes.State().BestR);
  EXPECT_FALSE(IsExactMatch(near.boxes.State()));
}

TEST(OnGoClick, ReportUsesTheLocaleDecimalSymbol) {
  const Outcome out = Click({"1234.5678", "1", "13", "10", "200"},
                            MemoryBoxes(","));
  EXPECT_EQ(" 1234.5678", out.boxes.Text(Box::RFund));  // always "."
  EXPECT_EQ(Report({"Reference / 1143", "RF   / 108547",
                    "Comparison freq  11,37358kHz",
                    "Error  4,024Hz        3* 10^-9", "", "Hex divider values ",
                    "R  0x477  N  0x1A803"}),
            out.boxes.Text(Box::DivDisp));
}

TEST(OnGoClick, ErrorFiguresAreRoundedOneOperationAtATime) {
  // Here a fused multiply-add in the error formula would show 2.872 Hz.
  const Outcome out = Click({"2782.972"});
  const SearchState& s = out.boxes.State();
  const double fused = std::fma(s.RefFreq / s.BestR, s.BestN, -s.SrcFreq);
  EXPECT_EQ("2.872", FormatDigitMask(fused * 1000000, "######.###", "."));
  EXPECT_NE(std::string::npos,
            out.boxes.Text(Box::DivDisp).find("Error  2.871Hz        1* 10^-9"));
}

TEST(OnGoClick, NothingChangesWhenTheSourceFrequencyIsZero) {
  for (const char* rf_out : {"", "abc", "0", "-0", "0e5"}) {
    const Outcome out = Click({rf_out}, Earlier());
    EXPECT_FALSE(out.fault);
    EXPECT_EQ("old source", out.boxes.Text(Box::RFund));
    EXPECT_EQ("old report", out.boxes.Text(Box::DivDisp));
    EXPECT_EQ(RunStage::kZeroSource, out.boxes.EndStage());
  }
}

TEST(OnGoClick, FaultsLeaveTheTextsWrittenBeforeThem) {
  struct Case {
    Inputs in;
    FaultKind kind;
    RunStage where;
    std::string rf_source;
    std::string report;  // "old report" when the report was not reached
  } cases[] = {
      // Faults before the source frequency is shown change nothing.
      {{"1000", "0"}, FaultKind::kDivisionByZero, RunStage::kSourceFrequency,
       "old source", "old report"},
      {{"1000", "x"}, FaultKind::kDivisionByZero, RunStage::kSourceFrequency,
       "old source", "old report"},
      {{"0", "0"}, FaultKind::kInvalidOperation, RunStage::kSourceFrequency,
       "old source", "old report"},
      {{"1e308", "1e-10"}, FaultKind::kOverflow, RunStage::kSourceFrequency,
       "old source", "old report"},
      {{"1e999"}, FaultKind::kOverflow, RunStage::kReadOutput, "old source",
       "old report"},
      // A fault in the search keeps the old report: a zero reference with
      // the limits around zero, or a limit beyond the double range.
      {{"1000", "1", "0", "0", "100"}, FaultKind::kDivisionByZero,
       RunStage::kSearch, " 1000", "old report"},
      {{"1000", "1", "10", "1e400"}, FaultKind::kOverflow,
       RunStage::kReadLowerLimit, " 1000", "old report"},
      {{"1000", "1", "10", "5", "1e400"}, FaultKind::kOverflow,
       RunStage::kReadUpperLimit, " 1000", "old report"},
      // No pair chosen: the error figures divide by zero.
      {{"1000", "1", "10", "100", "5"}, FaultKind::kDivisionByZero,
       RunStage::kErrorFigures, " 1000", "old report"},
      {{"1000", "1", "10", "20000", "1e9"}, FaultKind::kDivisionByZero,
       RunStage::kErrorFigures, " 1000", "old report"},
      {{"1000", "1", "0", "1", "100"}, FaultKind::kInvalidOperation,
       RunStage::kErrorFigures, " 1000", "old report"},
      {{"1000", "1", "0", "-1", "-0.5"}, FaultKind::kInvalidOperation,
       RunStage::kErrorFigures, " 1000", "old report"},
      // N beyond 32 bits: the report ends after its fourth line.
      {{"1.1e7", "1", "10", "0.001", "5"}, FaultKind::kOverflow,
       RunStage::kHexValues, " 11000000",
       Report({"Reference / 2000", "RF   / 2200000000",
               "Comparison freq  5.kHz", "No Error"})},
      {{"3e8", "1", "10", "5", "100"}, FaultKind::kOverflow,
       RunStage::kHexValues, " 300000000",
       Report({"Reference / 100", "RF   / 3000000000",
               "Comparison freq  100.kHz", "No Error"})},
  };
  for (const Case& c : cases) {
    const Outcome out = Click(c.in, Earlier());
    SCOPED_TRACE(c.in.rf_out + " / " + c.in.mult + " ref " + c.in.ref +
                 " limits " + c.in.min_fc + ".." + c.in.max_fc);
    ASSERT_TRUE(out.fault);
    EXPECT_EQ(FaultKindName(c.kind), FaultKindName(*out.fault));
    EXPECT_EQ(c.where, out.boxes.EndStage());
    EXPECT_EQ(c.rf_source, out.boxes.Text(Box::RFund));
    EXPECT_EQ(c.report, out.boxes.Text(Box::DivDisp));
  }
}

TEST(OnGoClick, EditedOutputBoxesAreOverwrittenByTheNextRun) {
  MemoryBoxes boxes = Earlier();
  const Outcome out = Click({"1000"}, std::move(boxes));
  EXPECT_EQ(" 1000", out.boxes.Text(Box::RFund));
  EXPECT_EQ(0u, out.boxes.Text(Box::DivDisp).find("Reference / 100\r\n"));
}

TEST(OnGoClick, NegativeSourceFrequency) {
  const Outcome out = Click({"-5"});
  EXPECT_FALSE(out.fault);
  EXPECT_EQ("-5", out.boxes.Text(Box::RFund));
  EXPECT_EQ(Report({"Reference / 2000", "RF   / -1000", "Comparison freq  5.kHz",
                    "Error  .Hz        * 10^-9", "", "Hex divider values ",
                    "R  0x7D0  N  0xFFFFFC18"}),
            out.boxes.Text(Box::DivDisp));
}

TEST(FaultMessage, NamesTheKindAndTheLikelyCause) {
  EXPECT_EQ(
      "Division by zero: the RF multiplication factor is 0 or not a number, so "
      "RF Output cannot be divided by it.",
      FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency));
  EXPECT_EQ("Overflow: Minimum Fcomp is beyond the range of numbers (about "
            "1.8E+308).",
            FaultMessage(FaultKind::kOverflow, RunStage::kReadLowerLimit));
  EXPECT_EQ(0u, FaultMessage(FaultKind::kInvalidOperation,
                             RunStage::kErrorFigures)
                    .find("Invalid operation: no divider pair fits"));
  EXPECT_EQ(0u, FaultMessage(FaultKind::kOverflow, RunStage::kHexValues)
                    .find("Overflow: N does not fit in 32 bits"));
}

}  // namespace
}  // namespace synthfactors
