// The fields of a result: the one list that the JSON object, the CSV of a
// sweep, the Python module's run() dict and sweep() columns (and any other
// table of results) walk, so each field has one name and one reading.
//
//   - kResultFields, in the order of the JSON object; a field marked
//     in_object is in the object (and the run() dict), and `present` says
//     whether it is there for a result (only with an option); nullptr:
//     always.
//   - kSweepColumns: the columns of a sweep, in their order, as indexes
//     into kResultFields.
//   - kAlternativeFields: the objects of the "alternatives" list.
//   - kCommonRFields: the summary of the one R of a plan.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "planning.h"
#include "run.h"

namespace synthfactors::runner {

enum class FieldKind {
  kText,    // a text
  kNumber,  // a double, written as its shortest round-trip text
  kWhole,   // a whole double (a divider, a count): written with all its digits,
            // and as an integer where it fits in 64 bits
  kFlag,    // true or false
  kTexts,   // a list of texts
  kList,    // the ranked alternatives: a list of kAlternativeFields objects
  kWords,   // register words: a list of {"name": ..., "word": ...} in write order
  kNumbers, // a list of numbers
  kLoop,    // the loop: a kLoopFields object (read as empty or true)
  kNoise,   // the loop's noise: a list of kNoiseFields objects (read as empty or true)
};

// A field's value in one result: empty (JSON null, an empty CSV field), a
// text, a number, a flag or a list of texts. A kList field reads as empty or
// as true.
using FieldValue = std::variant<std::monostate, std::string, double, bool,
                                std::vector<std::string>, NamedWords, std::vector<double>>;

template <typename Record>
struct Field {
  std::string_view name;
  FieldKind kind;
  FieldValue (*read)(const Record&);
  bool (*present)(const RunResult&) = nullptr;
  bool in_object = true;
};

using ResultField = Field<RunResult>;

// A divider's register text, or empty where it does not fit in a signed
// 32-bit register.
std::optional<std::string> RegisterText(double value);

// Whether a field is in the object of `result`.
template <typename Record>
bool IsPresent(const Field<Record>& field, const RunResult& result) {
  return field.in_object && (field.present == nullptr || field.present(result));
}

namespace field_read {

template <typename T>
FieldValue Maybe(const std::optional<T>& value) {
  if (!value) return {};
  return *value;
}
inline FieldValue Text(std::string_view text) { return std::string(text); }
// A mode's word.
template <typename Mode>
FieldValue Name(const std::optional<Mode>& mode) {
  if (!mode) return {};
  return std::string(NameOf(*mode));
}
inline FieldValue TextOrEmpty(std::string_view text) {
  if (text.empty()) return {};
  return std::string(text);
}
inline FieldValue Register(const std::optional<double>& value) {
  if (!value) return {};
  return Maybe(RegisterText(*value));
}
// The fault's kind, or "no setting" for a run that found none.
inline FieldValue Fault(const ChannelFigures& figures) {
  if (figures.fault) return std::string(FaultKindName(*figures.fault));
  if (figures.no_setting) return std::string("no setting");
  return {};
}
template <typename T>
FieldValue Whole(const std::optional<T>& value) {
  if (!value) return {};
  return static_cast<double>(*value);
}
inline FieldValue CounterB(const std::optional<PrescalerCounts>& counts) {
  if (!counts) return {};
  return static_cast<double>(counts->B);
}
inline FieldValue CounterA(const std::optional<PrescalerCounts>& counts) {
  if (!counts) return {};
  return static_cast<double>(counts->A);
}
inline bool WithNoise(const RunResult& r) { return r.noise.has_value(); }
inline bool WithFlicker(const RunResult& r) { return r.noise && r.noise->Flicker; }
inline bool WithCounters(const RunResult& r) { return HasDualModulusChip(r.inputs); }
inline bool WithChip(const RunResult& r) { return r.inputs.chip_profile != nullptr; }
inline bool WithRegisters(const RunResult& r) { return r.plan.registers; }
inline bool WithFractional(const RunResult& r) {
  return r.inputs.chip_profile && r.inputs.chip_profile->fractional;
}
// A chip whose reference path is planned (every setting weighed, or one
// asked for), whose modulator has orders, whose fraction has two levels.
bool WithReferencePath(const RunResult& r);
inline bool WithMashOrder(const RunResult& r) {
  return WithFractional(r) && !r.inputs.chip_profile->fractional->MashOrders.empty();
}
inline bool WithTwoLevels(const RunResult& r) {
  return WithFractional(r) && r.inputs.chip_profile->fractional->Mod1 > 0;
}
// How the chip's words are written at power-up, with its words.
FieldValue PowerUp(const RunResult& r);
// One sweep column per register word, named after its register.
bool HasRegister(const RunResult& r, std::string_view name);
FieldValue WordNamed(const RunResult& r, std::string_view name);
inline bool WithLoop(const RunResult& r) { return r.plan.loop.has_value(); }
inline bool WithLockTime(const RunResult& r) { return r.plan.loop && r.plan.loop->lock_jump_mhz; }
// A part of the run's loop filter (its band's, or its own): empty where the
// filter's order has no such part, or the run has no filter.
FieldValue FilterPart(const RunResult& r, double loop::LoopFilter::*part);
// A figure of the run's loop.
template <typename Figure>
FieldValue LoopFigure(const RunResult& r, Figure figure) {
  if (!r.loop) return {};
  return Maybe(std::optional<double>(figure(*r.loop)));
}

}  // namespace field_read

inline constexpr std::array<ResultField, 64> kBaseResultFields = {{
    {"rf_out", FieldKind::kText, [](const RunResult& r) { return field_read::Text(r.inputs.rf_out); }},
    {"mult", FieldKind::kText, [](const RunResult& r) { return field_read::Text(r.inputs.mult); }},
    {"ref", FieldKind::kText, [](const RunResult& r) { return field_read::Text(r.inputs.ref); }},
    {"min_fc", FieldKind::kText, [](const RunResult& r) { return field_read::Text(r.inputs.min_fc); }},
    {"max_fc", FieldKind::kText, [](const RunResult& r) { return field_read::Text(r.inputs.max_fc); }},
    {"r_range", FieldKind::kText,
     [](const RunResult& r) { return field_read::Maybe(r.inputs.r_range); },
     [](const RunResult& r) { return r.inputs.r_range.has_value(); }},
    {"n_range", FieldKind::kText,
     [](const RunResult& r) { return field_read::Maybe(r.inputs.n_range); },
     [](const RunResult& r) { return r.inputs.n_range.has_value(); }},
    {"chip", FieldKind::kText, [](const RunResult& r) { return field_read::Maybe(r.inputs.chip); },
     [](const RunResult& r) { return r.inputs.chip.has_value(); }},
    {"rf_source", FieldKind::kText,
     [](const RunResult& r) { return field_read::Text(r.rf_source.value_or("")); }},
    {"report", FieldKind::kText,
     [](const RunResult& r) { return field_read::Text(r.report.value_or("")); }},
    {"exact", FieldKind::kFlag, [](const RunResult& r) { return field_read::Maybe(r.exact); }},
    {"r", FieldKind::kWhole, [](const RunResult& r) { return field_read::Maybe(r.r); }},
    {"n", FieldKind::kWhole, [](const RunResult& r) { return field_read::Maybe(r.n); }},
    {"r_hex", FieldKind::kText, [](const RunResult& r) { return field_read::Register(r.r); },
     nullptr, false},
    {"n_hex", FieldKind::kText, [](const RunResult& r) { return field_read::Register(r.n); },
     nullptr, false},
    {"comparison_khz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.comparison_khz); }},
    {"error_hz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.error_hz); }},
    {"error_ppb", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.error_ppb); }},
    {"fault", FieldKind::kText, [](const RunResult& r) { return field_read::Fault(r); }},
    {"message", FieldKind::kText,
     [](const RunResult& r) { return field_read::TextOrEmpty(r.message); }},
    {"phase_noise_dbc_hz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.phase_noise); }, field_read::WithNoise},
    {"phase_noise_floor_dbc_hz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.phase_noise_floor); },
     field_read::WithFlicker},
    {"phase_noise_flicker_dbc_hz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.phase_noise_flicker); },
     field_read::WithFlicker},
    {"offset_hz", FieldKind::kNumber,
     [](const RunResult& r) -> FieldValue { return r.noise->OffsetHz; }, field_read::WithFlicker},
    {"prescaler", FieldKind::kWhole,
     [](const RunResult& r) { return field_read::Whole(r.prescaler); }, field_read::WithCounters},
    {"b", FieldKind::kWhole, [](const RunResult& r) { return field_read::CounterB(r.counts); },
     field_read::WithCounters},
    {"a", FieldKind::kWhole, [](const RunResult& r) { return field_read::CounterA(r.counts); },
     field_read::WithCounters},
    {"output_divider", FieldKind::kWhole,
     [](const RunResult& r) { return field_read::Whole(r.output_divider); }, field_read::WithChip},
    {"vco_mhz", FieldKind::kNumber, [](const RunResult& r) { return field_read::Maybe(r.vco_mhz); },
     field_read::WithChip},
    {"feedback", FieldKind::kText, [](const RunResult& r) { return field_read::Name(r.feedback); },
     field_read::WithChip},
    {"mode", FieldKind::kText, [](const RunResult& r) { return field_read::Name(r.mode); },
     field_read::WithFractional},
    {"int", FieldKind::kWhole, [](const RunResult& r) { return field_read::Maybe(r.n); },
     field_read::WithFractional},
    {"frac", FieldKind::kWhole, [](const RunResult& r) { return field_read::Whole(r.frac); },
     field_read::WithFractional},
    {"mod", FieldKind::kWhole, [](const RunResult& r) { return field_read::Whole(r.mod); },
     field_read::WithFractional},
    {"spur_offset_khz", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::Maybe(r.spur_offset_khz); },
     field_read::WithFractional},
    {"reference_path", FieldKind::kText,
     [](const RunResult& r) { return field_read::Maybe(r.reference_path); },
     field_read::WithReferencePath},
    {"mash_order", FieldKind::kWhole,
     [](const RunResult& r) { return field_read::Whole(r.mash_order); },
     field_read::WithMashOrder},
    {"frac1", FieldKind::kWhole, [](const RunResult& r) { return field_read::Whole(r.frac1); },
     field_read::WithTwoLevels},
    {"frac2", FieldKind::kWhole, [](const RunResult& r) { return field_read::Whole(r.frac2); },
     field_read::WithTwoLevels},
    {"mod2", FieldKind::kWhole, [](const RunResult& r) { return field_read::Whole(r.mod2); },
     field_read::WithTwoLevels},
    {"notes", FieldKind::kTexts, [](const RunResult& r) -> FieldValue { return r.notes; },
     [](const RunResult& r) { return r.inputs.chip.has_value(); }},
    {"registers", FieldKind::kWords,
     [](const RunResult& r) -> FieldValue {
       if (!r.registers) return {};
       return *r.registers;
     },
     field_read::WithRegisters},
    {"power_up", FieldKind::kText, [](const RunResult& r) { return field_read::PowerUp(r); },
     field_read::WithRegisters, true},
    // The words again, one sweep column each (not in the object).
#define SYNTHFACTORS_WORD_COLUMN(NAME)                                                       \
  {NAME, FieldKind::kText, [](const RunResult& r) { return field_read::WordNamed(r, NAME); }, \
   [](const RunResult& r) { return field_read::HasRegister(r, NAME); }, false}
    SYNTHFACTORS_WORD_COLUMN("R5"),
    SYNTHFACTORS_WORD_COLUMN("R4"),
    SYNTHFACTORS_WORD_COLUMN("R3"),
    SYNTHFACTORS_WORD_COLUMN("R2"),
    SYNTHFACTORS_WORD_COLUMN("R1"),
    SYNTHFACTORS_WORD_COLUMN("R0"),
    SYNTHFACTORS_WORD_COLUMN("INIT"),
    SYNTHFACTORS_WORD_COLUMN("R"),
    SYNTHFACTORS_WORD_COLUMN("N"),
#undef SYNTHFACTORS_WORD_COLUMN
    // The loop's figures, one sweep column each (not in the object: the
    // object has them in "loop").
    {"c1_f", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::FilterPart(r, &loop::LoopFilter::c1); },
     field_read::WithLoop, false},
    {"c2_f", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::FilterPart(r, &loop::LoopFilter::c2); },
     field_read::WithLoop, false},
    {"c3_f", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::FilterPart(r, &loop::LoopFilter::c3); },
     field_read::WithLoop, false},
    {"r2_ohm", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::FilterPart(r, &loop::LoopFilter::r2); },
     field_read::WithLoop, false},
    {"r3_ohm", FieldKind::kNumber,
     [](const RunResult& r) { return field_read::FilterPart(r, &loop::LoopFilter::r3); },
     field_read::WithLoop, false},
    {"loop_bandwidth_hz", FieldKind::kNumber,
     [](const RunResult& r) {
       return field_read::LoopFigure(r, [](const LoopSummary& l) { return l.bandwidth_hz; });
     },
     field_read::WithLoop, false},
    {"phase_margin_deg", FieldKind::kNumber,
     [](const RunResult& r) {
       return field_read::LoopFigure(r, [](const LoopSummary& l) { return l.phase_margin_deg; });
     },
     field_read::WithLoop, false},
    {"phase_error_deg", FieldKind::kNumber,
     [](const RunResult& r) {
       return field_read::LoopFigure(r, [](const LoopSummary& l) { return l.phase_error_deg_rms; });
     },
     field_read::WithLoop, false},
    {"jitter_fs", FieldKind::kNumber,
     [](const RunResult& r) {
       return field_read::LoopFigure(r, [](const LoopSummary& l) { return l.jitter_fs_rms; });
     },
     field_read::WithLoop, false},
    {"lock_time_us", FieldKind::kNumber,
     [](const RunResult& r) -> FieldValue {
       if (!r.loop) return {};
       return field_read::Maybe(r.loop->lock_time_us);
     },
     field_read::WithLockTime, false},
    {"loop", FieldKind::kLoop,
     [](const RunResult& r) -> FieldValue {
       if (!r.loop_report || !r.loop) return {};
       return true;
     },
     field_read::WithLoop},
    {"alternatives", FieldKind::kList,
     [](const RunResult& r) -> FieldValue {
       if (!r.alternatives) return {};
       return true;
     },
     [](const RunResult& r) { return r.plan.alternatives > 0; }},
}};

