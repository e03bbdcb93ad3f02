// The command-line program end to end, run as a separate process.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "batch.h"
#include "plain_text.h"
#include "process.h"
#include "progress.h"
#include "run.h"

namespace synthfactors {
namespace {

using child_process::ProcessResult;
using Json = nlohmann::json;
using cli::ReadBatchLine;

ProcessResult Cli(std::vector<std::string> args, const std::string& input = "",
                  std::vector<std::string> env = {"LC_ALL=C"}) {
  args.insert(args.begin(), SYNTHFACTORS_CLI_PATH);
  return child_process::RunProcess(args, input, env);
}

// The program run by bash with `script`, in which "$@" is the program and
// `args`: for redirections the test harness cannot make itself.
ProcessResult CliInShell(const std::string& script, std::vector<std::string> args) {
  args.insert(args.begin(), {"/bin/bash", "-c", script, "bash", SYNTHFACTORS_CLI_PATH});
  return child_process::RunProcess(args, "", {"LC_ALL=C"});
}

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(Json::parse(text.substr(start, end - start)));
  }
  EXPECT_EQ(start, text.size()) << "output does not end with a line break";
  return lines;
}

TEST(CliPlain, PrintsTheSourceFrequencyAndTheReport) {
  const ProcessResult r = Cli({"--rf-out", "1000"});
  EXPECT_EQ(0, r.exit_code);
  EXPECT_EQ("", r.err);
  EXPECT_EQ(
      "RF Source Frequency 1000 MHz\n\nReference / 100\nRF   / 10000\n"
      "Comparison freq  100.kHz\nNo Error\n\nHex divider values \n"
      "R  0x64  N  0x2710\n",
      r.out);
}

TEST(CliPlain, ReadsEveryInputAsTheWindowWould) {
  const ProcessResult r = Cli({"--rf-out", " 1234.5678 MHz", "--ref", "13",
                               "--min-fc", "10", "--max-fc=200", "--mult", "1"});
  EXPECT_EQ(0, r.exit_code);
  EXPECT_NE(std::string::npos,
            r.out.find("Comparison freq  11.37358kHz\nError  4.024Hz        3* 10^-9\n"));
  EXPECT_EQ(0, Cli({"--rf-out", "-5"}).exit_code);  // a negative value, not an option
}

TEST(CliPlain, AnEarlyEndPrintsWhatWasWrittenAndTheMessage) {
  const ProcessResult swapped =
      Cli({"--rf-out", "1000", "--min-fc", "100", "--max-fc", "5"});
  EXPECT_EQ(1, swapped.exit_code);
  EXPECT_EQ("RF Source Frequency 1000 MHz\n", swapped.out);
  EXPECT_NE(std::string::npos, swapped.err.find("no divider pair fits"));

  const ProcessResult big_n = Cli({"--rf-out", "3e8"});
  EXPECT_EQ(1, big_n.exit_code);
  EXPECT_EQ("RF Source Frequency 300000000 MHz\n\nReference / 100\n"
            "RF   / 3000000000\nComparison freq  100.kHz\nNo Error\n",
            big_n.out);
  EXPECT_NE(std::string::npos, big_n.err.find("N does not fit in 32 bits"));

  const ProcessResult empty = Cli({});
  EXPECT_EQ(1, empty.exit_code);
  EXPECT_EQ("", empty.out);
  EXPECT_NE(std::string::npos, empty.err.find("nothing to calculate"));
}

TEST(CliPlain, UsageErrorsHelpAndVersion) {
  const ProcessResult unknown = Cli({"--frequency", "1"});
  EXPECT_EQ(2, unknown.exit_code);
  EXPECT_NE(std::string::npos, unknown.err.find("--frequency"));
  EXPECT_EQ(2, Cli({"--rf-out"}).exit_code);
  EXPECT_EQ(2, Cli({"--batch", "--rf-out", "1"}).exit_code);

  const ProcessResult help = Cli({"--help"});
  EXPECT_EQ(0, help.exit_code);
  EXPECT_NE(std::string::npos, help.out.find("--sweep"));
  const ProcessResult version = Cli({"--version"});
  EXPECT_EQ(0, version.exit_code);
  EXPECT_EQ(0u, version.out.find("synthfactors-cli "));
}

