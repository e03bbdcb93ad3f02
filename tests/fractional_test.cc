#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "chip_file.h"
#include "fractional_plan.h"
#include "json_reading.h"
#include "number_text.h"
#include "register_words.h"
#include "run.h"

namespace synthfactors {
namespace {

Rational R(std::int64_t num, std::int64_t den) { return *MakeRational(num, den); }

TEST(ExactArithmetic, DecimalTextsAreReadExactly) {
  const auto same = [](const char* text, std::int64_t num, std::int64_t den) {
    const auto value = DecimalRational(text);
    ASSERT_TRUE(value) << text;
    EXPECT_TRUE(value->num == num && value->den == den) << text;
  };
  same("10368.025", 414721, 40);
  same(" 2500.006103515625 MHz", 10240025, 4096);
  same("-0.5", -1, 2);
  same("1e3", 1000, 1);
  same("abc", 0, 1);  // no number reads as 0, as in the window
  EXPECT_FALSE(DecimalRational("1234567890123456789012345678901234567890"));
}

TEST(ExactArithmetic, TheBestFractionAndTheNearestDouble) {
  const auto best = [](Rational x, std::int64_t most) {
    const Rational f = BestFraction(x, most);
    return std::to_string(static_cast<std::int64_t>(f.num)) + "/" +
           std::to_string(static_cast<std::int64_t>(f.den));
  };
  EXPECT_EQ("321/1600", best(R(321, 1600), 4095));       // fits: itself
  EXPECT_EQ("1/4095", best(R(1, 4096), 4095));           // the nearest that fits
  EXPECT_EQ("0/1", best(R(1, 10000), 4095));             // 0 is nearer than 1/4095
  EXPECT_EQ("1/1", best(R(9999, 10000), 4095));          // and 1 than 4094/4095
  EXPECT_EQ("1/2", best(R(5, 12), 3));  // 1/3 and 1/2 are as near: the smaller denominator
  EXPECT_EQ(0.1, NearestDouble(R(1, 10)));
  EXPECT_EQ(1.0 / 3.0, NearestDouble(R(1, 3)));
  EXPECT_EQ(390625.0 / 262080.0, NearestDouble(R(390625, 262080)));
  EXPECT_EQ(-2500.0, NearestDouble(R(-2500, 1)));
}

// The planning loop's 64-bit best fraction against the 128-bit one, on
// fractions of every size (small partial quotients are found without a
// division, large ones with one).
TEST(ExactArithmetic, TheFastBestFractionAgreesWithTheExactOne) {
  std::uint64_t state = 88172645463325252ULL;
  const auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 200000; ++i) {
    const std::uint64_t den = 1 + next() % (std::uint64_t{1} << (1 + i % 62));
    const std::uint64_t num = i % 7 == 0 ? den : next() % den;
    const std::int64_t most = 1 + static_cast<std::int64_t>(next() % (i % 3 == 0 ? 4095 : 70000));
    const SmallFraction fast = BestFraction64(num, den, most);
    const Rational x = *MakeRational(static_cast<Int128>(num), static_cast<Int128>(den));
    const Rational exact = BestFraction(x, most);
    ASSERT_TRUE(static_cast<Int128>(fast.p) == exact.num && static_cast<Int128>(fast.q) == exact.den)
        << num << "/" << den << " most " << most << ": " << fast.p << "/" << fast.q;
  }
}

runner::RunResult FracRun(const char* chip, const char* rf, const char* ref, const char* min_fc,
                          const char* max_fc, const std::optional<std::string>& r_range = {},
                          std::optional<double> spur_clear = {}, bool registers = false,
                          const std::optional<std::string>& n_range = {}) {
  runner::RunInputs inputs;
  inputs.rf_out = rf;
  inputs.ref = ref;
  inputs.min_fc = min_fc;
  inputs.max_fc = max_fc;
  std::string error;
  inputs.chip = chip;
  inputs.chip_profile = formats::LoadChip(chip, error);
  EXPECT_TRUE(inputs.chip_profile) << error;
  if (r_range) {
    const auto colon = r_range->find(':');
    inputs.bounds.FirstR = std::stoi(r_range->substr(0, colon));
    inputs.bounds.LastR = std::stoi(r_range->substr(colon + 1));
  }
  if (n_range) {
    const auto colon = n_range->find(':');
    inputs.bounds.MinN = std::stod(n_range->substr(0, colon));
    inputs.bounds.MaxN = std::stod(n_range->substr(colon + 1));
  }
  runner::PlanOptions plan;
  plan.spur_clear_khz = spur_clear;
  plan.registers = registers;
  return runner::RunOnce(inputs, ".", plan);
}

TEST(FractionalRun, HandWorkedChannels) {
  // An exact channel with a small MOD: the x4 LO at 10368.025 MHz, VCO
  // 5184.0125 MHz behind /2, 10 MHz compared: 518.40125 = 518 + 321/800;
  // the spur at 10 MHz x 321/800 = 4012.5 kHz.
  const auto lo = FracRun("max2870", "2592.00625", "10", "1000", "50000");
  EXPECT_EQ(runner::SettingMode::kFractional, lo.mode);
  EXPECT_EQ(1, lo.r);
  EXPECT_EQ(518, lo.n);
  EXPECT_EQ(321, lo.frac);
  EXPECT_EQ(800, lo.mod);
  EXPECT_EQ(true, lo.exact);
  EXPECT_EQ(0.0, lo.error_hz);
  EXPECT_EQ(4012.5, lo.spur_offset_khz);
  EXPECT_EQ("Reference / 1\r\nRF   / 518 + 321/800\r\nComparison freq  10000.kHz\r\nNo Error"
            "\r\n\r\nHex divider values \r\nR  0x1  N  0x206  FRAC 0x141  MOD 0x320",
            lo.report);

  // MOD's range forces an approximation at R 1 (25 MHz): t = 100 + 1/4096,
  // so FRAC/MOD = 1/4095, and the output lands (1/4095 - 1/4096) x 25 MHz
  // = 390625/262080 Hz high.
  const auto near = FracRun("adf4351", "2500.006103515625", "25", "1000", "32000", "1:1");
  EXPECT_EQ(100, near.n);
  EXPECT_EQ(1, near.frac);
  EXPECT_EQ(4095, near.mod);
  EXPECT_EQ(false, near.exact);
  EXPECT_EQ(390625.0 / 262080.0, near.error_hz);
  // With every R, R 2 (12.5 MHz) is exact: 200 + 1/2048, its spur
  // 12.5 MHz / 2048 = 6.103515625 kHz.
  const auto best = FracRun("adf4351", "2500.006103515625", "25", "1000", "32000");
  EXPECT_EQ(2, best.r);
  EXPECT_EQ(2048, best.mod);
  EXPECT_EQ(6.103515625, best.spur_offset_khz);
  // Asking the spur to stay 6.104 kHz away drops R 2; R 1's spur,
  // 25 MHz / 4095 = 6.105 kHz, clears it, at its small error.
  const auto cleared = FracRun("adf4351", "2500.006103515625", "25", "1000", "32000", {}, 6.104);
  EXPECT_EQ(1, cleared.r);
  EXPECT_EQ(4095, cleared.mod);
  EXPECT_EQ(390625.0 / 262080.0, cleared.error_hz);
  // Clear of 7 kHz, no fractional setting is left: integer mode (no such
  // spur) is, off frequency, the nearest being 100 at R 1, 25 MHz /
  // 4096 = 6103.515625 Hz low.
  const auto integer = FracRun("adf4351", "2500.006103515625", "25", "1000", "32000", {}, 7);
  EXPECT_EQ(runner::SettingMode::kInteger, integer.mode);
  EXPECT_EQ(100, integer.n);
  EXPECT_EQ(-6103.515625, integer.error_hz);


  // A fraction that rounds to 1 carries into INT: t = 100.9999 at 25 MHz.
  const auto carry = FracRun("adf4351", "2524.9975", "25", "1000", "32000", "1:1");
  EXPECT_EQ(101, carry.n);
  EXPECT_EQ(0, carry.frac);
  EXPECT_EQ(runner::SettingMode::kInteger, carry.mode);
  EXPECT_EQ(2500.0, carry.error_hz);  // 1e-4 x 25 MHz high
  EXPECT_FALSE(carry.spur_offset_khz);
}

// A setting's figures as one line, from an alternative or from a run.
std::string SettingLine(const runner::Alternative& a) {
  const auto maybe = [](const auto& value) {
    return value ? runner::ShortestText(static_cast<double>(*value)) : std::string("-");
  };
  return "R " + std::to_string(a.pair.R) + " " + runner::ShortestText(a.pair.N) + " " +
         maybe(a.frac) + "/" + maybe(a.mod) + " at " + runner::ShortestText(a.pair.ComparisonKHz) +
         " kHz, error " + runner::ShortestText(a.pair.ErrorHz) + " Hz " +
         runner::ShortestText(a.pair.ErrorPpb) + " ppb" + (a.pair.Exact ? " exact" : "") +
         ", spur " + maybe(a.spur_offset_khz) + ", path " + a.reference_path.value_or("-") +
         ", order " + maybe(a.mash_order) + ", noise " + maybe(a.phase_noise);
}

std::string SettingLine(const runner::RunResult& r) {
  runner::Alternative a;
  a.pair.R = static_cast<std::int32_t>(r.r.value_or(-1));
  a.pair.N = r.n.value_or(-1);
  a.pair.ComparisonKHz = r.comparison_khz.value_or(-1);
  a.pair.ErrorHz = r.error_hz.value_or(-1);
  a.pair.ErrorPpb = r.error_ppb.value_or(-1);
  a.pair.Exact = r.exact.value_or(false);
  a.frac = r.frac;
  a.mod = r.mod;
  a.spur_offset_khz = r.spur_offset_khz;
  a.reference_path = r.reference_path;
  a.mash_order = r.mash_order;
  a.phase_noise = r.phase_noise;
  return SettingLine(a);
}

// A fractional channel's alternatives are the best setting of each R: the
// first is the run's own choice, and each, run on its own with its R and
// INT (and path and order) fixed, is found again figure for figure.
TEST(FractionalRun, EachAlternativeIsTheRunOfItsOwnSetting) {
  const char* const requests[] = {
      R"({"rf_out": "10369.525", "mult": "2", "ref": "25", "min_fc": "1000", "max_fc": "50000", "chip": "adf4351", "fom": "-220"})",
      R"({"rf_out": "10369.525", "mult": "2", "ref": "25", "min_fc": "1000", "max_fc": "50000", "chip": "adf4351", "ref_path": "auto"})",
      R"({"rf_out": "2500.006103515625", "ref": "25", "min_fc": "1000", "max_fc": "32000", "chip": "adf4351", "spur_clear": "6.104"})",
      R"({"rf_out": "10369.52", "mult": "2", "ref": "10", "min_fc": "100", "max_fc": "50000", "chip": "max2870", "tolerance": "100", "fom": "-220", "flicker": "-260"})",
      R"({"rf_out": "5000.3", "ref": "10", "min_fc": "100", "max_fc": "50000", "chip": "max2870", "feedback": "divided", "spur_clear": "500"})",
      R"({"rf_out": "2400.1", "ref": "25", "min_fc": "100", "max_fc": "32000", "chip": "adf4351", "fom": "-220", "prefer": "noise", "tolerance": "10"})",
      R"({"rf_out": "10369.525", "ref": "122.88", "min_fc": "1000", "max_fc": "125000", "chip": "adf5356", "fom": "-221"})",
      R"({"rf_out": "14000.0001", "ref": "100", "min_fc": "1000", "max_fc": "300000", "chip": "lmx2594", "fom": "-236"})",
      R"({"rf_out": "9999.999", "ref": "100", "min_fc": "1000", "max_fc": "300000", "chip": "lmx2594", "mash_order": "3"})",
      // R and the pre-divider as one divider: the alternatives' paths differ.
      R"({"rf_out": "10000.0125", "ref": "100", "min_fc": "10", "max_fc": "100", "chip": "lmx2594"})",
  };
  for (const char* request : requests) {
    std::string error;
    auto checked = formats::ReadRunLine(request, formats::LoadChip, error);
    ASSERT_TRUE(checked) << request << ": " << error;
    checked->plan.alternatives = 12;
    const runner::RunResult listed = runner::RunOnce(checked->inputs, ".", checked->plan);
    ASSERT_TRUE(listed.Complete()) << request << ": " << listed.message;
    ASSERT_TRUE(listed.alternatives) << request;
    ASSERT_GE(listed.alternatives->size(), 3u) << request;
    EXPECT_EQ(SettingLine(listed), SettingLine(listed.alternatives->front())) << request;
    runner::PlanOptions alone = checked->plan;
    alone.alternatives = 0;
    std::vector<std::int32_t> rs;
    for (const runner::Alternative& alternative : *listed.alternatives) {
      const runner::RunResult run =
          runner::RunOnce(runner::AlternativeInputs(listed, alternative), ".", alone);
      EXPECT_EQ(SettingLine(alternative), SettingLine(run))
          << request << ", rank " << alternative.rank;
      rs.push_back(alternative.pair.R);
    }
    std::sort(rs.begin(), rs.end());
    EXPECT_EQ(rs.end(), std::adjacent_find(rs.begin(), rs.end())) << request;  // one per R
  }
}

// The R whose comparison frequency lies in the window are found by
// halving: a window of one comparison frequency admits exactly its R, at
// either end of the counter, and a window no R reaches says so.
TEST(FractionalRun, TheWindowAdmitsExactlyItsR) {
  // 10 MHz / 2 = 5000 kHz exactly: only R 2 is in a window of 5000 kHz.
  const auto one = FracRun("max2870", "2592.00625", "10", "5000", "5000");
  EXPECT_EQ(2, one.r);
  EXPECT_EQ(5000, one.comparison_khz);
  // The ends of the R counter (1 ... 1023 on the max2870).
  EXPECT_EQ(1, FracRun("max2870", "2592.00625", "10", "10000", "10000").r);
  EXPECT_EQ(1023, FracRun("max2870", "2592.00625", "2046", "2000", "2000").r);
  // An R range narrows the R tried, as on the integer search.
  const auto ranged = FracRun("max2870", "2592.00625", "10", "1000", "50000", std::string("3:9"));
  ASSERT_TRUE(ranged.r);
  EXPECT_TRUE(*ranged.r >= 3 && *ranged.r <= 9) << *ranged.r;
  const auto none = FracRun("max2870", "2592.00625", "10", "5001", "6000");
  EXPECT_FALSE(none.r);
  EXPECT_NE(std::string::npos, none.message.find("no reference divider R from 1 to 1023"))
      << none.message;
}

TEST(FractionalRun, TheSpurIsTheVcosDistanceWhereverTheFeedbackIsTaken) {
  // 2510 MHz at 25 MHz: the VCO behind /2, 5020 MHz, is 200 + 4/5 times
  // f_cmp, 1/5 x 25 MHz = 5000 kHz from a multiple, with either feedback
  // (divided, the N divider counts 100 + 2/5).
  runner::RunInputs inputs;
  inputs.rf_out = "2510";
  inputs.ref = "25";
  inputs.min_fc = "1000";
  inputs.max_fc = "50000";
  std::string error;
  inputs.chip = "max2870";
  inputs.chip_profile = formats::LoadChip("max2870", error);
  inputs.bounds.FirstR = inputs.bounds.LastR = 1;
  const auto fundamental = runner::RunOnce(inputs, ".");
  inputs.feedback = runner::FeedbackMode::kDivided;
  const auto divided = runner::RunOnce(inputs, ".");
  EXPECT_EQ(100, divided.n);
  EXPECT_EQ(2, divided.frac);
  EXPECT_EQ(5, divided.mod);
  EXPECT_EQ(5000.0, divided.spur_offset_khz);
  EXPECT_EQ(200, fundamental.n);  // the VCO, 5020 MHz, is synthesised: 200 + 4/5
  EXPECT_EQ(5000.0, fundamental.spur_offset_khz);
}

TEST(FractionalRun, IntAtItsLeastForEachPrescaler) {
  // A part compared up to 200 MHz, so that INT can reach its least.
  const std::string path = ::testing::TempDir() + "fast-frac.json";
  std::ofstream(path) << R"({"name": "fast", "description": "d", "source": "s",
    "r": {"min": 1, "max": 100},
    "n": {"counter": "plain", "prescalers": [{"p": 4, "up_to_mhz": 3600, "min": 23, "max": 65535},
                                             {"p": 8, "min": 75, "max": 65535}]},
    "source_mhz": {"min": 2200, "max": 4400},
    "fractional": {"mod": {"min": 2, "max": 4095},
      "n": {"counter": "plain", "prescalers": [{"p": 4, "up_to_mhz": 3600, "min": 23, "max": 65535},
                                               {"p": 8, "min": 75, "max": 65535}]},
      "comparison_khz": {"max": 200000}}})";
  // 2300 MHz at 100 MHz: INT 23, the 4/5 prescaler's least.
  const auto four = FracRun(path.c_str(), "2300", "100", "1000", "200000");
  EXPECT_EQ(1, four.r);
  EXPECT_EQ(23, four.n);
  // 3700 MHz at 50 MHz would be INT 74, below the 8/9 prescaler's 75: R 2.
  const auto eight = FracRun(path.c_str(), "3700", "50", "1000", "200000");
  EXPECT_EQ(2, eight.r);
  EXPECT_EQ(148, eight.n);
  const auto at_least = FracRun(path.c_str(), "3750", "50", "1000", "200000");
  EXPECT_EQ(1, at_least.r);
  EXPECT_EQ(75, at_least.n);
}

