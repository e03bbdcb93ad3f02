// The web page's calculation: the WebAssembly module a page's worker loads.
// Every answer is made by the same functions as the command line's, so a
// run gives the bytes of `synthfactors-cli --json`, a sweep those of
// `--sweep` (CSV) or `--sweep --json` (JSON Lines), and the calculator the
// classic window's texts and fault messages.
//
// Answers are JSON texts or plain texts; a request that cannot be run is
// answered {"error": "..."} with the command line's wording.
#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "arithmetic_fault.h"
#include "channel_reason.h"
#include "chip_file.h"
#include "column_captions.h"
#include "common_r_writer.h"
#include "control_table.h"
#include "design_file.h"
#include "divider_search.h"
#include "fault_message.h"
#include "go_action.h"
#include "input_fields.h"
#include "io_failure.h"
#include "json_reading.h"
#include "loop_run.h"
#include "plain_text.h"
#include "result_fields.h"
#include "result_json.h"
#include "run.h"
#include "sweep_writer.h"
#include "work_control.h"

namespace synthfactors::web {
namespace {

using emscripten::val;
using Json = nlohmann::ordered_json;

std::string ErrorAnswer(const std::string& message) {
  Json answer;
  answer["error"] = message;
  return formats::JsonLine(answer);
}

// The table of inputs, for the page's forms: key, flag, help, start text,
// unit, whether it is a flag or a decimal number, and the modes it applies
// to.
std::string InputTable() {
  Json table = Json::array();
  for (const runner::InputField& field : runner::kInputFields) {
    Json entry;
    entry["key"] = field.key;
    entry["flag"] = field.flag;
    entry["help"] = field.help;
    entry["start"] = field.start;
    entry["unit"] = field.unit;
    entry["flag_only"] = field.kind == runner::InputKind::kFlag;
    entry["decimal"] = field.kind == runner::InputKind::kBoxText ||
                       field.kind == runner::InputKind::kDecibels ||
                       field.kind == runner::InputKind::kHertz ||
                       field.kind == runner::InputKind::kDecimal;
    entry["choices"] = runner::ChoicesOf(field.input);
    entry["single"] = (field.modes & runner::kSingleRun) != 0;
    entry["planner"] = (field.modes & runner::kPlannerRun) != 0;
    table.push_back(entry);
  }
  return formats::JsonLine(table);
}

// The classic window's controls (rectangles in pixels), its title and the
// box that has the first focus.
std::string WindowLayout() {
  Json controls = Json::array();
  for (const runner::ControlEntry& entry : runner::kControls) {
    Json control;
    control["name"] = entry.name;
    control["kind"] = entry.kind == runner::ControlKind::kLabel           ? "label"
                      : entry.kind == runner::ControlKind::kTextBox       ? "text"
                      : entry.kind == runner::ControlKind::kPushButton    ? "button"
                                                                          : "report";
    control["left"] = runner::ToPixels(entry.rect.left);
    control["top"] = runner::ToPixels(entry.rect.top);
    control["width"] = runner::ToPixels(entry.rect.width);
    control["height"] = runner::ToPixels(entry.rect.height);
    control["text"] = entry.text;
    control["tab_index"] = entry.tab_index;
    if (entry.box) {
      control["box"] = static_cast<int>(*entry.box);
      // The five boxes GO reads (the other two it writes).
      control["input"] = *entry.box != Box::RFund && *entry.box != Box::DivDisp;
    }
    controls.push_back(control);
  }
  Json layout;
  layout["title"] = runner::kWindowTitle;
  layout["width"] = runner::ToPixels(runner::kClientWidthTwips);
  layout["height"] = runner::ToPixels(runner::kClientHeightTwips);
  layout["first_focus"] = static_cast<int>(runner::kFirstFocus);
  layout["controls"] = controls;
  return formats::JsonLine(layout);
}

// How the page's tables head and show each result column: its caption in
// words, whether it is shown in hexadecimal, shortened to nine digits (a
// measured figure) or read as a flag.
std::string ColumnTable() {
  Json columns = Json::array();
  for (const runner::ColumnCaption& caption : runner::kColumnCaptions) {
    std::optional<runner::FieldKind> kind;
    for (const auto& field : runner::kResultFields) {
      if (field.name == caption.column) kind = field.kind;
    }
    for (const auto& field : runner::kAlternativeFields) {
      if (!kind && field.name == caption.column) kind = field.kind;
    }
    Json column;
    column["name"] = caption.column;
    column["caption"] = caption.caption;
    column["hex"] = runner::ShownInHex(caption.column);
    column["figure"] = kind && runner::Shortened(*kind);
    column["flag"] = kind == runner::FieldKind::kFlag;
    columns.push_back(column);
  }
  return formats::JsonLine(columns);
}

// The search's kernel this module runs ("wasm-simd128" or "scalar").
std::string SearchKernelOfModule() {
  return std::string(SearchKernelName(AvailableSearchKernels().back()));
}

// The shipped chips: name, description, where the figures come from.
std::string ChipList() {
  std::string error;
  const auto shipped = formats::ShippedChips(error);
  if (!shipped) return ErrorAnswer(error);
  Json chips = Json::array();
  for (const auto& chip : *shipped) {
    Json entry;
    entry["name"] = chip->name;
    entry["description"] = chip->description;
    entry["source"] = chip->source;
    entry["fractional"] = chip->fractional.has_value();
    entry["registers"] = !chip->register_map.empty();
    entry["output_divider"] = chip->output_divider.has_value();
    chips.push_back(entry);
  }
  return formats::JsonLine(chips);
}

// One run asked for as a JSON object, as the command line runs it; empty,
// with the reason in `error`, when the object cannot be run.
std::optional<runner::RunResult> RunRequested(const std::string& request,
                                              const std::string& decimal_symbol,
                                              std::string& error) {
  const std::optional<runner::CheckedInputs> checked =
      formats::ReadRunLine(request, formats::LoadChip, error);
  if (!checked) return std::nullopt;
  return runner::RunOnce(checked->inputs, decimal_symbol, checked->plan);
}

// One run: the command line's --json line for these inputs.
std::string Run(const std::string& request, const std::string& decimal_symbol) {
  std::string error;
  const std::optional<runner::RunResult> result = RunRequested(request, decimal_symbol, error);
  if (!result) return ErrorAnswer(error);
  if (result->refusal) return ErrorAnswer(*result->refusal);
  return formats::JsonLine(formats::ResultToJson(*result));
}

// Why channels have no setting: for a JSON array of run requests (each as
// run() takes it), a JSON array of their reasons (runner::ChannelReason),
// "" for a channel with a setting, a refused request's own message.
std::string Reasons(const std::string& requests, const std::string& decimal_symbol) {
  std::string error;
  const std::optional<nlohmann::json> given =
      formats::ParseJson(requests, 3, error, formats::Duplicates::kLastCounts);
  if (!given || !given->is_array()) return ErrorAnswer("reasons takes an array of run requests");
  Json reasons = Json::array();
  for (const auto& request : *given) {
    const std::optional<runner::RunResult> result =
        RunRequested(request.dump(), decimal_symbol, error);
    reasons.push_back(result ? runner::ChannelReason(*result) : error);
  }
  return formats::JsonLine(reasons);
}

// How many alternatives the page lists for a channel.
constexpr int kChannelAlternatives = 10;

// The loop's noise of a run at the plot's offsets, as arrays by source
// (null where a source is not given), and the jitter band.
Json NoiseCurve(const runner::RunResult& result) {
  Json curve;
  if (!result.loop_report) return nullptr;
  for (const auto& field : runner::kNoiseFields) {
    Json column = Json::array();
    for (const auto& row : result.loop_report->noise) {
      const runner::FieldValue value = field.read(row);
      const auto* number = std::get_if<double>(&value);
      column.push_back(number != nullptr ? Json(*number) : Json(nullptr));
    }
    curve[std::string(field.name)] = std::move(column);
  }
  curve["jitter_band_hz"] = {result.loop_report->jitter_from_hz, result.loop_report->jitter_to_hz};
  return curve;
}

// A channel the page shows, from one run: {"report": the command line's
// plain text without --alternatives (in the page's decimal symbol),
// "alternatives": the ten best pairs (each cell's text), "registers": the words (or null),
// "noise": the loop's noise at the plot's offsets (or null)}, each as
// `--json` writes it. With a loop, `band` is the plan's FROM:TO:STEP: the
// channel runs with the band's filter, as its row did.
std::string Channel(const std::string& request, const std::string& band,
                    const std::string& decimal_symbol) {
  std::string error;
  std::optional<runner::CheckedInputs> checked =
      formats::ReadRunLine(request, formats::LoadChip, error);
  if (!checked) return ErrorAnswer(error);
  try {
    if (checked->plan.loop && !band.empty()) {
      const auto range = runner::SweepRange::Parse(band, error);
      if (!range) return ErrorAnswer(error);
      checked->plan = runner::PlanForBand(*range, checked->inputs, checked->plan, decimal_symbol);
    }
  } catch (const runner::RunRefused& refused) {
    return ErrorAnswer(refused.what());
  }
  checked->plan.alternatives = kChannelAlternatives;
  runner::RunResult result = runner::RunOnce(checked->inputs, decimal_symbol, checked->plan);
  if (result.refusal) return ErrorAnswer(*result.refusal);
  const Json object = formats::ResultToJson(result);
  Json answer;
  // Each alternative's cells as the planner's table and a CSV write them
  // (so "1e-07", not a script's "1e-7").
  answer["alternatives"] = nullptr;
  if (result.alternatives) {
    Json rows = Json::array();
    for (const runner::Alternative& alternative : *result.alternatives) {
      Json row = Json::object();
      for (const auto& field : runner::kAlternativeFields) {
        if (!runner::IsPresent(field, result)) continue;
        row[std::string(field.name)] = formats::FieldText(field.kind, field.read(alternative));
      }
      rows.push_back(std::move(row));
    }
    answer["alternatives"] = std::move(rows);
  }
  answer["registers"] = object.value("registers", Json());
  // The report as a run without alternatives writes it.
  result.alternatives.reset();
  std::ostringstream report;
  formats::WritePlain(result, decimal_symbol, report);
  answer["report"] = report.str();
  answer["noise"] = nullptr;
  if (checked->plan.loop) {
    runner::PlanOptions curve =
        runner::WithNoiseOffsets(checked->plan, runner::PlotOffsets());
    curve.alternatives = 0;
    answer["noise"] = NoiseCurve(runner::RunOnce(checked->inputs, decimal_symbol, curve));
  }
  return formats::JsonLine(answer);
}

// A page keeps a band's whole text: past this many points it would run
// short of memory (the command line writes up to 10,000,000 as it goes).
constexpr std::int64_t kMostPagePoints = 1'000'000;

// A band, asked for as a design (its inputs read as the planner reads its
// form), written as the command line writes `--sweep` or `--plan`: CSV or
// JSON Lines in `text`, with the common R's sentence in `note`. The page's
// progress(done, total, unit) is called as the points are written. Only the
// points first ... end - 1 where end >= 0 (the band's header and one R
// line with point 0): parts run by several workers, joined in order, are
// the whole text.
val Sweep(const std::string& design_text, bool json_lines, const std::string& decimal_symbol,
          val progress, double first, double end) {
  const runner::PointSpan span{static_cast<std::int64_t>(first), static_cast<std::int64_t>(end)};
  val answer = val::object();
  std::string error;
  const std::optional<formats::Design> design = formats::DesignFromJson(design_text, error);
  if (!design) {
    answer.set("error", error);
    return answer;
  }
  auto read = formats::CheckDesign(*design, formats::LoadChip);
  if (auto* faults = std::get_if<std::string>(&read)) {
    answer.set("error", *faults);
    return answer;
  }
  const auto& plan = std::get<formats::CheckedDesign>(read);
  if (plan.range.PointCount() > kMostPagePoints) {
    answer.set("error", std::string("sweep: the range has more than 1000000 points, more than a "
                                    "page holds; use a larger STEP or a shorter range, or "
                                    "synthfactors-cli --sweep"));
    return answer;
  }
  const formats::SweepFormat format =
      json_lines ? formats::SweepFormat::kJsonLines : formats::SweepFormat::kCsv;
  runner::WorkControl control;
  control.on_tick = [&progress](std::int64_t done, std::int64_t total, std::string_view unit) {
    progress(static_cast<double>(done), static_cast<double>(total), std::string(unit));
  };
  std::ostringstream out;
  try {
    if (design->common_r) {
      const runner::PlanR chosen = formats::WriteCommonRSweep(
          plan.range, plan.checked.inputs, plan.checked.plan, decimal_symbol, format, out,
          [](std::string_view) {}, &control, span);
      if (!chosen.choice) {
        answer.set("error", chosen.error);
        return answer;
      }
      // The status a person reads: figures to nine digits (the file's
      // comment line keeps them exact).
      answer.set("note", formats::CommonRSentence(*chosen.choice, chosen.path_text,
                                                  formats::SentenceFigures::kNineDigits));
    } else {
      formats::WriteSweep(plan.range, plan.checked.inputs, plan.checked.plan, decimal_symbol,
                          format, out, 1, {}, &control, span);
    }
  } catch (const runner::RunRefused& refused) {
    answer.set("error", std::string(refused.what()));
    return answer;
  } catch (const std::bad_alloc&) {
    answer.set("error", std::string("Out of memory: the band has too many channels for this "
                                    "page; plan a narrower band or a larger step."));
    return answer;
  }
  answer.set("text", out.str());
  answer.set("points", static_cast<double>(plan.range.PointCount()));
  return answer;
}

// How many points a design's band has (0 for a band that cannot be read):
// how many workers a plan is worth.
double PointCount(const std::string& design_text) {
  std::string error;
  const std::optional<formats::Design> design = formats::DesignFromJson(design_text, error);
  if (!design) return 0;
  const auto range = runner::SweepRange::Parse(design->sweep, error);
  return range ? static_cast<double>(range->PointCount()) : 0;
}

// A design asked for as the page's form gives it (a JSON object), written
// as the planner's design file keeps it: {"text": the file's text}, or
// {"error": why it is no design}.
std::string DesignFile(const std::string& design_text) {
  std::string error;
  const std::optional<formats::Design> design = formats::DesignFromJson(design_text, error);
  if (!design) return ErrorAnswer(error);
  Json answer;
  answer["text"] = formats::DesignJson(*design);
  return formats::JsonLine(answer);
}

// A design file's text read as the planner reads it (its faults in the
// planner's words): {"design": its members}, or {"error": ...}.
std::string OpenDesign(const std::string& text) {
  std::string error;
  const std::optional<formats::Design> design = formats::DesignFromJson(text, error);
  if (!design) return ErrorAnswer(error);
  Json answer;
  answer["design"] = Json::parse(formats::DesignJson(*design));
  return formats::JsonLine(answer);
}

// The classic calculator: the window's seven boxes and the state its GO
// keeps from one click to the next.
class Calculator : public TextBoxes {
 public:
  Calculator() {
    for (Box box : kAllBoxes) texts_[static_cast<std::size_t>(box)] = std::string(StartText(box));
  }

