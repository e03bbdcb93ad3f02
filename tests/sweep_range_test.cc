#include <algorithm>
#include <sstream>
#include <variant>

#include <gtest/gtest.h>

#include "chip_file.h"
#include "input_fields.h"
#include "sweep_range.h"
#include "common_r_writer.h"
#include "sweep_writer.h"

namespace synthfactors::runner {
namespace {

SweepRange Parsed(std::string_view text) {
  std::string error;
  const auto range = SweepRange::Parse(text, error);
  EXPECT_TRUE(range) << text << ": " << error;
  return range.value_or(SweepRange());
}

std::string ErrorOf(std::string_view text) {
  std::string error;
  EXPECT_FALSE(SweepRange::Parse(text, error)) << text;
  return error;
}

TEST(SweepRange, PointsAreExactDecimals) {
  const SweepRange range = Parsed("10368:10370:0.025");
  EXPECT_EQ(81, range.PointCount());
  EXPECT_EQ("10368", range.PointText(0));
  EXPECT_EQ("10368.025", range.PointText(1));
  EXPECT_EQ("10368.1", range.PointText(4));
  EXPECT_EQ("10370", range.PointText(80));
}

TEST(SweepRange, SignsZeroAndLeadingPoints) {
  const SweepRange range = Parsed("-.5:+.5:.25");
  EXPECT_EQ(5, range.PointCount());
  EXPECT_EQ("-0.5", range.PointText(0));
  EXPECT_EQ("-0.25", range.PointText(1));
  EXPECT_EQ("0", range.PointText(2));
  EXPECT_EQ("0.5", range.PointText(4));
  EXPECT_EQ(1, Parsed("7:7:1").PointCount());
}

TEST(SweepRange, ToIsIncludedOnlyWhenOnTheGrid) {
  EXPECT_EQ(3, Parsed("1:1.29:0.1").PointCount());
  EXPECT_EQ(4, Parsed("1:1.3:0.1").PointCount());
}

TEST(SweepRange, CountLimitAndDigitLimit) {
  EXPECT_EQ(10'000'000, Parsed("0:9999999:1").PointCount());
  EXPECT_NE(std::string::npos, ErrorOf("0:10000000:1").find("10000000 points"));
  const std::string thirty(30, '9');
  EXPECT_EQ(thirty, Parsed(thirty + ":" + thirty + ":1").PointText(0));
  EXPECT_NE(std::string::npos, ErrorOf("1" + thirty + ":1:1").find("30 digits"));
  // The largest grid stays within 128 bits.
  const SweepRange wide = Parsed("-" + thirty + ":" + thirty + ":" + "2" + std::string(23, '0'));
  EXPECT_EQ(10'000'000, wide.PointCount());
  EXPECT_EQ("999999800000000000000000000001", wide.PointText(9'999'999));
}

TEST(SweepRange, MalformedRanges) {
  for (const char* text : {"", "1", "1:2", "1:2:3:4", "a:2:1", "1:2:", "1::1",
                           "1e3:2e3:1", "1 :2:1", "--1:2:1", "1.2.3:4:1"}) {
    EXPECT_NE(std::string::npos, ErrorOf(text).find("FROM:TO:STEP")) << text;
  }
  EXPECT_NE(std::string::npos, ErrorOf("1:2:0").find("STEP must be greater than 0"));
  EXPECT_NE(std::string::npos, ErrorOf("1:2:-0.5").find("STEP must be greater than 0"));
  EXPECT_NE(std::string::npos, ErrorOf("2:1:1").find("TO must not be below FROM"));
}

}  // namespace
}  // namespace synthfactors::runner

