// The grid of a channel sweep, FROM:TO:STEP in MHz, held as exact decimals so
// that every point's text is FROM + i x STEP written exactly (10368.025, never
// 10368.025000000001).
//
//   - Each of FROM, TO and STEP is a decimal number without exponent:
//     [+-]digits[.digits], or [+-].digits.
//   - STEP must be above 0, TO must not be below FROM, and the grid may hold
//     at most kMaxSweepPoints points; TO is the last point when it falls on
//     the grid.
//   - After aligning the decimals, each number may have at most 30 digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace synthfactors::runner {

// GCC's 128-bit integers hold 30-digit values times 10 million points.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

inline constexpr std::int64_t kMaxSweepPoints = 10'000'000;

class SweepRange {
 public:
  // The range, or nullopt with the reason in `error`.
  static std::optional<SweepRange> Parse(std::string_view text,
                                         std::string& error);

  std::int64_t PointCount() const { return count_; }
  // Point i (0 <= i < PointCount()) as the shortest exact decimal text:
  // "10368.025", "-5", "0.5".
  std::string PointText(std::int64_t index) const;

 private:
  Int128 from_ = 0;  // in units of 10^-scale_
  Int128 step_ = 0;
  int scale_ = 0;
  std::int64_t count_ = 0;
};

}  // namespace synthfactors::runner
