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
    if (field.kind != FieldKind::kList || std::holds_alternative<std::monostate>(value)) {
      object[std::string(field.name)] = ValueJson(field.kind, value);
      continue;
    }
    Json list = Json::array();
    for (const runner::Alternative& alternative : *owner.alternatives) {
      list.push_back(ObjectJson(runner::kAlternativeFields, alternative, owner));
    }
    object[std::string(field.name)] = std::move(list);
  }
  return object;
}

}  // namespace

Json ResultToJson(const runner::RunResult& result) {
  return ObjectJson(runner::kResultFields, result, result);
}

Json CommonRToJson(const CommonR& choice) {
  Json object;
  for (const auto& field : runner::kCommonRFields) {
    object[std::string(field.name)] = ValueJson(field.kind, field.read(choice));
  }
  return object;
}

std::string JsonLine(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace synthfactors::formats