namespace field_read {

// The words of the longer layouts above R5, "R112" down to "R6": one sweep
// column each, before R5 (a layout writes its registers from the highest).
inline constexpr std::size_t kHighWords = 107;
struct WordName {
  char text[5];
};
constexpr std::array<WordName, kHighWords> HighWordNames() {
  std::array<WordName, kHighWords> names{};
  for (std::size_t i = 0; i < kHighWords; ++i) {
    const std::size_t number = 112 - i;
    std::size_t at = 0;
    names[i].text[at++] = 'R';
    if (number >= 100) names[i].text[at++] = static_cast<char>('0' + number / 100);
    if (number >= 10) names[i].text[at++] = static_cast<char>('0' + number / 10 % 10);
    names[i].text[at] = static_cast<char>('0' + number % 10);
  }
  return names;
}
inline constexpr std::array<WordName, kHighWords> kHighWordNames = HighWordNames();

template <std::size_t I>
constexpr ResultField HighWordColumn() {
  return {std::string_view(kHighWordNames[I].text), FieldKind::kText,
          [](const RunResult& r) { return WordNamed(r, kHighWordNames[I].text); },
          [](const RunResult& r) { return HasRegister(r, kHighWordNames[I].text); }, false};
}

template <std::size_t... I>
constexpr std::array<ResultField, kBaseResultFields.size() + sizeof...(I)> WithHighWords(
    std::index_sequence<I...>) {
  std::array<ResultField, kBaseResultFields.size() + sizeof...(I)> fields = {};
  for (std::size_t i = 0; i < kBaseResultFields.size(); ++i) fields[i] = kBaseResultFields[i];
  const std::array<ResultField, sizeof...(I)> words = {HighWordColumn<I>()...};
  for (std::size_t i = 0; i < words.size(); ++i) fields[kBaseResultFields.size() + i] = words[i];
  return fields;
}

}  // namespace field_read

