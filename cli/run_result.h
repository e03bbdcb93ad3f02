// One run of the GO action on in-memory boxes, and what it produced.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arithmetic_fault.h"
#include "go_action.h"
#include "planning.h"

namespace synthfactors::cli {

// The five input texts, read exactly as the window reads its boxes; they
// start as the window's start texts.
struct RunInputs {
  std::string rf_out{StartText(Box::RFOut)};
  std::string mult{StartText(Box::RFMult)};
  std::string ref{StartText(Box::Ref)};
  std::string min_fc{StartText(Box::MinFC)};
  std::string max_fc{StartText(Box::MaxFC)};
  // The counter ranges as given ("" when not), and the bounds they set.
  std::string r_range;
  std::string n_range;
  SearchBounds bounds;
};

// What a run reports beyond the window's texts, asked for by options.
struct PlanOptions {
  int alternatives = 0;       // 0: none asked for
  std::optional<double> fom;  // dBc/Hz at 1 Hz comparison frequency
};

// The window's start texts.
RunInputs StartInputs();

struct RunResult {
  RunInputs inputs;
  std::optional<std::string> rf_source;  // RFund, if the run wrote it
  std::optional<std::string> report;     // DivDisp, if the run wrote it
  RunStage stage = RunStage::kDone;
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
  PlanOptions plan;
  std::optional<double> phase_noise;  // of the chosen pair, with plan.fom
  // With plan.alternatives, once the search has finished.
  std::optional<std::vector<RankedPair>> alternatives;

  bool Complete() const { return stage == RunStage::kDone; }
};

// Runs the action once, starting from fresh boxes and a fresh search state.
RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan = PlanOptions{});

}  // namespace synthfactors::cli
