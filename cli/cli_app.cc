#include "cli_app.h"

#include <algorithm>
#include <array>
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
#include "decoded_words.h"
#include "register_file.h"
#include "design_file.h"
#include "file_access.h"
#include "input_fields.h"
#include "interrupt.h"
#include "io_failure.h"
#include "plain_text.h"
#include "plan_options.h"
#include "progress.h"
#include "register_words.h"
#include "result_json.h"
#include "loop_run.h"
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
using formats::WritePlain;
using formats::WriteSweep;
namespace {

// The command line as given: option texts, before any is checked.
struct Request {
  runner::InputTexts texts;
  bool json = false;
  bool batch = false;
  bool common_r = false;
  bool list_chips = false;
  std::optional<std::string> sweep;
  std::optional<std::string> plan_file;  // a design to run
  std::optional<std::string> decode;  // the chip whose words are read back
  std::vector<std::string> words;
  std::optional<std::string> register_file;  // where the words go, one a line
};

// The request once checked: every value read.
struct CheckedRequest {
  runner::RunInputs inputs;
  runner::PlanOptions plan;
  std::optional<runner::SweepRange> sweep;
  std::optional<std::string> register_file;
};

// The options, read into `request`: the inputs from the table of inputs,
// then the modes. Only the options given count as given.
class Options {
 public:
  explicit Options(Request& request) : request_(request) { Declare(); }

  // An option that takes a value, given as its own word and followed by
  // another option's name ("--rf-out --json"), is missing its value: CLI11
  // would take the name as the value. "--rf-out -1000" and "--rf-out=--x"
  // still pass their texts. Returns the complaint, or "".
  std::string MissingValue(const std::vector<std::string>& words) const;

  // With --list-chips, the complaint about any other option given; else "".
  std::string AloneComplaint() const;

  // Parses; --help and --version end the parse with CLI::Success.
  void Parse(std::vector<std::string> words);

  int Exit(const CLI::ParseError& error, std::ostream& out, std::ostream& err) {
    return app_.exit(error, out, err);
  }

 private:
  void Declare();

