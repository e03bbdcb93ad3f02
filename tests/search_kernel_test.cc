// Each vector kernel against the candidate formula on plain doubles: where a
// scan stops and every value it hands on must be what one candidate at a
// time gives, on every lane, ties of the rounding of N included.
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "candidate.h"
#include "divider_search.h"
#include "search_kernel.h"

namespace synthfactors {
namespace {

#if defined(__x86_64__)

CandidateValues Plainly(const KernelInputs& in, int r) {
  return EvaluatePlain(in.src, in.ref, r);
}

bool NeedsALook(const KernelInputs& in, const CandidateValues& v, double best_diff) {
  return !(v.khz >= in.lower) || !(v.khz <= in.upper) || !std::isfinite(v.n) ||
         !std::isfinite(v.diff) || std::fabs(v.diff) < best_diff || !(v.n >= in.min_n) ||
         !(v.n <= in.max_n);
}

struct Scanner {
  SearchKernel kernel;
  KernelScan scan;
  int lanes;
};

std::vector<Scanner> Scanners() {
  std::vector<Scanner> scanners;
  for (const SearchKernel kernel : AvailableSearchKernels()) {
    if (kernel == SearchKernel::kSse2) scanners.push_back({kernel, &ScanSse2, kSse2Lanes});
    if (kernel == SearchKernel::kAvx2) scanners.push_back({kernel, &ScanAvx2, kAvx2Lanes});
    if (kernel == SearchKernel::kAvx512) scanners.push_back({kernel, &ScanAvx512, kAvx512Lanes});
  }
  return scanners;
}

TEST(SearchKernel, StopsWhereOneAtATimeWouldLookAndPassesTheSameValues) {
  std::mt19937_64 random(8);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(random);
  };
  const std::vector<Scanner> scanners = Scanners();
  ASSERT_FALSE(scanners.empty());
  for (int i = 0; i < 20000; ++i) {
    KernelInputs in{uniform(-100, 20000), uniform(0.01, 100), -1e300, 1e300, -INFINITY,
                    INFINITY};
    const int first = 1 + static_cast<int>(random() % 5000);
    const int last = first + static_cast<int>(random() % 40);
    const int tie_at = first + static_cast<int>(random() % 40);
    switch (random() % 6) {
      case 0:  // N's rounding meets an exact half at `tie_at`: a dyadic FComp
        in.ref = std::ldexp(1.0, static_cast<int>(random() % 20));
        in.src = in.ref / tie_at * (static_cast<double>(random() % 100000) + 0.5);
        break;
      case 1:  // the limits cut the range somewhere
        in.lower = Plainly(in, first + static_cast<int>(random() % 40)).khz;
        break;
      case 2:
        in.upper = Plainly(in, first + static_cast<int>(random() % 40)).khz;
        break;
      case 3: {  // the N bounds
        const double n = Plainly(in, first + static_cast<int>(random() % 40)).n;
        (random() % 2 ? in.min_n : in.max_n) = n;
        break;
      }
      case 4:  // a source so large that quotients overflow
        in.src = std::numeric_limits<double>::max() / uniform(0.5, 2);
        in.ref = uniform(1e-3, 1);
        break;
      default:
        break;
    }
    // A best difference just at, above or below some lane's own.
    const double own = std::fabs(Plainly(in, tie_at).diff);
    const double best = std::vector<double>{99999999, own, std::nextafter(own, 0.0),
                                            std::nextafter(own, 1.0), 0}[random() % 5];
    for (const Scanner& s : scanners) {
      int expected = first;
      while (expected + s.lanes - 1 <= last) {
        bool look = false;
        for (int r = expected; r < expected + s.lanes; ++r) {
          look = look || NeedsALook(in, Plainly(in, r), best);
        }
        if (look) break;
        expected += s.lanes;
      }
      ScanResult found;
      s.scan(in, first, last, best, found);
      SCOPED_TRACE(std::string(SearchKernelName(s.kernel)) + " case " + std::to_string(i));
      ASSERT_EQ(expected, found.at);
      auto bits = [](double x) { return std::bit_cast<std::uint64_t>(x); };
      ASSERT_EQ(found.at > first, found.passed);
      if (found.passed) {
        const CandidateValues v = Plainly(in, found.at - 1);
        ASSERT_EQ(bits(v.fcomp), bits(found.last_fcomp));
        ASSERT_EQ(bits(v.n), bits(found.last_n));
        ASSERT_EQ(bits(v.act), bits(found.last_act));
        ASSERT_EQ(bits(v.diff), bits(found.last_diff));
      }
      ASSERT_EQ(found.at + s.lanes - 1 <= last, found.flagged);
      for (int lane = 0; found.flagged && lane < s.lanes; ++lane) {
        const CandidateValues v = Plainly(in, found.at + lane);
        ASSERT_EQ(bits(v.khz), bits(found.block.khz[lane]));
        ASSERT_EQ(bits(v.fcomp), bits(found.block.fcomp[lane]));
        ASSERT_EQ(bits(v.n), bits(found.block.n[lane]));
        ASSERT_EQ(bits(v.act), bits(found.block.act[lane]));
        ASSERT_EQ(bits(v.diff), bits(found.block.diff[lane]));
      }
    }
  }
}

#endif

}  // namespace
}  // namespace synthfactors