namespace synthfactors::formats {
namespace {

using runner::CheckedInputs;
using runner::Input;
using runner::InputTexts;
using runner::ReadInputs;
using runner::ReadSettings;
using runner::Reading;
using runner::RunInputs;
using runner::SweepRange;

TEST(Sweep, ThreadsChangeNothingInTheOutput) {
  std::string error;
  const auto range = SweepRange::Parse("10368:10393.6:0.0125", error);  // 2049 points
  RunInputs others;
  others.mult = "4";
  for (const SweepFormat format : {SweepFormat::kCsv, SweepFormat::kJsonLines}) {
    std::ostringstream one, three;
    WriteSweep(*range, others, {}, ".", format, one, 1);
    WriteSweep(*range, others, {}, ".", format, three, 3);
    const std::string text = one.str();
    EXPECT_EQ(text, three.str());
    EXPECT_EQ(2049 + (format == SweepFormat::kCsv ? 1 : 0),
              std::count(text.begin(), text.end(), '\n'));
  }
}

// A fractional band with its loop: the workers share the one filter model
// designed before they start, and each row is the same whatever the count.
TEST(Sweep, ThreadsShareTheBandsLoopModelAndChangeNothing) {
  std::string error;
  const auto range = SweepRange::Parse("2400:2404:0.0625", error);  // 65 points
  ASSERT_TRUE(range) << error;
  InputTexts texts;
  texts[Input::kMult] = "1";
  texts[Input::kChip] = "adf4351";
  texts[Input::kRef] = "25";
  texts[Input::kMinFc] = "1000";
  texts[Input::kMaxFc] = "25000";
  texts[Input::kLoopBandwidth] = "50";
  texts[Input::kKvco] = "40";
  texts[Input::kFom] = "-220";
  texts[Input::kVcoNoise] = "1000:-80,100000:-120,1000000:-140";
  texts[Input::kLockJump] = "5";
  ReadSettings settings;
  settings.reading = Reading::kStrict;
  settings.load_chip = formats::LoadChip;
  settings.grid = &*range;
  const auto read = ReadInputs(texts, settings);
  ASSERT_TRUE(std::holds_alternative<CheckedInputs>(read))
      << runner::FaultLines(std::get<std::vector<runner::InputFault>>(read));
  const CheckedInputs& checked = std::get<CheckedInputs>(read);
  std::ostringstream one, two, four;
  WriteSweep(*range, checked.inputs, checked.plan, ".", SweepFormat::kJsonLines, one, 1);
  WriteSweep(*range, checked.inputs, checked.plan, ".", SweepFormat::kJsonLines, two, 2);
  WriteSweep(*range, checked.inputs, checked.plan, ".", SweepFormat::kJsonLines, four, 4);
  const std::string text = one.str();
  EXPECT_EQ(text, two.str());
  EXPECT_EQ(text, four.str());
  EXPECT_EQ(65, std::count(text.begin(), text.end(), '\n'));
  EXPECT_NE(std::string::npos, text.find("\"jitter_fs_rms\""));

  // Parts written one after another are the whole sweep: each part keeps
  // the band's filter, designed on the whole band, not its own.
  for (const SweepFormat format : {SweepFormat::kCsv, SweepFormat::kJsonLines}) {
    std::ostringstream whole, parts;
    WriteSweep(*range, checked.inputs, checked.plan, ".", format, whole, 1);
    for (const runner::PointSpan span : {runner::PointSpan{0, 7}, runner::PointSpan{7, 40},
                                         runner::PointSpan{40, 40}, runner::PointSpan{40, -1}}) {
      WriteSweep(*range, checked.inputs, checked.plan, ".", format, parts, 1, {}, nullptr, span);
    }
    EXPECT_EQ(whole.str(), parts.str());
  }
}

// The one-R sentence: exact in the files' comment line, to nine digits in
// the status lines a person reads.
TEST(CommonRSentence, ExactForFilesNineDigitsForStatusLines) {
  const CommonR choice{505, 10000.0 / 505, 3, 81, 1234.5678901234};
  EXPECT_EQ("common R 505, comparison 19.801980198019802 kHz, 3 of 81 channels exact, "
            "worst error 1234.5678901234 Hz",
            CommonRSentence(choice));
  EXPECT_EQ("common R 505, comparison 19.8019802 kHz, 3 of 81 channels exact, "
            "worst error 1234.56789 Hz, reference path x1/1/x1/505",
            CommonRSentence(choice, "x1/1/x1/505", SentenceFigures::kNineDigits));
  EXPECT_EQ("common R 1600, comparison 6.25 kHz, 12 of 81 channels exact, worst error 1250 Hz",
            CommonRSentence(CommonR{1600, 6.25, 12, 81, 1250}, std::nullopt,
                            SentenceFigures::kNineDigits));
}

// The same for one R: the choice's line and the header come once, with the
// first part, and every part runs with the whole band's R.
TEST(Sweep, PartsOfAOneRSweepAreTheWholeSweep) {
  std::string error;
  const auto range = SweepRange::Parse("10368:10393.6:0.0125", error);  // 2049 points
  ASSERT_TRUE(range) << error;
  RunInputs others;
  others.mult = "4";
  others.min_fc = "1";
  others.max_fc = "1000";
  for (const SweepFormat format : {SweepFormat::kCsv, SweepFormat::kJsonLines}) {
    std::ostringstream whole, parts;
    const auto ignore = [](std::string_view) {};
    ASSERT_TRUE(WriteCommonRSweep(*range, others, {}, ".", format, whole, ignore).choice);
    for (const runner::PointSpan span : {runner::PointSpan{0, 1000}, runner::PointSpan{1000, 1001},
                                         runner::PointSpan{1001, 5000}}) {
      ASSERT_TRUE(WriteCommonRSweep(*range, others, {}, ".", format, parts, ignore, nullptr, span).choice);
    }
    EXPECT_EQ(whole.str(), parts.str());
    EXPECT_TRUE(whole.str().starts_with(format == SweepFormat::kCsv ? "# common R " : "{\"common_r\""))
        << whole.str().substr(0, 40);
  }
}

}  // namespace
}  // namespace synthfactors::formats
