// The planning figures as lines of text, after the report of a plain run.
#pragma once

#include <string>
#include <string_view>

#include "run_result.h"

namespace synthfactors::cli {

// "In-band phase noise  -93.0 dBc/Hz", one decimal, the report's decimal
// symbol; or why there is no figure.
std::string PhaseNoiseLine(const std::optional<double>& noise, std::string_view decimal_symbol);

// The ranked alternatives as an aligned table with a header line, one line
// per pair, each line ending in a line feed. The figures are those of the
// report's digit masks, with a 0 before a bare decimal symbol.
std::string AlternativesTable(const RunResult& result, std::string_view decimal_symbol);

}  // namespace synthfactors::cli
