#include "run.h"

#include "fractional_run.h"
#include "integer_run.h"
#include "reference_path.h"

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

RunInputs AlternativeInputs(const RunResult& listed, const Alternative& alternative) {
  RunInputs inputs = listed.inputs;
  inputs.r_range.reset();
  inputs.n_range.reset();
  inputs.bounds = SearchBounds::Ranges(alternative.pair.R, alternative.pair.R, alternative.pair.N,
                                       alternative.pair.N);
  const ChipProfile* chip = inputs.chip_profile.get();
  if (alternative.reference_path && chip != nullptr && chip->reference_path) {
    std::string error;
    if (auto request = ReadPathText(*chip->reference_path, *alternative.reference_path, error)) {
      inputs.path_request = *request;
    }
  }
  if (alternative.mash_order.value_or(0) > 0) inputs.mash_order = alternative.mash_order;
  return inputs;
}

}  // namespace synthfactors::runner
