// The types of a run: its inputs, the planning options asked for, and what
// it produced. Every chip family (integer_run.h, fractional_run.h) fills a
// RunResult; every face reads one.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arithmetic_fault.h"
#include "chip_counters.h"
#include "chip_profile.h"
#include "go_action.h"
#include "loop_options.h"
#include "mode_names.h"
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
  // With a chip that has an output divider: what the N divider counts.
  FeedbackMode feedback = FeedbackMode::kFundamental;
  // With a chip that has a reference path: the path as given ("auto" or a
  // fixed one) and as read; none: the chip's default.
  std::optional<std::string> ref_path;
  std::optional<PathRequest> path_request;
  // With a chip whose modulator has orders to choose: the one asked for
  // (else the lowest that reaches the channel).
  std::optional<std::int64_t> mash_order;
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
  // What weighs after being on frequency (fractional-N).
  Preference prefer = Preference::kSpur;
  // A loop filter to design or analyse, with its noise, jitter and lock
  // time.
  std::optional<LoopOptions> loop;
};

// How a run with these inputs searches at a source frequency: the ranges,
// with the chip's counters and limits on top, and the chip's prescaler P
// (where it has modes): the one asked for, or the smallest that counts that
// high.
struct RunSetting {
  SearchBounds bounds;
  std::optional<std::int32_t> prescaler;
};

// The output divider of a run whose chip has one, and what the N divider
// counts: the loop synthesises the VCO (source x D) with fundamental
// feedback, the source itself with divided feedback.
struct DividerChoice {
  std::int32_t divider = 1;
  FeedbackMode feedback = FeedbackMode::kFundamental;
  double loop_mhz = 0;  // what the N divider's output must match, x N

  bool Fundamental() const { return feedback == FeedbackMode::kFundamental; }
};

// Register words by name, in write order: ("R5", "0x00580005").
using NamedWords = std::vector<std::pair<std::string, std::string>>;

// The figures of one channel, as a sweep's row shows them: what a plan keeps
// of each channel. A figure is empty where the run did not get that far or
// has none.
struct ChannelFigures {
  std::optional<std::string> rf_source;  // RFund, if the run wrote it
  // Set once the search has finished.
  std::optional<double> r;
  std::optional<double> n;  // N, or INT of a fractional-N setting
  // The figures as the GO action computed them (see RunRecord).
  std::optional<double> comparison_khz;
  std::optional<double> error_hz;
  std::optional<double> error_ppb;
  std::optional<bool> exact;
  std::optional<FaultKind> fault;
  // The run found no setting the chip can run (the message says why).
  bool no_setting = false;
  std::optional<double> phase_noise;  // in-band, the total
  // With a dual-modulus chip: its prescaler P, and the chosen pair's B and A
  // once the search has found one.
  std::optional<std::int32_t> prescaler;
  std::optional<PrescalerCounts> counts;
  // With a chip: its output divider and feedback (where it has a divider),
  // and the VCO frequency the pair gives, once the search has found one.
  std::optional<std::int32_t> output_divider;
  std::optional<FeedbackMode> feedback;
  std::optional<double> vco_mhz;
  // With plan.registers: the chip's words in write order, once a pair is
  // found.
  std::optional<NamedWords> registers;
  // With a fractional-N chip, once a setting is chosen: its mode, FRAC and
  // MOD (n is INT), and the integer-boundary spur's distance from the
  // carrier (kHz; none in integer mode).
  std::optional<SettingMode> mode;
  std::optional<std::int64_t> frac, mod;
  std::optional<double> spur_offset_khz;
  // With a chip whose reference path is planned: the path chosen ("x1/1/x1/10").
  std::optional<std::string> reference_path;
  // With a chip whose modulator has orders: the order of the setting (0 in
  // integer mode).
  std::optional<std::int64_t> mash_order;
  // With a two-level fraction: the registers' FRAC1, FRAC2 and MOD2 (frac
  // and mod are the exact fraction).
  std::optional<std::int64_t> frac1, frac2, mod2;
  // With a loop, once a setting is chosen: its bandwidth, margin, jitter
  // and lock time.
  std::optional<LoopSummary> loop;
};

// A ranked alternative, its counters (with a dual-modulus chip) and its
// in-band phase noise (with a figure of merit). With a fractional-N chip it
// is the best setting of its R: pair.N is INT, with its mode, FRAC and MOD,
// the integer-boundary spur's distance from the carrier (kHz; none in
// integer mode), the modulator's order (0 in integer mode) where the chip
// has orders and, where the reference path is planned, the path.
struct Alternative {
  int rank = 0;  // from 1
  RankedPair pair;
  std::optional<PrescalerCounts> counts;
  std::optional<double> phase_noise;
  std::optional<SettingMode> mode;
  std::optional<std::int64_t> frac, mod;
  std::optional<double> spur_offset_khz;
  std::optional<std::string> reference_path;
  std::optional<std::int64_t> mash_order;
};

struct RunResult : ChannelFigures {
  RunInputs inputs;
  PlanOptions plan;
  std::optional<std::string> report;  // DivDisp, if the run wrote it
  RunStage stage = RunStage::kDone;
  std::optional<double> factor;  // RF Multiplication as the run read it
  std::string message;  // the fault message, or why nothing was calculated
  // The noise model used, and the chosen pair's parts of its noise.
  std::optional<NoiseModel> noise;
  std::optional<double> phase_noise_floor;    // with a flicker figure
  std::optional<double> phase_noise_flicker;  // with a flicker figure
  // With a chip: where it narrowed the window, or the source frequency is
  // outside its range ("Note: ...").
  std::vector<std::string> notes;
  // With plan.alternatives, once the search has finished.
  std::optional<std::vector<Alternative>> alternatives;
  // With a loop, once a setting is chosen: its parts and noise.
  std::optional<LoopReport> loop_report;
  // Set where the inputs ask what cannot be done for this channel (a loop
  // bandwidth too close to its comparison frequency): the faces refuse the
  // run as they refuse a bad option, with this message.
  std::optional<std::string> refusal;

  bool Complete() const { return stage == RunStage::kDone; }
};

}  // namespace synthfactors::runner
