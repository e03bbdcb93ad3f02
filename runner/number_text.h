// Numbers as texts, for input boxes and for machine-readable output. Every
// text is locale-independent and reads back as the same number.
//
//   - ShortestText: the shortest round-trip text, with an exponent where
//     that is shorter: 1000, 1000.001, 1e+16, -0.5.
//   - WholeText: a whole number with all its digits and no exponent:
//     1000000000000000000000 for 1e21. Meant for dividers.
//   - AsInt64: the value as a 64-bit integer when it is whole and within
//     -2^63 ... 2^63 - 1; else empty (fractions, larger values, NaN).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace synthfactors::runner {

std::string ShortestText(std::int64_t value);
std::string ShortestText(std::uint64_t value);
std::string ShortestText(double value);

std::string WholeText(double value);

std::optional<std::int64_t> AsInt64(double value);

}  // namespace synthfactors::runner
