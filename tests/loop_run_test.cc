// The loop in runs, sweeps and the command line: one filter for a band, the
// refusals, the chip's charge-pump setting in its words, and the text the
// report shows.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "chip_file.h"
#include "input_fields.h"
#include "loop_text.h"
#include "process.h"
#include "register_words.h"
#include "sweep.h"

namespace synthfactors {
namespace {

using child_process::ProcessResult;
using Json = nlohmann::json;

ProcessResult Cli(std::vector<std::string> args, const std::string& input = "",
                  std::vector<std::string> env = {"LC_ALL=C"}) {
  args.insert(args.begin(), SYNTHFACTORS_CLI_PATH);
  return child_process::RunProcess(args, input, env);
}

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(Json::parse(text.substr(start, end - start)));
  }
  return lines;
}

const std::vector<std::string> kAdf4351Band = {
    "--sweep", "2400:2402:0.25", "--chip", "adf4351", "--ref", "25", "--min-fc", "1000",
    "--max-fc", "25000", "--loop-bandwidth", "50", "--kvco", "40", "--fom", "-220",
    "--vco-noise", "1000:-80,100000:-120,1000000:-140", "--lock-jump", "5", "--json"};

// The parts a band's JSON rows carry, as --filter text with every digit.
std::string FilterText(const Json& loop) {
  auto part = [&](const char* name) { return loop[name].dump(); };
  return part("c1_f") + "," + part("c2_f") + "," + part("r2_ohm") + "," + part("c3_f") + "," +
         part("r3_ohm");
}

TEST(LoopRuns, ABandSharesOneFilterDesignedAtItsMiddleChannel) {
  const ProcessResult band = Cli(kAdf4351Band);
  ASSERT_EQ(0, band.exit_code) << band.err;
  const std::vector<Json> rows = JsonLines(band.out);
  ASSERT_EQ(9u, rows.size());
  // Every row has the same parts, and the middle channel (index 4, 2401 MHz)
  // meets the bandwidth designed for.
  for (const Json& row : rows) EXPECT_EQ(FilterText(rows[0]["loop"]), FilterText(row["loop"]));
  EXPECT_NEAR(50000, rows[4]["loop"]["bandwidth_hz"].get<double>(), 1e-6);
  EXPECT_NEAR(45, rows[4]["loop"]["phase_margin_deg"].get<double>(), 1e-9);
  // A row is the single run of its channel with those parts given: the
  // same figures to the last digit.
  for (const int i : {0, 4, 7}) {
    std::vector<std::string> single = {"--rf-out", rows[i]["rf_out"], "--filter",
                                       FilterText(rows[i]["loop"])};
    for (std::size_t a = 2; a < kAdf4351Band.size(); ++a) {
      if (kAdf4351Band[a] == "--loop-bandwidth") {
        ++a;
        continue;
      }
      single.push_back(kAdf4351Band[a]);
    }
    const std::vector<Json> alone = JsonLines(Cli(single).out);
    ASSERT_EQ(1u, alone.size());
    EXPECT_EQ(rows[i]["loop"].dump(), alone[0]["loop"].dump()) << i;
  }
  // The CSV carries the same figures in its columns.
  std::vector<std::string> csv_args(kAdf4351Band.begin(), kAdf4351Band.end() - 1);
  const std::string csv = Cli(csv_args).out;
  EXPECT_NE(std::string::npos,
            csv.find(",c1_f,c2_f,c3_f,r2_ohm,r3_ohm,loop_bandwidth_hz,phase_margin_deg,"
                     "phase_error_deg,jitter_fs,lock_time_us\n"));
  EXPECT_NE(std::string::npos, csv.find(rows[4]["loop"]["jitter_fs_rms"].dump()));
}