TEST(CliPlain, AnOptionNameIsNoValue) {
  const ProcessResult r = Cli({"--rf-out", "--json"});
  EXPECT_EQ(2, r.exit_code);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos, r.err.find("--rf-out needs a value"));
  EXPECT_EQ(2, Cli({"--sweep", "--mult", "4"}).exit_code);
  EXPECT_EQ(" 1000", JsonLines(Cli({"--json", "--mult", "-1", "--rf-out", "-1000"}).out)
                         .at(0)["rf_source"]);
  EXPECT_EQ("--x", JsonLines(Cli({"--rf-out=--x", "--json"}).out).at(0)["rf_out"]);
}

// SIGPIPE is ignored in the children (the harness ignores it), so a closed
// pipe shows as a failed write.
TEST(CliOutput, AFailedWriteEndsTheRunWithStatusThree) {
  const std::vector<std::vector<std::string>> modes = {
      {"--rf-out", "1000"}, {"--rf-out", "1000", "--json"}, {"--sweep", "1:2:1"},
      {"--help"},           {"--version"},                  {"--batch"}};
  for (const std::string redirect : {">/dev/full", ">&-"}) {
    for (const auto& mode : modes) {
      // echo's own complaint, when the program ends before reading, is not ours.
      const ProcessResult r = CliInShell("echo {} 2>/dev/null | \"$@\" " + redirect, mode);
      EXPECT_EQ(3, r.exit_code) << redirect << " " << mode[0];
      EXPECT_EQ(0u, r.err.find("synthfactors-cli: cannot write the output: ")) << r.err;
      EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
    }
  }
  // Without the stop at the first failed write this would run for minutes.
  const ProcessResult closed = CliInShell(
      "\"$@\" | head -c 1 >/dev/null; exit \"${PIPESTATUS[0]}\"",
      {"--sweep", "0:9999999:1"});
  EXPECT_EQ(3, closed.exit_code);
  EXPECT_EQ("synthfactors-cli: cannot write the output: Broken pipe\n", closed.err);
  const ProcessResult batch = CliInShell(
      "yes '{\"rf_out\":1000}' | \"$@\" | head -c 1 >/dev/null; exit \"${PIPESTATUS[1]}\"",
      {"--batch"});
  EXPECT_EQ(3, batch.exit_code);
}

TEST(CliJson, OneObjectWithEveryField) {
  const ProcessResult r = Cli({"--rf-out", "1000.001", "--json"});
  EXPECT_EQ(0, r.exit_code);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(1u, lines.size());
  const Json& j = lines[0];
  EXPECT_EQ("1000.001", j["rf_out"]);
  EXPECT_EQ("1", j["mult"]);
  EXPECT_EQ("10", j["ref"]);
  EXPECT_EQ("5", j["min_fc"]);
  EXPECT_EQ("100", j["max_fc"]);
  EXPECT_EQ(" 1000.001", j["rf_source"]);
  EXPECT_EQ("Reference / 2000\r\nRF   / 200000\r\nComparison freq  5.kHz\r\n"
            "Error  -1000.Hz        -1000* 10^-9\r\n\r\nHex divider values \r\n"
            "R  0x7D0  N  0x30D40",
            j["report"]);
  EXPECT_EQ(false, j["exact"]);
  EXPECT_EQ(2000, j["r"]);
  EXPECT_EQ(200000, j["n"]);
  EXPECT_EQ(5.0, j["comparison_khz"]);
  EXPECT_NEAR(-1000, j["error_hz"].get<double>(), 1e-3);
  EXPECT_NEAR(-1000, j["error_ppb"].get<double>(), 1e-2);
  EXPECT_TRUE(j["fault"].is_null());
  EXPECT_TRUE(j["message"].is_null());
  std::vector<std::string> keys;
  const auto in_order = nlohmann::ordered_json::parse(r.out);
  for (const auto& item : in_order.items()) keys.push_back(item.key());
  EXPECT_EQ((std::vector<std::string>{"rf_out", "mult", "ref", "min_fc", "max_fc",
                                      "rf_source", "report", "exact", "r", "n",
                                      "comparison_khz", "error_hz", "error_ppb",
                                      "fault", "message"}),
            keys);
}

