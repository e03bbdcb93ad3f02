// The loop of a run as lines of text: the "Loop filter" block of the plain
// report.
#pragma once

#include <string>
#include <string_view>

#include "run.h"

namespace synthfactors::formats {

// A value with an SI prefix and four significant digits, rounded once from
// the exact double: 6.591316e-09 F is "6.591 nF", 33873.1 ohm "33.87 kOhm",
// 0.0001234 s "123.4 us", 2000 Hz "2.000 kHz"; 0 is "0 F". Prefixes from f
// to T ("u" for micro); beyond them the scientific form ("1.000e-18 F").
// Not finite: "-".
std::string EngineeringText(double value, std::string_view unit, std::string_view decimal_symbol);

// The block, each line ending in a line feed, or "" without a loop:
//
//   Loop filter  order 3, designed for 2 kHz and 47.1 degrees
//     C1 6.591 nF  C2 85.45 nF  R2 2.584 kOhm  C3 466.8 pF  R3 33.87 kOhm
//     Charge pump 4 mA  VCO gain 30 MHz/V
//     Bandwidth 2.000 kHz  phase margin 47.10 degrees
//     Phase noise at the RF output, dBc/Hz:
//        offset   total   PLL   VCO  reference  resistors
//        100 Hz   -85.2 ...
//     Jitter from 1 kHz to 10 MHz  phase error 0.1234 degrees rms  45.61 fs rms
//     Lock time 123.4 us to within 1 kHz after a 10 MHz step
//
// A source not given has no column; a figure that is not finite shows "-".
std::string LoopBlock(const runner::RunResult& result, std::string_view decimal_symbol);

}  // namespace synthfactors::formats
