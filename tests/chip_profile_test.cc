// Chip profiles on the command line: the shipped ones, a user's file, every
// way a profile can be wrong, and what a chip changes in the output.
#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "chip_file.h"
#include "process.h"

namespace synthfactors {
namespace {

using child_process::ProcessResult;

ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), SYNTHFACTORS_CLI_PATH);
  return child_process::RunProcess(args, "", {"LC_ALL=C"});
}

// A profile file in the test's scratch folder, removed with the object. Its
// name carries the test's, since CTest runs tests side by side, each in a
// process of its own.
class ProfileFile {
 public:
  explicit ProfileFile(const std::string& text)
      : path_(testing::TempDir() + "profile-" +
              testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
              std::to_string(++count_) + ".json") {
    std::ofstream(path_) << text;
  }
  ~ProfileFile() { std::remove(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  static inline int count_ = 0;
  std::string path_;
};

const std::string kPlain =
    R"({"name": "mine", "description": "d", "source": "s", "r": {"min": 1, "max": 255},
        "n": {"counter": "plain", "min": 16, "max": 65535}})";

TEST(ChipProfile, TheShippedOnesReadAndAUsersFileToo) {
  for (const char* name : {"adf4106", "adf4351-int", "max2870-int"}) {
    std::string error;
    const auto chip = formats::LoadChip(name, error);
    ASSERT_TRUE(chip) << error;
    EXPECT_EQ(name, chip->name);
    EXPECT_FALSE(chip->source.empty());
  }
  const ProfileFile mine(kPlain);
  const ProcessResult r = Cli({"--rf-out", "1000", "--chip", mine.path()});
  EXPECT_EQ(0, r.exit_code) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("Reference / 100\n")) << r.out;
  EXPECT_EQ(0u, Cli({"--list-chips"}).out.find("adf4106: "));
}

TEST(ChipProfile, EachFaultNamesTheFileAndTheMember) {
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not valid JSON"},
      {"[1]", "must be an object"},
      {R"({"name": "x", "description": "d", "r": {"min": 1, "max": 2}, "n": {}})",
       "\"source\" is missing"},
      {R"({"name": "x", "description": "d", "source": "s", "colour": 1,
           "r": {"min": 1, "max": 2}, "n": {}})",
       "\"colour\" is not a member"},
      {R"({"name": "x", "description": "d", "source": "s", "r": "1:2", "n": {}})",
       "\"r\" must be an object"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 20, "max": 10},
           "n": {"counter": "plain", "min": 1, "max": 2}})",
       "\"r\" has min 20 above max 10"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 1.5},
           "n": {"counter": "plain", "min": 1, "max": 2}})",
       "\"r.max\" must be a whole number"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "triple"}})",
       "\"n.counter\" must be \"plain\" or \"dual-modulus\""},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "dual-modulus", "a": {"min": 0, "max": 7},
                 "b": {"min": 3, "max": 99}, "prescalers": []}})",
       "\"n.prescalers\" must be a list of one or more prescalers"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "plain", "min": 1, "max": 2}, "comparison_khz": {"max": -5}})",
       "\"comparison_khz\" must not be negative"},
      // Members the reader used to take without a word.
      {R"({"name": "x", "name": "y", "description": "d", "source": "s",
           "r": {"min": 1, "max": 2}, "n": {"counter": "plain", "min": 1, "max": 2}})",
       "member \"name\" is given twice in one object"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "plain", "min": 1, "max": 2,
                 "prescalers": [{"p": 4, "min": 23, "max": 65535}]}})",
       "gives both an N range (min, max) and prescalers"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2000000},
           "n": {"counter": "plain", "min": 1, "max": 2}})",
       "\"r.max\" must not be above 1000000"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "dual-modulus", "a": {"min": 0, "max": 7}, "b": {"min": 3, "max": 99},
                 "prescalers": [{"p": 2}]}})",
       "\"n.prescalers[0].p\" must be a whole number from 3 to 1000000"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "dual-modulus", "a": {"min": 0, "max": 7}, "b": {"min": 3, "max": 99},
                 "prescalers": [{"p": 1099511627776}]}})",
       "\"n.prescalers[0].p\" must be a whole number from 3 to 1000000"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "dual-modulus", "a": {"min": 0, "max": 7}, "b": {"min": 3, "max": 99},
                 "prescalers": [{"p": 8, "up_to_mhz": 0}, {"p": 16}]}})",
       "\"n.prescalers[0].up_to_mhz\" must be above 0 MHz"},
      {R"({"name": "x\nRF   / 1", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "plain", "min": 1, "max": 2}})",
       "\"name\" holds a control character"},
      {R"({"name": "x", "description": "\u001b[2J", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "plain", "min": 1, "max": 2}})",
       "\"description\" holds a control character"},
      {R"({"name": "x", "description": "d", "source": "s", "r": {"min": 1, "max": 2},
           "n": {"counter": "plain", "min": 1, "max": 2}, "fom": 1e308})",
       "\"fom\" must be from -250 to -150 dBc/Hz"},
      {"{\"name\": \"\xff\x1b\"}", "\\xFF"},
  };
  for (const auto& [text, problem] : cases) {
    const ProfileFile file(text);
    const ProcessResult r = Cli({"--rf-out", "1000", "--chip", file.path()});
    EXPECT_EQ(2, r.exit_code) << text;
    EXPECT_EQ("", r.out);  // nothing runs with half a profile
    EXPECT_EQ(0u, r.err.find("chip profile " + file.path() + ": ")) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(problem)) << r.err;
  }
  EXPECT_NE(std::string::npos, Cli({"--rf-out", "1", "--chip", "nothing"}).err.find(
                                   "not a shipped profile (adf4106, adf4351-int, adf4351, adf5356, lmx2594, max2870-int, max2870)"));
  // A batch line naming a device reads nothing from it: not the batch's
  // own input, and not a pipe that never ends.
  const ProcessResult batch = child_process::RunProcess(
      {SYNTHFACTORS_CLI_PATH, "--batch"},
      "{\"rf_out\":\"1000\",\"chip\":\"/dev/stdin\"}\n{\"rf_out\":\"1000\"}\n", {"LC_ALL=C"});
  EXPECT_EQ(2, std::count(batch.out.begin(), batch.out.end(), '\n')) << batch.out;
  EXPECT_NE(std::string::npos, batch.out.find("no file that can be read (a pipe, not a file)"))
      << batch.out;
}

