#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "candidate.h"
#include "divider_search.h"
#include "numeric_text.h"

namespace synthfactors {
namespace {

std::string Text(double value) {
  std::ostringstream out;
  out.precision(17);
  out << value;
  return out.str();
}

struct Search {
  SearchState state;
  bool exact = false;
  std::optional<FaultKind> fault;
};

Search Searched(double src, double ref, double lower, double upper,
                SearchKernel kernel = SearchKernel::kScalar, SearchBounds bounds = {}) {
  Search s;
  s.state.SrcFreq = src;
  s.state.RefFreq = ref;
  try {
    s.exact = RunDividerSearch(s.state, Text(lower), Text(upper), bounds, kernel);
  } catch (const ArithmeticFault& fault) {
    s.fault = fault.kind();
  }
  return s;
}

// Every field the search leaves, bit for bit (a -0 is not a 0).
void ExpectSameState(const Search& expected, const Search& actual, SearchKernel kernel) {
  SCOPED_TRACE(std::string(SearchKernelName(kernel)));
  auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
  EXPECT_EQ(expected.fault.has_value(), actual.fault.has_value());
  EXPECT_EQ(expected.exact, actual.exact);
  EXPECT_EQ(expected.state.RTrial, actual.state.RTrial);
  EXPECT_EQ(bits(expected.state.FComp), bits(actual.state.FComp));
  EXPECT_EQ(bits(expected.state.NTrial), bits(actual.state.NTrial));
  EXPECT_EQ(bits(expected.state.FCompAct), bits(actual.state.FCompAct));
  EXPECT_EQ(bits(expected.state.FCompDiff), bits(actual.state.FCompDiff));
  EXPECT_EQ(bits(expected.state.BestDiff), bits(actual.state.BestDiff));
  EXPECT_EQ(expected.state.BestR, actual.state.BestR);
  EXPECT_EQ(bits(expected.state.BestN), bits(actual.state.BestN));
}

// A plain second reading of the search rules: every admitted candidate is
// collected, then the smallest difference wins, the smallest R on ties.
struct Reference {
  bool exact = false;
  std::int32_t best_r = 0;
  double best_n = 0;
  std::optional<FaultKind> fault;
};

Reference ReferenceSearch(double src, double ref, double lower, double upper) {
  struct Candidate {
    std::int32_t r;
    double n, diff;
  };
  std::vector<Candidate> admitted;
  Reference out;
  auto overflowed = [&](double v) {
    if (std::isinf(v)) out.fault = FaultKind::kOverflow;
    return std::isinf(v);
  };
  for (std::int32_t r = 1; r <= 1'000'000; ++r) {
    const double fcomp = ref / r;
    const double khz = 1000 * fcomp;
    if (overflowed(khz)) return out;
    if (khz < lower) break;
    if (!(khz <= upper)) continue;
    if (fcomp == 0) {
      out.fault = src == 0 ? FaultKind::kInvalidOperation : FaultKind::kDivisionByZero;
      return out;
    }
    const double quotient = src / fcomp;
    if (overflowed(quotient)) return out;
    const double n = std::floor(quotient + 0.5);
    const double actual = n > 0 ? src / n : src;
    const double diff = actual - fcomp;
    if (overflowed(diff)) return out;
    admitted.push_back({r, n, std::fabs(diff)});
    if (std::fabs(diff) < 1e-15) {
      out.exact = true;
      break;
    }
  }
  // In order of rising R, so keeping only strictly smaller differences
  // leaves the smallest R among equals.
  double best = 99999999;
  for (const Candidate& c : admitted) {
    if (c.diff < best) {
      best = c.diff;
      out.best_r = c.r;
      out.best_n = c.n;
    }
  }
  return out;
}

TEST(DividerSearch, WorkedExamples) {
  const Search exact = Searched(1000, 10, 5, 100);
  EXPECT_TRUE(exact.exact);
  EXPECT_EQ(100, exact.state.BestR);
  EXPECT_EQ(10000, exact.state.BestN);
  EXPECT_EQ(100, exact.state.RTrial);
  EXPECT_EQ(0.1, exact.state.FComp);
  EXPECT_EQ(0.1, exact.state.FCompAct);

  const Search near = Searched(1000.001, 10, 5, 100);
  EXPECT_FALSE(near.exact);
  EXPECT_EQ(2000, near.state.BestR);
  EXPECT_EQ(200000, near.state.BestN);
  EXPECT_EQ(2001, near.state.RTrial);  // stopped by the lower limit
  EXPECT_NEAR(5.0e-9, near.state.BestDiff, 1e-10);

  const Search odd = Searched(1234.5678, 13, 10, 200);
  EXPECT_EQ(1143, odd.state.BestR);
  EXPECT_EQ(108547, odd.state.BestN);
}

TEST(DividerSearch, LimitsAreInclusive) {
  // R = 100 gives exactly 100 kHz, R = 2000 exactly 5 kHz.
  EXPECT_EQ(100, Searched(1000, 10, 100, 100).state.BestR);
  const Search last = Searched(1000.001, 10, 5, 5);
  EXPECT_EQ(2000, last.state.BestR);
  EXPECT_EQ(2001, last.state.RTrial);
}

TEST(DividerSearch, NoCandidateAdmitted) {
  const Search swapped = Searched(1000, 10, 100, 5);
  EXPECT_EQ(0, swapped.state.BestR);
  EXPECT_EQ(0, swapped.state.BestN);
  EXPECT_EQ(101, swapped.state.RTrial);  // 99.0099 kHz < 100 stops it
  const Search open = Searched(1000, 10, -1, -2);
  EXPECT_EQ(0, open.state.BestR);
  EXPECT_EQ(1'000'000, open.state.RTrial);  // ran out
  const Search above = Searched(1000, 10, 20000, 1e9);
  EXPECT_EQ(0, above.state.BestR);
  EXPECT_EQ(1, above.state.RTrial);
}

TEST(DividerSearch, ZeroReference) {
  const Search positive_lower = Searched(1000, 0, 1, 100);
  EXPECT_FALSE(positive_lower.fault);
  EXPECT_EQ(0, positive_lower.state.BestR);
  EXPECT_EQ(1, positive_lower.state.RTrial);
  EXPECT_EQ(FaultKind::kDivisionByZero, Searched(1000, 0, 0, 0).fault);
  EXPECT_EQ(FaultKind::kDivisionByZero, Searched(1000, 0, -5, 100).fault);
  const Search negative_upper = Searched(1000, 0, -5, -1);
  EXPECT_FALSE(negative_upper.fault);
  EXPECT_EQ(0, negative_upper.state.BestR);
}

TEST(DividerSearch, FeedbackDividerRounding) {
  // Only R = 1 (FComp 1 MHz) is admitted; N is SrcFreq rounded, halves up.
  EXPECT_EQ(3, Searched(2.5, 1, 1000, 1000).state.NTrial);
  EXPECT_EQ(-2, Searched(-2.5, 1, 1000, 1000).state.NTrial);
  EXPECT_EQ(2, Searched(std::nextafter(2.5, 0.0), 1, 1000, 1000).state.NTrial);
  // Just below one half, the sum with 0.5 rounds to 1.
  EXPECT_EQ(1, Searched(0.49999999999999994, 1, 1000, 1000).state.NTrial);
  EXPECT_EQ(0, Searched(0.4999999999999999, 1, 1000, 1000).state.NTrial);
}

TEST(DividerSearch, NegativeSourceIsComparedAsItStands) {
  const Search s = Searched(-5, 10, 5, 100);
  EXPECT_FALSE(s.fault);
  EXPECT_EQ(2000, s.state.BestR);  // |-5 - FComp| is smallest at the lowest FComp
  EXPECT_EQ(-1000, s.state.BestN);
  EXPECT_EQ(-5, s.state.FCompAct);
}

TEST(DividerSearch, OverflowEndsTheSearch) {
  EXPECT_EQ(FaultKind::kOverflow, Searched(1000, 1e306, 0, 1e308).fault);
  EXPECT_EQ(FaultKind::kOverflow, Searched(1e308, 1e-10, 0, 1e308).fault);
  // The difference of the largest source and a large FComp.
  EXPECT_EQ(FaultKind::kOverflow,
            Searched(-std::numeric_limits<double>::max(), 1e300, 0, 1e304).fault);
  // The same at R = 10, the first candidate under the upper limit: the state
  // shows that candidate as far as it got.
  const Search later = Searched(-std::numeric_limits<double>::max(), 1e300, 0, 1e302);
  EXPECT_EQ(FaultKind::kOverflow, later.fault);
  EXPECT_EQ(10, later.state.RTrial);
  EXPECT_EQ(1e299, later.state.FComp);
  EXPECT_EQ(-std::numeric_limits<double>::max(), later.state.FCompAct);
  EXPECT_EQ(0, later.state.BestR);
}

TEST(DividerSearch, AgreesWithAPlainReadingOnRandomInputs) {
  std::mt19937_64 random(20261208);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  auto pick = [&](int n) { return static_cast<int>(random() % n); };
  int long_runs = 0;
  for (int i = 0; i < 3000; ++i) {
    double ref = std::vector<double>{10, 13, 8, uniform(0.001, 1000), 0, -10,
                                     1e-300, uniform(1, 100)}[pick(8)];
    double src = std::vector<double>{uniform(1, 20000), std::round(uniform(1, 20000)),
                                     -uniform(1, 1000), uniform(1e-9, 1e-3),
                                     (std::round(uniform(0, 100000)) + 0.5) * 0.5}[pick(5)];
    if (pick(4) == 0) src = std::nextafter(src, 0.0);
    double lower = std::vector<double>{uniform(1, 1000), uniform(0.1, 10), 5, 0, -1}[pick(5)];
    double upper = std::vector<double>{uniform(1, 10000), 100, lower, lower - 1, 1e15}[pick(5)];
    if (pick(3) == 0) {  // a limit exactly at some candidate's frequency
      const double at = 1000 * (ref / (1 + pick(500)));
      (pick(2) ? lower : upper) = at;
    }
    const bool long_run = !(lower > 0) && ref > 0 && upper >= 0;
    if (long_run && ++long_runs > 15) continue;
    if (ref > 0 && lower > 0 && 1000 * ref / lower > 200000) lower = 1000 * ref / 200000;

    const Search s = Searched(src, ref, lower, upper);
    const Reference r = ReferenceSearch(src, ref, ParseLeadingNumber(Text(lower)),
                                        ParseLeadingNumber(Text(upper)));
    SCOPED_TRACE("src " + Text(src) + " ref " + Text(ref) + " limits " + Text(lower) +
                 " " + Text(upper));
    for (const SearchKernel kernel : AvailableSearchKernels()) {
      if (i % 2 == 0 || long_run) ExpectSameState(s, Searched(src, ref, lower, upper, kernel), kernel);
    }
    ASSERT_EQ(r.fault.has_value(), s.fault.has_value());
    if (r.fault) {
      EXPECT_EQ(FaultKindName(*r.fault), FaultKindName(*s.fault));
      continue;
    }
    ASSERT_EQ(r.exact, s.exact);
    ASSERT_EQ(r.best_r, s.state.BestR);
    ASSERT_EQ(r.best_n, s.state.BestN);
    ASSERT_EQ(r.exact, IsExactMatch(s.state));
  }
}

// With ref 10 and the limits 5 and 100 kHz, R 1 ... 99 are skipped, R 100
// is the first admitted (and exact for 1000 MHz), and R 2001 stops the
// search. Starting the R range one later shifts each of these candidates
// one lane on, so each lands on every lane of every kernel's blocks.
TEST(DividerSearch, EveryKernelAtEveryLaneOfABlock) {
  struct Case {
    const char* what;
    double src;
    std::int32_t at;  // the candidate that must land on each lane
  } cases[] = {{"exact match", 1000, 100},
               {"first admitted after skips", 1000.001, 100},
               {"lower-limit stop", 1000.001, 2001}};
  for (const Case& c : cases) {
    for (std::int32_t first = c.at - 20; first < c.at - 11; ++first) {
      const SearchBounds bounds = SearchBounds::Ranges(first, kLastRTrial, -INFINITY, INFINITY);
      const Search scalar = Searched(c.src, 10, 5, 100, SearchKernel::kScalar, bounds);
      SCOPED_TRACE(std::string(c.what) + ", R from " + std::to_string(first));
      for (const SearchKernel kernel : AvailableSearchKernels()) {
        ExpectSameState(scalar, Searched(c.src, 10, 5, 100, kernel, bounds), kernel);
      }
    }
  }
  // An exact pair whose N is out of bounds, on each lane: passed over.
  for (std::int32_t first = 80; first < 89; ++first) {
    const SearchBounds bounds = SearchBounds::Ranges(first, kLastRTrial, 10001, 1e9);
    const Search scalar = Searched(1000, 10, 5, 100, SearchKernel::kScalar, bounds);
    EXPECT_EQ(101, scalar.state.BestR);
    for (const SearchKernel kernel : AvailableSearchKernels()) {
      ExpectSameState(scalar, Searched(1000, 10, 5, 100, kernel, bounds), kernel);
    }
  }
}

// Every candidate from the first R to the last or to the lower-limit stop,
// one at a time, as the search's rules read: the state it leaves.
Search FullScan(double src, double ref, double lower, double upper, const SearchBounds& bounds) {
  Search s;
  SearchState& st = s.state;
  st.SrcFreq = src;
  st.RefFreq = ref;
  st.BestDiff = 99999999;
  for (std::int32_t r = bounds.FirstTriedR(); r <= bounds.LastTriedR(); ++r) {
    const CandidateValues v = EvaluatePlain(src, ref, r);
    st.RTrial = r;
    st.FComp = v.fcomp;
    if (v.khz < lower) return s;
    if (!(v.khz <= upper)) continue;
    st.NTrial = v.n;
    st.FCompAct = v.act;
    st.FCompDiff = v.diff;
    if (!bounds.Admits(v.n)) continue;
    if (std::fabs(v.diff) < st.BestDiff) {
      st.BestDiff = std::fabs(v.diff);
      st.BestR = r;
      st.BestN = v.n;
    }
    if (std::fabs(v.diff) < kExactBelow) {
      s.exact = true;
      return s;
    }
  }
  return s;
}

TEST(DividerSearch, AnNBoundEndsTheScanWhereTheFullScanWouldEnd) {
  // Past the largest N no later R is admitted, so the search may end early;
  // it must leave the state the full scan leaves.
  std::mt19937_64 random(20261209);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  for (int i = 0; i < 400; ++i) {
    const double ref = i % 3 == 0 ? 10 : uniform(1, 100);
    const double src = uniform(100, 20000) + (i % 2 == 0 ? 0.0123 : 0);
    const double lower = i % 4 == 0 ? 0.5 : uniform(0.5, 50);
    const double upper = uniform(lower, 5000);
    const double max_n = std::round(uniform(100, 200000));
    const std::int32_t last = i % 5 == 0 ? 3000 : 40000;
    const SearchBounds bounds = SearchBounds::Ranges(1, last, 1, max_n);
    const Search full = FullScan(src, ref, ParseLeadingNumber(Text(lower)),
                                 ParseLeadingNumber(Text(upper)), bounds);
    SCOPED_TRACE("src " + Text(src) + " ref " + Text(ref) + " limits " + Text(lower) + " " +
                 Text(upper) + " N up to " + Text(max_n));
    for (const SearchKernel kernel : AvailableSearchKernels()) {
      ExpectSameState(full, Searched(src, ref, lower, upper, kernel, bounds), kernel);
    }
  }
}

TEST(DividerSearch, AFaultInsideAVectorBlockLeavesTheSameState) {
  // The quotient overflows from R = 10 on, inside the first blocks.
  for (const SearchKernel kernel : AvailableSearchKernels()) {
    const Search s = Searched(-std::numeric_limits<double>::max(), 1e300, 0, 1e302, kernel);
    ExpectSameState(Searched(-std::numeric_limits<double>::max(), 1e300, 0, 1e302), s, kernel);
    EXPECT_EQ(FaultKind::kOverflow, s.fault);
  }
}

}  // namespace
}  // namespace synthfactors
