#include "cli_app.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "batch.h"
#include "chip_file.h"
#include "common_r_writer.h"
#include "decimal_symbol.h"
#include "interrupt.h"
#include "io_failure.h"
#include "plain_output.h"
#include "plan_options.h"
#include "progress.h"
#include "result_json.h"
#include "run.h"
#include "sweep.h"
#include "sweep_range.h"
#include "sweep_writer.h"
#include "version.h"
#include "work_control.h"

namespace synthfactors::cli {

using formats::FlushOrThrow;
using formats::JsonLine;
using formats::LoadChip;
using formats::ReadFailure;
using formats::ResultToJson;
using formats::SweepFormat;
using formats::WriteCommonRSweep;
using formats::WriteFailure;
using formats::WriteSweep;
namespace {

// The command line as given: option texts, before any is checked.
struct Request {
  runner::RunInputs inputs;
  bool json = false;
  bool batch = false;
  bool common_r = false;
  bool list_chips = false;
  std::optional<std::string> sweep;
  std::optional<std::string> alternatives;
  std::optional<std::string> fom;
  std::optional<std::string> flicker;
  std::optional<std::string> offset;
  std::optional<std::string> prescaler;
};

// The request once checked: every value read.
struct CheckedRequest {
  runner::RunInputs inputs;
  runner::PlanOptions plan;
  std::optional<runner::SweepRange> sweep;
};

// The options, read into `request`. CLI11 fills the plain fields; the
// options whose presence matters are kept as optional texts.
class Options {
 public:
  explicit Options(Request& request) : request_(request) { Declare(); }

  // An option that takes a value, given as its own word and followed by
  // another option's name ("--rf-out --json"), is missing its value: CLI11
  // would take the name as the value. "--rf-out -1000" and "--rf-out=--x"
  // still pass their texts. Returns the complaint, or "".
  std::string MissingValue(int argc, const char* const* argv) const;

  // Parses; --help and --version end the parse with CLI::Success.
  void Parse(int argc, const char* const* argv);

  int Exit(const CLI::ParseError& error, std::ostream& out, std::ostream& err) {
    return app_.exit(error, out, err);
  }

 private:
  void Declare();
  CLI::Option* Optional(const std::string& name, std::optional<std::string>& value,
                        std::string& text, const std::string& help, const std::string& type);