TEST(CliJson, AFaultLeavesNullsWhereTheRunDidNotGet) {
  const ProcessResult r = Cli({"--rf-out", "1000", "--mult", "0", "--json"});
  EXPECT_EQ(1, r.exit_code);
  const Json j = JsonLines(r.out).at(0);
  EXPECT_EQ("", j["rf_source"]);
  EXPECT_EQ("", j["report"]);
  EXPECT_TRUE(j["exact"].is_null());
  EXPECT_TRUE(j["r"].is_null());
  EXPECT_EQ("division by zero", j["fault"]);
  EXPECT_NE(std::string::npos,
            j["message"].get<std::string>().find("multiplication factor is 0"));

  const Json no_pair =
      JsonLines(Cli({"--rf-out", "1000", "--min-fc", "100", "--max-fc", "5",
                     "--json"}).out).at(0);
  EXPECT_EQ(" 1000", no_pair["rf_source"]);
  EXPECT_EQ(false, no_pair["exact"]);
  EXPECT_EQ(0, no_pair["r"]);
  EXPECT_TRUE(no_pair["comparison_khz"].is_null());
  EXPECT_EQ("division by zero", no_pair["fault"]);
}

TEST(CliBatch, AnswersEveryLineInOrderAndReportsUnreadableOnes) {
  const ProcessResult r = Cli(
      {"--batch"},
      "{\"rf_out\": \"1000\"}\n"
      "\n"
      "{\"rf_out\": 1000.001, \"max_fc\": 100}\n"
      "not json\n"
      "[1, 2]\n"
      "{\"rf_out\": \"1000\", \"color\": \"red\"}\n"
      "{\"rf_out\": true}\n"
      "{\"rf_out\": \"1000\", \"mult\": \"0\"}\r\n"
      "\xff\xfe\n"
      "{\"rf_out\": \"10000\", \"mult\": 4}");
  EXPECT_EQ(1, r.exit_code);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(9u, lines.size());
  EXPECT_TRUE(lines[0]["report"].get<std::string>().ends_with(
      "\r\nR  0x64  N  0x2710"));
  EXPECT_EQ("1000.001", lines[1]["rf_out"]);
  EXPECT_EQ(2000, lines[1]["r"]);
  EXPECT_EQ(4, lines[2]["line"]);
  EXPECT_NE(std::string::npos, lines[2]["error"].get<std::string>().find("not valid JSON"));
  EXPECT_EQ(5, lines[3]["line"]);
  EXPECT_EQ(6, lines[4]["line"]);
  EXPECT_NE(std::string::npos, lines[4]["error"].get<std::string>().find("color"));
  EXPECT_EQ(7, lines[5]["line"]);
  EXPECT_EQ("division by zero", lines[6]["fault"]);
  EXPECT_EQ(9, lines[7]["line"]);
  EXPECT_EQ(" 2500", lines[8]["rf_source"]);
}

TEST(CliBatch, UnreadableStandardInputEndsTheBatchWithStatusFour) {
  const ProcessResult folder = CliInShell("\"$@\" </tmp", {"--batch"});
  EXPECT_EQ(4, folder.exit_code);
  EXPECT_EQ("synthfactors-cli: cannot read the input: Is a directory\n", folder.err);
  const ProcessResult closed = CliInShell("\"$@\" <&-", {"--batch"});
  EXPECT_EQ(4, closed.exit_code);
  EXPECT_EQ("synthfactors-cli: cannot read the input: Bad file descriptor\n", closed.err);
}

