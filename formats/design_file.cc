#include "design_file.h"

#include <ostream>

#include <nlohmann/json.hpp>

#include "file_access.h"
#include "io_failure.h"
#include "json_reading.h"

namespace synthfactors::formats {
namespace {

// A design is flat: one object of strings, numbers and booleans.
constexpr int kMaxNesting = 4;
constexpr std::size_t kMaxDesignBytes = 1 << 20;

constexpr runner::GridWords kDesignGridWords = {
    "sweep: ", "FROM", "TO", "STEP",
    "sweep takes \"FROM:TO:STEP\", three decimal numbers in MHz, for example "
    "\"10368:10370:0.025\""};

bool InDesign(const runner::InputField& field) { return (field.modes & runner::kPlannerRun) != 0; }

std::string MemberList() {
  return "sweep, common_r, " + runner::KeyList(runner::kPlannerRun);
}

}  // namespace

std::string DesignJson(const Design& design) {
  nlohmann::ordered_json json;
  json["sweep"] = design.sweep;
  for (const runner::InputField& field : runner::kInputFields) {
    if (!InDesign(field)) continue;
    if (field.kind == runner::InputKind::kFlag) {
      if (const std::optional<bool>& flag = design.texts.Flag(field.input)) {
        json[std::string(field.key)] = *flag;
      }
    } else if (const std::optional<std::string>& text = design.texts[field.input]) {
      json[std::string(field.key)] = *text;
    }
  }
  json["common_r"] = design.common_r;
  return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::optional<Design> DesignFromJson(std::string_view text, std::string& error) {
  const std::optional<nlohmann::json> json =
      ParseJson(text, kMaxNesting, error, Duplicates::kRefused);
  if (!json) return std::nullopt;
  if (!json->is_object()) {
    error = "a design is one JSON object, such as {\"sweep\": \"10368:10370:0.025\"}";
    return std::nullopt;
  }
  Design design;
  bool has_sweep = false;
  for (const auto& [key, value] : json->items()) {
    if (key == "sweep") {
      if (!value.is_string()) {
        error = "member \"sweep\" must be a string such as \"10368:10370:0.025\"";
        return std::nullopt;
      }
      design.sweep = value.get<std::string>();
      has_sweep = true;
      continue;
    }
    if (key == "common_r") {
      if (!value.is_boolean()) {
        error = "member \"common_r\" must be true or false";
        return std::nullopt;
      }
      design.common_r = value.get<bool>();
      continue;
    }
    const std::optional<runner::Input> input = runner::InputWithKey(key);
    if (!input || !InDesign(runner::FieldOf(*input))) {
      error = "unknown member \"" + Printable(runner::CutShort(key, 40)) +
              "\"; a design's members are " + MemberList();
      return std::nullopt;
    }
    if (!SetInputMember(runner::FieldOf(*input), value, design.texts, error)) return std::nullopt;
  }
  if (!has_sweep) {
    error = "member \"sweep\" is missing: the band as \"FROM:TO:STEP\" in MHz";
    return std::nullopt;
  }
  // A box left out takes its start text, as in a batch line.
  for (const runner::InputField& field : runner::kInputFields) {
    if (InDesign(field) && !field.start.empty() && !design.texts[field.input]) {
      design.texts[field.input] = std::string(field.start);
    }
  }
  return design;
}

std::optional<Design> ReadDesign(const std::string& path, std::string& error) {
  const std::string shown = "design " + Printable(runner::CutShort(path, 200)) + ": ";
  const SmallFile file = ReadSmallFile(path, kMaxDesignBytes);
  switch (file.fault) {
    case SmallFile::Fault::kNone:
      break;
    case SmallFile::Fault::kNotOpened:
      error = shown + "no file that can be read (" + file.why + ")";
      return std::nullopt;
    case SmallFile::Fault::kReadFailed:
      error = shown + "cannot be read";
      return std::nullopt;
    case SmallFile::Fault::kTooLong:
      error = shown + "longer than 1 MiB, so not a design";
      return std::nullopt;
  }
  std::optional<Design> design = DesignFromJson(file.text, error);
  if (!design) error = shown + Printable(error);
  return design;
}

std::string WriteDesign(const std::string& path, const Design& design) {
  const std::string text = DesignJson(design);
  return WriteReplacing(path, [&text](std::ostream& out) {
    out << text;
    FlushOrThrow(out);
  });
}

std::variant<CheckedDesign, std::string> CheckDesign(const Design& design,
                                                     const runner::ChipLoader& load_chip) {
  std::string grid_error;
  std::optional<runner::SweepRange> range;
  const auto first = design.sweep.find(':');
  const auto second = first == std::string::npos ? first : design.sweep.find(':', first + 1);
  if (second == std::string::npos || design.sweep.find(':', second + 1) != std::string::npos) {
    grid_error = std::string(kDesignGridWords.usage);
  } else {
    range = runner::SweepRange::FromParts(
        std::string_view(design.sweep).substr(0, first),
        std::string_view(design.sweep).substr(first + 1, second - first - 1),
        std::string_view(design.sweep).substr(second + 1), kDesignGridWords, grid_error);
  }
  runner::ReadSettings settings;
  settings.naming = runner::Naming::kKey;
  settings.reading = runner::Reading::kStrict;
  settings.load_chip = load_chip;
  settings.grid = range ? &*range : nullptr;
  auto read = runner::ReadInputs(design.texts, settings);
  std::string faults = grid_error;
  if (auto* found = std::get_if<std::vector<runner::InputFault>>(&read)) {
    faults += (faults.empty() ? "" : "\n") + runner::FaultLines(*found);
  }
  if (!faults.empty()) return faults;
  return CheckedDesign{*range, std::get<runner::CheckedInputs>(std::move(read))};
}

}  // namespace synthfactors::formats