  std::string Text(Box box) const override { return texts_[static_cast<std::size_t>(box)]; }
  void SetText(Box box, std::string text) override {
    texts_[static_cast<std::size_t>(box)] = std::move(text);
  }
  std::string_view DecimalSymbol() const override { return decimal_symbol_; }

  // GO with the boxes' texts (a JSON array in box order): the boxes
  // afterwards and the fault message, if any, as the window shows them.
  std::string Go(const std::string& boxes, const std::string& decimal_symbol) {
    std::string error;
    const std::optional<nlohmann::json> given =
        formats::ParseJson(boxes, 2, error, formats::Duplicates::kLastCounts);
    if (!given || !given->is_array() || given->size() != kAllBoxes.size()) {
      return ErrorAnswer("the calculator takes its seven box texts");
    }
    for (Box box : kAllBoxes) {
      const auto& text = (*given)[static_cast<std::size_t>(box)];
      if (!text.is_string()) return ErrorAnswer("the calculator takes its seven box texts");
      SetText(box, text.get<std::string>());
    }
    decimal_symbol_ = decimal_symbol;
    Json answer;
    try {
      OnGoClick(*this, state_);
      // The window shows nothing then; the page says why, as the command
      // line does.
      if (EndStage(state_) == RunStage::kZeroSource) answer["note"] = ZeroSourceMessage();
    } catch (const ArithmeticFault& fault) {
      answer["fault"] = FaultMessage(fault.kind(), EndStage(state_));
    } catch (const std::bad_alloc&) {
      answer["fault"] = "Out of memory: an input text is too long.";
    }
    Json texts = Json::array();
    for (const std::string& text : texts_) texts.push_back(text);
    answer["boxes"] = texts;
    return formats::JsonLine(answer);
  }

 private:
  std::array<std::string, kAllBoxes.size()> texts_;
  std::string decimal_symbol_ = ".";
  GoActionState state_;
};

}  // namespace

EMSCRIPTEN_BINDINGS(synthfactors) {
  emscripten::function("inputTable", &InputTable);
  emscripten::function("windowLayout", &WindowLayout);
  emscripten::function("chipList", &ChipList);
  emscripten::function("searchKernel", &SearchKernelOfModule);
  emscripten::function("columnTable", &ColumnTable);
  emscripten::function("run", &Run);
  emscripten::function("channel", &Channel);
  emscripten::function("reasons", &Reasons);
  emscripten::function("sweep", &Sweep);
  emscripten::function("pointCount", &PointCount);
  emscripten::function("designFile", &DesignFile);
  emscripten::function("openDesign", &OpenDesign);
  emscripten::class_<Calculator>("Calculator")
      .constructor<>()
      .function("go", &Calculator::Go);
}

}  // namespace synthfactors::web