inline constexpr auto kResultFields =
    field_read::WithHighWords(std::make_index_sequence<field_read::kHighWords>());

constexpr std::size_t FieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < kResultFields.size(); ++i) {
    if (kResultFields[i].name == name) return i;
  }
  throw "no such result field";  // at compile time: the table lacks the name
}

// The phase noise only with a figure of merit, the counters with a
// dual-modulus chip, the divider and VCO with a chip, the words (in write
// order) with --registers.
inline constexpr std::array<std::size_t, 46> kBaseSweepColumns = {
    FieldIndex("rf_out"),   FieldIndex("rf_source"),      FieldIndex("r"),
    FieldIndex("n"),        FieldIndex("r_hex"),          FieldIndex("n_hex"),
    FieldIndex("comparison_khz"), FieldIndex("error_hz"), FieldIndex("error_ppb"),
    FieldIndex("exact"),    FieldIndex("fault"),          FieldIndex("phase_noise_dbc_hz"),
    FieldIndex("prescaler"), FieldIndex("b"),             FieldIndex("a"),
    FieldIndex("output_divider"), FieldIndex("vco_mhz"),  FieldIndex("feedback"),
    FieldIndex("mode"), FieldIndex("frac"), FieldIndex("mod"), FieldIndex("spur_offset_khz"),
    FieldIndex("reference_path"), FieldIndex("mash_order"), FieldIndex("frac1"),
    FieldIndex("frac2"), FieldIndex("mod2"),
    FieldIndex("R5"), FieldIndex("R4"), FieldIndex("R3"), FieldIndex("R2"), FieldIndex("R1"),
    FieldIndex("R0"), FieldIndex("INIT"), FieldIndex("R"), FieldIndex("N"),
    FieldIndex("c1_f"), FieldIndex("c2_f"), FieldIndex("c3_f"), FieldIndex("r2_ohm"),
    FieldIndex("r3_ohm"), FieldIndex("loop_bandwidth_hz"), FieldIndex("phase_margin_deg"),
    FieldIndex("phase_error_deg"), FieldIndex("jitter_fs"), FieldIndex("lock_time_us")};

