#include "cli_app.h"

#include <cctype>
#include <ostream>
#include <string>

#include <CLI/CLI.hpp>

#include "batch.h"
#include "decimal_symbol.h"
#include "io_failure.h"
#include "plan_options.h"
#include "plan_report.h"
#include "progress.h"
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

// What the window would show, as lines on a terminal; then the planning
// figures asked for.
void PrintPlain(const RunResult& result, std::string_view decimal_symbol,
                std::ostream& out) {
  if (result.rf_source) {
    out << kSourceCaption << *result.rf_source << " MHz\n";
  }
  if (result.report) out << '\n' << WithLineFeeds(*result.report) << '\n';
  if (!result.Complete()) return;
  if (result.plan.fom) out << PhaseNoiseLine(result.phase_noise, decimal_symbol) << '\n';
  if (result.alternatives) out << '\n' << AlternativesTable(result, decimal_symbol);
}

int SingleRun(const RunInputs& inputs, const PlanOptions& plan,
              const std::string& decimal_symbol, bool json, std::ostream& out,
              std::ostream& err) {
  const RunResult result = RunOnce(inputs, decimal_symbol, plan);
  if (json) {
    out << JsonLine(ResultToJson(result)) << '\n';
  } else {
    PrintPlain(result, decimal_symbol, out);
  }
  FlushOrThrow(out);
  if (result.Complete()) return kExitComplete;
  err << "synthfactors-cli: " << result.message << '\n';
  return kExitIncomplete;
}

// An option that takes a value, given as its own word and followed by
// another option's name ("--rf-out --json"), is missing its value: CLI11
// would take the name as the value. "--rf-out -1000" and "--rf-out=--x"
// still pass their texts.
std::string MissingValue(const CLI::App& app, int argc, const char* const* argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") break;
    if (!word.starts_with("--")) continue;
    const CLI::Option* option = app.get_option_no_throw(std::string(word));
    if (option == nullptr || option->get_expected_min() < 1) continue;
    const std::string_view next = argv[i + 1];
    if (next.size() > 2 && next.starts_with("--") &&
        std::isalpha(static_cast<unsigned char>(next[2]))) {
      return std::string(word) + " needs a value, but is followed by the option " +
             std::string(next);
    }
    ++i;  // the value
  }
  return "";
}

int RunModes(int argc, const char* const* argv, std::istream& in,
             std::ostream& out, std::ostream& err);

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::istream& in,
                   std::ostream& out, std::ostream& err) {
  try {
    return RunModes(argc, argv, in, out, err);
  } catch (const WriteFailure& failure) {
    err << "synthfactors-cli: cannot write the output: " << failure.what() << '\n';
    return kExitWriteFailed;
  } catch (const ReadFailure& failure) {
    err << "synthfactors-cli: cannot read the input: " << failure.what() << '\n';
    return kExitReadFailed;
  }
}

namespace {

int RunModes(int argc, const char* const* argv, std::istream& in,
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
  std::string alternatives, fom;
  bool common_r = false;
  auto* r_range = app.add_option("--r-range", inputs.r_range,
                                 "Try only reference dividers R from MIN to MAX")
                      ->type_name("MIN:MAX");
  auto* n_range = app.add_option("--n-range", inputs.n_range,
                                 "Admit only feedback dividers N from MIN to MAX")
                      ->type_name("MIN:MAX");
  auto* alternatives_option =
      app.add_option("--alternatives", alternatives,
                     "Also list up to K admitted pairs, exact ones first, then by output error")
          ->type_name("K");
  auto* fom_option =
      app.add_option("--fom", fom,
                     "PLL figure of merit, dBc/Hz: adds the in-band phase noise of each pair")
          ->type_name("DBC");
  auto* common_r_flag = app.add_flag(
      "--common-r", common_r, "With --sweep: one reference divider R for every channel");
  app.set_version_flag("--version", "synthfactors-cli " SYNTHFACTORS_VERSION);
  batch_flag->excludes(rf_out, mult, ref, min_fc, max_fc, sweep_option, r_range, n_range,
                       alternatives_option, fom_option, common_r_flag);
  sweep_option->excludes(rf_out, alternatives_option, fom_option);
  common_r_flag->needs(sweep_option);

  if (const std::string missing = MissingValue(app, argc, argv); !missing.empty()) {
    err << missing << "\nRun with --help for more information.\n";
    return kExitUsage;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    FlushOrThrow(out);  // --help and --version write there
    return code == 0 ? kExitComplete : kExitUsage;
  }

  auto usage_error = [&err](const std::string& message) {
    err << message << "\nRun with --help for more information.\n";
    return kExitUsage;
  };
  std::string error;
  std::optional<WholeRange> r_bounds, n_bounds;
  if (r_range->count() > 0 &&
      !(r_bounds = ParseWholeRange(inputs.r_range, "--r-range", true, error))) {
    return usage_error(error);
  }
  if (n_range->count() > 0 &&
      !(n_bounds = ParseWholeRange(inputs.n_range, "--n-range", false, error))) {
    return usage_error(error);
  }
  inputs.bounds = BoundsOf(r_bounds, n_bounds);
  PlanOptions plan;
  if (alternatives_option->count() > 0) {
    const std::optional<int> count = ParseAlternativeCount(alternatives, "--alternatives", error);
    if (!count) return usage_error(error);
    plan.alternatives = *count;
  }
  if (fom_option->count() > 0 && !(plan.fom = ParseFigureOfMerit(fom, "--fom", error))) {
    return usage_error(error);
  }

  const std::string decimal_symbol = DecimalSymbolFromEnvironment();
  if (batch) {
    return RunBatch(in, out, decimal_symbol, Progress::TerminalOrNull(err)) ? kExitComplete
                                                                          : kExitIncomplete;
  }
  if (sweep_option->count() > 0) {
    const auto range = SweepRange::Parse(sweep, error);
    if (!range) return usage_error(error);
    const SweepFormat format = json ? SweepFormat::kJsonLines : SweepFormat::kCsv;
    if (common_r) {
      if (!RunCommonRSweep(*range, inputs, decimal_symbol, format, out, err, error)) {
        err << "synthfactors-cli: " << error << '\n';
        return kExitIncomplete;
      }
      return kExitComplete;
    }
    RunSweep(*range, inputs, decimal_symbol, format, out, 0, {}, Progress::TerminalOrNull(err));
    return kExitComplete;
  }
  return SingleRun(inputs, plan, decimal_symbol, json, out, err);
}

}  // namespace

}  // namespace synthfactors::cli
