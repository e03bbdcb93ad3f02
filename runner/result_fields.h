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
};

// A field's value in one result: empty (JSON null, an empty CSV field), a
// text, a number, a flag or a list of texts. A kList field reads as empty or
// as true.
using FieldValue = std::variant<std::monostate, std::string, double, bool,
                                std::vector<std::string>, NamedWords>;

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
// How the chip's words are written at power-up, with its words.
FieldValue PowerUp(const RunResult& r);
// One sweep column per register word, named after its register.
bool HasRegister(const RunResult& r, std::string_view name);
FieldValue WordNamed(const RunResult& r, std::string_view name);

}  // namespace field_read

inline constexpr std::array<ResultField, 48> kResultFields = {{
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
    {"alternatives", FieldKind::kList,
     [](const RunResult& r) -> FieldValue {
       if (!r.alternatives) return {};
       return true;
     },
     [](const RunResult& r) { return r.plan.alternatives > 0; }},
}};

constexpr std::size_t FieldIndex(std::string_view name) {
  for (std::size_t i = 0; i < kResultFields.size(); ++i) {
    if (kResultFields[i].name == name) return i;
  }
  throw "no such result field";  // at compile time: the table lacks the name
}

// The phase noise only with a figure of merit, the counters with a
// dual-modulus chip, the divider and VCO with a chip, the words (in write
// order) with --registers.
inline constexpr std::array<std::size_t, 31> kSweepColumns = {
    FieldIndex("rf_out"),   FieldIndex("rf_source"),      FieldIndex("r"),
    FieldIndex("n"),        FieldIndex("r_hex"),          FieldIndex("n_hex"),
    FieldIndex("comparison_khz"), FieldIndex("error_hz"), FieldIndex("error_ppb"),
    FieldIndex("exact"),    FieldIndex("fault"),          FieldIndex("phase_noise_dbc_hz"),
    FieldIndex("prescaler"), FieldIndex("b"),             FieldIndex("a"),
    FieldIndex("output_divider"), FieldIndex("vco_mhz"),  FieldIndex("feedback"),
    FieldIndex("mode"), FieldIndex("frac"), FieldIndex("mod"), FieldIndex("spur_offset_khz"),
    FieldIndex("R5"), FieldIndex("R4"), FieldIndex("R3"), FieldIndex("R2"), FieldIndex("R1"),
    FieldIndex("R0"), FieldIndex("INIT"), FieldIndex("R"), FieldIndex("N")};

// Whether a sweep column is there for a run (in_object aside).
inline bool IsSweepColumn(const ResultField& field, const RunResult& result) {
  return field.present == nullptr || field.present(result);
}

using AlternativeField = Field<Alternative>;

inline constexpr std::array<AlternativeField, 12> kAlternativeFields = {{
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
    {"phase_noise_dbc_hz", FieldKind::kNumber,
     [](const Alternative& a) { return field_read::Maybe(a.phase_noise); },
     field_read::WithNoise},
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
