#include "sweep.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <functional>
#include <thread>
#include <vector>

#include "arithmetic_fault.h"
#include "fault_message.h"
#include "io_failure.h"
#include "ordered_pipeline.h"
#include "progress.h"
#include "numeric_text.h"
#include "planning.h"
#include "result_json.h"
#include "to_hex_text.h"

namespace synthfactors::cli {
namespace {

std::string NumberText(const std::optional<double>& value) {
  if (!value) return "";
  char buffer[32];
  return std::string(buffer,
                     std::to_chars(buffer, buffer + sizeof buffer, *value).ptr);
}

// A divider: whole, so written with all its digits and no exponent.
std::string WholeText(const std::optional<double>& value) {
  if (!value) return "";
  char buffer[400];  // the digits of the largest double
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *value,
                                           std::chars_format::fixed)
                                 .ptr);
}

// RFC 4180: a field with a comma, quote or line break is quoted.
std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    return std::string(text);
  }
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace

std::string SweepCsvRow(const RunResult& result) {
  const std::string fields[] = {
      CsvField(result.inputs.rf_out),
      CsvField(result.rf_source.value_or("")),
      WholeText(result.r),
      WholeText(result.n),
      HexTextOrEmpty(result.r),
      HexTextOrEmpty(result.n),
      NumberText(result.comparison_khz),
      NumberText(result.error_hz),
      NumberText(result.error_ppb),
      result.exact ? (*result.exact ? "true" : "false") : "",
      result.fault ? std::string(FaultKindName(*result.fault)) : ""};
  std::string row;
  for (const std::string& field : fields) {
    if (&field != fields) row += ',';
    row += field;
  }
  return row;
}

int UsableProcessors() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void RunSweep(const SweepRange& range, const RunInputs& others,
              std::string_view decimal_symbol, SweepFormat format,
              std::ostream& out, int threads, std::string_view first_line,
              std::ostream* progress_terminal) {
  if (threads <= 0) threads = UsableProcessors();
  if (!first_line.empty()) out << first_line << '\n';
  if (format == SweepFormat::kCsv) out << kSweepCsvHeader << '\n';

  // Blocks of consecutive points; each point's run is the same on any
  // thread, so the output is the same for any number of threads.
  constexpr std::int64_t kPointsPerBlock = 256;
  const std::int64_t count = range.PointCount();
  const std::int64_t blocks = (count + kPointsPerBlock - 1) / kPointsPerBlock;
  auto compute = [&](std::int64_t block, std::string& text) {
    RunInputs inputs = others;
    const std::int64_t last = std::min(count, (block + 1) * kPointsPerBlock);
    for (std::int64_t i = block * kPointsPerBlock; i < last; ++i) {
      inputs.rf_out = range.PointText(i);
      const RunResult result = RunOnce(inputs, decimal_symbol);
      text += format == SweepFormat::kCsv ? SweepCsvRow(result)
                                          : JsonLine(ResultToJson(result));
      text += '\n';
    }
  };
  Progress progress(progress_terminal, count, "points");
  std::int64_t done = 0;
  auto write = [&](const std::string& text) {
    out << text;
    ThrowIfWriteFailed(out);
    done = std::min(count, done + kPointsPerBlock);
    progress.Done(done);
  };
  RunOrdered(blocks, threads, compute, write);
  FlushOrThrow(out);
}

}  // namespace synthfactors::cli

namespace synthfactors::cli {
namespace {

std::string Shortest(double value) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string CommonRSentence(const CommonR& choice) {
  return "common R " + std::to_string(choice.R) + ", comparison " +
         Shortest(choice.ComparisonKHz) + " kHz, " + std::to_string(choice.ExactChannels) +
         " of " + std::to_string(choice.Channels) + " channels exact, worst error " +
         Shortest(choice.WorstErrorHz) + " Hz";
}

std::string CommonRJson(const CommonR& choice) {
  nlohmann::ordered_json object;
  object["common_r"] = choice.R;
  object["comparison_khz"] = choice.ComparisonKHz;
  object["exact_channels"] = choice.ExactChannels;
  object["channels"] = choice.Channels;
  object["worst_error_hz"] = choice.WorstErrorHz;
  return JsonLine(object);
}

}  // namespace

std::optional<CommonR> ChoosePlanR(const SweepRange& range, const RunInputs& others,
                                   std::string& error) {
  // The inputs as the GO action reads them, in its order.
  RunStage stage = RunStage::kReadFactor;
  double mult = 0, ref = 0, lower = 0, upper = 0;
  std::vector<double> sources;
  try {
    mult = ParseLeadingNumber(others.mult);
    if (mult == 0) {
      error = FaultMessage(FaultKind::kDivisionByZero, RunStage::kSourceFrequency);
      return std::nullopt;
    }
    stage = RunStage::kReadReference;
    ref = ParseLeadingNumber(others.ref);
    stage = RunStage::kReadLowerLimit;
    lower = ParseLeadingNumber(others.min_fc);
    stage = RunStage::kReadUpperLimit;
    upper = ParseLeadingNumber(others.max_fc);
  } catch (const ArithmeticFault& fault) {
    error = FaultMessage(fault.kind(), stage);
    return std::nullopt;
  }
  sources.reserve(static_cast<std::size_t>(range.PointCount()));
  for (std::int64_t i = 0; i < range.PointCount(); ++i) {
    sources.push_back(ParseLeadingNumber(range.PointText(i)) / mult);
  }

  const CommonRChoice choice =
      ChooseCommonR(sources, ref, mult, lower, upper, others.bounds, UsableProcessors());
  if (!choice.Choice) {
    error = "no one reference divider R serves every channel: ";
    if (choice.UnreachedChannel) {
      error += "no R that the window (Minimum Fcomp to Maximum Fcomp) and the counter "
               "ranges admit reaches the channel " +
               range.PointText(static_cast<std::int64_t>(*choice.UnreachedChannel)) +
               " MHz with an N of 1 or more within the N range.";
    } else {
      error += "each channel can be reached, but no single R reaches them all.";
    }
    return std::nullopt;
  }
  return choice.Choice;
}

bool RunCommonRSweep(const SweepRange& range, const RunInputs& others,
                     std::string_view decimal_symbol, SweepFormat format,
                     std::ostream& out, std::ostream& err, std::string& error) {
  const std::optional<CommonR> chosen = ChoosePlanR(range, others, error);
  if (!chosen) return false;
  const std::string sentence = CommonRSentence(*chosen);
  err << "synthfactors-cli: " << sentence << '\n';
  RunInputs with_r = others;
  with_r.bounds.FirstR = chosen->R;
  with_r.bounds.LastR = chosen->R;
  RunSweep(range, with_r, decimal_symbol, format, out, 0,
           format == SweepFormat::kCsv ? "# " + sentence : CommonRJson(*chosen),
           Progress::TerminalOrNull(err));
  return true;
}

}  // namespace synthfactors::cli
