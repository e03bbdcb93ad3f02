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

// How a face names the grid and its three numbers in its messages.
struct GridWords {
  std::string_view prefix;           // before each message, as "--sweep: "
  std::string_view from, to, step;   // the three numbers, as "FROM"
  std::string_view usage;            // the whole message for a text that is not a grid
};

// The command line's words: "--sweep: STEP must be greater than 0".
inline constexpr GridWords kSweepOptionWords = {
    "--sweep: ", "FROM", "TO", "STEP",
    "--sweep takes FROM:TO:STEP, three decimal numbers in MHz, for example "
    "10368:10370:0.025"};

// Which of the three numbers a grid's fault lies in.
enum class GridPart { kFrom, kTo, kStep };

class SweepRange {
 public:
  // "FROM:TO:STEP", or nullopt with the reason in `error`, in the command
  // line's words.
  static std::optional<SweepRange> Parse(std::string_view text,
                                         std::string& error);
  // The three numbers apart, the reason in `words`, and (when asked) the
  // number at fault in `part`.
  static std::optional<SweepRange> FromParts(std::string_view from, std::string_view to,
                                             std::string_view step, const GridWords& words,
                                             std::string& error, GridPart* part = nullptr);

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
