// One run of the GO action without a window, and everything it produced:
// the window's texts, the figures as numbers, and the planning figures
// asked for. Every face (the command line, the Python module, the planner)
// runs the calculation through RunOnce, so all show the same figures.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "arithmetic_fault.h"
#include "chip_counters.h"
#include "chip_profile.h"
#include "go_action.h"
#include "planning.h"

namespace synthfactors::runner {

// The five input texts, read exactly as the window reads its boxes; they
// start as the window's start texts.
struct RunInputs {
  std::string rf_out{StartText(Box::RFOut)};
  std::string mult{StartText(Box::RFMult)};
  std::string ref{StartText(Box::Ref)};
  std::string min_fc{StartText(Box::MinFC)};
  std::string max_fc{StartText(Box::MaxFC)};
  // The counter ranges as given, and the bounds they set (ReadCounterRanges).
  std::optional<std::string> r_range;
  std::optional<std::string> n_range;
  SearchBounds bounds;
  // The chip as given (a shipped profile's name or a file), its profile, and
  // the prescaler P asked for (else the smallest for the source frequency).
  // The chip's counters and limits apply on top of the ranges and window.
  std::optional<std::string> chip;
  std::shared_ptr<const ChipProfile> chip_profile;
  std::optional<std::int32_t> prescaler;
  // With a chip that has an output divider: whether the N divider counts
  // the divided output rather than the VCO.
  bool divided_feedback = false;
};

// What a run reports beyond the window's texts, asked for by options.
struct PlanOptions {
  int alternatives = 0;           // 0: none asked for
  std::optional<double> fom;      // dBc/Hz at 1 Hz comparison frequency
  std::optional<double> flicker;  // dBc/Hz, 1 Hz carrier at 1 Hz offset
  std::optional<double> offset_hz;  // where the flicker is read; 10000 by default
  bool registers = false;  // the chip's register words
  // With a fractional-N chip: the output error a setting may keep and
  // still count as on frequency (Hz; 0 by default), and the least distance
  // of its integer-boundary spur from the carrier (kHz).
  std::optional<double> tolerance_hz;
  std::optional<double> spur_clear_khz;
};

// The noise model of a run: the options' figures, else the chip's; empty
// without a figure of merit.
std::optional<NoiseModel> NoiseModelOf(const RunInputs& inputs, const PlanOptions& plan);

// How a run with these inputs searches at a source frequency (MHz; empty
// where it cannot be worked out): the ranges, with the chip's counters and
// limits on top, and the chip's prescaler P (where it has modes): the one
// asked for, or the smallest that counts that high.
struct RunSetting {
  SearchBounds bounds;
  std::optional<std::int32_t> prescaler;
};
RunSetting SettingFor(const RunInputs& inputs, const std::optional<double>& source_mhz);

// The output divider of a run whose chip has one: the smallest power of two
// D (up to the chip's largest, or its largest inside the loop with divided
// feedback) that puts |source| x D within the chip's VCO range (its
// source_mhz). The loop synthesises the VCO (source x D) with fundamental
// feedback, the source itself with divided feedback. Empty without such a
// chip, or when no D reaches the range.
struct DividerChoice {
  std::int32_t divider = 1;
  bool fundamental = true;
  double loop_mhz = 0;  // what the N divider's output must match, x N
};
std::optional<DividerChoice> ChooseDivider(const RunInputs& inputs,
                                           const std::optional<double>& source_mhz);

// "Note: ..." lines for what the chip changed or cannot do, the figures in
// the report's decimal symbol.
std::vector<std::string> ChipNotesFor(const ChipProfile& chip, const RunInputs& inputs,
                                      const std::optional<double>& source,
                                      std::string_view decimal_symbol);

// The frequency the N divider counts: the loop's (ChooseDivider), else the
// source frequency.
std::optional<double> LoopMHz(const RunInputs& inputs, const std::optional<double>& source_mhz);

// A box's number as the GO action reads it from its text; empty where
// reading it would fault.
std::optional<double> ReadNumber(const std::string& text);

// The source frequency (MHz) a run with these inputs asks for, where it can
// be worked out.
std::optional<double> SourceMHz(const RunInputs& inputs);

// Whether the prescaler asked for is one the chip has and counts as high as
// `source_mhz`; else false, with the reason naming the option as `name`.
bool PrescalerAllowed(const RunInputs& inputs, const std::optional<double>& source_mhz,
                      std::string_view name, std::string& error);

// Whether the run's chip counts N with a dual-modulus prescaler.
bool HasDualModulusChip(const RunInputs& inputs);

// A ranked alternative, its counters (with a dual-modulus chip) and its
// in-band phase noise (with a figure of merit).
struct Alternative {
  int rank = 0;  // from 1
  RankedPair pair;
  std::optional<PrescalerCounts> counts;
  std::optional<double> phase_noise;
};

struct RunResult {
  RunInputs inputs;
  PlanOptions plan;
  std::optional<std::string> rf_source;  // RFund, if the run wrote it
  std::optional<std::string> report;     // DivDisp, if the run wrote it
  RunStage stage = RunStage::kDone;
  std::optional<double> factor;  // RF Multiplication as the run read it
  // Set once the search has finished.
  std::optional<bool> exact;
  std::optional<double> r;
  std::optional<double> n;
  // The figures as the GO action computed them (see RunRecord).
  std::optional<double> comparison_khz;
  std::optional<double> error_hz;
  std::optional<double> error_ppb;
  std::optional<FaultKind> fault;
  std::string message;  // the fault message, or why nothing was calculated
  // The noise model used, and the chosen pair's noise under it.
  std::optional<NoiseModel> noise;
  std::optional<double> phase_noise;          // the total
  std::optional<double> phase_noise_floor;    // with a flicker figure
  std::optional<double> phase_noise_flicker;  // with a flicker figure
  // With a dual-modulus chip: its prescaler P, and the chosen pair's B and A
  // once the search has found one.
  std::optional<std::int32_t> prescaler;
  std::optional<PrescalerCounts> counts;
  // With a chip: where it narrowed the window, or the source frequency is
  // outside its range ("Note: ...").
  std::vector<std::string> notes;
  // With plan.alternatives, once the search has finished.
  std::optional<std::vector<Alternative>> alternatives;
  // With a chip: its output divider and feedback (where it has a divider),
  // and the VCO frequency the pair gives, once the search has found one.
  std::optional<std::int32_t> output_divider;
  std::optional<std::string> feedback;
  std::optional<double> vco_mhz;
  // With plan.registers: the chip's words in write order, once a pair is
  // found ("0x00580005" texts).
  std::optional<std::vector<std::pair<std::string, std::string>>> registers;
  // With a fractional-N chip: "integer" or "fractional" once a setting is
  // chosen, its FRAC and MOD (n is INT), and the integer-boundary spur's
  // distance from the carrier (kHz; none in integer mode).
  std::optional<std::string> mode;
  std::optional<std::int64_t> frac, mod;
  std::optional<double> spur_offset_khz;

  bool Complete() const { return stage == RunStage::kDone; }
};

// A result of no run, for what depends only on the inputs and options: which
// fields the runs of a sweep have.
RunResult ResultShape(const RunInputs& inputs, const PlanOptions& plan);

// Runs the action once, starting from fresh boxes and a fresh search state.
RunResult RunOnce(const RunInputs& inputs, std::string_view decimal_symbol,
                  const PlanOptions& plan = PlanOptions{});

}  // namespace synthfactors::runner
