// The whole GO action on five arbitrary texts. It must end with a complete
// seven-line report, with nothing changed (a source frequency of 0), or with
// a fault that leaves exactly what was written before the faulting step.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "memory_boxes.h"
#include "numeric_text.h"

namespace {

using synthfactors::Box;
using synthfactors::RunStage;

constexpr std::string_view kOldSource = "old source";
constexpr std::string_view kOldReport = "old report";

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

void CheckCompleteReport(const std::string& report) {
  const std::vector<std::string_view> lines = Split(report, '\n');
  FUZZ_CHECK(lines.size() == 7, "%zu lines in '%s'", lines.size(), report.c_str());
  const std::string_view starts[] = {"Reference / ", "RF   / ", "Comparison freq  ",
                                     "", "\r", "Hex divider values \r", "R  0x"};
  for (std::size_t i = 0; i < 7; ++i) {
    FUZZ_CHECK(lines[i].starts_with(starts[i]), "line %zu of '%s'", i + 1, report.c_str());
    FUZZ_CHECK(i == 6 || lines[i].ends_with('\r'), "line break %zu", i + 1);
  }
  FUZZ_CHECK(lines[2].ends_with("kHz\r"), "kHz");
  FUZZ_CHECK(lines[3] == "No Error\r" ||
                 (lines[3].starts_with("Error  ") && lines[3].ends_with("* 10^-9\r") &&
                  lines[3].find("Hz        ") != std::string_view::npos),
             "match line '%.*s'", static_cast<int>(lines[3].size()), lines[3].data());
  FUZZ_CHECK(lines[6].find("  N  0x") != std::string_view::npos, "hex line");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> texts = Split(input, '\0');
  texts.resize(5);
  synthfactors::MemoryBoxes boxes;
  const Box inputs[] = {Box::RFOut, Box::RFMult, Box::Ref, Box::MinFC, Box::MaxFC};
  for (int i = 0; i < 5; ++i) boxes.SetText(inputs[i], std::string(texts[i]));
  boxes.SetText(Box::RFund, std::string(kOldSource));
  boxes.SetText(Box::DivDisp, std::string(kOldReport));

  bool faulted = false;
  try {
    boxes.Go();
  } catch (const synthfactors::ArithmeticFault&) {
    faulted = true;
  }
  const RunStage stage = boxes.EndStage();
  const std::string source = boxes.Text(Box::RFund);
  const std::string report = boxes.Text(Box::DivDisp);

  if (!faulted) {
    if (stage == RunStage::kZeroSource) {
      FUZZ_CHECK(source == kOldSource && report == kOldReport, "zero source wrote");
      return 0;
    }
    FUZZ_CHECK(stage == RunStage::kDone, "ended without fault at stage %d",
               static_cast<int>(stage));
    CheckCompleteReport(report);
    return 0;
  }

  switch (stage) {
    case RunStage::kReadFactor:
    case RunStage::kReadOutput:
    case RunStage::kSourceFrequency:
      FUZZ_CHECK(source == kOldSource && report == kOldReport, "early fault wrote");
      return 0;
    case RunStage::kReadReference:
    case RunStage::kReadLowerLimit:
    case RunStage::kReadUpperLimit:
    case RunStage::kSearch:
    case RunStage::kErrorFigures:
      FUZZ_CHECK(source != kOldSource && report == kOldReport,
                 "fault before the report");
      return 0;
    case RunStage::kReport: {
      // Lines 1-3 are written before the error line is worked out.
      const bool three_lines = report.starts_with("Reference / ") &&
                               Split(report, '\n').size() == 4 && report.ends_with("kHz\r\n");
      FUZZ_CHECK(report == kOldReport || three_lines, "report fault left '%s'",
                 report.c_str());
      return 0;
    }
    case RunStage::kHexValues: {
      const std::vector<std::string_view> lines = Split(report, '\n');
      FUZZ_CHECK(lines.size() == 4 && !lines[3].ends_with('\r'),
                 "hex fault left '%s'", report.c_str());
      FUZZ_CHECK(std::fabs(boxes.State().BestN) >= 2147483647.5, "hex fault for N %.17g",
                 boxes.State().BestN);
      return 0;
    }
    default:
      FUZZ_CHECK(false, "fault at stage %d", static_cast<int>(stage));
  }
  return 0;
}
