// One run of the GO action on in-memory boxes, and what it produced.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "arithmetic_fault.h"
#include "go_action.h"

namespace synthfactors::cli {

// The five input texts, read exactly as the window reads its boxes.
struct RunInputs {
  std::string rf_out;
  std::string mult;
  std::string ref;
  std::string min_fc;
  std::string max_fc;
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

  bool Complete() const { return stage == RunStage::kDone; }
};

// Runs the action once, starting from fresh boxes and a fresh search state.
RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol);

}  // namespace synthfactors::cli
