#include "chip_file.h"

#include "file_access.h"
#include "input_fields.h"
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

std::optional<std::string> ChipProfileText(std::string_view chip, std::string& error) {
  if (const auto shipped = runner::ShippedProfileText(chip)) return std::string(*shipped);
  // Only a regular file: a device or a pipe (/dev/stdin in a batch line)
  // could block or take the batch's own input. A name too long to be a
  // file is shown cut short.
  const std::string path(chip);
  const std::string shown = Printable(runner::CutShort(chip, 200));
  // A profile is small: more than this is not one.
  constexpr std::size_t kMaxProfileBytes = 1 << 20;
  SmallFile file = ReadSmallFile(path, kMaxProfileBytes);
  switch (file.fault) {
    case SmallFile::Fault::kNone:
      return std::move(file.text);
    case SmallFile::Fault::kReadFailed:
      error = "chip profile " + shown + ": cannot be read";
      break;
    case SmallFile::Fault::kTooLong:
      error = "chip profile " + shown + ": longer than 1 MiB, so not a chip profile";
      break;
    case SmallFile::Fault::kNotOpened:
      error = "no chip profile \"" + shown + "\": not a shipped profile (" +
              runner::ShippedProfileNames() + ") and no file that can be read (" + file.why + ")";
      break;
  }
  return std::nullopt;
}

std::shared_ptr<const runner::ChipProfile> LoadChip(std::string_view chip, std::string& error) {
  const std::optional<std::string> text = ChipProfileText(chip, error);
  if (!text) return nullptr;
  const std::optional<Json> json = ParseJson(*text, kMaxNesting, error, Duplicates::kRefused);
  if (!json) {
    error = "chip profile " + Printable(runner::CutShort(chip, 200)) + ": " + Printable(error);
    return nullptr;
  }
  std::optional<runner::ChipProfile> profile =
      runner::ReadChipProfile(ValueOf(*json), chip, error);
  if (!profile) {
    error = Printable(error);
    return nullptr;
  }
  return std::make_shared<const runner::ChipProfile>(std::move(*profile));
}

std::optional<std::vector<std::shared_ptr<const runner::ChipProfile>>> ShippedChips(
    std::string& error) {
  std::vector<std::shared_ptr<const runner::ChipProfile>> chips;
  for (const runner::ShippedProfile& shipped : runner::ShippedProfiles()) {
    auto chip = LoadChip(shipped.name, error);
    if (!chip) return std::nullopt;
    chips.push_back(std::move(chip));
  }
  return chips;
}

}  // namespace synthfactors::formats
