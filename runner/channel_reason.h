// Why a channel has no setting, in the one wording every face shows beside
// it (the table's row, the status line, the page's rows).
#pragma once

#include <string>

#include "run_types.h"

namespace synthfactors::runner {

// Empty when the run found a setting (or was not asked for one). Otherwise
// one sentence without a "Note: " in front: where the chip cannot reach the
// channel's source frequency that note (it says more than the search's
// message), else the run's message, else the name of its fault.
std::string ChannelReason(const RunResult& result);

}  // namespace synthfactors::runner