TEST(FractionalRun, TheDecoderReadsTheFractionalWordsBack) {
  for (const char* chip : {"adf4351", "max2870"}) {
    const auto run = FracRun(chip, "2500.006103515625", "25", "1000", "32000", "1:1", {}, true);
    ASSERT_TRUE(run.registers) << chip;
    std::vector<std::uint32_t> words;
    for (const auto& [name, word] : *run.registers) words.push_back(std::stoul(word, nullptr, 16));
    std::string error;
    const auto profile = formats::LoadChip(chip, error);
    const auto decoded =
        runner::DecodeWords(*runner::LayoutNamed(profile->register_map), words, 25);
    // The adf4351 approximates at 25 MHz (1/4095); the max2870 runs its
    // VCO behind /2, where 200 + 1/2048 is exact.
    EXPECT_EQ(static_cast<std::int64_t>(*run.n), decoded.n) << chip;
    EXPECT_EQ(run.frac, decoded.frac) << chip;
    EXPECT_EQ(run.mod, decoded.mod) << chip;
    EXPECT_EQ(std::string(chip) == "adf4351" ? 4095 : 2048, decoded.mod) << chip;
    EXPECT_TRUE(decoded.notes.empty()) << chip << ": " << decoded.notes.front();
    ASSERT_TRUE(decoded.output_mhz);
    EXPECT_NEAR(2500.006103515625, *decoded.output_mhz, 1e-5);
  }
}

}  // namespace
}  // namespace synthfactors