constexpr std::array<std::size_t, kBaseSweepColumns.size() + field_read::kHighWords>
SweepColumnsWithHighWords() {
  std::array<std::size_t, kBaseSweepColumns.size() + field_read::kHighWords> columns = {};
  std::size_t at = 0;
  for (const std::size_t column : kBaseSweepColumns) {
    if (column == FieldIndex("R5")) {
      for (std::size_t k = 0; k < field_read::kHighWords; ++k) {
        columns[at++] = kBaseResultFields.size() + k;
      }
    }
    columns[at++] = column;
  }
  return columns;
}

inline constexpr auto kSweepColumns = SweepColumnsWithHighWords();

// Whether a sweep column is there for a run (in_object aside).
inline bool IsSweepColumn(const ResultField& field, const RunResult& result) {
  return field.present == nullptr || field.present(result);
}

using AlternativeField = Field<Alternative>;

inline constexpr std::array<AlternativeField, 18> kAlternativeFields = {{
    {"rank", FieldKind::kWhole, [](const Alternative& a) -> FieldValue { return double(a.rank); }},
    {"r", FieldKind::kWhole, [](const Alternative& a) -> FieldValue { return double(a.pair.R); }},
    {"n", FieldKind::kWhole, [](const Alternative& a) -> FieldValue { return a.pair.N; }},
    {"comparison_khz", FieldKind::kNumber,
     [](const Alternative& a) -> FieldValue { return a.pair.ComparisonKHz; }},
    {"error_hz", FieldKind::kNumber, [](const Alternative& a) -> FieldValue { return a.pair.ErrorHz; }},
    {"error_ppb", FieldKind::kNumber,
     [](const Alternative& a) -> FieldValue { return a.pair.ErrorPpb; }},
    {"exact", FieldKind::kFlag, [](const Alternative& a) -> FieldValue { return a.pair.Exact; }},
    {"r_hex", FieldKind::kText,
     [](const Alternative& a) { return field_read::Register(double(a.pair.R)); }},
    {"n_hex", FieldKind::kText, [](const Alternative& a) { return field_read::Register(a.pair.N); }},
    {"b", FieldKind::kWhole, [](const Alternative& a) { return field_read::CounterB(a.counts); },
     field_read::WithCounters},
    {"a", FieldKind::kWhole, [](const Alternative& a) { return field_read::CounterA(a.counts); },
     field_read::WithCounters},
    {"mode", FieldKind::kText, [](const Alternative& a) { return field_read::Name(a.mode); },
     field_read::WithFractional},
    {"frac", FieldKind::kWhole, [](const Alternative& a) { return field_read::Whole(a.frac); },
     field_read::WithFractional},
    {"mod", FieldKind::kWhole, [](const Alternative& a) { return field_read::Whole(a.mod); },
     field_read::WithFractional},
    {"spur_offset_khz", FieldKind::kNumber,
     [](const Alternative& a) { return field_read::Maybe(a.spur_offset_khz); },
     field_read::WithFractional},
    {"reference_path", FieldKind::kText,
     [](const Alternative& a) { return field_read::Maybe(a.reference_path); },
     field_read::WithReferencePath},
    {"mash_order", FieldKind::kWhole,
     [](const Alternative& a) { return field_read::Whole(a.mash_order); },
     field_read::WithMashOrder},
    {"phase_noise_dbc_hz", FieldKind::kNumber,
     [](const Alternative& a) { return field_read::Maybe(a.phase_noise); },
     field_read::WithNoise},
}};

