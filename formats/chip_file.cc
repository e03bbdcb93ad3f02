#include "chip_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <system_error>

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

// Why `path` is not a regular file that can be read, or "" when it is one.
std::string NotReadable(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR:
        return "no such file";
      case ELOOP:
        return "a loop of symbolic links";
      default:
        return std::generic_category().message(errno);
    }
  }
  if (S_ISDIR(info.st_mode)) return "a directory, not a file";
  if (S_ISFIFO(info.st_mode)) return "a pipe, not a file";
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device, not a file";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return "";
}

// `text` with every byte that is not printable UTF-8 (a broken sequence, a
// control character) as \xNN, so that a message never writes raw bytes
// of a file to a terminal.
std::string Printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3
                                     : (byte >> 3) == 0x1E ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size() && !(length == 1 && (byte < 0x20 || byte == 0x7F));
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid) {
      shown.append(text.substr(i, length));
      i += length;
      continue;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xF];
    ++i;
  }
  return shown;
}

}  // namespace

std::optional<std::string> ChipProfileText(std::string_view chip, std::string& error) {
  if (const auto shipped = runner::ShippedProfileText(chip)) return std::string(*shipped);
  // Only a regular file: a device or a pipe (/dev/stdin in a batch line)
  // could block or take the batch's own input. A name too long to be a
  // file is shown cut short.
  const std::string path(chip);
  const std::string shown = Printable(runner::CutShort(chip, 200));
  std::string why = NotReadable(path);
  std::ifstream file;
  if (why.empty()) {
    file.open(path, std::ios::binary);
    if (!file) why = std::generic_category().message(errno != 0 ? errno : EACCES);
  }
  if (!why.empty()) {
    error = "no chip profile \"" + shown + "\": not a shipped profile (" +
            runner::ShippedProfileNames() + ") and no file that can be read (" + why + ")";
    return std::nullopt;
  }
  // A profile is small: more than this is not one.
  constexpr std::size_t kMaxProfileBytes = 1 << 20;
  std::string text;
  text.resize(kMaxProfileBytes + 1);
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (file.bad()) {
    error = "chip profile " + shown + ": cannot be read";
    return std::nullopt;
  }
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kMaxProfileBytes) {
    error = "chip profile " + shown + ": longer than 1 MiB, so not a chip profile";
    return std::nullopt;
  }
  return text;
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

}  // namespace synthfactors::formats
