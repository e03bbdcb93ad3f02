#include "chip_file.h"

#include "json_reading.h"

namespace synthfactors::formats {
namespace {

using Json = nlohmann::json;

// Profiles are small and flat; deeper nesting is no profile.
constexpr int kMaxNesting = 16;

runner::ProfileValue ValueOf(const Json& json) {
  runner::ProfileValue value;
  switch (json.type()) {
    case Json::value_t::boolean:
      value.value = json.get<bool>();
      break;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      value.value = json.get<double>();
      break;
    case Json::value_t::string:
      value.value = json.get<std::string>();
      break;
    case Json::value_t::array: {
      runner::ProfileValue::Array array;
      for (const Json& item : json) array.push_back(ValueOf(item));
      value.value = std::move(array);
      break;
    }
    case Json::value_t::object: {
      runner::ProfileValue::Object object;
      for (const auto& [key, item] : json.items()) {
        object.names.push_back(key);
        object.values.push_back(ValueOf(item));
      }
      value.value = std::move(object);
      break;
    }
    default:
      break;
  }
  return value;
}

}  // namespace

std::shared_ptr<const runner::ChipProfile> LoadChip(std::string_view chip, std::string& error) {
  const std::optional<std::string> text = runner::ChipProfileText(chip, error);
  if (!text) return nullptr;
  const std::optional<Json> json = ParseJson(*text, kMaxNesting, error);
  if (!json) {
    error = "chip profile " + std::string(chip) + ": " + error;
    return nullptr;
  }
  std::optional<runner::ChipProfile> profile =
      runner::ReadChipProfile(ValueOf(*json), chip, error);
  if (!profile) return nullptr;
  return std::make_shared<const runner::ChipProfile>(std::move(*profile));
}

}  // namespace synthfactors::formats
