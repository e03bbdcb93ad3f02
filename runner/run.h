// One run of the GO action without a window, and everything it produced:
// the window's texts, the figures as numbers, and the planning figures
// asked for. Every face (the command line, the Python module, the planner)
// runs the calculation through RunOnce, so all show the same figures.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arithmetic_fault.h"
#include "go_action.h"
#include "planning.h"

namespace synthfactors::runner {

// The five input texts, read exactly as the window reads its boxes; they
// start as the window's start texts.
struct RunInputs {
  std::string rf_out{StartText(Box::RFOut)};
  std::string mult{StartText(Box::RFMult)};
  std::string ref{StartText(Box::Ref)};
  std::string min_fc{StartText(Box::MinFC)};
  std::string max_fc{StartText(Box::MaxFC)};
  // The counter ranges as given, and the bounds they set (ReadCounterRanges).
  std::optional<std::string> r_range;
  std::optional<std::string> n_range;
  SearchBounds bounds;
};

// What a run reports beyond the window's texts, asked for by options.
struct PlanOptions {
  int alternatives = 0;       // 0: none asked for
  std::optional<double> fom;  // dBc/Hz at 1 Hz comparison frequency
};

// A ranked alternative and its in-band phase noise (with a figure of merit).
struct Alternative {
  int rank = 0;  // from 1
  RankedPair pair;
  std::optional<double> phase_noise;
};

struct RunResult {
  RunInputs inputs;
  PlanOptions plan;
  std::optional<std::string> rf_source;  // RFund, if the run wrote it
  std::optional<std::string> report;     // DivDisp, if the run wrote it
  RunStage stage = RunStage::kDone;
  std::optional<double> factor;  // RF Multiplication as the run read it
  // Set once the search has finished.
  std::optional<bool> exact;
  std::optional<double> r;
  std::optional<double> n;
  // The figures as the GO action computed them (see RunRecord).
  std::optional<double> comparison_khz;
  std::optional<double> error_hz;
  std::optional<double> error_ppb;
  std::optional<FaultKind> fault;
  std::string message;  // the fault message, or why nothing was calculated
  std::optional<double> phase_noise;  // of the chosen pair, with plan.fom
  // With plan.alternatives, once the search has finished.
  std::optional<std::vector<Alternative>> alternatives;

  bool Complete() const { return stage == RunStage::kDone; }
};

// Runs the action once, starting from fresh boxes and a fresh search state.
RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan = PlanOptions{});

}  // namespace synthfactors::runner