TEST(ChipOutput, FiguresAndOptionsAtTheEdgesAreRefusedOrWrittenPlainly) {
  // A factor of 0 or an absurd noise figure is a usage error with the range.
  ProcessResult r = Cli({"--rf-out", "3300", "--fom", "-221", "--flicker", "4000"});
  EXPECT_EQ(2, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find("--flicker must be from -350 to -200 dBc/Hz, not 4000"));
  r = Cli({"--rf-out", "3300", "--flicker", "-260"});
  EXPECT_EQ(2, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find("--flicker needs a figure of merit")) << r.err;
  // "--rf-out=" is the empty text, not the next word.
  r = Cli({"--rf-out=", "--mult=1", "--json"});
  EXPECT_EQ(1, r.exit_code) << r.err;  // nothing to calculate, as an empty box
  EXPECT_NE(std::string::npos, r.out.find("\"rf_out\":\"\",\"mult\":\"1\"")) << r.out;
  // An offset in exponent form reads as its digits do, and shows in MHz.
  r = Cli({"--rf-out", "3300", "--fom", "-221", "--flicker", "-260", "--offset", "1e7"});
  EXPECT_EQ(Cli({"--rf-out", "3300", "--fom", "-221", "--flicker", "-260", "--offset",
                 "10000000"}).out, r.out);
  EXPECT_NE(std::string::npos, r.out.find(" at 10 MHz (floor ")) << r.out;
  // --list-chips with anything else is a usage error.
  EXPECT_EQ(2, Cli({"--list-chips", "--fom", "-221"}).exit_code);
  // The largest N a dual-modulus prescaler forms is P x B_max + P - 1.
  r = Cli({"--rf-out", "5", "--ref", "100", "--max-fc", "50", "--chip", "adf4106",
           "--r-range", "1:100"});
  EXPECT_NE(std::string::npos, r.err.find("N from 24 to 65535 that the 8/9 prescaler")) << r.err;
  // German notes use the report's decimal comma.
  const ProcessResult german = child_process::RunProcess(
      {SYNTHFACTORS_CLI_PATH, "--rf-out", "2.5", "--chip", "adf4106"}, "",
      {"LC_ALL=de_DE.UTF-8"});
  EXPECT_NE(std::string::npos, german.out.find("source frequency 2,5 MHz")) << german.out;
  const ProcessResult noise = child_process::RunProcess(
      {SYNTHFACTORS_CLI_PATH, "--rf-out", "3300", "--fom", "-221", "--flicker", "-262"}, "",
      {"LC_ALL=de_DE.UTF-8"});
  EXPECT_NE(std::string::npos, noise.out.find("(floor -80,6; flicker -111,6)")) << noise.out;
}

TEST(ChipOutput, NoCountersAfterAReportTheRegistersCannotHold) {
  const ProfileFile big(
      R"({"name": "big", "description": "d", "source": "s", "r": {"min": 1, "max": 1000000},
          "n": {"counter": "dual-modulus", "a": {"min": 0, "max": 63},
                "b": {"min": 3, "max": 1099511627776}, "prescalers": [{"p": 8}]}})");
  const ProcessResult r =
      Cli({"--rf-out", "30000", "--min-fc", "0.001", "--max-fc", "0.01", "--chip", big.path()});
  EXPECT_EQ(1, r.exit_code);
  EXPECT_NE(std::string::npos, r.err.find("N does not fit in 32 bits")) << r.err;
  EXPECT_EQ(std::string::npos, r.out.find("Counters")) << r.out;
}