  Request& request_;
  CLI::App app_{
      "Chooses the reference divider R and feedback divider N of an integer-N "
      "synthesiser for a wanted RF output frequency.",
      "synthfactors-cli"};
  // Each input's option and the text it fills, indexed by runner::Input.
  std::array<CLI::Option*, runner::kInputCount> inputs_{};
  std::array<std::string, runner::kInputCount> texts_;
  std::array<bool, runner::kInputCount> flags_{};
  CLI::Option* batch_option_ = nullptr;
  CLI::Option* sweep_option_ = nullptr;
  CLI::Option* common_r_option_ = nullptr;
  CLI::Option* plan_option_ = nullptr;
  CLI::Option* decode_option_ = nullptr;
  CLI::Option* words_option_ = nullptr;
  CLI::Option* register_file_option_ = nullptr;
  std::string decode_;
  std::string register_file_;
  std::string sweep_;
  std::string plan_file_;
};

void Options::Declare() {
  // "/help" is a word, as everywhere: no Windows-style options.
  app_.allow_windows_style_options(false);
  for (const runner::InputField& field : runner::kInputFields) {
    const auto index = static_cast<std::size_t>(field.input);
    texts_[index] = std::string(field.start);
    CLI::Option* option = nullptr;
    if (field.kind == runner::InputKind::kFlag) {
      option = app_.add_flag(std::string(field.flag), flags_[index], std::string(field.help));
    } else {
      option = app_.add_option(std::string(field.flag), texts_[index], std::string(field.help))
                   ->type_name(std::string(field.value_name));
      if (!field.start.empty()) option->capture_default_str();
    }
    inputs_[index] = option;
    // Help lists --json after the window's boxes, as it always has.
    if (field.input == runner::Input::kMaxFc) {
      app_.add_flag("--json", request_.json, "Write the result as a JSON object");
      batch_option_ = app_.add_flag(
          "--batch", request_.batch,
          "Read JSON Lines of inputs from standard input; write one result per line");
      sweep_option_ = app_.add_option("--sweep", sweep_,
                                      "Run every RF output frequency FROM, FROM+STEP, ... TO "
                                      "(MHz); CSV, or JSON Lines with --json")
                          ->type_name("FROM:TO:STEP");
    }
    if (field.input == runner::Input::kOffset) {
      common_r_option_ = app_.add_flag("--common-r", request_.common_r,
                                       "With --sweep: one reference divider R for every channel");
      plan_option_ = app_.add_option("--plan", plan_file_,
                                     "Run a design the planner saved: its band as --sweep runs "
                                     "one, with the planner's export's bytes")
                         ->type_name("FILE");
    }
  }
  CLI::Option* batch = batch_option_;
  CLI::Option* common_r = common_r_option_;
  auto* list_chips = app_.add_flag("--list-chips", request_.list_chips,
                                   "List the shipped chip profiles and exit");
  decode_option_ = app_.add_option("--decode", decode_,
                                   "Read register words back: the words of the chip (a profile "
                                   "name or file) given after the options, with --ref")
                       ->type_name("CHIP");
  words_option_ = app_.add_option("words", request_.words,
                                  "With --decode: the words, in hexadecimal (0x00580005), or "
                                  "@FILE for the words of a register file")
                      ->type_name("WORD");
  register_file_option_ =
      app_.add_option("--register-file", register_file_,
                      "With --registers: also write the words to FILE, one register a line "
                      "in write order, as the parts' evaluation software loads them")
          ->type_name("FILE");
  app_.set_version_flag("--version", "synthfactors-cli " SYNTHFACTORS_VERSION);
  for (const runner::InputField& field : runner::kInputFields) {
    CLI::Option* option = inputs_[static_cast<std::size_t>(field.input)];
    batch->excludes(option);
    plan_option_->excludes(option);
    if ((field.modes & runner::kSweepRun) == 0) sweep_option_->excludes(option);
  }
  register_file_option_->needs(inputs_[static_cast<std::size_t>(runner::Input::kRegisters)]);
  register_file_option_->excludes(batch, sweep_option_, plan_option_, decode_option_);
  batch->excludes(sweep_option_, common_r);
  plan_option_->excludes(batch, sweep_option_, common_r, list_chips);
  common_r->needs(sweep_option_);
  inputs_[static_cast<std::size_t>(runner::Input::kPrescaler)]->needs(
      inputs_[static_cast<std::size_t>(runner::Input::kChip)]);
  list_chips->excludes(batch, sweep_option_, inputs_[static_cast<std::size_t>(runner::Input::kRfOut)],
                      inputs_[static_cast<std::size_t>(runner::Input::kChip)]);
}

std::string Options::AloneComplaint() const {
  if (words_option_->count() > 0 && decode_option_->count() == 0) {
    // The Windows habit of asking for help.
    for (const std::string& word : request_.words) {
      if (word == "/?") return "\"/?\" is no option; the options are listed by --help";
    }
    return "words are read only with --decode; \"" + request_.words.front() +
           "\" is no option";
  }
  if (decode_option_->count() > 0) {
    for (const CLI::Option* option : app_.get_options()) {
      const std::string name = option->get_name();
      if (option->count() > 0 && name != "--decode" && name != "words" && name != "--ref" &&
          name != "--json") {
        return "--decode takes only --ref, --json and the words, but " + name + " was given";
      }
    }
    if (words_option_->count() == 0) return "--decode needs the words to read";
    return "";
  }
  if (!request_.list_chips) return "";
  for (const CLI::Option* option : app_.get_options()) {
    if (option->count() > 0 && option->get_name() != "--list-chips") {
      return "--list-chips takes no other option, but " + option->get_name() + " was given";
    }
  }
  return "";
}

std::string Options::MissingValue(const std::vector<std::string>& words) const {
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    const std::string_view word = words[i];
    if (word == "--") break;
    if (!word.starts_with("--")) continue;
    const CLI::Option* option = app_.get_option_no_throw(std::string(word));
    if (option == nullptr || option->get_expected_min() < 1) continue;
    const std::string_view next = words[i + 1];
    if (next.size() > 2 && next.starts_with("--") &&
        std::isalpha(static_cast<unsigned char>(next[2]))) {
      return std::string(word) + " needs a value, but is followed by the option " +
             std::string(next);
    }
    ++i;  // the value
  }
  return "";
}