TEST(CliBatch, NulBytesAndDeepNestingAreUnreadableLines) {
  std::string error;
  EXPECT_FALSE(ReadBatchLine(std::string("{\"rf_out\":\"1000\"}\0 x", 21), error));
  EXPECT_EQ("not valid JSON: a NUL byte at column 18", error);
  EXPECT_FALSE(ReadBatchLine(std::string("{\"rf_out\":\"10\0\"}", 16), error));
  EXPECT_FALSE(ReadBatchLine(std::string(500000, '['), error));
  EXPECT_EQ(0u, error.find("nested more than 64 levels deep"));
  // A member may hold nothing deeper than a number, but depth is no fault of
  // its own up to the limit.
  EXPECT_FALSE(ReadBatchLine("{\"rf_out\":" + std::string(63, '[') + std::string(63, ']') + "}",
                             error));
  EXPECT_EQ("member \"rf_out\" must be a string or a number", error);
}

TEST(CliBatch, NumbersBeyondTheDoubleRangeAreUnreadableLines) {
  const ProcessResult r =
      Cli({"--batch"}, "{\"rf_out\":100E10000.01}\n{\"rf_out\":\"1e999\"}\n");
  EXPECT_EQ(1, r.exit_code);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(1, lines[0]["line"]);
  EXPECT_NE(std::string::npos, lines[0]["error"].get<std::string>().find("not valid JSON"));
  EXPECT_EQ("overflow", lines[1]["fault"]);  // as text it is read like the window
}

TEST(CliBatch, AllLinesReadableExitsZero) {
  const ProcessResult r = Cli({"--batch"}, "{}\n{\"rf_out\":\"1000\"}\n");
  EXPECT_EQ(0, r.exit_code);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("", lines[0]["rf_source"]);  // RF Output empty: nothing to do
  EXPECT_TRUE(lines[0]["fault"].is_null());
}

TEST(CliSweep, CsvWithExactGridTexts) {
  const ProcessResult r = Cli({"--sweep", "10368:10368.1:0.025", "--mult", "4"});
  EXPECT_EQ(0, r.exit_code);
  EXPECT_EQ(
      "rf_out,rf_source,r,n,r_hex,n_hex,comparison_khz,error_hz,error_ppb,exact,fault\n"
      "10368, 2592,100,25920,64,6540,100,0,0,true,\n",
      r.out.substr(0, r.out.find('\n', 88) + 1));
  EXPECT_NE(std::string::npos, r.out.find("\n10368.025, 2592.00625,"));
  EXPECT_NE(std::string::npos, r.out.find("\n10368.1, 2592.025,"));
  EXPECT_EQ(6, std::count(r.out.begin(), r.out.end(), '\n'));
}

TEST(CliSweep, DividersAreWholeNumbersInEveryFormat) {
  const ProcessResult csv = Cli({"--sweep", "10000000:10000000:1"});
  EXPECT_NE(std::string::npos, csv.out.find("\n10000000, 10000000,100,100000000,64,5F5E100,"));
  const Json json = JsonLines(Cli({"--sweep", "10000000:10000000:1", "--json"}).out).at(0);
  EXPECT_EQ("100000000", json["n"].dump());
}

TEST(CliSweep, JsonLinesAndFaultingPoints) {
  const ProcessResult r = Cli({"--sweep", "-1:1:1", "--json"});
  EXPECT_EQ(0, r.exit_code);
  const std::vector<Json> lines = JsonLines(r.out);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("-1", lines[0]["rf_out"]);
  EXPECT_EQ("0", lines[1]["rf_out"]);
  EXPECT_EQ("", lines[1]["rf_source"]);
  EXPECT_EQ("1", lines[2]["rf_out"]);
}

TEST(CliSweep, BadRangesAreUsageErrors) {
  for (const char* range : {"1:2", "a:b:c", "1:2:0", "1:2:-1", "2:1:1",
                            "0:10000000:1", "1e3:2e3:1", ""}) {
    const ProcessResult r = Cli({"--sweep", range});
    EXPECT_EQ(2, r.exit_code) << range;
    EXPECT_EQ("", r.out) << range;
    EXPECT_NE(std::string::npos, r.err.find("--sweep")) << range;
  }
}

