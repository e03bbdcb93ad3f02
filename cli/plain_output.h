// A single run as lines on a terminal: what the window would show, then the
// planning figures asked for.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "run.h"

namespace synthfactors::cli {

// "RF Source Frequency" and the source, the report with line feeds, and
// for a complete run the phase noise line and the alternatives table.
void WritePlain(const runner::RunResult& result, std::string_view decimal_symbol,
                std::ostream& out);

// "In-band phase noise  -93.0 dBc/Hz", one decimal, the report's decimal
// symbol; or why there is no figure.
std::string PhaseNoiseLine(const std::optional<double>& noise, std::string_view decimal_symbol);

// The ranked alternatives as an aligned table with a header line, one line
// per pair, each line ending in a line feed. The figures are those of the
// report's digit masks, with a 0 before a bare decimal symbol.
std::string AlternativesTable(const runner::RunResult& result, std::string_view decimal_symbol);

}  // namespace synthfactors::cli
