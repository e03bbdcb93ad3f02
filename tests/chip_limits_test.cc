// Honest figures at the chips' limits: a run without a setting says why in
// every face, one R for a fractional-N band by the fractional rule, words
// only for settings the part can run (checked by decoding the program's own
// words for random runs of every profile), exact window edges and
// tolerances, integer mode in its own range, the spur the VCO's distance
// whatever the feedback, the noise preference, and what the data sheets
// ask at power-up.
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include <utility>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "chip_file.h"
#include "process.h"
#include "register_words.h"
#include "run.h"

namespace synthfactors {
namespace {

using runner::RunResult;

child_process::ProcessResult Cli(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {SYNTHFACTORS_CLI_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return child_process::RunProcess(argv, "", {"LC_ALL=C"});
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct ChipRun {
  ChipRun(const char* chip_name, std::string rf_out = {}, std::string ref_mhz = "10",
          std::string min_khz = "5", std::string max_khz = "100",
          runner::FeedbackMode mode = runner::FeedbackMode::kFundamental)
      : chip(chip_name),
        rf(std::move(rf_out)),
        ref(std::move(ref_mhz)),
        min_fc(std::move(min_khz)),
        max_fc(std::move(max_khz)),
        feedback(mode) {}
  const char* chip;
  std::string rf, ref, min_fc, max_fc;
  runner::FeedbackMode feedback;
  runner::PlanOptions plan;
};

RunResult RunOf(const ChipRun& run) {
  runner::RunInputs inputs;
  inputs.rf_out = run.rf;
  inputs.ref = run.ref;
  inputs.min_fc = run.min_fc;
  inputs.max_fc = run.max_fc;
  inputs.chip = run.chip;
  std::string error;
  inputs.chip_profile = formats::LoadChip(run.chip, error);
  EXPECT_TRUE(inputs.chip_profile) << error;
  inputs.feedback = run.feedback;
  return runner::RunOnce(inputs, ".", run.plan);
}

TEST(ChipLimits, ASweepRowWithoutASettingNamesItsFault) {
  // No R of 1 ... 1023 puts 19.2 MHz at exactly 101 kHz.
  const auto r = Cli({"--sweep", "10368:10370:0.5", "--mult", "4", "--chip", "adf4351", "--ref",
                      "19.2", "--min-fc", "101", "--max-fc", "101"});
  EXPECT_EQ(0, r.exit_code) << r.err;  // a sweep's faults are in its rows
  const auto rows = Lines(r.out);
  ASSERT_EQ(6U, rows.size());
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_NE(std::string::npos, rows[i].find(",no setting,")) << rows[i];
  }
  // The single run says why, and ends with status 1.
  const auto single = Cli({"--rf-out", "10368", "--mult", "4", "--chip", "adf4351", "--ref",
                           "19.2", "--min-fc", "101", "--max-fc", "101", "--json"});
  EXPECT_EQ(1, single.exit_code);
  const auto json = nlohmann::json::parse(single.out);
  EXPECT_EQ("no setting", json["fault"]);
  EXPECT_NE(std::string::npos, json["message"].get<std::string>().find("no reference divider R"));
}

TEST(ChipLimits, OneRForAFractionalBandFollowsTheFractionalRule) {
  // R 1 (10 MHz) makes every channel exact, its nearest spur 25 kHz away;
  // the integer rule chose R 267 with four of five channels off.
  const auto r = Cli({"--sweep", "2400:2400.1:0.025", "--chip", "adf4351", "--ref", "10",
                      "--min-fc", "10", "--max-fc", "10000", "--common-r", "--json"});
  ASSERT_EQ(0, r.exit_code) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(6U, lines.size());
  const auto summary = nlohmann::json::parse(lines[0]);
  EXPECT_EQ(1, summary["common_r"]);
  // The summary is the rows': how many are exact, and the worst error.
  int exact = 0;
  double worst = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto row = nlohmann::json::parse(lines[i]);
    EXPECT_EQ(1, row["r"]);
    exact += row["exact"].get<bool>() ? 1 : 0;
    worst = std::max(worst, std::fabs(row["error_hz"].get<double>()));
  }
  EXPECT_EQ(exact, summary["exact_channels"]);
  EXPECT_EQ(5, summary["channels"]);
  EXPECT_EQ(worst, summary["worst_error_hz"]);
}

TEST(ChipLimits, NoWordsForASettingThePartCannotRun) {
  // A source no output divider brings into the VCO's range: the note says
  // why, and no words are written.
  for (const auto feedback : {runner::FeedbackMode::kFundamental, runner::FeedbackMode::kDivided}) {
    for (const auto& [chip, rf] : {std::pair{"adf4351", "5000"}, {"max2870", "7000"}}) {
      ChipRun run{chip, rf, "25", "1000", "32000", feedback};
      run.plan.registers = true;
      const RunResult result = RunOf(run);
      EXPECT_FALSE(result.registers) << chip;
      ASSERT_FALSE(result.notes.empty()) << chip;
      EXPECT_NE(std::string::npos, result.notes.back().find("is outside the")) << chip;
    }
  }
  // Comparison frequencies the band-select clock cannot follow are never
  // chosen: 200 MHz on the max2870-int, above 31.875 MHz on the adf4351.
  ChipRun fast{"max2870-int", "5000", "200", "1000", "300000"};
  EXPECT_LE(*RunOf(fast).comparison_khz, 51150);
  ChipRun adf{"adf4351-int", "3200", "32", "1000", "32000"};
  EXPECT_LE(*RunOf(adf).comparison_khz, 31875);
  // A pair whose VCO passes the 4/5 prescaler's 3600 MHz, asked for at
  // 3600 MHz (13 MHz x 277 = 3601 MHz), runs with 8/9.
  ChipRun prescaler{"adf4351-int", "3600", "13", "13000", "13000"};
  prescaler.plan.registers = true;
  const RunResult words = RunOf(prescaler);
  ASSERT_TRUE(words.registers);
  EXPECT_EQ("0x08008011", (*words.registers)[4].second);  // R1: prescaler bit 27 set
}

// The program's own words, decoded by its decoder with the same reference,
// break no rule, for random runs of every profile: references up to 250
// MHz, the widest windows, divided feedback, sources outside the range.
TEST(ChipLimits, TheProgramsOwnWordsBreakNoRule) {
  std::mt19937 random(35);
  const char* chips[] = {"adf4106", "adf4351-int", "adf4351", "max2870-int", "max2870"};
  const char* refs[] = {"10", "25", "19.2", "100", "122.88", "250", "1", "38.4"};
  const char* windows[][2] = {{"0", "1e9"}, {"1", "1000000"}, {"5", "100"}, {"100", "32000"}};
  int checked = 0;
  for (int i = 0; i < 1500; ++i) {
    ChipRun run{chips[i % 5]};
    std::ostringstream rf;
    rf << std::uniform_int_distribution<int>(20, 14000)(random) << "."
       << std::uniform_int_distribution<int>(0, 999)(random);
    run.rf = rf.str();
    run.ref = refs[random() % 8];
    const auto& window = windows[random() % 4];
    run.min_fc = window[0];
    run.max_fc = window[1];
    if (i % 5 != 0 && random() % 4 == 0) run.feedback = runner::FeedbackMode::kDivided;
    run.plan.registers = true;
    if (i % 5 == 2 || i % 5 == 4) {
      if (random() % 3 == 0) run.plan.tolerance_hz = std::uniform_int_distribution<int>(1, 5000)(random);
    }
    const RunResult result = RunOf(run);
    if (!result.registers) continue;
    ++checked;
    std::vector<std::uint32_t> words;
    for (const auto& [name, word] : *result.registers) words.push_back(std::stoul(word, nullptr, 16));
    const runner::DecodedWords decoded = runner::DecodeWords(
        *runner::LayoutNamed(result.inputs.chip_profile->register_map), words,
        std::stod(run.ref));
    const std::string where = std::string(run.chip) + " " + run.rf + " MHz from " + run.ref +
                              ", window " + run.min_fc + " ... " + run.max_fc;
    ASSERT_TRUE(decoded.notes.empty()) << where << ": " << decoded.notes.front();
    ASSERT_TRUE(decoded.output_mhz) << where;
    // The words put out what the run claims (its VCO over the divider).
    EXPECT_NEAR(*result.vco_mhz / result.output_divider.value_or(1), *decoded.output_mhz,
                1e-9 * *decoded.output_mhz)
        << where;
  }
  EXPECT_GT(checked, 400);
}

TEST(ChipLimits, ExactWhereTheProgramSaysExact) {
  // 19.2 MHz / 192 is exactly 100 kHz: a window of exactly 100 kHz admits
  // it (2592 MHz is N 25920 there).
  const RunResult edge = RunOf({"adf4351", "2592", "19.2", "100", "100"});
  EXPECT_EQ(192, edge.r);
  EXPECT_EQ(true, edge.exact);
  // An error of exactly the tolerance is on frequency: R 5 of 25 MHz puts
  // 2840.00001 MHz exactly 10 Hz low.
  ChipRun tolerance{"adf4351", "2840.00001", "25", "100", "32000"};
  tolerance.plan.tolerance_hz = 10;
  const RunResult at_edge = RunOf(tolerance);
  ASSERT_TRUE(at_edge.error_hz);
  EXPECT_LE(std::fabs(*at_edge.error_hz), 10.0);
  // Every setting within the tolerance is a candidate: 2400.003 MHz at
  // 10 MHz, 5 kHz allowed: integer mode, N 240 (3 kHz low), not the
  // nearest fraction 240 + 1/3333, and a spur clearance changes nothing.
  ChipRun within{"adf4351", "2400.003", "10", "10000", "10000"};
  within.plan.tolerance_hz = 5000;
  const RunResult integer = RunOf(within);
  EXPECT_EQ(runner::SettingMode::kInteger, integer.mode);
  EXPECT_EQ(240, integer.n);
  EXPECT_EQ(-3000.0, integer.error_hz);
  within.plan.spur_clear_khz = 100;
  EXPECT_EQ(240, RunOf(within).n);
  // Integer mode holds to the part's integer-mode range: 5000 MHz at
  // 100 kHz is N 50000, beyond the max2870's fractional INT (19 ... 4091).
  const RunResult wide = RunOf({"max2870", "5000", "10", "50", "100"});
  EXPECT_EQ(50000, wide.n);
  EXPECT_EQ(runner::SettingMode::kInteger, wide.mode);
  // The same VCO, output and comparison give the same spur whichever
  // feedback: 5184.0125 MHz lies 4012.5 kHz from 5180 MHz.
  for (const auto feedback : {runner::FeedbackMode::kFundamental, runner::FeedbackMode::kDivided}) {
    ChipRun spur{"max2870", "2592.00625", "10", "10000", "10000", feedback};
    EXPECT_EQ(4012.5, RunOf(spur).spur_offset_khz);
  }
}

TEST(ChipLimits, TheDecoderAsksForWhatItNeeds) {
  // The reference is asked for, never assumed.
  const auto no_ref = Cli({"--decode", "adf4106", "0x142F35", "0x5F8093", "0x4FC"});
  EXPECT_EQ(2, no_ref.exit_code);
  EXPECT_NE(std::string::npos, no_ref.err.find("--decode needs --ref"));
  // A reference that takes the figures beyond a double is refused.
  const auto huge = Cli({"--decode", "adf4106", "--ref", "1e308", "0x142F35", "0x5F8093", "0x4FC"});
  EXPECT_EQ(2, huge.exit_code);
  EXPECT_EQ("", huge.out);
  EXPECT_NE(std::string::npos, huge.err.find("beyond what the program can state"));
}

TEST(ChipLimits, WhatIsWrongIsSaid) {
  const RunResult negative = RunOf({"adf4351", "-5000", "10", "5", "100"});
  EXPECT_NE(std::string::npos, negative.message.find("needs a source frequency"))
      << negative.message;
  EXPECT_NE(std::string::npos, negative.message.find("above 0, not -5000"));
  EXPECT_TRUE(negative.no_setting);
}

TEST(ChipLimits, TheNoisePreferenceWeighsTheInBandNoise) {
  // 4800.1 MHz from 10 MHz: by the spur rule integer mode at 100 kHz
  // (N 48001); by the noise, the exact 10 MHz fractional setting, whose
  // in-band noise is lower by 20 dB.
  ChipRun spur{"adf4351", "4800.1", "10", "50", "10000"};
  spur.plan.fom = -220;
  const RunResult by_spur = RunOf(spur);
  EXPECT_EQ(48001, by_spur.n);
  ChipRun noise = spur;
  noise.plan.prefer = runner::Preference::kNoise;
  const RunResult by_noise = RunOf(noise);
  EXPECT_EQ(1, by_noise.r);
  EXPECT_EQ(runner::SettingMode::kFractional, by_noise.mode);
  EXPECT_LT(*by_noise.phase_noise, *by_spur.phase_noise - 19);
  // The option needs a fractional chip, and noise a figure of merit.
  EXPECT_NE(std::string::npos,
            Cli({"--rf-out", "1000", "--chip", "adf4351-int", "--prefer", "noise"})
                .err.find("--prefer needs a fractional-N chip"));
  EXPECT_NE(std::string::npos,
            Cli({"--rf-out", "1000", "--chip", "adf4351", "--prefer", "noise"})
                .err.find("--prefer noise needs a figure of merit"));
  EXPECT_NE(std::string::npos,
            Cli({"--rf-out", "1000", "--chip", "adf4351", "--prefer", "quiet"})
                .err.find("--prefer takes spur or noise, not \"quiet\""));
}

TEST(ChipLimits, ThePowerUpSequenceComesWithTheWords) {
  const auto plain = Cli({"--rf-out", "2592.00625", "--chip", "max2870", "--min-fc", "1000",
                          "--max-fc", "50000", "--registers"});
  EXPECT_NE(std::string::npos,
            plain.out.find("Power-up  write R5 ... R0 twice, at least 20 ms apart"))
      << plain.out;
  const auto json = nlohmann::json::parse(
      Cli({"--rf-out", "2400", "--ref", "25", "--min-fc", "1000", "--max-fc", "31875", "--chip",
           "adf4351", "--registers", "--json"})
          .out);
  EXPECT_NE(std::string::npos, json["power_up"].get<std::string>().find("R0 last"));
  // Without the words, no such line.
  EXPECT_FALSE(nlohmann::json::parse(Cli({"--rf-out", "1000", "--json"}).out).contains("power_up"));
}

}  // namespace
}  // namespace synthfactors