  Request& request_;
  CLI::App app_{
      "Chooses the reference divider R and feedback divider N of an integer-N "
      "synthesiser for a wanted RF output frequency.",
      "synthfactors-cli"};
  // Texts of the options whose presence counts.
  std::string r_range_, n_range_, sweep_, alternatives_, fom_, flicker_, offset_, chip_,
      prescaler_;
  struct OptionalText {
    CLI::Option* option;
    const std::string* text;
    std::optional<std::string>* target;
  };
  std::vector<OptionalText> optional_;
};

CLI::Option* Options::Optional(const std::string& name, std::optional<std::string>& value,
                               std::string& text, const std::string& help,
                               const std::string& type) {
  CLI::Option* option = app_.add_option(name, text, help)->type_name(type);
  optional_.push_back({option, &text, &value});
  return option;
}

void Options::Declare() {
  runner::RunInputs& in = request_.inputs;
  auto* rf_out = app_.add_option("--rf-out", in.rf_out, "RF output frequency, MHz")
                     ->type_name("TEXT");
  auto* mult = app_.add_option("--mult", in.mult,
                               "RF multiplication factor (output = source x factor)")
                   ->type_name("TEXT")->capture_default_str();
  auto* ref = app_.add_option("--ref", in.ref, "Reference input frequency, MHz")
                  ->type_name("TEXT")->capture_default_str();
  auto* min_fc = app_.add_option("--min-fc", in.min_fc,
                                 "Lowest allowed comparison frequency, kHz")
                     ->type_name("TEXT")->capture_default_str();
  auto* max_fc = app_.add_option("--max-fc", in.max_fc,
                                 "Highest allowed comparison frequency, kHz")
                     ->type_name("TEXT")->capture_default_str();
  app_.add_flag("--json", request_.json, "Write the result as a JSON object");
  auto* batch = app_.add_flag(
      "--batch", request_.batch,
      "Read JSON Lines of inputs from standard input; write one result per line");
  auto* sweep = Optional("--sweep", request_.sweep, sweep_,
                         "Run every RF output frequency FROM, FROM+STEP, ... TO (MHz); "
                         "CSV, or JSON Lines with --json",
                         "FROM:TO:STEP");
  auto* r_range = Optional("--r-range", in.r_range, r_range_,
                           "Try only reference dividers R from MIN to MAX", "MIN:MAX");
  auto* n_range = Optional("--n-range", in.n_range, n_range_,
                           "Admit only feedback dividers N from MIN to MAX", "MIN:MAX");
  auto* alternatives = Optional(
      "--alternatives", request_.alternatives, alternatives_,
      "Also list up to K admitted pairs, exact ones first, then by output error", "K");
  auto* fom = Optional("--fom", request_.fom, fom_,
                       "PLL figure of merit, dBc/Hz: adds the in-band phase noise of each pair",
                       "DBC");
  auto* flicker = Optional("--flicker", request_.flicker, flicker_,
                           "Normalised 1/f noise, dBc/Hz (1 Hz carrier, 1 Hz offset): adds "
                           "the flicker to the in-band phase noise",
                           "DBC");
  auto* offset = Optional("--offset", request_.offset, offset_,
                          "Offset from the carrier the flicker is read at, Hz (default 10000)",
                          "HZ");
  auto* common_r = app_.add_flag("--common-r", request_.common_r,
                                 "With --sweep: one reference divider R for every channel");
  auto* chip = Optional("--chip", in.chip, chip_,
                        "A chip's counters and limits on top of the window: a profile name "
                        "(see --list-chips) or a profile file",
                        "NAME|FILE");
  auto* prescaler = Optional("--prescaler", request_.prescaler, prescaler_,
                             "With --chip: the prescaler P/P+1, from those the chip allows "
                             "(default: the smallest for the source frequency)",
                             "P");
  auto* list_chips = app_.add_flag("--list-chips", request_.list_chips,
                                   "List the shipped chip profiles and exit");
  app_.set_version_flag("--version", "synthfactors-cli " SYNTHFACTORS_VERSION);
  batch->excludes(rf_out, mult, ref, min_fc, max_fc, sweep, r_range, n_range, alternatives,
                  fom, flicker, offset, common_r, chip, prescaler);
  sweep->excludes(rf_out, alternatives);
  common_r->needs(sweep);
  prescaler->needs(chip);
  list_chips->excludes(batch, sweep, rf_out, chip);
}

std::string Options::MissingValue(int argc, const char* const* argv) const {
  for (int i = 1; i + 1 < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") break;
    if (!word.starts_with("--")) continue;
    const CLI::Option* option = app_.get_option_no_throw(std::string(word));
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

void Options::Parse(int argc, const char* const* argv) {
  app_.parse(argc, argv);
  for (const OptionalText& optional : optional_) {
    if (optional.option->count() > 0) *optional.target = *optional.text;
  }
}

// Reads every value of the request; false, with the reason, at the first
// that is wrong.
bool Check(const Request& request, CheckedRequest& checked, std::string& error) {
  checked.inputs = request.inputs;
  if (!runner::ReadCounterRanges(checked.inputs, "--r-range", "--n-range", error)) return false;
  if (request.inputs.chip &&
      !(checked.inputs.chip_profile = LoadChip(*request.inputs.chip, error))) {
    return false;
  }
  if (request.prescaler &&
      !(checked.inputs.prescaler = runner::ParsePrescaler(*request.prescaler, "--prescaler",
                                                          error))) {
    return false;
  }
  if (request.alternatives) {
    const std::optional<int> count =
        runner::ParseAlternativeCount(*request.alternatives, "--alternatives", error);
    if (!count) return false;
    checked.plan.alternatives = *count;
  }
  if (request.fom && !(checked.plan.fom = runner::ParseFigureOfMerit(*request.fom, "--fom", error))) {
    return false;
  }
  if (request.flicker &&
      !(checked.plan.flicker = runner::ParseDecimal(
            *request.flicker, "--flicker",
            "the normalised flicker noise in dBc/Hz (1 Hz carrier, 1 Hz offset)", "-260", false,
            error))) {
    return false;
  }
  if (request.offset &&
      !(checked.plan.offset_hz = runner::ParseDecimal(
            *request.offset, "--offset", "the offset from the carrier in Hz, above 0", "10000",
            true, error))) {
    return false;
  }
  if (request.sweep && !(checked.sweep = runner::SweepRange::Parse(*request.sweep, error))) {
    return false;
  }
  const std::optional<double> highest =
      checked.sweep ? runner::HighestSourceMHz(*checked.sweep, checked.inputs)
                    : runner::SourceMHz(checked.inputs);
  return runner::PrescalerAllowed(checked.inputs, highest, "--prescaler", error);
}

// The shipped profiles: name, description, where the figures come from.
int ListChips(std::ostream& out, std::ostream& err) {
  for (const runner::ShippedProfile& shipped : runner::ShippedProfiles()) {
    std::string error;
    const auto chip = LoadChip(shipped.name, error);
    if (!chip) {
      err << "synthfactors-cli: " << error << '\n';
      return kExitIncomplete;
    }
    out << chip->name << ": " << chip->description << "\n  figures from " << chip->source
        << '\n';
  }
  FlushOrThrow(out);
  return kExitComplete;
}

int UsageError(std::ostream& err, const std::string& message) {
  err << message << "\nRun with --help for more information.\n";
  return kExitUsage;
}

int RunSingle(const CheckedRequest& request, const std::string& decimal_symbol, bool json,
              std::ostream& out, std::ostream& err) {
  const runner::RunResult result = runner::RunOnce(request.inputs, decimal_symbol, request.plan);
  if (json) {
    out << JsonLine(ResultToJson(result)) << '\n';
  } else {
    WritePlain(result, decimal_symbol, out);
  }
  FlushOrThrow(out);
  if (result.Complete()) return kExitComplete;
  err << "synthfactors-cli: " << result.message << '\n';
  return kExitIncomplete;
}

// A long run watched: progress on the terminal, and Ctrl+C stops it after
// whole rows, with kExitInterrupted.
template <typename Run>
int Watched(std::ostream& out, std::ostream& err, Run run) {
  std::string stopped;
  int code = kExitComplete;
  {
    const InterruptCatcher catcher;
    Progress progress(Progress::TerminalOrNull(err));
    runner::WorkControl control;
    control.on_tick = [&](std::int64_t done, std::int64_t total, std::string_view unit) {
      progress.Done(done, total, unit);
      if (InterruptCatcher::Requested()) control.Stop();
    };
    try {
      code = run(&control);
    } catch (const runner::WorkStopped& where) {
      stopped = where.what();
    }
  }  // the progress line is cleared
  if (stopped.empty()) return code;
  FlushOrThrow(out);
  err << "synthfactors-cli: interrupted after " << stopped << '\n';
  return kExitInterrupted;
}

int RunBatchMode(const std::string& decimal_symbol, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  return Watched(out, err, [&](runner::WorkControl* control) {
    return RunBatch(in, out, decimal_symbol, control) ? kExitComplete : kExitIncomplete;
  });
}

int RunSweepMode(const CheckedRequest& request, const std::string& decimal_symbol,
                 SweepFormat format, std::ostream& out, std::ostream& err) {
  return Watched(out, err, [&](runner::WorkControl* control) {
    WriteSweep(*request.sweep, request.inputs, request.plan, decimal_symbol, format, out, 0, {},
               control);
    return kExitComplete;
  });
}

int RunCommonRMode(const CheckedRequest& request, const std::string& decimal_symbol,
                   SweepFormat format, std::ostream& out, std::ostream& err) {
  runner::PlanR plan;
  const int code = Watched(out, err, [&](runner::WorkControl* control) {
    plan = WriteCommonRSweep(*request.sweep, request.inputs, request.plan, decimal_symbol, format,
                             out,
                             [&err](std::string_view sentence) {
                               err << "synthfactors-cli: " << sentence << '\n';
                             },
                             control);
    return kExitComplete;
  });
  if (code != kExitComplete || plan.choice) return code;
  if (plan.too_large) return UsageError(err, "--common-r: " + plan.error);
  err << "synthfactors-cli: " << plan.error << '\n';
  return kExitIncomplete;
}

int RunModes(int argc, const char* const* argv, std::istream& in, std::ostream& out,
             std::ostream& err) {
  Request request;
  Options options(request);
  if (const std::string missing = options.MissingValue(argc, argv); !missing.empty()) {
    return UsageError(err, missing);
  }
  try {
    options.Parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = options.Exit(e, out, err);
    FlushOrThrow(out);  // --help and --version write there
    return code == 0 ? kExitComplete : kExitUsage;
  }
  if (request.list_chips) return ListChips(out, err);
  CheckedRequest checked;
  if (std::string error; !Check(request, checked, error)) return UsageError(err, error);

  const std::string decimal_symbol = DecimalSymbolFromEnvironment();
  const SweepFormat format = request.json ? SweepFormat::kJsonLines : SweepFormat::kCsv;
  if (request.batch) return RunBatchMode(decimal_symbol, in, out, err);
  if (checked.sweep && request.common_r) {
    return RunCommonRMode(checked, decimal_symbol, format, out, err);
  }
  if (checked.sweep) return RunSweepMode(checked, decimal_symbol, format, out, err);
  return RunSingle(checked, decimal_symbol, request.json, out, err);
}

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

}  // namespace synthfactors::cli
