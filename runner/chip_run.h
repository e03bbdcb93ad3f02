// What a chip adds to a run, the same for every chip family: the inputs'
// numbers, the output divider and feedback, the prescaler mode and the
// counters' bounds, the notes on what the chip changed or cannot do, the
// noise model and the chosen setting's noise, and the register words.
// A chip family (integer_run.h, fractional_run.h) adds only its search and
// the figures of the setting it chose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "box_number.h"
#include "register_words.h"
#include "run_types.h"

namespace synthfactors::runner {

// A box's number as the GO action reads it from its text; empty where
// reading it would fault.
std::optional<double> ReadNumber(const std::string& text);

// The five input texts of a run, each read once.
BoxNumbers NumbersOf(const RunInputs& inputs);

// The source frequency (MHz) a run asks for, where it can be worked out:
// RF output / factor, both readable, the factor not 0, the quotient finite.
std::optional<double> SourceMHz(const BoxNumbers& numbers);
std::optional<double> SourceMHz(const RunInputs& inputs);

// The noise model of a run: the options' figures, else the chip's; empty
// without a figure of merit.
std::optional<NoiseModel> NoiseModelOf(const RunInputs& inputs, const PlanOptions& plan);

// The output divider of a run whose chip has one: the smallest power of two
// D (up to the chip's largest, or its largest inside the loop with divided
// feedback) that puts |source| x D within the chip's VCO range (its
// source_mhz). Empty without such a chip, or when no D reaches the range.
std::optional<DividerChoice> ChooseDivider(const RunInputs& inputs,
                                           const std::optional<double>& source_mhz);

// The index of the prescaler mode a counter runs in for what the N divider
// counts (MHz): the one asked for, or the smallest that counts that high
// (the largest where none does). 0 without modes.
std::size_t PrescalerModeFor(const ChipCounters& counters, const std::optional<std::int32_t>& asked,
                             const std::optional<double>& counted_mhz);

// How a run with these inputs searches at a source frequency (MHz; empty
// where it cannot be worked out).
RunSetting SettingFor(const RunInputs& inputs, const std::optional<double>& source_mhz);

// Whether the prescaler asked for is one the chip has and counts as high as
// `source_mhz`; else false, with the reason naming the option as `name`.
bool PrescalerAllowed(const RunInputs& inputs, const std::optional<double>& source_mhz,
                      std::string_view name, std::string& error);

// How many prescaler modes a counter has (1 without any).
std::size_t ModeCount(const ChipCounters& counters);

// Whether the chip can synthesise the source frequency: through an output
// divider that brings its VCO into range, or without one within its source
// range. Words are written only for what it can (the notes say why not).
bool SourceReachable(const ChipProfile& chip, const std::optional<double>& source,
                     const std::optional<DividerChoice>& divider);

// Whether the run's chip counts N with a dual-modulus prescaler.
bool HasDualModulusChip(const RunInputs& inputs);
// Whether the run's chip plans fractional-N.
bool HasFractionalChip(const RunInputs& inputs);

// A result before its search: the inputs, options and noise model.
RunResult StartRun(const RunInputs& inputs, const PlanOptions& plan);

// With a chip: its notes, and its output divider and feedback.
void AddChipFacts(RunResult& result, const BoxNumbers& numbers,
                  const std::optional<double>& source, const std::optional<DividerChoice>& divider,
                  std::string_view decimal_symbol);

// The chosen setting's in-band noise under the result's model (none
// without one, or where it has no value).
void AddNoise(RunResult& result, double comparison_khz, double n, double factor);

// The chip's words for the run, in write order, into the result, with
// plan.registers and a layout; a value that does not fit its field becomes
// a note instead.
void AddRegisterWords(const ChipProfile& chip, const RegisterRun& run, RunResult& result);

}  // namespace synthfactors::runner
