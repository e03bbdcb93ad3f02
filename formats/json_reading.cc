#include "json_reading.h"

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

}  // namespace

std::optional<Json> ParseJson(std::string_view text, int max_nesting, std::string& error) {
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) {
    error = "not valid JSON: a NUL byte at column " + std::to_string(nul + 1);
    return std::nullopt;
  }
  try {
    return Json::parse(text, [max_nesting](int depth, Json::parse_event_t event, Json&) {
      if ((event == Json::parse_event_t::object_start ||
           event == Json::parse_event_t::array_start) &&
          depth >= max_nesting) {
        throw TooDeep{};
      }
      return true;
    });
  } catch (const Json::exception& e) {  // parse errors, numbers beyond range
    error = "not valid JSON: " + WithoutExceptionTag(e.what());
  } catch (const TooDeep&) {
    error = "nested more than " + std::to_string(max_nesting) + " levels deep";
  }
  return std::nullopt;
}

}  // namespace synthfactors::formats
