// Counter ranges, ranked alternatives, in-band noise and one R for a plan.
#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "common_r.h"
#include "memory_boxes.h"
#include "planning.h"
#include "run.h"

namespace synthfactors {
namespace {

using runner::ChooseCommonR;
using runner::CommonRChoice;
using runner::RunInputs;
using runner::RunOnce;
using runner::RunResult;

RunInputs Inputs(std::string rf_out, SearchBounds bounds = {}) {
  RunInputs in;
  in.rf_out = std::move(rf_out);
  in.bounds = bounds;
  return in;
}

SearchBounds Bounds(std::int32_t first_r, std::int32_t last_r, double min_n, double max_n) {
  return SearchBounds::Ranges(first_r, last_r, min_n, max_n);
}

TEST(CounterRanges, NarrowTheSearchWithoutChangingItsRules) {
  // R 2000, the choice without ranges, is outside the range.
  const RunResult r = RunOnce(Inputs("1000.001", Bounds(1, 1999, -INFINITY, INFINITY)), ".");
  EXPECT_TRUE(r.Complete());
  EXPECT_EQ(1999, r.r);
  EXPECT_EQ(199900, r.n);
  // An exact pair whose N is out of range neither wins nor stops the search:
  // R 100 (N 10000) is passed over for R 101 (N 10100), exact too.
  const RunResult n = RunOnce(Inputs("1000", Bounds(1, kLastRTrial, 10001, 20000)), ".");
  EXPECT_EQ(101, n.r);
  EXPECT_EQ(true, n.exact);
  // No R at all: the message names the ranges.
  const RunResult none = RunOnce(Inputs("1000", Bounds(3000, 4000, 1, 99)), ".");
  EXPECT_NE(std::string::npos,
            none.message.find("no reference divider R from 3000 to 4000 puts the comparison "
                              "frequency between Minimum Fcomp and Maximum Fcomp with a "
                              "feedback divider N from 1 to 99"));
}

TEST(CounterRanges, TheWidestRangesChangeNothingWhereNIsPositive) {
  std::mt19937_64 random(12);
  std::uniform_real_distribution<double> output(-100, 30000);
  const SearchBounds widest = Bounds(1, kLastRTrial, 1, 2147483647);
  int compared = 0;
  for (int i = 0; i < 300; ++i) {
    RunInputs in = Inputs(std::to_string(output(random)));
    in.mult = std::to_string(1 + static_cast<int>(random() % 8));
    in.min_fc = std::to_string(random() % 20);
    in.max_fc = std::to_string(50 + random() % 500);
    const RunResult plain = RunOnce(in, ".");
    if (!plain.n || *plain.n < 1) continue;
    in.bounds = widest;
    const RunResult bounded = RunOnce(in, ".");
    EXPECT_EQ(plain.report, bounded.report) << in.rf_out;
    EXPECT_EQ(plain.rf_source, bounded.rf_source);
    ++compared;
  }
  EXPECT_GT(compared, 200);
}

PlanInputs Plan(double src, double ref = 10, double lower = 5, double upper = 100) {
  return {src, ref, 1, lower, upper, {}};
}

TEST(Alternatives, ExactPairsFirstByRThenByOutputError) {
  // Every R from 100 to 2000 is exact for 1000 MHz: highest comparison first.
  const std::vector<RankedPair> exact = RankedAlternatives(Plan(1000), 4);
  ASSERT_EQ(4u, exact.size());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(100 + i, exact[i].R);
    EXPECT_TRUE(exact[i].Exact);
  }
  EXPECT_EQ(10100, exact[1].N);

