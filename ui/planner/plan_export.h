// A plan written to a file with the command line's bytes: `synthfactors-cli
// --sweep` (and --json, and --common-r) for the same inputs. The CSV is
// written from the figures the plan keeps; JSON Lines, whose objects hold
// each channel's report, runs the channels again with the plan's inputs
// (and its one R, not chosen again). The file is
// written beside its place and renamed over it only once every byte is
// written, so a failed or cancelled export leaves no half file behind and
// any earlier file as it was.
#pragma once

#include <string>
#include <string_view>

#include "plan_run.h"
#include "sweep_writer.h"
#include "work_control.h"

namespace synthfactors::planner {

// Empty when written; else the reason, naming the file. Throws
// runner::WorkStopped after a stop (the file untouched).
std::string ExportPlan(const PlanOutcome& plan, std::string_view decimal_symbol,
                       formats::SweepFormat format, const std::string& path,
                       runner::WorkControl* control = nullptr);

}  // namespace synthfactors::planner
