// The sweep with one reference divider for every channel: the choice first,
// then every point run with that R alone.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "run.h"
#include "sweep_range.h"
#include "sweep_writer.h"

namespace synthfactors::cli {

// The choice (ChoosePlanR) is written first, as a comment line ("# common R
// 1600, ...") before the CSV header or as an object of its own in JSON
// Lines, and as a sentence to `err`; then every point. Returns false,
// writing nothing, with the reason in `error` when no R serves every
// channel.
bool WriteCommonRSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                       std::string_view decimal_symbol, SweepFormat format,
                       std::ostream& out, std::ostream& err, std::string& error);

}  // namespace synthfactors::cli
