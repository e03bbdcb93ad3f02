#include "result_json.h"

#include <cmath>
#include <cstdint>

namespace synthfactors::cli {
namespace {

using Json = nlohmann::ordered_json;

// Whole numbers within the 64-bit range are written as integers.
Json Number(const std::optional<double>& value) {
  if (!value) return nullptr;
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (*value == std::floor(*value) && *value >= -kTwoTo63 && *value < kTwoTo63) {
    return static_cast<std::int64_t>(*value);
  }
  return *value;
}

template <typename T>
Json OrNull(const std::optional<T>& value) {
  if (!value) return nullptr;
  return *value;
}

}  // namespace

Json ResultToJson(const RunResult& result) {
  Json out;
  out["rf_out"] = result.inputs.rf_out;
  out["mult"] = result.inputs.mult;
  out["ref"] = result.inputs.ref;
  out["min_fc"] = result.inputs.min_fc;
  out["max_fc"] = result.inputs.max_fc;
  out["rf_source"] = result.rf_source.value_or("");
  out["report"] = result.report.value_or("");
  out["exact"] = OrNull(result.exact);
  out["r"] = Number(result.r);
  out["n"] = Number(result.n);
  out["comparison_khz"] = OrNull(result.comparison_khz);
  out["error_hz"] = OrNull(result.error_hz);
  out["error_ppb"] = OrNull(result.error_ppb);
  out["fault"] = result.fault ? Json(std::string(FaultKindName(*result.fault)))
                              : Json(nullptr);
  out["message"] = result.message.empty() ? Json(nullptr) : Json(result.message);
  return out;
}

std::string JsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace synthfactors::cli