TEST(LoopRuns, RefusalsAreUsageErrorsWithNothingWritten) {
  const std::vector<std::string> base = {"--rf-out", "1392", "--ref", "38.4", "--min-fc", "60",
                                         "--max-fc", "60", "--cp-current", "4", "--kvco", "30"};
  auto run = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = base;
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  };
  struct Case {
    std::vector<std::string> extra;
    const char* says;
  };
  const Case cases[] = {
      {{"--loop-bandwidth", "6"}, "not below a tenth of the comparison frequency (60 kHz)"},
      {{"--loop-bandwidth", "0"}, "--loop-bandwidth takes the loop bandwidth in kHz, above 0"},
      {{"--loop-bandwidth", "2", "--phase-margin", "90"}, "below 90"},
      {{"--loop-bandwidth", "2", "--filter-order", "1"}, "--filter-order takes 2 or 3"},
      {{"--loop-bandwidth", "2", "--t31", "0"}, "--t31 must lie between 0 and 1"},
      {{"--loop-bandwidth", "2", "--filter-order", "2", "--t31", "0.5"}, "not order 2"},
      {{"--loop-bandwidth", "2", "--noise-offsets", "10,10"}, "the offsets must rise"},
      {{"--loop-bandwidth", "2", "--vco-noise", "1000:-80,100:-60"}, "the offsets must rise"},
      {{"--loop-bandwidth", "2", "--jitter-band", "10:1"}, "0 < FROM < TO"},
      {{"--filter", "1n,2n,3k,4p"}, "not 4 parts"},
      {{"--filter", "1n,2n,-3k"}, "each part above 0"},
      {{"--filter", "1n,2n,3k", "--gamma", "2"}, "--gamma shapes a designed filter"},
      {{"--filter", "1n,2n,3k", "--loop-bandwidth", "2"}, "give one of the two"},
      {{"--vco-noise", "1000:-80"}, "--vco-noise needs a loop"},
      {{"--loop-bandwidth", "2", "--lock-tolerance", "10"}, "needs a step (--lock-jump)"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = run(c.extra);
    EXPECT_EQ(2, r.exit_code) << c.says;
    EXPECT_EQ("", r.out) << c.says;
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << r.err;
  }
  // Without a chip, the gain must be given.
  const ProcessResult no_gain = Cli({"--rf-out", "1392", "--loop-bandwidth", "2"});
  EXPECT_EQ(2, no_gain.exit_code);
  EXPECT_NE(std::string::npos, no_gain.err.find("--cp-current is needed with a loop"));
  EXPECT_NE(std::string::npos, no_gain.err.find("--kvco is needed with a loop"));
  // A sweep whose middle channel cannot take the loop writes nothing at all.
  const ProcessResult sweep = Cli({"--sweep", "1392:1393:0.5", "--ref", "38.4", "--min-fc", "60",
                                   "--max-fc", "60", "--cp-current", "4", "--kvco", "30",
                                   "--loop-bandwidth", "6"});
  EXPECT_EQ(2, sweep.exit_code);
  EXPECT_EQ("", sweep.out);
  // A batch line answers with its error and the batch goes on.
  const std::vector<Json> lines = JsonLines(
      Cli({"--batch"}, R"({"rf_out":"1392","ref":"38.4","min_fc":"60","max_fc":"60","cp_current":4,)"
                       R"("kvco":30,"loop_bandwidth":6})" "\n"
                       R"({"rf_out":"1392","ref":"38.4","min_fc":"60","max_fc":"60","cp_current":4,)"
                       R"("kvco":30,"loop_bandwidth":2,"filter_order":2})" "\n")
          .out);
  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::string::npos, lines[0]["error"].get<std::string>().find("a tenth"));
  EXPECT_EQ(2, lines[1]["loop"]["order"]);
}

