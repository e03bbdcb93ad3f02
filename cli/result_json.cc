#include "result_json.h"

#include <cmath>
#include <cstdint>

#include "numeric_text.h"

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

Json AlternativesJson(const RunResult& result) {
  Json list = Json::array();
  int rank = 1;
  for (const RankedPair& pair : *result.alternatives) {
    Json row;
    row["rank"] = rank++;
    row["r"] = pair.R;
    row["n"] = Number(pair.N);
    row["comparison_khz"] = pair.ComparisonKHz;
    row["error_hz"] = pair.ErrorHz;
    row["error_ppb"] = pair.ErrorPpb;
    row["exact"] = pair.Exact;
    const std::string n_hex = HexTextOrEmpty(pair.N);
    row["r_hex"] = HexTextOrEmpty(pair.R);
    row["n_hex"] = n_hex.empty() ? Json(nullptr) : Json(n_hex);
    if (result.plan.fom) {
      row["phase_noise_dbc_hz"] = OrNull(InBandPhaseNoise(
          *result.plan.fom, pair.ComparisonKHz, pair.N, ParseLeadingNumber(result.inputs.mult)));
    }
    list.push_back(std::move(row));
  }
  return list;
}

}  // namespace

std::string HexTextOrEmpty(const std::optional<double>& value) {
  if (!value) return "";
  try {
    return ToHexText(*value);
  } catch (const ArithmeticFault&) {
    return "";
  }
}

Json ResultToJson(const RunResult& result) {
  Json out;
  out["rf_out"] = result.inputs.rf_out;
  out["mult"] = result.inputs.mult;
  out["ref"] = result.inputs.ref;
  out["min_fc"] = result.inputs.min_fc;
  out["max_fc"] = result.inputs.max_fc;
  if (!result.inputs.r_range.empty()) out["r_range"] = result.inputs.r_range;
  if (!result.inputs.n_range.empty()) out["n_range"] = result.inputs.n_range;
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
  if (result.plan.fom) out["phase_noise_dbc_hz"] = OrNull(result.phase_noise);
  if (result.plan.alternatives > 0) {
    out["alternatives"] = result.alternatives ? AlternativesJson(result) : Json(nullptr);
  }
  return out;
}

std::string JsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace synthfactors::cli
