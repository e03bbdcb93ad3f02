// The sweep with one reference divider for every channel: the choice first,
// then every point run with that R alone.
#pragma once

#include <functional>
#include <ostream>
#include <optional>
#include <string>
#include <string_view>

#include "common_r.h"
#include "run.h"
#include "sweep_range.h"
#include "sweep_writer.h"
#include "work_control.h"

namespace synthfactors::formats {

// "common R 1600, comparison 6.25 kHz, 12 of 81 channels exact, worst error
// 1250 Hz": the choice in one sentence, its figures exact (the files'
// comment line) or, for a status line a person reads, to nine digits
// ("comparison 19.8019802 kHz").
enum class SentenceFigures { kExact, kNineDigits };
std::string CommonRSentence(const CommonR& choice,
                            const std::optional<std::string>& path = std::nullopt,
                            SentenceFigures figures = SentenceFigures::kExact);

// The choice (ChoosePlanR) is written first, as a comment line ("# common R
// 1600, ...") before the CSV header or as an object of its own in JSON
// Lines, and handed to `announce` as its sentence; then every point (with a
// span, its points, the choice's line only with the first). When no R is
// chosen, nothing is written and the plan's reason is returned. The
// control (when not null) watches the choice and the sweep alike.
runner::PlanR WriteCommonRSweep(const runner::SweepRange& range,
                                const runner::RunInputs& others,
                                const runner::PlanOptions& plan,
                                std::string_view decimal_symbol, SweepFormat format,
                                std::ostream& out,
                                const std::function<void(std::string_view)>& announce,
                                runner::WorkControl* control = nullptr,
                                runner::PointSpan span = {});

}  // namespace synthfactors::formats