// The loop of a run, as its "loop" object shows it.
struct LoopView {
  const LoopReport& report;
  const LoopSummary& summary;
};
using LoopField = Field<LoopView>;

namespace field_read {
inline FieldValue Part(const LoopView& v, double loop::LoopFilter::*part) {
  if (v.report.filter.order == 2 && (part == &loop::LoopFilter::c3 || part == &loop::LoopFilter::r3)) {
    return {};
  }
  return v.report.filter.*part;
}
}  // namespace field_read

inline constexpr std::array<LoopField, 15> kLoopFields = {{
    {"order", FieldKind::kWhole,
     [](const LoopView& v) -> FieldValue { return double(v.report.filter.order); }},
    {"c1_f", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Part(v, &loop::LoopFilter::c1); }},
    {"c2_f", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Part(v, &loop::LoopFilter::c2); }},
    {"c3_f", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Part(v, &loop::LoopFilter::c3); }},
    {"r2_ohm", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Part(v, &loop::LoopFilter::r2); }},
    {"r3_ohm", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Part(v, &loop::LoopFilter::r3); }},
    {"bandwidth_hz", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.summary.bandwidth_hz; }},
    {"phase_margin_deg", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.summary.phase_margin_deg; }},
    {"noise", FieldKind::kNoise, [](const LoopView&) -> FieldValue { return true; }},
    {"jitter_band_hz", FieldKind::kNumbers,
     [](const LoopView& v) -> FieldValue {
       return std::vector<double>{v.report.jitter_from_hz, v.report.jitter_to_hz};
     }},
    {"phase_error_deg_rms", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.summary.phase_error_deg_rms; }},
    {"jitter_fs_rms", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.summary.jitter_fs_rms; }},
    {"lock_time_us", FieldKind::kNumber,
     [](const LoopView& v) { return field_read::Maybe(v.summary.lock_time_us); }},
    {"cp_current_ma", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.report.cp_current_ma; }},
    {"kvco_mhz_per_v", FieldKind::kNumber,
     [](const LoopView& v) -> FieldValue { return v.report.kvco_mhz_per_v; }},
}};