TEST(CliPlanning, NoiseLineAndAlternativesTableAfterTheReport) {
  const ProcessResult r = Cli({"--rf-out", "1000", "--alternatives", "2", "--fom", "-220"});
  EXPECT_EQ(0, r.exit_code);
  EXPECT_NE(std::string::npos,
            r.out.find("R  0x64  N  0x2710\nIn-band phase noise  -90.0 dBc/Hz\n\n"
                       "rank    R      N  comparison kHz  error Hz  error ppb  exact  R hex"
                       "  N hex  phase noise dBc/Hz\n"
                       "   1  100  10000            100.        0.          0    yes     64"
                       "   2710               -90.0\n"
                       "   2  101  10100         99.0099        0.          0    yes     65"
                       "   2774               -90.0\n"))
      << r.out;

  const Json j = JsonLines(Cli({"--rf-out", "1000.001", "--alternatives", "3", "--fom", "-220",
                                "--r-range", "1:1999", "--json"}).out).at(0);
  EXPECT_EQ("1:1999", j["r_range"]);
  EXPECT_EQ(1999, j["r"]);
  ASSERT_EQ(3u, j["alternatives"].size());
  const Json& first = j["alternatives"][0];
  EXPECT_EQ(1, first["rank"]);
  for (const char* key : {"r", "n", "comparison_khz", "error_hz", "error_ppb", "exact", "r_hex",
                          "n_hex", "phase_noise_dbc_hz"}) {
    EXPECT_TRUE(first.contains(key)) << key;
  }
  EXPECT_TRUE(j["phase_noise_dbc_hz"].is_number());
}

TEST(CliPlanning, CommonRSweepReportsItsChoiceFirst) {
  const std::vector<std::string> plan = {"--sweep", "10368:10368.1:0.025", "--mult", "4",
                                         "--min-fc", "1"};
  std::vector<std::string> csv_args = plan;
  csv_args.push_back("--common-r");
  const ProcessResult csv = Cli(csv_args);
  EXPECT_EQ(0, csv.exit_code);
  EXPECT_EQ(0u, csv.out.find("# common R 1600, comparison 6.25 kHz, 5 of 5 channels exact, "));
  EXPECT_NE(std::string::npos, csv.out.find("\n10368.1, 2592.025,1600,414724,640,65404,6.25,"));
  EXPECT_EQ("synthfactors-cli: " + csv.out.substr(2, csv.out.find('\n') - 2) + "\n", csv.err);

  std::vector<std::string> json_args = csv_args;
  json_args.push_back("--json");
  const std::vector<Json> lines = JsonLines(Cli(json_args).out);
  ASSERT_EQ(6u, lines.size());
  EXPECT_EQ(1600, lines[0]["common_r"]);
  EXPECT_EQ(5, lines[0]["exact_channels"]);
  EXPECT_EQ(5, lines[0]["channels"]);
  EXPECT_EQ(1600, lines[5]["r"]);

  const ProcessResult none = Cli({"--sweep", "0:1:1", "--common-r"});
  EXPECT_EQ(1, none.exit_code);
  EXPECT_EQ("", none.out);
  EXPECT_NE(std::string::npos, none.err.find("reaches the channel 0 MHz"));
}

