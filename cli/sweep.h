// The channel sweep: the GO action at every point of a FROM:TO:STEP grid of
// RF output frequencies, the other inputs the same for every point.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "run_result.h"
#include "sweep_range.h"

namespace synthfactors::cli {

enum class SweepFormat { kCsv, kJsonLines };

inline constexpr std::string_view kSweepCsvHeader =
    "rf_out,rf_source,r,n,r_hex,n_hex,comparison_khz,error_hz,error_ppb,exact,"
    "fault";

// One CSV row (without line break) for a run, in the header's order. Numbers
// are shortest round-trip texts; a value the run did not reach is empty.
std::string SweepCsvRow(const RunResult& result);

// Writes the header (CSV only) and one line per point, in order. The points
// are computed a block at a time by `threads` workers (0: one per usable
// processor) that stay busy while finished blocks are written, with a
// bounded number of blocks waiting, so memory stays bounded however long
// the sweep; each point's run is the same on any thread, so the output is
// too. A failed write stops the sweep at once with WriteFailure.
// `first_line`, when not empty, is written before everything else; progress
// goes to `progress_terminal` when it is not null (see Progress).
void RunSweep(const SweepRange& range, const RunInputs& others,
              std::string_view decimal_symbol, SweepFormat format,
              std::ostream& out, int threads = 0, std::string_view first_line = {},
              std::ostream* progress_terminal = nullptr);

// The sweep with one reference divider for every channel (ChooseCommonR):
// the choice is written first, as a comment line ("# common R 1600, ...")
// before the CSV header or as an object of its own in JSON Lines, and as a
// sentence to `err`; then every point, run with that R alone. Returns false,
// writing nothing, with the reason in `error` when no R serves every
// channel.
bool RunCommonRSweep(const SweepRange& range, const RunInputs& others,
                     std::string_view decimal_symbol, SweepFormat format,
                     std::ostream& out, std::ostream& err, std::string& error);

// The one R of RunCommonRSweep, without writing anything; empty, with the
// reason in `error`, when no R serves every channel.
std::optional<CommonR> ChoosePlanR(const SweepRange& range, const RunInputs& others,
                                   std::string& error);

// The processors this process may run on (its affinity mask), at least 1.
int UsableProcessors();

}  // namespace synthfactors::cli
