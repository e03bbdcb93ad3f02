// The channel sweep: the GO action at every point of a FROM:TO:STEP grid of
// RF output frequencies, the other inputs the same for every point, on the
// usable processors. Each point's run is the same on any thread, so what
// the faces make of it is the same for any number of threads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "run.h"
#include "sweep_range.h"
#include "work_control.h"

namespace synthfactors::runner {

// Point `index` of the grid, with the other inputs of `others`.
RunResult RunPoint(const SweepRange& range, std::int64_t index, const RunInputs& others,
                   std::string_view decimal_symbol, const PlanOptions& plan = PlanOptions{});

// The highest source frequency (MHz, its magnitude) the points ask for:
// that of the end further from 0, the grid being monotonic.
std::optional<double> HighestSourceMHz(const SweepRange& range, const RunInputs& others);

// With a loop, both sweeps first fit one filter to the band (PlanForBand,
// loop_run.h), and throw RunRefused where it cannot be designed.

// A part of the grid: the points first ... end - 1 (end -1: to the last).
// A band's loop filter and one R are still those of the whole grid, so a
// part's lines are those of the whole sweep's.
struct PointSpan {
  std::int64_t first = 0;
  std::int64_t end = -1;
};

// For output in order: blocks of consecutive points are run on `threads`
// workers (0: one per usable processor); append(result, text) adds a
// point's text to its block's (on a worker), and write(text, points_done)
// gets each block's text in order on the calling thread. Memory stays
// bounded however long the sweep. When write throws, no further block is
// started and the exception goes on to the caller. With a control, the
// calling thread ticks after each block written, and a stop ends the sweep
// after whole blocks with WorkStopped.
void SweepInOrder(const SweepRange& range, const RunInputs& others,
                  const PlanOptions& plan, std::string_view decimal_symbol,
                  const std::function<void(const RunResult&, std::string&)>& append,
                  const std::function<void(const std::string&, std::int64_t)>& write,
                  int threads = 0, WorkControl* control = nullptr, PointSpan span = {});

// For results kept by point: each(index, result) is called once for every
// point, on any of `threads` workers (0: one per usable processor), in no
// particular order. With a control, the workers have threads of their own
// while the calling thread ticks with the points done; a stop ends the
// sweep with WorkStopped once they have returned.
void SweepEveryPoint(const SweepRange& range, const RunInputs& others,
                     const PlanOptions& plan, std::string_view decimal_symbol,
                     const std::function<void(std::int64_t, const RunResult&)>& each,
                     int threads = 0, WorkControl* control = nullptr);

}  // namespace synthfactors::runner
