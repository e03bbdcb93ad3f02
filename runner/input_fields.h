// The inputs of a run: the one list that the command line's options, a
// batch line's members, the Python module's keywords, the planner's form,
// the completions and the manual pages walk, and the one reading that turns
// their texts into a checked request.
//
//   - kInputFields, indexed by Input: each input's key (JSON member, Python
//     keyword, planner field), command-line flag, value name, help sentence,
//     start text, unit, kind and the modes it applies to.
//   - ReadInputs: the texts a face was given (each input given or not) into
//     a run's inputs and planning options, or into every fault at once, one
//     per input, in the order of the table. Messages name an input as the
//     face does: by flag ("--fom takes ..."), by key ("fom takes ..."), or
//     not at all (the planner shows the reason under the box).
//
// Example: {rf_out "1000", fom "x"} read by flag gives the one fault
// `--fom takes the PLL's figure of merit in dBc/Hz as a decimal number such
// as -220, not "x"`. Given nothing at all, the inputs are the window's
// start texts and no option is set.
//
// Two readings: kAsTheWindow takes the five box texts as the window takes
// them (any text; its leading number counts, "10MHz" is 10, none is 0) and
// leaves faults of their values to the calculation; kStrict, for the
// planner, wants the box texts already normalised (one decimal number with
// "." for its point), requires them, and refuses the values the
// calculation cannot use (a factor of 0, a reference not above 0, a
// comparison window below 0 or upside down).
//
// Every text holding a NUL character is refused: a C string reader would
// cut it short and read another value than the one given.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "boxes.h"
#include "chip_profile.h"
#include "run.h"
#include "sweep_range.h"

