// One reference divider R for every channel of a plan, chosen on the usable
// processors (see CommonR for the rule).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "planning.h"
#include "run.h"
#include "sweep_range.h"
#include "work_control.h"

namespace synthfactors::runner {

struct CommonRChoice {
  std::optional<CommonR> Choice;
  // When there is no choice: the first channel that no admitted R reaches,
  // or empty when each can be reached but not all with one R.
  std::optional<std::size_t> UnreachedChannel;
};

// The most channel-and-R trials a plan may ask for: channels x admitted R.
// The choice tries each admitted R on the channels, and when no R serves
// them all, each channel against the R to name one in the message; at this
// bound the worst case takes about a minute on two processors.
inline constexpr double kMaxCommonRTrials = 5e10;
// The same for a fractional-N chip, whose trials each search a fraction.
inline constexpr double kMaxFractionalCommonRTrials = 5e7;

// Source frequencies in MHz; the limits in kHz. Runs on `threads` workers
// (0: one per usable processor); the choice is the same for any number.
// With a control, the calling thread only watches: it ticks with the R
// tried (then the channels checked, when no R serves them all), and throws
// WorkStopped once the workers have returned from a stop.
CommonRChoice ChooseCommonR(const std::vector<double>& sources, double ref, double mult,
                            double lower_khz, double upper_khz, const SearchBounds& bounds,
                            int threads = 0, WorkControl* control = nullptr);

// The one R for the channels of `range` with the other inputs of `others`,
// read as the GO action reads them.
struct PlanR {
  std::optional<CommonR> choice;
  // Without a choice: why, in words.
  std::string error;
  // ... and whether it is because the plan asks for more than
  // kMaxCommonRTrials trials, which is refused before any is made.
  bool too_large = false;
  // With a chip that has prescaler modes: the P the choice was made with,
  // the one the highest channel needs (or the one asked for); every channel
  // is to run with it.
  std::optional<std::int32_t> prescaler;
  // With a chip whose reference path the run plans: the band's path, fixed
  // with its R for every channel, and its text ("x1/1/x1/10").
  std::optional<PathRequest> path;
  std::optional<std::string> path_text;
};
//
// With a fractional-N chip the choice follows its own rule: among the R of
// the window with which every channel has a setting, those with every
// channel on frequency first; among them the one whose nearest spur (over
// the channels; integer mode has none) lies furthest from the carrier,
// then the smaller R; with none such, the smallest worst error, then the
// same. With a reference path to plan, every setting of the path is
// weighed so, and among equal ones the higher comparison frequency, then
// the simpler path. The summary is worked out from the channels' own runs
// with that R.
PlanR ChoosePlanR(const SweepRange& range, const RunInputs& others, const PlanOptions& options,
                  WorkControl* control = nullptr);

// The inputs of every channel of a plan with its one R (and its prescaler):
// R fixed to the choice.
RunInputs InputsWithR(const RunInputs& others, const PlanR& plan);

}  // namespace synthfactors::runner
