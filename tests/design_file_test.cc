// Designs: the planner's inputs in a file, read back whole, refused with the
// member named, and run by `synthfactors-cli --plan` with --sweep's bytes.
#include <unistd.h>

#include <fstream>
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "chip_file.h"
#include "design_file.h"
#include "process.h"

namespace synthfactors {
namespace {

using formats::Design;
using runner::Input;

child_process::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), SYNTHFACTORS_CLI_PATH);
  return child_process::RunProcess(args, "", {"LC_ALL=C"});
}

// A file of its own in the temporary folder, removed at the end.
class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    char name[] = "/tmp/design-test-XXXXXX";
    const int fd = mkstemp(name);
    ::close(fd);
    path_ = name;
    std::ofstream(path_, std::ios::binary) << text;
  }
  ~TempFile() { ::unlink(path_.c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string Error(std::string_view json) {
  std::string error;
  EXPECT_FALSE(formats::DesignFromJson(json, error)) << json;
  return error;
}

std::string CheckFaults(std::string_view json) {
  std::string error;
  const auto design = formats::DesignFromJson(json, error);
  EXPECT_TRUE(design) << error;
  if (!design) return error;
  const auto checked = formats::CheckDesign(*design, formats::LoadChip);
  const auto* faults = std::get_if<std::string>(&checked);
  return faults ? *faults : "";
}

TEST(DesignFile, WrittenAndReadBackWhole) {
  Design design;
  design.sweep = "10368:10370:0.025";
  design.texts[Input::kMult] = "4";
  design.texts[Input::kRef] = "10";
  design.texts[Input::kChip] = "adf4106";
  design.texts[Input::kPrescaler] = "16";
  design.texts.Flag(Input::kRegisters) = true;
  design.common_r = true;
  const std::string json = formats::DesignJson(design);
  EXPECT_EQ(
      "{\n  \"sweep\": \"10368:10370:0.025\",\n  \"mult\": \"4\",\n  \"ref\": \"10\",\n"
      "  \"chip\": \"adf4106\",\n  \"prescaler\": \"16\",\n  \"registers\": true,\n"
      "  \"common_r\": true\n}\n",
      json);
  std::string error;
  const auto back = formats::DesignFromJson(json, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(design.sweep, back->sweep);
  EXPECT_TRUE(back->common_r);
  EXPECT_EQ("16", back->texts[Input::kPrescaler]);
  EXPECT_EQ(true, back->texts.Flag(Input::kRegisters));
  // The boxes left out take their start texts, as in a batch line.
  EXPECT_EQ("5", back->texts[Input::kMinFc]);
  EXPECT_FALSE(back->texts[Input::kFom]);

  TempFile file("");
  EXPECT_EQ("", formats::WriteDesign(file.path(), design));
  const auto read = formats::ReadDesign(file.path(), error);
  ASSERT_TRUE(read) << error;
  EXPECT_EQ(formats::DesignJson(*back), formats::DesignJson(*read));
}

TEST(DesignFile, RefusedWithTheMemberNamed) {
  EXPECT_EQ("member \"sweep\" is missing: the band as \"FROM:TO:STEP\" in MHz",
            Error(R"({"mult": "4"})"));
  EXPECT_EQ("member \"sweep\" must be a string such as \"10368:10370:0.025\"",
            Error(R"({"sweep": 5})"));
  EXPECT_EQ("member \"common_r\" must be true or false", Error(R"({"sweep": "1:2:1", "common_r": 1})"));
  EXPECT_EQ("member \"registers\" must be true or false",
            Error(R"({"sweep": "1:2:1", "registers": "yes"})"));
  EXPECT_EQ("member \"chip\" must be a string such as \"adf4106\"",
            Error(R"({"sweep": "1:2:1", "chip": 4106})"));
  EXPECT_NE(std::string::npos,
            Error(R"({"sweep": "1:2:1", "rf_out": "5"})").find("unknown member \"rf_out\""));
  EXPECT_NE(std::string::npos, Error(R"({"sweep": "1:2:1", "sweep": "1:3:1"})").find("twice"));
  EXPECT_EQ("a design is one JSON object, such as {\"sweep\": \"10368:10370:0.025\"}",
            Error("[1, 2]"));
  EXPECT_NE(std::string::npos, Error("{\"sweep\": ").find("not valid JSON"));
  // Saved as UTF-16, with or without its byte-order mark; a NUL elsewhere
  // is named where it is.
  using namespace std::string_literals;
  EXPECT_EQ("not valid JSON: the text is UTF-16; save it as UTF-8",
            Error("\xFF\xFE{\0\"\0s\0"s));
  EXPECT_EQ("not valid JSON: the text is UTF-16; save it as UTF-8", Error("{\0\"\0s\0"s));
  EXPECT_EQ("not valid JSON: a NUL byte at column 4", Error("{\"s\0\": 1}"s));
}

TEST(DesignFile, ValuesCheckedAsThePlannerChecksItsForm) {
  EXPECT_EQ("", CheckFaults(R"({"sweep": "10368:10370:0.025", "mult": 4})"));
  EXPECT_EQ("sweep: STEP must be greater than 0", CheckFaults(R"({"sweep": "1:2:0"})"));
  EXPECT_EQ("sweep takes \"FROM:TO:STEP\", three decimal numbers in MHz, for example "
            "\"10368:10370:0.025\"",
            CheckFaults(R"({"sweep": "1:2"})"));
  // The planner's strict reading: one decimal number, a factor not 0.
  EXPECT_EQ("mult must not be 0", CheckFaults(R"({"sweep": "1:2:1", "mult": "0"})"));
  EXPECT_NE(std::string::npos,
            CheckFaults(R"({"sweep": "1:2:1", "ref": "10MHz"})").find("ref \"10MHz\" is not a number"));
  // Every fault at once, one a line.
  const std::string both = CheckFaults(R"({"sweep": "1:2:0", "fom": "x"})");
  EXPECT_EQ(0U, both.find("sweep: STEP must be greater than 0\nfom \"x\" is not a number")) << both;
}

TEST(CliPlan, RunsADesignWithTheSweepsBytes) {
  TempFile design(R"({"sweep": "10368:10368.1:0.025", "mult": "4", "ref": "10", "min_fc": "1",
                      "max_fc": "1000", "chip": "adf4106", "registers": true})");
  const std::vector<std::string> sweep = {"--sweep", "10368:10368.1:0.025", "--mult", "4",
                                          "--ref", "10", "--min-fc", "1", "--max-fc", "1000",
                                          "--chip", "adf4106", "--registers"};
  const auto planned = Cli({"--plan", design.path()});
  EXPECT_EQ(0, planned.exit_code) << planned.err;
  EXPECT_EQ(Cli(sweep).out, planned.out);
  auto sweep_json = sweep;
  sweep_json.push_back("--json");
  EXPECT_EQ(Cli(sweep_json).out, Cli({"--plan", design.path(), "--json"}).out);

  TempFile one_r(R"({"sweep": "10368:10368.1:0.025", "mult": "4", "min_fc": "1",
                     "max_fc": "1000", "common_r": true})");
  const auto common = Cli({"--sweep", "10368:10368.1:0.025", "--mult", "4", "--min-fc", "1",
                           "--max-fc", "1000", "--common-r"});
  const auto planned_one_r = Cli({"--plan", one_r.path()});
  EXPECT_EQ(common.out, planned_one_r.out);
  EXPECT_EQ(common.err, planned_one_r.err);
}

TEST(CliPlan, ABadDesignIsAUsageErrorNamingFileAndMember) {
  TempFile bad(R"({"sweep": "1:2:0", "fom": "x"})");
  const auto run = Cli({"--plan", bad.path()});
  EXPECT_EQ(2, run.exit_code);
  EXPECT_EQ("", run.out);
  EXPECT_NE(std::string::npos,
            run.err.find("design " + bad.path() + ": sweep: STEP must be greater than 0\n"
                         "design " + bad.path() + ": fom \"x\" is not a number"))
      << run.err;
  EXPECT_NE(std::string::npos, Cli({"--plan", "/tmp"}).err.find("a directory, not a file"));
  EXPECT_NE(std::string::npos, Cli({"--plan", bad.path(), "--mult", "3"}).err.find("excludes"));
}

}  // namespace
}  // namespace synthfactors
