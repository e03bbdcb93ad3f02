#include "batch.h"

#include <array>
#include <charconv>

#include <nlohmann/json.hpp>

#include "input_fields.h"
#include "io_failure.h"
#include "json_reading.h"
#include "number_text.h"
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
using formats::StandardInputReason;
namespace {

using Json = nlohmann::json;

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

int NextByte(std::streambuf& buffer) {
  try {
    return buffer.sbumpc();
  } catch (const std::ios_base::failure&) {
    throw ReadFailure(StandardInputReason("standard input could not be read"));
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

std::optional<BatchRun> ReadBatchLine(std::string_view line, std::string& error) {
  std::optional<runner::CheckedInputs> checked = formats::ReadRunLine(line, LoadChip, error);
  if (!checked) return std::nullopt;
  return BatchRun{std::move(checked->inputs), checked->plan};
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
    std::optional<BatchRun> run;
    if (read == LineRead::kLine) {
      if (IsBlank(line)) continue;
      run = ReadBatchLine(line, error);
    }
    std::optional<runner::RunResult> result;
    if (run) {
      result = runner::RunOnce(run->inputs, decimal_symbol, run->plan);
      if (result->refusal) {
        error = *result->refusal;  // refused as a bad member is
        result.reset();
      }
    }
    if (result) {
      out << JsonLine(ResultToJson(*result));
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
