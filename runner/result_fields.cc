#include "result_fields.h"

#include "fractional_run.h"
#include "register_words.h"

#include "to_hex_text.h"

namespace synthfactors::runner {

std::optional<std::string> RegisterText(double value) {
  try {
    return ToHexText(value);
  } catch (const ArithmeticFault&) {
    return std::nullopt;
  }
}

namespace field_read {

bool WithReferencePath(const RunResult& r) {
  return r.inputs.chip_profile && r.inputs.chip_profile->reference_path && PathPlanned(r.inputs);
}

bool HasRegister(const RunResult& r, std::string_view name) {
  if (!r.plan.registers || !r.inputs.chip_profile) return false;
  const RegisterLayout* layout = LayoutNamed(r.inputs.chip_profile->register_map);
  if (layout == nullptr) return false;
  for (const RegisterName& reg : layout->registers) {
    if (reg.name == name) return true;
  }
  return false;
}

FieldValue PowerUp(const RunResult& r) {
  if (!r.registers || !r.inputs.chip_profile) return {};
  const RegisterLayout* layout = LayoutNamed(r.inputs.chip_profile->register_map);
  if (layout == nullptr) return {};
  return std::string(layout->power_up);
}

FieldValue WordNamed(const RunResult& r, std::string_view name) {
  if (!r.registers) return {};
  // The register's last write: what it holds once the words are written.
  for (auto at = r.registers->rbegin(); at != r.registers->rend(); ++at) {
    if (at->first == name) return at->second;
  }
  return {};
}

FieldValue FilterPart(const RunResult& r, double loop::LoopFilter::*part) {
  const loop::LoopFilter* filter = nullptr;
  if (r.loop_report) {
    filter = &r.loop_report->filter;
  } else if (r.plan.loop && r.plan.loop->band_model && r.loop) {
    filter = &r.plan.loop->band_model->Setup().filter;
  }
  if (filter == nullptr) return {};
  if (filter->order == 2 && (part == &loop::LoopFilter::c3 || part == &loop::LoopFilter::r3)) {
    return {};
  }
  return filter->*part;
}

}  // namespace field_read

}  // namespace synthfactors::runner