// "--rf-out=" gives the empty text: CLI11 alone would take the next word as
// the value.
std::vector<std::string> EmptyValuesKept(int argc, const char* const* argv) {
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") {
      words.insert(words.end(), argv + i, argv + argc);
      break;
    }
    if (word.size() > 3 && word.starts_with("--") && word.ends_with("=") &&
        word.find('=') == word.size() - 1) {
      words.emplace_back(word.substr(0, word.size() - 1));
      words.emplace_back();
      continue;
    }
    words.emplace_back(word);
  }
  return words;
}

void Options::Parse(std::vector<std::string> words) {
  std::reverse(words.begin(), words.end());  // CLI11 takes them from the back
  app_.parse(words);
  for (const runner::InputField& field : runner::kInputFields) {
    const auto index = static_cast<std::size_t>(field.input);
    if (inputs_[index]->count() == 0) continue;
    if (field.kind == runner::InputKind::kFlag) {
      request_.texts.Flag(field.input) = true;
    } else {
      request_.texts[field.input] = texts_[index];
    }
  }
  if (sweep_option_->count() > 0) request_.sweep = sweep_;
  if (plan_option_->count() > 0) request_.plan_file = plan_file_;
  if (decode_option_->count() > 0) request_.decode = decode_;
  if (register_file_option_->count() > 0) request_.register_file = register_file_;
}

// Reads every value of the request; false, with every fault (one a line),
// when any is wrong.
bool Check(const Request& request, CheckedRequest& checked, std::string& error) {
  if (request.sweep && !(checked.sweep = runner::SweepRange::Parse(*request.sweep, error))) {
    return false;
  }
  runner::ReadSettings settings;
  settings.naming = runner::Naming::kFlag;
  settings.load_chip = LoadChip;
  settings.grid = checked.sweep ? &*checked.sweep : nullptr;
  auto read = runner::ReadInputs(request.texts, settings);
  if (auto* faults = std::get_if<std::vector<runner::InputFault>>(&read)) {
    error = runner::FaultLines(*faults);
    return false;
  }
  auto& inputs = std::get<runner::CheckedInputs>(read);
  checked.inputs = std::move(inputs.inputs);
  checked.plan = inputs.plan;
  checked.register_file = request.register_file;
  return true;
}

// A design's band and inputs, read as the planner reads its form; false,
// with every fault (one a line, naming the file and the member), when any
// is wrong.
bool CheckPlanFile(const std::string& path, CheckedRequest& checked, bool& common_r,
                   std::string& error) {
  const std::optional<formats::Design> design = formats::ReadDesign(path, error);
  if (!design) return false;
  auto read = formats::CheckDesign(*design, LoadChip);
  if (auto* faults = std::get_if<std::string>(&read)) {
    const std::string prefix = "design " + formats::Printable(runner::CutShort(path, 200)) + ": ";
    std::string lines;
    for (std::size_t at = 0; at <= faults->size();) {
      const std::size_t end = std::min(faults->find('\n', at), faults->size());
      lines += (lines.empty() ? "" : "\n") + prefix + faults->substr(at, end - at);
      at = end + 1;
    }
    error = lines;
    return false;
  }
  auto& plan = std::get<formats::CheckedDesign>(read);
  checked.inputs = std::move(plan.checked.inputs);
  checked.plan = plan.checked.plan;
  checked.sweep = plan.range;
  common_r = design->common_r;
  return true;
}

