// A single run as lines of text (the command line's plain output, the
// planner's report of an alternative): what the window would show, then the
// planning figures asked for.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "run.h"

namespace synthfactors::formats {

// "RF Source Frequency" and the source, the report with line feeds, and
// after a report the counters, the output divider, the phase noise line, the
// register words ("Register R5  0x00580005", in write order), the notes and
// the alternatives table, each where the run has them.
void WritePlain(const runner::RunResult& result, std::string_view decimal_symbol,
                std::ostream& out);

// "Counters  P 16/17  B 0xA2  A 0x0": a dual-modulus chip's registers, in
// hexadecimal as in the report.
std::string CountersLine(const runner::RunResult& result);

// "Output divider  /2  VCO 5184.0125 MHz  fundamental feedback": a chip's
// output divider and the VCO frequency the pair gives (the report's
// decimal symbol).
std::string OutputDividerLine(const runner::RunResult& result, std::string_view decimal_symbol);

// "In-band phase noise  -93.0 dBc/Hz", one decimal, the report's decimal
// symbol; with a flicker figure, where it is read and both parts:
// "... at 10 kHz (floor -93.0, flicker -120.0)"; or why there is no figure.
std::string PhaseNoiseLine(const runner::RunResult& result, std::string_view decimal_symbol);

// The ranked alternatives as an aligned table with a header line, one line
// per pair, each line ending in a line feed. The figures are those of the
// report's digit masks, with a 0 before a bare decimal symbol.
std::string AlternativesTable(const runner::RunResult& result, std::string_view decimal_symbol);

}  // namespace synthfactors::formats