namespace synthfactors::runner {

enum class Input {
  kRfOut, kMult, kRef, kMinFc, kMaxFc,  // the window's five boxes
  kRRange, kNRange,                     // counter ranges
  kAlternatives,                        // ranked pairs
  kFom, kFlicker, kOffset,              // in-band phase noise
  kChip, kPrescaler,                    // a chip profile and its P
  kFeedback, kRegisters,                // the chip's output divider and words
  kTolerance, kSpurClear, kPrefer,      // fractional-N choice
  kRefPath, kMashOrder,                 // the reference path and modulator
  kLoopBandwidth, kPhaseMargin, kFilterOrder, kGamma, kT31,  // a designed loop filter
  kFilter,                                                 // or built parts
  kCpCurrent, kKvco,                                       // the loop's gain
  kVcoNoise, kRefNoise, kNoiseOffsets, kJitterBand,        // its noise and jitter
  kLockJump, kLockTolerance,                               // its lock time
};
inline constexpr std::size_t kInputCount = static_cast<std::size_t>(Input::kLockTolerance) + 1;

enum class InputKind {
  kBoxText,       // a box's text, read as the window reads it
  kCounterRange,  // "MIN:MAX", whole numbers
  kChip,          // a shipped profile's name or a profile file
  kPrescaler,     // the whole number P of a P/P+1 prescaler
  kCount,         // how many alternatives, 1 ... kMaxAlternatives
  kDecibels,      // a decimal number of dBc/Hz
  kHertz,         // a decimal number of Hz above 0
  kDecimal,       // a decimal number of the input's unit
  kChoice,        // one of a few words
  kFlag,          // on or off (InputTexts::Flag)
  kParts,         // filter parts "C1,C2,R2[,C3,R3]" (loop_texts.h)
  kNoisePoints,   // "OFFSET:DBC,..."
  kHertzList,     // "HZ,..."
  kHertzBand,     // "FROM:TO"
  kPathText,      // a reference path: "auto" or "x2/1/x1/R"
  kOrder,         // a modulator's order, a whole number
};

// The modes an input applies to, as bits.
enum InputMode : unsigned {
  kSingleRun = 1U << 0,  // one run: --rf-out, run()
  kBatchRun = 1U << 1,   // a batch line's members
  kSweepRun = 1U << 2,   // --sweep, sweep(): every input but the RF output
  kPlannerRun = 1U << 3, // the planner's form
};
inline constexpr unsigned kEveryRun = kSingleRun | kBatchRun | kSweepRun | kPlannerRun;

struct InputField {
  Input input;
  std::string_view key;         // rf_out
  std::string_view flag;        // --rf-out
  std::string_view value_name;  // TEXT
  std::string_view help;        // one sentence, shown by --help and in the manual
  std::string_view start;       // the start text; "" for none (an option)
  std::string_view unit;        // MHz, kHz, dBc/Hz, Hz or ""
  InputKind kind;
  unsigned modes;
};

inline constexpr std::array<InputField, kInputCount> kInputFields = {{
    {Input::kRfOut, "rf_out", "--rf-out", "TEXT", "RF output frequency, MHz",
     StartText(Box::RFOut), "MHz", InputKind::kBoxText, kSingleRun | kBatchRun},
    {Input::kMult, "mult", "--mult", "TEXT",
     "RF multiplication factor (output = source x factor)", StartText(Box::RFMult), "",
     InputKind::kBoxText, kEveryRun},
    {Input::kRef, "ref", "--ref", "TEXT", "Reference input frequency, MHz", StartText(Box::Ref),
     "MHz", InputKind::kBoxText, kEveryRun},
    {Input::kMinFc, "min_fc", "--min-fc", "TEXT", "Lowest allowed comparison frequency, kHz",
     StartText(Box::MinFC), "kHz", InputKind::kBoxText, kEveryRun},
    {Input::kMaxFc, "max_fc", "--max-fc", "TEXT", "Highest allowed comparison frequency, kHz",
     StartText(Box::MaxFC), "kHz", InputKind::kBoxText, kEveryRun},
    {Input::kRRange, "r_range", "--r-range", "MIN:MAX",
     "Try only reference dividers R from MIN to MAX", "", "", InputKind::kCounterRange,
     kEveryRun},
    {Input::kNRange, "n_range", "--n-range", "MIN:MAX",
     "Admit only feedback dividers N from MIN to MAX", "", "", InputKind::kCounterRange,
     kEveryRun},
    {Input::kAlternatives, "alternatives", "--alternatives", "K",
     "Also list up to K admitted pairs, exact ones first, then by output error", "", "",
     InputKind::kCount, kSingleRun | kBatchRun},
    {Input::kFom, "fom", "--fom", "DBC",
     "PLL figure of merit, dBc/Hz: adds the in-band phase noise of each pair", "", "dBc/Hz",
     InputKind::kDecibels, kEveryRun},
    {Input::kFlicker, "flicker", "--flicker", "DBC",
     "Normalised 1/f noise, dBc/Hz (1 Hz carrier, 1 Hz offset): adds the flicker to the "
     "in-band phase noise",
     "", "dBc/Hz", InputKind::kDecibels, kEveryRun},
    {Input::kOffset, "offset", "--offset", "HZ",
     "Offset from the carrier the flicker is read at, Hz (default 10000)", "", "Hz",
     InputKind::kHertz, kEveryRun},
    {Input::kChip, "chip", "--chip", "NAME|FILE",
     "A chip's counters and limits on top of the window: a profile name (see --list-chips) or "
     "a profile file",
     "", "", InputKind::kChip, kEveryRun},
    {Input::kPrescaler, "prescaler", "--prescaler", "P",
     "With --chip: the prescaler P/P+1, from those the chip allows (default: the smallest for "
     "the source frequency)",
     "", "", InputKind::kPrescaler, kEveryRun},
    {Input::kFeedback, "feedback", "--feedback", "MODE",
     "With a chip that has an output divider: the N divider counts the VCO (fundamental, the "
     "default) or the divided output (divided)",
     "", "", InputKind::kChoice, kEveryRun},
    {Input::kRegisters, "registers", "--registers", "",
     "With a chip that names its register layout: also write its register words, in the order "
     "they must be written",
     "", "", InputKind::kFlag, kEveryRun},
    {Input::kTolerance, "tolerance", "--tolerance", "HZ",
     "With a fractional-N chip: the output error a setting may keep and still count as on "
     "frequency, Hz (default 0: exact)",
     "", "Hz", InputKind::kHertz, kEveryRun},
    {Input::kSpurClear, "spur_clear", "--spur-clear", "KHZ",
     "With a fractional-N chip: drop every setting whose integer-boundary spur lies closer "
     "to the carrier than this, kHz",
     "", "kHz", InputKind::kHertz, kEveryRun},
    {Input::kPrefer, "prefer", "--prefer", "WHAT",
     "With a fractional-N chip: among the settings on frequency, the integer-boundary spur "
     "furthest from the carrier (spur, the default) or, with a figure of merit, the lowest "
     "in-band noise (noise)",
     "", "", InputKind::kChoice, kEveryRun},
    {Input::kRefPath, "ref_path", "--ref-path", "PATH",
     "With a chip that has a reference path: auto (every setting weighed) or one setting of "
     "each stage, such as x2/1/x1/R (R chosen) or x1/2/x5/1 (default: the chip's)",
     "", "", InputKind::kPathText, kEveryRun},
    {Input::kMashOrder, "mash_order", "--mash-order", "ORDER",
     "With a chip whose modulator has orders: the order of a fractional setting (default: the "
     "lowest that reaches the channel)",
     "", "", InputKind::kOrder, kEveryRun},
    {Input::kLoopBandwidth, "loop_bandwidth", "--loop-bandwidth", "KHZ",
     "Design a passive loop filter for this open-loop bandwidth, kHz, and report its noise, "
     "jitter and phase margin (with --cp-current and --kvco, or a chip's)",
     "", "kHz", InputKind::kDecimal, kEveryRun},
    {Input::kPhaseMargin, "phase_margin", "--phase-margin", "DEG",
     "With --loop-bandwidth: the phase margin to design for, degrees (default 45)", "", "deg",
     InputKind::kDecimal, kEveryRun},
    {Input::kFilterOrder, "filter_order", "--filter-order", "ORDER",
     "With --loop-bandwidth: the filter's order, 2 or 3 (default 3)", "", "",
     InputKind::kChoice, kEveryRun},
    {Input::kGamma, "gamma", "--gamma", "G",
     "With --loop-bandwidth: Banerjee's optimisation factor gamma, above 0 (default 1)", "", "",
     InputKind::kDecimal, kEveryRun},
    {Input::kT31, "t31", "--t31", "R",
     "With --loop-bandwidth and order 3: the pole ratio T3/T1, between 0 and 1 (default 0.6)",
     "", "", InputKind::kDecimal, kEveryRun},
    {Input::kFilter, "filter", "--filter", "PARTS",
     "Analyse built parts instead of designing: C1,C2,R2 or C1,C2,R2,C3,R3 in farads and "
     "ohms (p n u m k M allowed)",
     "", "", InputKind::kParts, kEveryRun},
    {Input::kCpCurrent, "cp_current", "--cp-current", "MA",
     "With a loop: the charge-pump current, mA (default: the chip's setting)", "", "mA",
     InputKind::kDecimal, kEveryRun},
    {Input::kKvco, "kvco", "--kvco", "MHZ_PER_V",
     "With a loop: the VCO's gain, MHz/V (default: the chip's)", "", "MHz/V",
     InputKind::kDecimal, kEveryRun},
    {Input::kVcoNoise, "vco_noise", "--vco-noise", "POINTS",
     "With a loop: the open-loop VCO noise at the VCO frequency, OFFSET_HZ:DBC_HZ,... with "
     "offsets rising",
     "", "", InputKind::kNoisePoints, kEveryRun},
    {Input::kRefNoise, "ref_noise", "--ref-noise", "POINTS",
     "With a loop: the reference's noise at the reference frequency, OFFSET_HZ:DBC_HZ,... with "
     "offsets rising",
     "", "", InputKind::kNoisePoints, kEveryRun},
    {Input::kNoiseOffsets, "noise_offsets", "--noise-offsets", "HZ,...",
     "With a loop: the offsets the noise is tabulated at, Hz, rising (default "
     "100,1000,10000,100000,1000000,10000000)",
     "", "Hz", InputKind::kHertzList, kSingleRun | kBatchRun | kSweepRun},
    {Input::kJitterBand, "jitter_band", "--jitter-band", "FROM:TO",
     "With a loop: the offsets the jitter is integrated over, Hz (default 1000:10000000)", "",
     "Hz", InputKind::kHertzBand, kEveryRun},
    {Input::kLockJump, "lock_jump", "--lock-jump", "MHZ",
     "With a loop: also the lock time after a frequency step of this size at the RF output, MHz",
     "", "MHz", InputKind::kDecimal, kEveryRun},
    {Input::kLockTolerance, "lock_tolerance", "--lock-tolerance", "HZ",
     "With --lock-jump: the error the RF output must settle within, Hz (default 1000)", "", "Hz",
     InputKind::kHertz, kEveryRun},
}};

constexpr const InputField& FieldOf(Input input) {
  return kInputFields[static_cast<std::size_t>(input)];
}

// The words an input of kind kChoice takes, in their table's order (none
// for another input).
std::vector<std::string_view> ChoicesOf(Input input);

// The input with this key (rf_out), if any.
std::optional<Input> InputWithKey(std::string_view key);

// The keys of the inputs of `mode`, in table order: "rf_out, mult, ... and
// offset".
std::string KeyList(unsigned mode);

// What a face was given, each input given or not: a text, or for a flag
// (InputKind::kFlag) on or off.
class InputTexts {
 public:
  std::optional<std::string>& operator[](Input input) {
    return texts_[static_cast<std::size_t>(input)];
  }
  const std::optional<std::string>& operator[](Input input) const {
    return texts_[static_cast<std::size_t>(input)];
  }
  std::optional<bool>& Flag(Input input) { return flags_[static_cast<std::size_t>(input)]; }
  const std::optional<bool>& Flag(Input input) const {
    return flags_[static_cast<std::size_t>(input)];
  }

