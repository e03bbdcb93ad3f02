// Enormous and malformed inputs: answered in linear time and bounded memory,
// with a clear message, never a crash.
#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "fault_message.h"
#include "memory_boxes.h"
#include "process.h"

namespace synthfactors {
namespace {

constexpr std::size_t kTenMegabytes = 10u << 20;

std::optional<FaultKind> ClickWith(Box box, const std::string& text, MemoryBoxes& boxes) {
  boxes.SetText(Box::RFOut, "1000");
  boxes.SetText(box, text);
  try {
    boxes.Go();
  } catch (const ArithmeticFault& fault) {
    return fault.kind();
  }
  return std::nullopt;
}

TEST(HostileInput, TenMegabyteTextsInEveryBox) {
  const std::string blanks_then_number = std::string(kTenMegabytes, ' ') + "1000";
  const std::string number_then_junk = "1000" + std::string(kTenMegabytes, 'x');
  const std::string endless_digits = "1" + std::string(kTenMegabytes, '0');
  const std::string endless_fraction = "0." + std::string(kTenMegabytes, '0') + "1";
  for (const Box box : {Box::RFOut, Box::RFMult, Box::Ref, Box::MinFC, Box::MaxFC}) {
    MemoryBoxes boxes;
    ClickWith(box, blanks_then_number, boxes);
    ClickWith(box, number_then_junk, boxes);
    EXPECT_EQ(FaultKind::kOverflow, ClickWith(box, endless_digits, boxes));
    ClickWith(box, endless_fraction, boxes);
  }
  MemoryBoxes boxes;
  EXPECT_FALSE(ClickWith(Box::RFOut, blanks_then_number, boxes));
  EXPECT_EQ(" 1000", boxes.Text(Box::RFund));
}

TEST(HostileInput, HugeBatchLineIsRefusedAndTheOthersAnswered) {
  // From a file, so that this process stays small and the child's peak
  // memory is its own.
  const std::string path = ::testing::TempDir() + "huge_batch_line.jsonl";
  {
    std::ofstream file(path, std::ios::binary);
    file << "{\"rf_out\":\"1000\"}\n{\"rf_out\":\"";
    const std::string block(1u << 20, '7');
    for (int i = 0; i < 100; ++i) file << block;
    file << "\"}\n\x01\x02\xff\n{\"rf_out\":\"\xff\xfe\"}\n{\"rf_out\":\"1000.001\"}\n";
  }
  const child_process::ProcessResult r = child_process::RunProcess(
      {"/bin/sh", "-c", std::string("exec ") + SYNTHFACTORS_CLI_PATH + " --batch < " + path},
      "", {"LC_ALL=C"});
  std::remove(path.c_str());
  EXPECT_EQ(1, r.exit_code);
  std::vector<nlohmann::json> answers;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    answers.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(5u, answers.size());
  EXPECT_EQ(" 1000", answers[0]["rf_source"]);
  EXPECT_EQ(2, answers[1]["line"]);
  EXPECT_NE(std::string::npos, answers[1]["error"].get<std::string>().find("1 MiB"));
  EXPECT_EQ(3, answers[2]["line"]);
  EXPECT_EQ(4, answers[3]["line"]);
  EXPECT_EQ(" 1000.001", answers[4]["rf_source"]);
  EXPECT_LT(r.peak_memory_kib, 64 * 1024) << "the batch reader keeps at most 1 MiB a line";
}

TEST(HostileInput, ControlCharactersAndNonAsciiInTheCommandLine) {
  const child_process::ProcessResult r = child_process::RunProcess(
      {SYNTHFACTORS_CLI_PATH, "--rf-out", "1000\x01", "--mult", "\xff", "--ref",
       "\xe2\x80\x8b" "10", "--json"},
      "", {"LC_ALL=C"});
  EXPECT_EQ(1, r.exit_code);
  const auto answer = nlohmann::json::parse(r.out);
  EXPECT_EQ("division by zero", answer["fault"]);  // "\xff" reads as 0
  EXPECT_EQ("1000\x01", answer["rf_out"]);
  EXPECT_EQ("\xe2\x80\x8b" "10", answer["ref"]);
  EXPECT_EQ("\xef\xbf\xbd", answer["mult"]);  // invalid UTF-8 replaced in JSON
}

}  // namespace
}  // namespace synthfactors