// The shipped profiles: name, description, where the figures come from.
int ListChips(std::ostream& out, std::ostream& err) {
  std::string error;
  const auto chips = formats::ShippedChips(error);
  if (!chips) {
    err << "synthfactors-cli: " << error << '\n';
    return kExitIncomplete;
  }
  for (const auto& chip : *chips) {
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

// --decode: the words read back against the chip's register layout.
int DecodeMode(const Request& request, bool json, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto chip = LoadChip(*request.decode, error);
  if (!chip) return UsageError(err, error);
  const runner::RegisterLayout* layout = runner::LayoutNamed(chip->register_map);
  if (layout == nullptr) {
    return UsageError(err, "--decode: the " + chip->name + " profile names no register_map");
  }
  // The words alone do not say the reference: it is asked for, never
  // assumed.
  if (!request.texts[runner::Input::kRef]) {
    return UsageError(err, "--decode needs --ref, the reference frequency in MHz");
  }
  const std::optional<double> ref = runner::ParseDecimal(
      *request.texts[runner::Input::kRef], "--ref", "the reference frequency in MHz, above 0",
      "25", true, error);
  if (!ref) return UsageError(err, error);
  std::vector<std::uint32_t> words;
  for (const std::string& text : request.words) {
    if (text.starts_with('@')) {
      const auto read = formats::ReadRegisterFile(text.substr(1), error);
      if (!read) return UsageError(err, "--decode: " + error);
      words.insert(words.end(), read->begin(), read->end());
      continue;
    }
    const auto word = formats::ParseWord(text);
    if (!word) {
      return UsageError(err, "--decode takes words in hexadecimal such as 0x00580005, not \"" +
                                 runner::CutShort(text, 40) + "\"");
    }
    words.push_back(*word);
  }
  const runner::DecodedWords decoded = runner::DecodeWords(*layout, words, *ref);
  const ReferencePath* path = chip->reference_path ? &*chip->reference_path : nullptr;
  for (const auto& figure : {decoded.comparison_khz, decoded.vco_mhz, decoded.output_mhz}) {
    if (figure && !std::isfinite(*figure)) {
      return UsageError(err, "--ref " + runner::CutShort(*request.texts[runner::Input::kRef], 40) +
                                 " puts the frequencies beyond what the program can state");
    }
  }
  if (json) {
    out << JsonLine(formats::DecodedToJson(*layout, decoded, path)) << '\n';
  } else {
    out << formats::DecodedText(*layout, decoded, path);
  }
  FlushOrThrow(out);
  return kExitComplete;
}

int RunSingle(const CheckedRequest& request, const std::string& decimal_symbol, bool json,
              std::ostream& out, std::ostream& err) {
  const runner::RunResult result = runner::RunOnce(request.inputs, decimal_symbol, request.plan);
  if (result.refusal) return UsageError(err, *result.refusal);
  if (json) {
    out << JsonLine(ResultToJson(result)) << '\n';
  } else {
    WritePlain(result, decimal_symbol, out);
  }
  FlushOrThrow(out);
  if (!result.Complete()) {
    err << "synthfactors-cli: " << result.message << '\n';
    if (request.register_file) err << "synthfactors-cli: no register file written\n";
    return kExitIncomplete;
  }
  if (request.register_file) {
    const runner::RegisterLayout* layout =
        runner::LayoutNamed(request.inputs.chip_profile->register_map);
    const std::string text =
        result.registers ? formats::RegisterFileText(*layout, *result.registers) : "";
    if (text.empty()) {
      err << "synthfactors-cli: no register file written: the run has no words\n";
      return kExitIncomplete;
    }
    if (const std::string error = formats::WriteRegisterFile(*request.register_file, text);
        !error.empty()) {
      err << "synthfactors-cli: " << error << '\n';
      return kExitWriteFailed;
    }
  }
  return kExitComplete;
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
  const std::vector<std::string> words = EmptyValuesKept(argc, argv);
  if (const std::string missing = options.MissingValue(words); !missing.empty()) {
    return UsageError(err, missing);
  }
  try {
    options.Parse(words);
  } catch (const CLI::ParseError& e) {
    const int code = options.Exit(e, out, err);
    FlushOrThrow(out);  // --help and --version write there
    return code == 0 ? kExitComplete : kExitUsage;
  }
  if (const std::string alone = options.AloneComplaint(); !alone.empty()) {
    return UsageError(err, alone);
  }
  if (request.list_chips) return ListChips(out, err);
  if (request.decode) return DecodeMode(request, request.json, out, err);
  CheckedRequest checked;
  bool common_r = request.common_r;
  if (request.plan_file) {
    if (std::string error; !CheckPlanFile(*request.plan_file, checked, common_r, error)) {
      return UsageError(err, error);
    }
  } else if (std::string error; !Check(request, checked, error)) {
    return UsageError(err, error);
  }

  const std::string decimal_symbol = DecimalSymbolFromEnvironment();
  const SweepFormat format = request.json ? SweepFormat::kJsonLines : SweepFormat::kCsv;
  if (request.batch) return RunBatchMode(decimal_symbol, in, out, err);
  if (checked.sweep && common_r) {
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
  } catch (const runner::RunRefused& refused) {
    return UsageError(err, refused.what());
  }
}

}  // namespace synthfactors::cli
