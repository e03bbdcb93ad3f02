#include "result_json.h"

#include "number_text.h"
#include "result_fields.h"

namespace synthfactors::formats {
namespace {

using Json = nlohmann::ordered_json;
using runner::FieldKind;
using runner::FieldValue;

// Whole numbers within the 64-bit range are written as integers.
Json ValueJson(FieldKind kind, const FieldValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* texts = std::get_if<std::vector<std::string>>(&value)) return *texts;
  if (const auto* words = std::get_if<runner::NamedWords>(&value)) {
    Json list = Json::array();
    for (const auto& [name, word] : *words) {
      Json entry;
      entry["name"] = name;
      entry["word"] = word;
      list.push_back(std::move(entry));
    }
    return list;
  }
  if (const auto* flag = std::get_if<bool>(&value)) return *flag;
  if (const auto* numbers = std::get_if<std::vector<double>>(&value)) return *numbers;
  if (const auto* number = std::get_if<double>(&value)) {
    if (kind == FieldKind::kWhole) {
      if (const auto whole = runner::AsInt64(*number)) return *whole;
    }
    return *number;
  }
  return nullptr;
}

template <typename Record, std::size_t N>
Json ObjectJson(const std::array<runner::Field<Record>, N>& fields, const Record& record,
                const runner::RunResult& owner) {
  Json object;
  for (const auto& field : fields) {
    if (!runner::IsPresent(field, owner)) continue;
    const FieldValue value = field.read(record);
    Json& member = object[std::string(field.name)];
    if (std::holds_alternative<std::monostate>(value)) {
      member = nullptr;
      continue;
    }
    switch (field.kind) {
      case FieldKind::kList:
        member = Json::array();
        for (const runner::Alternative& alternative : *owner.alternatives) {
          member.push_back(ObjectJson(runner::kAlternativeFields, alternative, owner));
        }
        break;
      case FieldKind::kLoop:
        member = ObjectJson(runner::kLoopFields, runner::LoopView{*owner.loop_report, *owner.loop},
                            owner);
        break;
      case FieldKind::kNoise:
        member = Json::array();
        for (const auto& row : owner.loop_report->noise) {
          member.push_back(ObjectJson(runner::kNoiseFields, row, owner));
        }
        break;
      default:
        member = ValueJson(field.kind, value);
        break;
    }
  }
  return object;
}

}  // namespace

Json ResultToJson(const runner::RunResult& result) {
  return ObjectJson(runner::kResultFields, result, result);
}

Json CommonRToJson(const CommonR& choice, const std::optional<std::string>& path) {
  Json object;
  for (const auto& field : runner::kCommonRFields) {
    object[std::string(field.name)] = ValueJson(field.kind, field.read(choice));
  }
  if (path) object["reference_path"] = *path;
  return object;
}

std::string JsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace synthfactors::formats