TEST(ChipProfile, ARangeWithOnlyALowerEndReadsAsOne) {
  const ProfileFile only_min(
      R"({"name": "n1", "description": "d", "source": "s", "r": {"min": 1, "max": 255},
          "n": {"counter": "plain", "min": 16, "max": 65535}, "source_mhz": {"min": 5000}})");
  const ProcessResult r = Cli({"--rf-out", "1000", "--chip", only_min.path()});
  EXPECT_NE(std::string::npos, r.out.find("outside the n1's range of 5000 MHz and above\n"))
      << r.out;
}

TEST(ChipProfile, WhatIsNoFileIsSaid) {
  const std::string dir = ::testing::TempDir() + "profile_kinds";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::filesystem::create_symlink(dir + "/loop", dir + "/loop");
  const auto reason = [](const std::string& path) {
    const std::string err = Cli({"--rf-out", "1000", "--chip", path}).err;
    const auto open = err.find("can be read (");
    return open == std::string::npos ? err : err.substr(open + 13, err.find(')', open) - open - 13);
  };
  EXPECT_EQ("a directory, not a file", reason(dir));
  EXPECT_EQ("no such file", reason(dir + "/none.json"));
  EXPECT_EQ("a loop of symbolic links", reason(dir + "/loop"));
  EXPECT_EQ("a device, not a file", reason("/dev/null"));
  std::filesystem::remove_all(dir);
}

TEST(ChipOutput, ADualModulusChipFormsItsOwnPairAndShowsItsCounters) {
  // The bare window's N 414721 (R 1600) needs B 25920 with P 16: beyond the
  // adf4106's 13-bit B counter, so another pair is chosen.
  const std::vector<std::string> args = {"--rf-out", "10368.025", "--mult", "4", "--max-fc",
                                         "200000"};
  EXPECT_NE(std::string::npos, Cli(args).out.find("Reference / 1600\nRF   / 414721\n"));
  std::vector<std::string> chip = args;
  chip.insert(chip.end(), {"--chip", "adf4106"});
  const ProcessResult r = Cli(chip);
  EXPECT_EQ(0, r.exit_code);
  EXPECT_NE(std::string::npos,
            r.out.find("Reference / 319\nRF   / 82685\n")) << r.out;
  EXPECT_NE(std::string::npos,
            r.out.find("R  0x13F  N  0x142FD\nCounters  P 16/17  B 0x142F  A 0xD\n"
                       "Note: the adf4106 compares at most 104000 kHz\n"));
  chip.push_back("--json");
  const auto json = nlohmann::json::parse(Cli(chip).out);
  EXPECT_EQ(16, json["prescaler"]);
  EXPECT_EQ(5167, json["b"]);
  EXPECT_EQ(13, json["a"]);
  EXPECT_EQ("Note: the adf4106 compares at most 104000 kHz", json["notes"][0]);

  const ProcessResult sweep =
      Cli({"--sweep", "3000:3000.5:0.5", "--chip", "adf4106", "--fom", "-220"});
  EXPECT_EQ(0u, sweep.out.find("rf_out,rf_source,r,n,r_hex,n_hex,comparison_khz,error_hz,"
                               "error_ppb,exact,fault,phase_noise_dbc_hz,prescaler,b,a,"
                               "output_divider,vco_mhz,feedback\n"
                               "3000, 3000,100,30000,64,7530,100,0,0,true,,"
                               "-80.45757490560675,16,1875,0,,3000,\n"))
      << sweep.out;
}

TEST(ChipOutput, FlickerNoiseAtAnOffset) {
  const ProcessResult at_10k = Cli({"--rf-out", "1000", "--fom", "-223", "--flicker", "-260"});
  EXPECT_NE(std::string::npos,
            at_10k.out.find("\nIn-band phase noise  -93.0 dBc/Hz at 10 kHz (floor -93.0, "
                            "flicker -120.0)\n"));
  const ProcessResult at_100 =
      Cli({"--rf-out", "1000", "--fom", "-223", "--flicker", "-260", "--offset", "100"});
  EXPECT_NE(std::string::npos,
            at_100.out.find("\nIn-band phase noise  -92.2 dBc/Hz at 100 Hz (floor -93.0, "
                            "flicker -100.0)\n"));
}

TEST(ChipOutput, APrescalerTheChipCannotUseIsAUsageError) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--rf-out", "3000", "--chip", "adf4106", "--prescaler", "7"},
           {"--rf-out", "3000", "--chip", "adf4106", "--prescaler", "8"},  // up to 2400 MHz
           {"--sweep", "2000:3000:500", "--chip", "adf4106", "--prescaler", "8"},
           {"--rf-out", "3000", "--prescaler", "16"}}) {
    const ProcessResult r = Cli(args);
    EXPECT_EQ(2, r.exit_code) << args.back();
    EXPECT_EQ(0u, r.err.find("--prescaler")) << r.err;
  }
  EXPECT_NE(std::string::npos,
            Cli({"--rf-out", "1000", "--chip", "adf4106", "--prescaler", "32"})
                .out.find("Counters  P 32/33"));
}

}  // namespace
}  // namespace synthfactors
