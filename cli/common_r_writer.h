// The sweep with one reference divider for every channel: the choice first,
// then every point run with that R alone.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "common_r.h"
#include "run.h"
#include "sweep_range.h"
#include "sweep_writer.h"
#include "work_control.h"

namespace synthfactors::cli {

// The choice (ChoosePlanR) is written first, as a comment line ("# common R
// 1600, ...") before the CSV header or as an object of its own in JSON
// Lines, and as a sentence to `err`; then every point. When no R is chosen,
// nothing is written and the plan's reason is returned. The control (when
// not null) watches the choice and the sweep alike.
runner::PlanR WriteCommonRSweep(const runner::SweepRange& range,
                                const runner::RunInputs& others,
                                const runner::PlanOptions& plan,
                                std::string_view decimal_symbol, SweepFormat format,
                                std::ostream& out, std::ostream& err,
                                runner::WorkControl* control = nullptr);

}  // namespace synthfactors::cli