 private:
  std::array<std::optional<std::string>, kInputCount> texts_;
  std::array<std::optional<bool>, kInputCount> flags_;
};

// How a message names an input.
enum class Naming { kFlag, kKey, kNone };

enum class Reading { kAsTheWindow, kStrict };

// A chip profile by name or file: the face's loader (a file is read by the
// formats layer; the runner reads no files). Null, with the reason, when it
// cannot be loaded.
using ChipLoader =
    std::function<std::shared_ptr<const ChipProfile>(std::string_view chip, std::string& error)>;

struct ReadSettings {
  Naming naming = Naming::kFlag;
  Reading reading = Reading::kAsTheWindow;
  // The strict reading's decimal symbol besides "." (the locale's).
  std::string_view decimal_symbol = ".";
  ChipLoader load_chip;  // needed only when a chip is given
  // With a grid, the prescaler is checked against its highest channel, and
  // the RF output is the grid's (not an input).
  const SweepRange* grid = nullptr;
};

struct InputFault {
  Input input;
  std::string message;
};

struct CheckedInputs {
  RunInputs inputs;
  PlanOptions plan;
};

// Reads the texts; see the head of this file.
std::variant<CheckedInputs, std::vector<InputFault>> ReadInputs(const InputTexts& texts,
                                                                const ReadSettings& settings);

// `text` as a decimal number with "." for its point ("-1.5", "10368"), when
// its whole text (blanks around it aside) is one: [+-]digits[.digits] or
// [+-].digits, the point written "." or `decimal_symbol`; "5." is "5".
std::optional<std::string> StrictDecimal(std::string_view text, std::string_view decimal_symbol);

// The first `most` bytes of `text` or fewer, not cutting a UTF-8 character,
// and "…" when anything was cut: a long text quoted in a message.
std::string CutShort(std::string_view text, std::size_t most);

// The faults as one text, their messages joined by `between`.
std::string FaultLines(const std::vector<InputFault>& faults, std::string_view between = "\n");

}  // namespace synthfactors::runner
