#include <cmath>
#include <cstdint>
#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "chip_file.h"
#include "process.h"
#include "register_words.h"
#include "result_fields.h"
#include "run.h"

namespace synthfactors {
namespace {

using runner::DecodeWords;
using runner::LayoutNamed;
using runner::RunInputs;
using runner::RunOnce;
using runner::RunResult;

child_process::ProcessResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {SYNTHFACTORS_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return child_process::RunProcess(argv, "", {"LC_ALL=C"});
}

RunResult ChipRun(const char* chip, const char* rf, const char* ref, const char* min_fc,
                  const char* max_fc, bool divided = false) {
  RunInputs inputs;
  inputs.rf_out = rf;
  inputs.ref = ref;
  inputs.min_fc = min_fc;
  inputs.max_fc = max_fc;
  inputs.chip = chip;
  std::string error;
  inputs.chip_profile = formats::LoadChip(chip, error);
  inputs.feedback = divided ? runner::FeedbackMode::kDivided : runner::FeedbackMode::kFundamental;
  runner::PlanOptions plan;
  plan.registers = true;
  return RunOnce(inputs, ".", plan);
}

std::vector<std::string> Words(const RunResult& result) {
  std::vector<std::string> words;
  for (const auto& [name, word] : result.registers.value_or(runner::NamedWords{})) {
    words.push_back(name + " " + word);
  }
  return words;
}

// Each word worked by hand from the bit positions of the sources named in
// the profiles: the kernel's adf4350.h for the ADF4351 (INT << 15, MOD << 3,
// the prescaler bit 27, R << 14, the divider select << 20, the band-select
// divider << 12, the feedback bit 23), the SDR driver's
// gen_max2870_regs.py for the MAX2870 (the INT-mode bit 31, LDS bit 31 of
// R2, the band-select divider's two high bits at 25:24) and the no-OS
// adf4106.h for the ADF4106 (R << 2, A << 2, B << 8, the prescaler << 22).
TEST(RegisterWords, HandWorkedWordsForEachChip) {
  // 2400 MHz from 25 MHz: R 1, INT 96, the 4/5 prescaler, /1, band select
  // 25000 / 125 = 200; R5 with bits 20:19 set as the data sheet wants.
  EXPECT_EQ((std::vector<std::string>{"R5 0x00580005", "R4 0x008C803C", "R3 0x006004B3",
                                      "R2 0x18004FC2", "R1 0x00008011", "R0 0x00300000"}),
            Words(ChipRun("adf4351-int", "2400", "25", "1000", "32000")));
  // 1000 MHz: the VCO at 4000 MHz behind /4 (divider select 2), so the 8/9
  // prescaler (bit 27); R 25, INT 4000, band select 1000 / 125 = 8.
  EXPECT_EQ((std::vector<std::string>{"R5 0x00580005", "R4 0x00A0803C", "R3 0x006004B3",
                                      "R2 0x18064FC2", "R1 0x08008011", "R0 0x07D00000"}),
            Words(ChipRun("adf4351-int", "1000", "25", "100", "1000")));
  // The x4 LO at 10368.025 MHz: the VCO at 5184.0125 MHz behind /2.
  const RunResult lo = ChipRun("max2870-int", "2592.00625", "10", "5", "200000");
  EXPECT_EQ(2, lo.output_divider);
  EXPECT_EQ("R4 0x6090223C", Words(lo)[1]);  // 011000 reserved, /2, band select 2
  // 5000 MHz with divided feedback at 50 MHz: LDS on, band select 1000 =
  // 0b11'1110'1000 split into bits 25:24 (3) and 19:12 (0xE8), feedback 0.
  EXPECT_EQ((std::vector<std::string>{"R5 0x01400005", "R4 0x630E823C", "R3 0x0100000B",
                                      "R2 0x98004FC2", "R1 0x00008011", "R0 0x80320000"}),
            Words(ChipRun("max2870-int", "5000", "50", "100", "50000", true)));
  // 1000 MHz from 10 MHz: R 100, N 10000 = 8 x 1250 + 0.
  EXPECT_EQ((std::vector<std::string>{"INIT 0x1F8093", "R 0x000190", "N 0x04E201"}),
            Words(ChipRun("adf4106", "1000", "10", "5", "100")));
  // 10368.025 / 4 on the 16/17 prescaler: R 319, B 5167, A 13.
  EXPECT_EQ((std::vector<std::string>{"INIT 0x5F8093", "R 0x0004FC", "N 0x142F35"}),
            Words(ChipRun("adf4106", "2592.00625", "10", "5", "200000")));
}

TEST(RegisterWords, TheDecoderReadsTheHandWorkedWords) {
  const runner::RegisterLayout& adf4351 = *LayoutNamed("adf4351");
  const std::vector<std::uint32_t> words = {0x07D00000, 0x08008011, 0x18064FC2,
                                            0x006004B3, 0x00A0803C, 0x00580005};
  const runner::DecodedWords d = DecodeWords(adf4351, words, 25);
  EXPECT_EQ(25, d.r);
  EXPECT_EQ(4000, d.n);
  EXPECT_EQ(8, d.prescaler);
  EXPECT_EQ(4, d.output_divider);
  EXPECT_EQ(1000.0, d.comparison_khz);
  EXPECT_EQ(4000.0, d.vco_mhz);
  EXPECT_EQ(1000.0, d.output_mhz);
  EXPECT_TRUE(d.notes.empty()) << d.notes.front();

  const runner::DecodedWords n = DecodeWords(*LayoutNamed("adf4106"),
                                             std::vector<std::uint32_t>{0x142F35, 0x5F8093, 0x4FC}, 10);
  EXPECT_EQ(82685, n.n);
  EXPECT_EQ(16, n.prescaler);
  EXPECT_EQ(5167, n.b);
  EXPECT_EQ(13, n.a);
  EXPECT_TRUE(n.notes.empty());
}

TEST(RegisterWords, EachBrokenRuleIsANote) {
  const runner::RegisterLayout& adf4351 = *LayoutNamed("adf4351");
  const auto notes = [&](std::vector<std::uint32_t> words) {
    std::string all;
    for (const std::string& note : DecodeWords(adf4351, words, 25).notes) all += note + "\n";
    return all;
  };
  const std::vector<std::uint32_t> good = {0x00580005, 0x008C803C, 0x006004B3,
                                           0x18004FC2, 0x00008011, 0x00300000};
  EXPECT_EQ("", notes(good));
  auto words = good;
  words[0] = 0x00400005;  // R5 bits 20:19 left 00, as the kernel writes them
  EXPECT_NE(std::string::npos, notes(words).find("reserved_r5_19 in R5 is 0; the part wants 3"));
  words = good;
  words.pop_back();
  EXPECT_NE(std::string::npos, notes(words).find("R0 is missing"));
  words = good;
  words.push_back(0x00300000);
  EXPECT_NE(std::string::npos, notes(words).find("R0 is given twice"));
  words = good;
  words[5] = 16U << 15;  // INT 16: below 23 for the 4/5 prescaler
  EXPECT_NE(std::string::npos, notes(words).find("INT 16 is below 23 for the 4/5 prescaler"));
  words = good;
  words[1] = 0x0080103C;  // band select divider 1: 25 MHz, far above 125 kHz
  EXPECT_NE(std::string::npos, notes(words).find("band-select clock 25000 kHz is above"));
  words = good;
  words[4] = 0x08008009;  // MOD 1
  EXPECT_NE(std::string::npos, notes(words).find("MOD is 1"));
  words = good;
  words[1] = 0x0078803C;  // divider select 7: the part stops at /64
  EXPECT_NE(std::string::npos, notes(words).find("the output divider select 7 is no divider"));
  words = good;
  words[2] = 0x006804B3;  // R3 bit 19 set: reserved
  EXPECT_NE(std::string::npos, notes(words).find("reserved_r3_19 in R3 is 1"));
  // The MAX2870: reserved bits of R3 and R5, INT above 4091 in fractional
  // mode, the INT bit with a FRAC, and DIVA above /16 with divided feedback
  // (the N divider then counts the VCO over 16).
  const runner::RegisterLayout& max2870 = *LayoutNamed("max2870");
  const auto max_notes = [&](std::vector<std::uint32_t> w, double ref = 10) {
    const auto decoded = DecodeWords(max2870, w, ref);
    std::string all;
    for (const std::string& note : decoded.notes) all += note + "\n";
    return std::pair{all, decoded};
  };
  const std::vector<std::uint32_t> max_good = {0x01400005, 0x609C823C, 0x0100000B,
                                               0x18004E42, 0x20009901, 0x01030A08};
  EXPECT_EQ("", max_notes(max_good).first);
  auto w = max_good;
  w[2] = 0x0102000B;  // R3 bit 17
  EXPECT_NE(std::string::npos, max_notes(w).first.find("reserved_r3 in R3 is 1"));
  w = max_good;
  w[0] = 0x01480005;  // R5 bit 19
  EXPECT_NE(std::string::npos, max_notes(w).first.find("reserved_r5_19 in R5 is 1"));
  w = max_good;
  w[5] = (5000U << 15) | (0x141U << 3);  // INT 5000, FRAC 0x141
  EXPECT_NE(std::string::npos, max_notes(w).first.find("INT 5000 is above 4091 in fractional mode"));
  w = max_good;
  w[5] |= 1U << 31;  // the INT bit with FRAC 0x141: integer mode, FRAC unused
  const auto [int_bit, decoded] = max_notes(w);
  EXPECT_NE(std::string::npos, int_bit.find("the INT bit is set")) << int_bit;
  EXPECT_EQ(5180.0, decoded.vco_mhz);  // 518 x 10 MHz, the fraction unused
  // Divided feedback, DIVA /32, INT 300 at 10 MHz: the VCO is 300 x 10 x 16.
  w = max_good;
  w[1] = (0x609C823CU & ~(7U << 20) & ~(1U << 23)) | (5U << 20);
  w[5] = 300U << 15;
  w[4] = 0x00008011;
  const auto divided = max_notes(w).second;
  EXPECT_EQ(48000.0, divided.vco_mhz);
  EXPECT_EQ(1500.0, divided.output_mhz);
  // The ADF4106's function latch holds the initialisation latch's fields;
  // a word wider than 24 bits is named whole.
  const runner::RegisterLayout& adf4106 = *LayoutNamed("adf4106");
  const auto function =
      DecodeWords(adf4106, std::vector<std::uint32_t>{0x142F35, 0x5F8092, 0x4FC}, 10);
  EXPECT_TRUE(function.notes.empty()) << function.notes.front();
  EXPECT_EQ(82685, function.n);
  const auto wide =
      DecodeWords(adf4106, std::vector<std::uint32_t>{0x1142F35, 0x5F8093, 0x4FC}, 10);
  ASSERT_FALSE(wide.notes.empty());
  EXPECT_EQ("0x1142F35 has more than 24 bits; its low 24 are read", wide.notes.front());
  // A prescaler too small for the VCO, on the ADF4106: 8/9 at 2480 MHz
  // (R 100, B 3100, A 0 from 10 MHz).
  const auto slow = DecodeWords(*LayoutNamed("adf4106"),
                                std::vector<std::uint32_t>{0x1F8093, 0x190, 0xC1C01}, 10);
  ASSERT_FALSE(slow.notes.empty());
  EXPECT_NE(std::string::npos, slow.notes.back().find("8/9 prescaler counts up to 2400 MHz"));
}

TEST(RegisterWords, RandomRunsDecodeToTheirOwnPair) {
  std::mt19937 random(20261209);
  int checked = 0;
  for (int i = 0; i < 300; ++i) {
    const char* chips[] = {"adf4106", "adf4351-int", "max2870-int"};
    const char* chip = chips[i % 3];
    const std::string rf = std::to_string(std::uniform_int_distribution<int>(40, 6000)(random)) +
                           "." + std::to_string(random() % 1000);
    const bool divided = i % 5 == 0 && i % 3 != 0;
    const RunResult run = ChipRun(chip, rf.c_str(), "10", "5", "1000", divided);
    if (!run.registers) continue;
    ++checked;
    std::vector<std::uint32_t> words;
    for (const auto& [name, word] : *run.registers) words.push_back(std::stoul(word, nullptr, 16));
    std::shuffle(words.begin(), words.end(), random);
    std::string error;
    const auto profile = formats::LoadChip(chip, error);
    const runner::DecodedWords d = DecodeWords(*LayoutNamed(profile->register_map), words, 10);
    SCOPED_TRACE(std::string(chip) + " " + rf);
    EXPECT_EQ(static_cast<std::int64_t>(*run.r), d.r);
    EXPECT_EQ(static_cast<std::int64_t>(*run.n), d.n);
    EXPECT_EQ(run.output_divider, d.output_divider);
    if (run.prescaler) {
      EXPECT_EQ(run.prescaler, d.prescaler);
    }
    ASSERT_TRUE(d.vco_mhz);
    EXPECT_NEAR(*run.vco_mhz, *d.vco_mhz, 1e-9 * *d.vco_mhz);
    EXPECT_TRUE(d.notes.empty()) << d.notes.front();
  }
  EXPECT_GT(checked, 200);
}

TEST(OutputDivider, TheSmallestDividerThatReachesTheVcoRange) {
  const auto divider = [](const char* rf) { return ChipRun("adf4351-int", rf, "25", "100", "1000").output_divider; };
  EXPECT_EQ(1, divider("2200"));
  EXPECT_EQ(1, divider("4400"));
  EXPECT_EQ(2, divider("2199.999"));
  EXPECT_EQ(2, divider("1100"));
  EXPECT_EQ(4, divider("1099.999"));
  EXPECT_EQ(64, divider("34.375"));
  EXPECT_EQ(std::nullopt, divider("34.374"));
  EXPECT_EQ(std::nullopt, divider("4400.001"));
  // Inside the loop the MAX2870 takes at most /16: 150 MHz needs /32.
  EXPECT_EQ(32, ChipRun("max2870-int", "150", "10", "5", "100").output_divider);
  EXPECT_EQ(std::nullopt, ChipRun("max2870-int", "150", "10", "5", "100", true).output_divider);
}

TEST(OutputDivider, TheErrorStaysAtTheOutputAndTheLinesSayWhatWasChosen) {
  const auto r = Cli({"--rf-out", "10368.025", "--mult", "4", "--ref", "10", "--min-fc", "5",
                      "--max-fc", "200000", "--chip", "max2870-int", "--json"});
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(2, json["output_divider"]);
  EXPECT_EQ("fundamental", json["feedback"]);
  EXPECT_EQ(" 2592.00625", json["rf_source"]);
  // The error at the RF output: N x the comparison frequency x 4 / 2.
  const double vco = json["vco_mhz"];
  EXPECT_NEAR((vco / 2 * 4 - 10368.025) * 1e6, json["error_hz"].get<double>(), 1e-3);
  const auto plain = Cli({"--rf-out", "1000", "--chip", "max2870-int"});
  EXPECT_NE(std::string::npos,
            plain.out.find("Output divider  /4  VCO 4000 MHz  fundamental feedback\n"));
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--feedback", "divided"}).exit_code);
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--chip", "adf4106", "--feedback", "divided"}).exit_code);
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--registers"}).exit_code);
}

TEST(Decode, TheCommandLineReadsWordsBack) {
  const auto r = Cli({"--decode", "adf4106", "--ref", "10", "--json", "0x142F35", "0x5F8093",
                      "4FC"});
  EXPECT_EQ(0, r.exit_code) << r.err;
  const auto json = nlohmann::json::parse(r.out);
  EXPECT_EQ(319, json["r"]);
  EXPECT_EQ(82685, json["n"]);
  EXPECT_EQ(16, json["prescaler"]);
  EXPECT_EQ(5167, json["fields"]["b_counter"]);
  EXPECT_EQ(2, Cli({"--decode", "adf4106", "--ref", "10", "0xZZ"}).exit_code);
  EXPECT_EQ(2, Cli({"--decode", "adf4106", "--ref", "10"}).exit_code);
  EXPECT_EQ(2, Cli({"--decode", "adf4106", "--rf-out", "1", "0x1"}).exit_code);
  EXPECT_EQ(2, Cli({"0x5F8093"}).exit_code);
}

}  // namespace
}  // namespace synthfactors
