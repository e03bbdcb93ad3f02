#include "batch.h"

#include <array>
#include <charconv>

#include <nlohmann/json.hpp>

#include "io_failure.h"
#include "json_reading.h"
#include "number_text.h"
#include "plan_options.h"
#include "chip_file.h"
#include "interrupt.h"
#include "result_json.h"

namespace synthfactors::cli {

using formats::FlushOrThrow;
using formats::JsonLine;
using formats::LoadChip;
using formats::ParseJson;
using formats::ReadFailure;
using formats::ResultToJson;
using formats::SystemReason;
namespace {

using Json = nlohmann::json;

using runner::RunInputs;
using runner::ShortestText;

// The members a line may have: the five input texts, the two counter
// ranges and the chip.
struct Member {
  std::string_view name;
  std::string RunInputs::*text = nullptr;
  std::optional<std::string> RunInputs::*option = nullptr;  // a string only
};

constexpr std::array<Member, 8> kMembers = {{
    {"rf_out", &RunInputs::rf_out},
    {"mult", &RunInputs::mult},
    {"ref", &RunInputs::ref},
    {"min_fc", &RunInputs::min_fc},
    {"max_fc", &RunInputs::max_fc},
    {"r_range", nullptr, &RunInputs::r_range},
    {"n_range", nullptr, &RunInputs::n_range},
    {"chip", nullptr, &RunInputs::chip},
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

// Deeper lines are refused as soon as the parser reaches this depth.
constexpr int kMaxNesting = 64;

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
  std::optional<Json> parsed = ParseJson(line, kMaxNesting, error);
  if (!parsed) {
    if (error.starts_with("nested")) error += ": a batch line is one flat object";
    return std::nullopt;
  }
  const Json& object = *parsed;
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
              "\": the members are rf_out, mult, ref, min_fc, max_fc, r_range, n_range and "
              "chip";
      return std::nullopt;
    }
    if (member->option != nullptr) {
      if (!value.is_string()) {
        error = "member \"" + key + "\" must be a string such as " +
                (key == "chip" ? "\"adf4106\"" : "\"1:16383\"");
        return std::nullopt;
      }
      inputs.*(member->option) = value.get<std::string>();
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
  if (inputs.chip && !(inputs.chip_profile = LoadChip(*inputs.chip, error))) return std::nullopt;
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