TEST(CliPlanning, BadValuesAreUsageErrorsNamingTheOption) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--r-range", "0:10"}, {"--r-range", "10:5"}, {"--r-range", "1.5:9"},
      {"--r-range", "7"},    {"--n-range", "9:1"},  {"--n-range", "x:y"},
      {"--alternatives", "0"}, {"--alternatives", "1001"}, {"--alternatives", "2x"},
      {"--fom", "low"},      {"--fom", ""}};
  for (const auto& [option, value] : cases) {
    const ProcessResult r = Cli({"--rf-out", "1000", option, value});
    EXPECT_EQ(2, r.exit_code) << option << " " << value;
    EXPECT_EQ(0u, r.err.find(option)) << r.err;
  }
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--r-range", "1000001:2000000"}).exit_code);
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--r-range", "1:2147483647"}).exit_code);
  EXPECT_EQ(2, Cli({"--rf-out", "1000", "--common-r"}).exit_code);
  EXPECT_EQ(2, Cli({"--sweep", "1:2:1", "--alternatives", "3"}).exit_code);
  const std::vector<Json> batch =
      JsonLines(Cli({"--batch"}, "{\"rf_out\":\"1000\",\"r_range\":\"5:1\"}\n").out);
  EXPECT_EQ(0u, batch.at(0)["error"].get<std::string>().find("r_range takes MIN:MAX"));
}

TEST(CliPlanning, TheMessageNamesTheNRangeAsGiven) {
  for (const std::string range : {"4294967296:9223372036854775807",
                                  "-9223372036854775808:-9223372036854775000"}) {
    const ProcessResult r = Cli({"--rf-out", "1000", "--n-range", range});
    EXPECT_EQ(1, r.exit_code);
    const std::string given = "N from " + range.substr(0, range.find(':')) + " to " +
                              range.substr(range.find(':') + 1) + ".";
    EXPECT_NE(std::string::npos, r.err.find(given)) << r.err;
  }
}

TEST(CliPlanning, PlainAndJsonTellTheSameStoryWhenNIsTooLargeForARegister) {
  const std::vector<std::string> args = {"--rf-out", "100000", "--ref", "0.001",
                                         "--min-fc", "0.0000001", "--max-fc", "0.001",
                                         "--alternatives", "3", "--fom", "-221"};
  const ProcessResult plain = Cli(args);
  EXPECT_EQ(1, plain.exit_code);
  EXPECT_NE(std::string::npos, plain.out.find("No Error\nIn-band phase noise  -1.0 dBc/Hz\n\nrank"))
      << plain.out;
  EXPECT_NE(std::string::npos, plain.out.find("\n   3  1002  100200000000"));
}

TEST(CliPlanning, TheAlternativesTablePadsByCharacters) {
  runner::RunInputs inputs;
  inputs.rf_out = "1000.001";
  runner::PlanOptions plan;
  plan.alternatives = 3;
  plan.fom = -220;
  const runner::RunResult result = runner::RunOnce(inputs, "\u066B", plan);
  const std::string table = formats::AlternativesTable(result, "\u066B");
  std::vector<std::size_t> widths;
  for (std::size_t start = 0, end; (end = table.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = table.substr(start, end - start);
    widths.push_back(std::count_if(line.begin(), line.end(),
                                   [](char c) { return (c & 0xC0) != 0x80; }));
  }
  ASSERT_EQ(4u, widths.size());
  EXPECT_EQ(std::vector<std::size_t>(4, widths[0]), widths) << table;
}

// A plan asking for more channel-and-R trials than the bound is refused at
// once, naming its numbers.
TEST(CliCommonR, APlanBeyondTheBoundIsAUsageError) {
  const ProcessResult r = Cli({"--sweep", "1000:1000.1:0.0000001", "--ref", "13.7", "--min-fc",
                               "0.00001", "--max-fc", "1e9", "--common-r"});
  EXPECT_EQ(2, r.exit_code);
  EXPECT_EQ("", r.out);
  EXPECT_NE(std::string::npos,
            r.err.find("one R for 1000001 channels against 1000000 admitted reference "
                       "dividers means 1000001000000 trials, more than the 50000000000"))
      << r.err;
}

// 2001 channels that each some R reaches but no R reaches all: the choice,
// then the search for a channel to name, take a few seconds.
const std::vector<std::string> kSlowPlan = {
    "--sweep", "1000:1000.02:0.00001", "--min-fc", "0.00001", "--max-fc", "1e9",
    "--n-range", "99999950:100000050", "--common-r"};

TEST(CliInterrupt, TheChoiceShowsProgressAndStopsOnCtrlC) {
  child_process::ProcessOptions options;
  options.terminal = child_process::ProcessOptions::Terminal::kErrorOnly;
  options.interrupt_after_ms = 1500;
  std::vector<std::string> args = kSlowPlan;
  args.insert(args.begin(), SYNTHFACTORS_CLI_PATH);
  const ProcessResult r = child_process::RunProcess(args, "", {"LC_ALL=C"}, options);
  EXPECT_EQ(130, r.exit_code);
  EXPECT_EQ("", r.out);
  // The progress line (R tried, or channels) with its rate; the time left
  // follows once a first block is done, which a loaded machine may not
  // reach before the interrupt.
  EXPECT_NE(std::string::npos, r.err.find("/s")) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("synthfactors-cli: interrupted after ")) << r.err;
}

