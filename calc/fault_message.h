// The words the user reads when a run ends early: the kind of fault and its
// likely cause, from where in the run it happened. Both front ends use it.
#pragma once

#include <string>

#include "arithmetic_fault.h"
#include "go_action.h"

namespace synthfactors {

// For example "Division by zero: the RF multiplication factor is 0 or not a
// number, so RF Output cannot be divided by it."
std::string FaultMessage(FaultKind kind, RunStage where);

// The same, for a search narrowed by counter ranges: when no pair fits, the
// message names the ranges as well as the window.
std::string FaultMessage(FaultKind kind, RunStage where, const SearchBounds& bounds);

// Why a run that ended without a fault wrote nothing (RunStage::kZeroSource).
std::string_view ZeroSourceMessage();

}  // namespace synthfactors
