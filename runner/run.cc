#include "run.h"

#include "fractional_run.h"
#include "integer_run.h"

namespace synthfactors::runner {

RunResult ResultShape(const RunInputs& inputs, const PlanOptions& plan) {
  return StartRun(inputs, plan);
}

RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan) {
  const BoxNumbers numbers = NumbersOf(inputs);
  if (HasFractionalChip(inputs)) return FractionalRunOnce(inputs, numbers, decimal_symbol, plan);
  return IntegerRunOnce(inputs, numbers, decimal_symbol, plan);
}

}  // namespace synthfactors::runner