TEST(CliInterrupt, ASweepStopsAfterWholeLines) {
  child_process::ProcessOptions options;
  options.interrupt_after_ms = 500;
  const ProcessResult r = child_process::RunProcess(
      {SYNTHFACTORS_CLI_PATH, "--sweep", "1000:1999.9999:0.0001"}, "", {"LC_ALL=C"}, options);
  EXPECT_EQ(130, r.exit_code);
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ('\n', r.out.back());
  const auto lines = std::count(r.out.begin(), r.out.end(), '\n');
  EXPECT_EQ(lines * 10, std::count(r.out.begin(), r.out.end(), ','));  // 11 fields a line
  EXPECT_LT(lines, 10000001);
  EXPECT_EQ(0u, r.err.find("synthfactors-cli: interrupted after ")) << r.err;
}

// Rows on the terminal would be broken by the progress line.
TEST(CliProgress, NeverOnTheTerminalTheRowsGoTo) {
  int terminal = -1, terminal_child = -1;
  ASSERT_EQ(0, openpty(&terminal, &terminal_child, nullptr, nullptr, nullptr));
  const int saved_out = dup(STDOUT_FILENO), saved_err = dup(STDERR_FILENO);
  const int null = open("/dev/null", O_WRONLY);
  std::cout.flush();
  dup2(terminal_child, STDERR_FILENO);
  dup2(terminal_child, STDOUT_FILENO);
  const bool shown_with_rows = cli::Progress::TerminalOrNull(std::cerr) != nullptr;
  dup2(null, STDOUT_FILENO);
  const bool shown_alone = cli::Progress::TerminalOrNull(std::cerr) != nullptr;
  dup2(saved_out, STDOUT_FILENO);
  dup2(saved_err, STDERR_FILENO);
  for (const int fd : {saved_out, saved_err, null, terminal, terminal_child}) close(fd);
  EXPECT_FALSE(shown_with_rows);
  EXPECT_TRUE(shown_alone);
}

// scripts/test generates the German locale; without it these fail.
TEST(CliLocale, TheReportTakesTheLocaleDecimalSymbolTheSourceKeepsThePoint) {
  const std::vector<std::string> args = {"--rf-out", "1234.5678", "--ref", "13",
                                         "--min-fc", "10", "--max-fc", "200"};
  const std::string german =
      "RF Source Frequency 1234.5678 MHz\n\nReference / 1143\nRF   / 108547\n"
      "Comparison freq  11,37358kHz\nError  4,024Hz        3* 10^-9\n\n"
      "Hex divider values \nR  0x477  N  0x1A803\n";
  EXPECT_EQ(german, Cli(args, "", {"LC_ALL=de_DE.UTF-8"}).out);
  EXPECT_EQ(german, Cli(args, "", {"LC_ALL=", "LC_NUMERIC=de_DE.UTF-8"}).out);
  // LC_ALL overrides LC_NUMERIC.
  EXPECT_NE(std::string::npos,
            Cli(args, "", {"LC_ALL=C", "LC_NUMERIC=de_DE.UTF-8"}).out.find("11.37358kHz"));
}

}  // namespace
}  // namespace synthfactors
