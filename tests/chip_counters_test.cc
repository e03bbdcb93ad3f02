// A chip's counters: which N a dual-modulus prescaler can form, the
// prescaler for a source frequency, and the noise of a loop with flicker.
#include <gtest/gtest.h>

#include "chip_counters.h"
#include "planning.h"

namespace synthfactors {
namespace {

TEST(DualModulus, FormsOnlyTheNWhoseBIsNotBelowA) {
  const DualModulus p8{8, 0, 63, 3, 8191};
  const std::pair<int, bool> table[] = {
      {23, false},  // B 2 is below the B counter
      {24, true},  {25, true},  {26, true},  {27, true},    // B 3, A 0 ... 3
      {28, false}, {29, false}, {30, false}, {31, false},  // B 3, A 4 ... 7
      {55, false},                                          // B 6, A 7
      {56, true},                                           // B 7, A 0
      {65535, true}, {65536 + 8 * 8191, false},             // B beyond 8191
  };
  for (const auto& [n, formed] : table) EXPECT_EQ(formed, p8.Forms(n)) << n;
  EXPECT_EQ(6, CountsFor(55, 8).B);
  EXPECT_EQ(7, CountsFor(55, 8).A);
}

TEST(DualModulus, TheSearchPassesOverNItCannotForm) {
  // 29 MHz from a 1 MHz reference: R 1 gives N 29 (B 3 < A 5), exact but
  // not formed; R 2 gives N 58 (B 7, A 2).
  SearchBounds bounds;
  bounds.Dual = DualModulus{8, 0, 63, 3, 8191};
  bounds.MinN = 24;
  bounds.MaxN = 8 * 8191 + 63;
  SearchState state;
  state.SrcFreq = 29;
  state.RefFreq = 1;
  EXPECT_TRUE(RunDividerSearch(state, "0", "1000", bounds));
  EXPECT_EQ(2, state.BestR);
  EXPECT_EQ(58, state.BestN);
}

ChipCounters Adf4351Modes() {
  ChipCounters chip;
  chip.R = {1, 1023};
  chip.Prescalers = {{4, 3000.0, WholeLimits{23, 65535}}, {8, std::nullopt, WholeLimits{75, 65535}}};
  chip.MaxComparisonKHz = 32000;
  return chip;
}

TEST(ChipBounds, ThePrescalerFollowsTheSourceFrequency) {
  const ChipCounters chip = Adf4351Modes();
  EXPECT_EQ(0u, SmallestPrescaler(chip, 3000));
  EXPECT_EQ(1u, SmallestPrescaler(chip, 3000.000001));
  EXPECT_EQ(1u, SmallestPrescaler(chip, -4000));
  const SearchBounds low = ChipBounds(chip, 0), high = ChipBounds(chip, 1);
  EXPECT_EQ(23, low.MinN);
  EXPECT_EQ(75, high.MinN);
  EXPECT_EQ(8, high.PlainPrescaler);
  EXPECT_EQ(1023, high.LastR);
  EXPECT_EQ(32000, high.HighestKHz);
}

TEST(InBandNoise, FloorAndFlickerAddAsPowers) {
  // R 100, N 10000 at 100 kHz: floor -93, flicker -120 at 10 kHz, -100 at 100 Hz.
  const auto at_10k = InBandNoise({-223, -260, 10000}, 100, 10000, 1);
  EXPECT_DOUBLE_EQ(-93.0, at_10k->Floor);
  EXPECT_NEAR(-120.0, *at_10k->Flicker, 1e-12);
  EXPECT_NEAR(-92.99135, at_10k->Total, 1e-5);
  EXPECT_NEAR(-92.20990250347, InBandNoise({-223, -260, 100}, 100, 10000, 1)->Total, 1e-9);
  // 6.25 kHz, N 414721, x-4: flicker -79.686 at 1 kHz under a floor of -67.645.
  const auto wide = InBandNoise({-230, -250, 1000}, 6.25, 414721, -4);
  EXPECT_NEAR(-79.68607928551, *wide->Flicker, 1e-9);
  EXPECT_NEAR(-67.38159007173, wide->Total, 1e-9);
  // Without a flicker figure, the floor alone, as before.
  EXPECT_EQ(InBandPhaseNoise(-220, 100, 10000, 1), InBandNoise({-220, std::nullopt, 10000}, 100, 10000, 1)->Total);
}

}  // namespace
}  // namespace synthfactors
