#include "json_reading.h"

#include <set>
#include <vector>

#include "number_text.h"

namespace synthfactors::formats {
namespace {

using Json = nlohmann::json;

// nlohmann's messages start with "[json.exception.parse_error.101] ".
std::string WithoutExceptionTag(std::string_view what) {
  if (!what.empty() && what.front() == '[') {
    const auto close = what.find("] ");
    if (close != std::string_view::npos) what.remove_prefix(close + 2);
  }
  return std::string(what);
}

struct TooDeep {};
struct GivenTwice {
  std::string key;
};

}  // namespace

std::optional<Json> ParseJson(std::string_view text, int max_nesting, std::string& error,
                              Duplicates duplicates) {
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
    // A file saved as UTF-16 (as some Windows editors do): a byte-order
    // mark, or every other byte of its first letters NUL.
    const bool utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF") ||
                       (text.size() >= 2 && (text[0] == '\0') != (text[1] == '\0'));
    error = utf16 ? "not valid JSON: the text is UTF-16; save it as UTF-8"
                  : "not valid JSON: a NUL byte at column " + std::to_string(nul + 1);
    return std::nullopt;
  }
  // The keys of each object being read, innermost last.
  std::vector<std::set<std::string>> keys;
  const bool refuse_twice = duplicates == Duplicates::kRefused;
  try {
    return Json::parse(text, [&](int depth, Json::parse_event_t event, Json& parsed) {
      if ((event == Json::parse_event_t::object_start ||
           event == Json::parse_event_t::array_start) &&
          depth >= max_nesting) {
        throw TooDeep{};
      }
      if (!refuse_twice) return true;
      if (event == Json::parse_event_t::object_start) keys.emplace_back();
      if (event == Json::parse_event_t::object_end && !keys.empty()) keys.pop_back();
      if (event == Json::parse_event_t::key && !keys.empty() &&
          !keys.back().insert(parsed.get<std::string>()).second) {
        throw GivenTwice{parsed.get<std::string>()};
      }
      return true;
    });
  } catch (const Json::exception& e) {  // parse errors, numbers beyond range
    error = "not valid JSON: " + WithoutExceptionTag(e.what());
  } catch (const GivenTwice& twice) {
    error = "member \"" + twice.key + "\" is given twice in one object";
  } catch (const TooDeep&) {
    error = "nested more than " + std::to_string(max_nesting) + " levels deep";
  }
  return std::nullopt;
}

using runner::InputKind;
using runner::ShortestText;

namespace {

// A member's value as the text of an input that is no flag.
std::optional<std::string> InputMemberText(const runner::InputField& field, const Json& value,
                                           std::string& error) {
  // Texts only where a number would be a fraction of the value (a range, a
  // list of parts or points) or a word; the filter order's words are
  // numbers.
  const bool numbers =
      field.kind != InputKind::kCounterRange && field.kind != InputKind::kChip &&
      field.kind != InputKind::kParts && field.kind != InputKind::kNoisePoints &&
      field.kind != InputKind::kHertzBand && field.kind != InputKind::kPathText &&
      (field.kind != InputKind::kChoice || field.input == runner::Input::kFilterOrder);
  switch (value.type()) {
    case Json::value_t::string:
      return value.get<std::string>();
    case Json::value_t::number_integer:
      if (numbers) return ShortestText(value.get<std::int64_t>());
      break;
    case Json::value_t::number_unsigned:
      if (numbers) return ShortestText(value.get<std::uint64_t>());
      break;
    case Json::value_t::number_float:
      if (numbers) return ShortestText(value.get<double>());
      break;
    default:
      break;
  }
  const std::string key(field.key);
  error = "member \"" + key + "\" must be " +
          (field.kind == InputKind::kChip           ? "a string such as \"adf4106\""
           : field.kind == InputKind::kCounterRange ? "a string such as \"1:16383\""
           : field.kind == InputKind::kParts        ? "a string such as \"6.58n,85.6n,2.58k\""
           : field.kind == InputKind::kNoisePoints  ? "a string such as \"1000:-80,100000:-125\""
           : field.kind == InputKind::kHertzBand    ? "a string such as \"1000:10000000\""
           : field.kind == InputKind::kPathText     ? "a string such as \"x2/1/x1/R\""
           : field.kind == InputKind::kChoice
               ? "a string such as \"" + std::string(runner::ChoicesOf(field.input).back()) + "\""
                                                    : "a string or a number");
  return std::nullopt;
}

}  // namespace

bool SetInputMember(const runner::InputField& field, const Json& value, runner::InputTexts& texts,
                    std::string& error) {
  if (field.kind == InputKind::kFlag) {
    if (!value.is_boolean()) {
      error = "member \"" + std::string(field.key) + "\" must be true or false";
      return false;
    }
    texts.Flag(field.input) = value.get<bool>();
    return true;
  }
  std::optional<std::string> text = InputMemberText(field, value, error);
  if (!text) return false;
  texts[field.input] = std::move(*text);
  return true;
}

std::optional<runner::CheckedInputs> ReadRunLine(std::string_view line,
                                                const runner::ChipLoader& load_chip,
                                                std::string& error) {
  std::optional<nlohmann::json> parsed = ParseJson(line, kMaxRunLineNesting, error);
  if (!parsed) {
    if (error.starts_with("nested")) error += ": a batch line is one flat object";
    return std::nullopt;
  }
  const nlohmann::json& object = *parsed;
  if (!object.is_object()) {
    error = "not a JSON object: each line must be an object such as "
            "{\"rf_out\": \"1000\"}";
    return std::nullopt;
  }

  runner::InputTexts texts;
  for (const auto& [key, value] : object.items()) {
    const std::optional<runner::Input> input = runner::InputWithKey(key);
    if (!input || (runner::FieldOf(*input).modes & runner::kBatchRun) == 0) {
      error = "unknown member \"" + key + "\": the members are " +
              runner::KeyList(runner::kBatchRun);
      return std::nullopt;
    }
    if (!SetInputMember(runner::FieldOf(*input), value, texts, error)) return std::nullopt;
  }
  runner::ReadSettings settings;
  settings.naming = runner::Naming::kKey;
  settings.load_chip = load_chip;
  auto read = runner::ReadInputs(texts, settings);
  if (auto* faults = std::get_if<std::vector<runner::InputFault>>(&read)) {
    error = runner::FaultLines(*faults, "; ");
    return std::nullopt;
  }
  return std::get<runner::CheckedInputs>(std::move(read));
}

}  // namespace synthfactors::formats