  const std::vector<RankedPair> near = RankedAlternatives(Plan(1234.5678, 13, 10, 200), 1000);
  ASSERT_GT(near.size(), 100u);
  for (std::size_t i = 1; i < near.size(); ++i) {
    const double a = std::fabs(near[i - 1].ErrorHz), b = std::fabs(near[i].ErrorHz);
    EXPECT_TRUE(a < b || (a == b && near[i - 1].R < near[i].R)) << i;
  }
  // The first is the report's own pair here, with the report's figures.
  const RunResult run = [] {
    RunInputs in = Inputs("1234.5678");
    in.ref = "13", in.min_fc = "10", in.max_fc = "200";
    return RunOnce(in, ".");
  }();
  EXPECT_EQ(*run.r, near[0].R);
  EXPECT_EQ(*run.error_hz, near[0].ErrorHz);
  EXPECT_EQ(*run.error_ppb, near[0].ErrorPpb);
  EXPECT_EQ(*run.comparison_khz, near[0].ComparisonKHz);
}

TEST(InBandPhaseNoise, HandWorkedPairs) {
  EXPECT_DOUBLE_EQ(-90.0, *InBandPhaseNoise(-220, 100, 10000, 1));
  // -230 + 10 log10(6250) + 20 log10(414721) + 20 log10(4)
  EXPECT_NEAR(-67.644879458950, *InBandPhaseNoise(-230, 6.25, 414721, -4), 1e-9);
  EXPECT_FALSE(InBandPhaseNoise(-220, 100, 0, 1));
  EXPECT_FALSE(InBandPhaseNoise(-220, 100, 10000, 0));
}

std::vector<double> Channels(double from, double step, int count, double mult) {
  std::vector<double> sources;
  for (int i = 0; i < count; ++i) sources.push_back((from + i * step) / mult);
  return sources;
}

TEST(InBandPhaseNoise, TheSumStaysFiniteForEveryFiniteFloorAndFlicker) {
  // Each term alone is finite; their powers would overflow or vanish.
  for (const double flicker : {4000.0, -4000.0, -260.0}) {
    NoiseModel model{-221, flicker, 10000};
    const auto figures = InBandNoise(model, 100, 33000, 1);
    ASSERT_TRUE(figures) << flicker;
    EXPECT_TRUE(std::isfinite(figures->Total));
    EXPECT_GE(figures->Total, std::max(figures->Floor, *figures->Flicker));
  }
  NoiseModel tiny_offset{-221, -260, 5e-324};
  ASSERT_TRUE(InBandNoise(tiny_offset, 100, 33000, 1));
}

TEST(CommonR, OneRForAWholePlan) {
  // 10368 ... 10368.1 MHz in 25 kHz steps after a x4 multiplier: R 1600
  // (6.25 kHz) is the first R exact on every channel.
  const CommonRChoice plan = ChooseCommonR(
      {10368 / 4.0, 10368.025 / 4, 10368.05 / 4, 10368.075 / 4, 10368.1 / 4}, 10, 4, 1, 100,
      {}, 2);
  ASSERT_TRUE(plan.Choice);
  EXPECT_EQ(1600, plan.Choice->R);
  EXPECT_EQ(6.25, plan.Choice->ComparisonKHz);
  EXPECT_EQ(5, plan.Choice->ExactChannels);

  // 1 MHz channels with R at most 3 (3.33 MHz steps at best): no R is exact
  // everywhere, so the smallest worst error wins, whatever the threads.
  const std::vector<double> sources = Channels(1000, 1, 50, 1);
  const SearchBounds few = Bounds(1, 3, -INFINITY, INFINITY);
  const CommonRChoice one = ChooseCommonR(sources, 10, 1, 0, 1e6, few, 1);
  const CommonRChoice two = ChooseCommonR(sources, 10, 1, 0, 1e6, few, 2);
  ASSERT_TRUE(one.Choice);
  EXPECT_EQ(one.Choice->R, two.Choice->R);
  EXPECT_EQ(one.Choice->WorstErrorHz, two.Choice->WorstErrorHz);
  EXPECT_LT(one.Choice->ExactChannels, 50);

  // A channel whose N would be below 1 for every R: named by its index.
  const CommonRChoice unreached = ChooseCommonR({1000, 0.001, 0}, 10, 1, 5, 100, {}, 2);
  EXPECT_FALSE(unreached.Choice);
  EXPECT_EQ(1u, unreached.UnreachedChannel);
}

}  // namespace
}  // namespace synthfactors