using NoiseField = Field<loop::NoiseAtOffset>;

inline constexpr std::array<NoiseField, 6> kNoiseFields = {{
    {"offset_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) -> FieldValue { return n.offset_hz; }},
    {"total_dbc_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) -> FieldValue { return n.total_dbc_hz; }},
    {"pll_dbc_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) { return field_read::Maybe(n.pll_dbc_hz); }},
    {"vco_dbc_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) { return field_read::Maybe(n.vco_dbc_hz); }},
    {"reference_dbc_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) { return field_read::Maybe(n.reference_dbc_hz); }},
    {"resistors_dbc_hz", FieldKind::kNumber,
     [](const loop::NoiseAtOffset& n) -> FieldValue { return n.resistors_dbc_hz; }},
}};

using CommonRField = Field<CommonR>;

inline constexpr std::array<CommonRField, 5> kCommonRFields = {{
    {"common_r", FieldKind::kWhole, [](const CommonR& c) -> FieldValue { return double(c.R); }},
    {"comparison_khz", FieldKind::kNumber,
     [](const CommonR& c) -> FieldValue { return c.ComparisonKHz; }},
    {"exact_channels", FieldKind::kWhole,
     [](const CommonR& c) -> FieldValue { return double(c.ExactChannels); }},
    {"channels", FieldKind::kWhole, [](const CommonR& c) -> FieldValue { return double(c.Channels); }},
    {"worst_error_hz", FieldKind::kNumber,
     [](const CommonR& c) -> FieldValue { return c.WorstErrorHz; }},
}};

}  // namespace synthfactors::runner
