#include "cli_app.h"

#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "batch.h"
#include "decimal_symbol.h"
#include "result_json.h"
#include "run_result.h"
#include "sweep.h"
#include "version.h"

namespace synthfactors::cli {
namespace {

constexpr std::string_view kSourceCaption = "RF Source Frequency";

std::string WithLineFeeds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// What the window would show, as lines on a terminal.
void PrintPlain(const RunResult& result, std::ostream& out) {
  if (result.rf_source) {
    out << kSourceCaption << *result.rf_source << " MHz\n";
  }
  if (result.report) out << '\n' << WithLineFeeds(*result.report) << '\n';
}

int SingleRun(const RunInputs& inputs, const std::string& decimal_symbol,
              bool json, std::ostream& out, std::ostream& err) {
  const RunResult result = RunOnce(inputs, decimal_symbol);
  if (json) {
    out << JsonLine(ResultToJson(result)) << '\n';
  } else {
    PrintPlain(result, out);
  }
  out.flush();
  if (result.Complete()) return kExitComplete;
  err << "synthfactors-cli: " << result.message << '\n';
  return kExitIncomplete;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::istream& in,
                   std::ostream& out, std::ostream& err) {
  CLI::App app{
      "Chooses the reference divider R and feedback divider N of an integer-N "
      "synthesiser for a wanted RF output frequency.",
      "synthfactors-cli"};
  RunInputs inputs = StartInputs();
  bool json = false;
  bool batch = false;
  std::string sweep;

  auto* rf_out = app.add_option("--rf-out", inputs.rf_out,
                                "RF output frequency, MHz")
                     ->type_name("TEXT");
  auto* mult = app.add_option("--mult", inputs.mult,
                              "RF multiplication factor (output = source x factor)")
                   ->type_name("TEXT")->capture_default_str();
  auto* ref = app.add_option("--ref", inputs.ref, "Reference input frequency, MHz")
                  ->type_name("TEXT")->capture_default_str();
  auto* min_fc = app.add_option("--min-fc", inputs.min_fc,
                                "Lowest allowed comparison frequency, kHz")
                     ->type_name("TEXT")->capture_default_str();
  auto* max_fc = app.add_option("--max-fc", inputs.max_fc,
                                "Highest allowed comparison frequency, kHz")
                     ->type_name("TEXT")->capture_default_str();
  app.add_flag("--json", json, "Write the result as a JSON object");
  auto* batch_flag = app.add_flag(
      "--batch", batch,
      "Read JSON Lines of inputs from standard input; write one result per line");
  auto* sweep_option =
      app.add_option("--sweep", sweep,
                     "Run every RF output frequency FROM, FROM+STEP, ... TO (MHz); "
                     "CSV, or JSON Lines with --json")
          ->type_name("FROM:TO:STEP");
  app.set_version_flag("--version", "synthfactors-cli " SYNTHFACTORS_VERSION);
  batch_flag->excludes(rf_out, mult, ref, min_fc, max_fc, sweep_option);
  sweep_option->excludes(rf_out);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? kExitComplete : kExitUsage;
  }

  const std::string decimal_symbol = DecimalSymbolFromEnvironment();
  if (batch) {
    return RunBatch(in, out, decimal_symbol) ? kExitComplete : kExitIncomplete;
  }
  if (sweep_option->count() > 0) {
    std::string error;
    const auto range = SweepRange::Parse(sweep, error);
    if (!range) {
      err << error << "\nRun with --help for more information.\n";
      return kExitUsage;
    }
    RunSweep(*range, inputs, decimal_symbol,
             json ? SweepFormat::kJsonLines : SweepFormat::kCsv, out);
    return kExitComplete;
  }
  return SingleRun(inputs, decimal_symbol, json, out, err);
}

}  // namespace synthfactors::cli