TEST(LoopRuns, TheChipsCurrentIsChosenFromItsSettingsAndWritten) {
  const std::vector<std::string> run = {"--rf-out", "2400", "--chip", "adf4351", "--ref", "25",
                                        "--min-fc", "1000", "--max-fc", "25000", "--filter",
                                        "1n,10n,1k", "--kvco", "40", "--registers", "--json"};
  auto word = [](const Json& result, const char* name) {
    for (const Json& entry : result["registers"]) {
      if (entry["name"] == name) return std::stoul(entry["word"].get<std::string>(), nullptr, 16);
    }
    return 0UL;
  };
  // The default setting, 7 (2.5 mA), as without a loop; 5 mA is setting 15,
  // in R2 bits 12:9.
  const Json standard = JsonLines(Cli(run).out).at(0);
  EXPECT_EQ(2.5, standard["loop"]["cp_current_ma"]);
  EXPECT_EQ(7u, (word(standard, "R2") >> 9) & 0xF);
  std::vector<std::string> strong = run;
  strong.insert(strong.end(), {"--cp-current", "5"});
  const Json five = JsonLines(Cli(strong).out).at(0);
  EXPECT_EQ(15u, (word(five, "R2") >> 9) & 0xF);
  EXPECT_EQ(word(standard, "R2") | (0xFu << 9), word(five, "R2"));
  // A current the field cannot select is refused, with the list.
  std::vector<std::string> odd = run;
  odd.insert(odd.end(), {"--cp-current", "2.6"});
  const ProcessResult refused = Cli(odd);
  EXPECT_EQ(2, refused.exit_code);
  EXPECT_NE(std::string::npos, refused.err.find("is no setting of the adf4351: it has 0.3125"));
  // The MAX2870's table rounds: 2.56 mA is its setting 7 (1.63 V / 5.1 kOhm x 8).
  const ProcessResult max = Cli({"--rf-out", "4000", "--chip", "max2870", "--ref", "25",
                                 "--min-fc", "1000", "--max-fc", "25000", "--filter",
                                 "1n,10n,1k", "--kvco", "40", "--cp-current", "2.56", "--json"});
  EXPECT_EQ(0, max.exit_code) << max.err;
}

TEST(LoopText, EngineeringUnitsWithFourDigits) {
  using formats::EngineeringText;
  EXPECT_EQ("6.591 nF", EngineeringText(6.5913163051595606e-09, "F", "."));
  EXPECT_EQ("466.8 pF", EngineeringText(4.668139796694198e-10, "F", "."));
  EXPECT_EQ("33.87 kOhm", EngineeringText(33873.14775444024, "Ohm", "."));
  EXPECT_EQ("2.000 kHz", EngineeringText(2000.0000000000002, "Hz", "."));
  EXPECT_EQ("1.000 MHz", EngineeringText(999999.9, "Hz", "."));  // rounds into the next prefix
  EXPECT_EQ("123.4 us", EngineeringText(0.00012344, "s", "."));
  EXPECT_EQ("45,61 fs", EngineeringText(45.61e-15, "s", ","));
  EXPECT_EQ("-2.500 mA", EngineeringText(-0.0025, "A", "."));
  EXPECT_EQ("0 F", EngineeringText(0, "F", "."));
  EXPECT_EQ("1.000e-18 F", EngineeringText(1e-18, "F", "."));
  EXPECT_EQ("-", EngineeringText(1.0 / 0.0, "F", "."));
}

TEST(LoopText, TheBookExampleAsTheReportShowsIt) {
  const ProcessResult r =
      Cli({"--rf-out", "1392", "--ref", "38.4", "--min-fc", "60", "--max-fc", "60",
           "--loop-bandwidth", "2", "--phase-margin", "47.1", "--gamma", "1.136",
           "--cp-current", "4", "--kvco", "30", "--fom", "-220", "--lock-jump", "10"});
  ASSERT_EQ(0, r.exit_code) << r.err;
  EXPECT_NE(std::string::npos,
            r.out.find("Loop filter  order 3, designed for 2 kHz and 47.1 degrees\n"
                       "  C1 6.591 nF  C2 85.45 nF  R2 2.584 kOhm  C3 466.8 pF  R3 33.87 kOhm\n"
                       "  Charge pump 4 mA  VCO gain 30 MHz/V\n"
                       "  Bandwidth 2.000 kHz  phase margin 47.10 degrees\n"
                       "  Phase noise at the RF output, dBc/Hz:\n"
                       "      offset   total     PLL  resistors\n"))
      << r.out;
  EXPECT_NE(std::string::npos, r.out.find("  Jitter from 1 kHz to 10 MHz  phase error "));
  EXPECT_NE(std::string::npos, r.out.find(" to within 1 kHz after a 10 MHz step\n"));
  // German: the decimal comma in every figure.
  const ProcessResult german = Cli({"--rf-out", "1392", "--ref", "38.4", "--min-fc", "60",
                                    "--max-fc", "60", "--loop-bandwidth", "2", "--cp-current",
                                    "4", "--kvco", "30"},
                                   "", {"LC_ALL=de_DE.UTF-8"});
  EXPECT_NE(std::string::npos, german.out.find("  Bandwidth 2,000 kHz  phase margin 45,00 degrees"))
      << german.out;
}

}  // namespace
}  // namespace synthfactors
