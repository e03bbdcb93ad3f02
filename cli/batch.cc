#include "batch.h"

#include <array>
#include <charconv>

#include <nlohmann/json.hpp>

#include "io_failure.h"
#include "number_text.h"
#include "plan_options.h"
#include "interrupt.h"
#include "result_json.h"

namespace synthfactors::cli {
namespace {

using Json = nlohmann::json;

using runner::RunInputs;
using runner::ShortestText;

// The members a line may have: the five input texts and the two counter
// ranges.
struct Member {
  std::string_view name;
  std::string RunInputs::*text = nullptr;
  std::optional<std::string> RunInputs::*range = nullptr;
};

constexpr std::array<Member, 7> kMembers = {{
    {"rf_out", &RunInputs::rf_out},
    {"mult", &RunInputs::mult},
    {"ref", &RunInputs::ref},
    {"min_fc", &RunInputs::min_fc},
    {"max_fc", &RunInputs::max_fc},
    {"r_range", nullptr, &RunInputs::r_range},
    {"n_range", nullptr, &RunInputs::n_range},
}};

std::optional<std::string> MemberText(const Json& value) {
  switch (value.type()) {
    case Json::value_t::string:
      return value.get<std::string>();
    case Json::value_t::number_integer:
      return ShortestText(value.get<std::int64_t>());
    case Json::value_t::number_unsigned:
      return ShortestText(value.get<std::uint64_t>());
    case Json::value_t::number_float:
      return ShortestText(value.get<double>());
    default:
      return std::nullopt;
  }
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// nlohmann's messages start with "[json.exception.parse_error.101] ".
std::string WithoutExceptionTag(std::string_view what) {
  if (!what.empty() && what.front() == '[') {
    const auto close = what.find("] ");
    if (close != std::string_view::npos) what.remove_prefix(close + 2);
  }
  return std::string(what);
}

// Deeper lines are refused as soon as the parser reaches this depth, so a
// line of nested brackets costs no memory.
constexpr int kMaxNesting = 64;

struct TooDeep {};

Json ParseShallow(std::string_view line) {
  return Json::parse(line, [](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start ||
         event == Json::parse_event_t::array_start) &&
        depth >= kMaxNesting) {
      throw TooDeep{};
    }
    return true;
  });
}

int NextByte(std::streambuf& buffer) {
  try {
    return buffer.sbumpc();
  } catch (const std::ios_base::failure&) {
    throw ReadFailure(SystemReason("standard input could not be read"));
  }
}

enum class LineRead { kLine, kTooLong, kEnd };

// Reads up to the next line feed, keeping at most kMaxBatchLine bytes; the
// rest of a longer line is read and dropped, so memory stays bounded.
LineRead ReadLine(std::istream& in, std::string& line) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  bool any = false;
  bool too_long = false;
  for (;;) {
    const int c = NextByte(*buffer);
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      if (!any) return LineRead::kEnd;
      break;
    }
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxBatchLine) {
      line += static_cast<char>(c);
    } else {
      too_long = true;
    }
  }
  return too_long ? LineRead::kTooLong : LineRead::kLine;
}

}  // namespace

std::optional<RunInputs> ReadBatchLine(std::string_view line,
                                       std::string& error) {
  // The parser would take a NUL byte for the end of the text; JSON allows
  // none, not even inside a string.
  if (const auto nul = line.find('\0'); nul != std::string_view::npos) {
    error = "not valid JSON: a NUL byte at column " + std::to_string(nul + 1);
    return std::nullopt;
  }
  Json object;
  try {
    object = ParseShallow(line);
  } catch (const Json::exception& e) {  // parse errors, numbers beyond range
    error = "not valid JSON: " + WithoutExceptionTag(e.what());
    return std::nullopt;
  } catch (const TooDeep&) {
    error = "nested more than " + std::to_string(kMaxNesting) +
            " levels deep: a batch line is one flat object";
    return std::nullopt;
  }
  if (!object.is_object()) {
    error = "not a JSON object: each line must be an object such as "
            "{\"rf_out\": \"1000\"}";
    return std::nullopt;
  }

  RunInputs inputs;
  for (const auto& [key, value] : object.items()) {
    const Member* member = nullptr;
    for (const Member& m : kMembers) {
      if (m.name == key) member = &m;
    }
    if (member == nullptr) {
      error = "unknown member \"" + key +
              "\": the members are rf_out, mult, ref, min_fc, max_fc, r_range and n_range";
      return std::nullopt;
    }
    if (member->range != nullptr) {
      if (!value.is_string()) {
        error = "member \"" + key + "\" must be a string such as \"1:16383\"";
        return std::nullopt;
      }
      inputs.*(member->range) = value.get<std::string>();
      continue;
    }
    std::optional<std::string> text = MemberText(value);
    if (!text) {
      error = "member \"" + key + "\" must be a string or a number";
      return std::nullopt;
    }
    inputs.*(member->text) = std::move(*text);
  }
  if (!runner::ReadCounterRanges(inputs, "r_range", "n_range", error)) return std::nullopt;
  return inputs;
}

bool RunBatch(std::istream& in, std::ostream& out, std::string_view decimal_symbol,
              runner::WorkControl* control) {
  runner::Ticker ticker(control, 0, "lines");
  bool all_read = true;
  std::string line;
  for (std::int64_t number = 1;; ++number) {
    const LineRead read = [&] {
      const WaitingForInput waiting;
      return ReadLine(in, line);
    }();
    if (read == LineRead::kEnd) break;
    std::string error = "line longer than 1 MiB: a batch line holds five short texts";
    std::optional<RunInputs> inputs;
    if (read == LineRead::kLine) {
      if (IsBlank(line)) continue;
      inputs = ReadBatchLine(line, error);
    }
    if (inputs) {
      out << JsonLine(ResultToJson(runner::RunOnce(*inputs, decimal_symbol)));
    } else {
      all_read = false;
      nlohmann::ordered_json answer;
      answer["line"] = number;
      answer["error"] = error;
      out << JsonLine(answer);
    }
    out << '\n';
    FlushOrThrow(out);
    ticker.Tick(number);
  }
  return all_read;
}

}  // namespace synthfactors::cli
