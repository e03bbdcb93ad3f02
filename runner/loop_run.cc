#include "loop_run.h"

#include <cmath>
#include <memory>

#include "number_text.h"
#include "planning.h"
#include "rounded_log.h"
#include "sweep.h"

namespace synthfactors::runner {
namespace {

// How far from the middle channel a band's design looks for a channel with
// a setting.
constexpr std::int64_t kMostDesignTries = 1000;

std::string KiloHertzText(double hz) { return ShortestText(hz / 1000) + " kHz"; }

// The PLL's in-band figures at the RF output: the floor, and the flicker
// at 1 Hz from which it falls as 1/f.
void AddPllNoise(const RunResult& result, const LoopSetting& s, loop::ChannelLoop& channel) {
  if (!result.noise) return;
  channel.pll_floor_dbc_hz = InBandPhaseNoise(result.noise->Fom, s.comparison_khz, s.n, s.factor);
  if (!channel.pll_floor_dbc_hz || !result.noise->Flicker) return;
  NoiseModel at_1_hz = *result.noise;
  at_1_hz.OffsetHz = 1;
  if (const auto figures = InBandNoise(at_1_hz, s.comparison_khz, s.n, s.factor)) {
    channel.pll_flicker_at_1hz_dbc_hz = figures->Flicker;
  }
}

}  // namespace

loop::LoopSetup LoopOptions::SetupFor(const loop::LoopFilter& filter) const {
  loop::LoopSetup setup;
  setup.filter = filter;
  setup.cp_current_a = cp_current_ma / 1000;
  setup.kvco_hz_per_v = kvco_mhz_per_v * 1e6;
  setup.vco_noise = vco_noise;
  setup.reference_noise = reference_noise;
  setup.offsets_hz = offsets_hz;
  setup.jitter_from_hz = jitter_from_hz;
  setup.jitter_to_hz = jitter_to_hz;
  return setup;
}

void AddLoop(RunResult& result, const LoopSetting& s) {
  if (!result.plan.loop) return;
  const LoopOptions& options = *result.plan.loop;
  const double comparison_hz = s.comparison_khz * 1000;
  if (!(comparison_hz > 0) || !(s.n > 0) || s.factor == 0) return;

  loop::ChannelLoop channel;
  channel.n_total = s.n * s.feedback_division;
  channel.rf_out_hz = std::fabs(s.n * comparison_hz * s.factor);
  channel.reference_hz = s.reference_mhz * 1e6;
  channel.rf_per_vco = std::fabs(s.factor) / s.feedback_division;
  AddPllNoise(result, s, channel);
  const double k = options.cp_current_ma / 1000 * (options.kvco_mhz_per_v * 1e6);
  const double k_over_n = k / channel.n_total;

  LoopReport report;
  std::shared_ptr<const loop::LoopModel> model = options.band_model;
  if (!model) {
    loop::LoopFilter filter;
    if (options.parts) {
      filter = *options.parts;
    } else {
      const double bandwidth_hz = *options.bandwidth_khz * 1000;
      if (!(bandwidth_hz < comparison_hz / 10)) {
        result.refusal = "a loop bandwidth of " + KiloHertzText(bandwidth_hz) +
                         " is not below a tenth of the comparison frequency (" +
                         KiloHertzText(comparison_hz) +
                         "): the loop's continuous-time model holds only well below it; ask "
                         "for a narrower loop or a higher comparison frequency";
        return;
      }
      const std::optional<loop::LoopFilter> designed = loop::DesignFilter(
          {options.order, bandwidth_hz, options.phase_margin_deg, options.gamma, options.t31},
          k_over_n);
      if (!designed) {
        result.refusal = "no passive filter of order " + std::to_string(options.order) +
                         " has parts a double can hold for a loop bandwidth of " +
                         KiloHertzText(bandwidth_hz) + " with this gain";
        return;
      }
      filter = *designed;
    }
    model = std::make_shared<const loop::LoopModel>(options.SetupFor(filter));
  }
  report.filter = model->Setup().filter;
  report.designed = !options.parts || options.designed_at.has_value();
  report.cp_current_ma = options.cp_current_ma;
  report.kvco_mhz_per_v = options.kvco_mhz_per_v;
  report.jitter_from_hz = options.jitter_from_hz;
  report.jitter_to_hz = options.jitter_to_hz;

  const std::optional<loop::LoopAnalysis> analysis = loop::AnalyseLoop(model->Times(), k_over_n);
  if (!analysis) {
    result.notes.push_back("Note: no loop figures: the loop's gain is beyond what a double holds");
    return;
  }
  loop::ChannelNoise noise = model->Noise(channel);
  LoopSummary summary;
  summary.bandwidth_hz = analysis->bandwidth_hz;
  summary.phase_margin_deg = analysis->phase_margin_deg;
  summary.phase_error_deg_rms = noise.phase_error_deg_rms;
  summary.jitter_fs_rms = noise.jitter_fs_rms;
  if (options.lock_jump_mhz) {
    // A step and a tolerance at the RF output are the same ratio at the VCO.
    const loop::LockTime lock = loop::LockTimeAfter(
        model->Times(), k_over_n, *options.lock_jump_mhz * 1e6 / channel.rf_per_vco,
        options.lock_tolerance_hz / channel.rf_per_vco);
    report.lock = lock.outcome;
    if (lock.outcome == loop::LockTime::Outcome::kSettles) summary.lock_time_us = lock.seconds * 1e6;
  }
  if (!(analysis->phase_margin_deg > 0)) {
    result.notes.push_back("Note: the loop is unstable: its phase margin is " +
                           ShortestText(analysis->phase_margin_deg) + " degrees");
  } else if (!(analysis->bandwidth_hz < comparison_hz / 10)) {
    result.notes.push_back("Note: the loop bandwidth " + KiloHertzText(analysis->bandwidth_hz) +
                           " is not below a tenth of the comparison frequency (" +
                           KiloHertzText(comparison_hz) +
                           "): the loop's figures there are only a first estimate");
  }
  report.noise = std::move(noise.noise);
  result.loop = summary;
  result.loop_report = std::move(report);
}

std::vector<double> PlotOffsets() {
  std::vector<double> offsets;
  for (int k = 0; k <= 140; ++k) offsets.push_back(Exp10(1 + k / 20.0));
  return offsets;
}

PlanOptions WithNoiseOffsets(const PlanOptions& plan, std::vector<double> offsets) {
  PlanOptions curve = plan;
  if (!curve.loop) return curve;
  LoopOptions& loop = *curve.loop;
  if (loop.band_model) {
    loop.parts = loop.band_model->Setup().filter;
    loop.band_model.reset();
  }
  loop.offsets_hz = std::move(offsets);
  return curve;
}

PlanOptions PlanForBand(const SweepRange& range, const RunInputs& others, const PlanOptions& plan,
                        std::string_view decimal_symbol) {
  if (!plan.loop || plan.loop->band_model) return plan;
  PlanOptions band = plan;
  LoopOptions& loop = *band.loop;
  if (!loop.parts) {
    // Designed at the middle channel, or at the nearest channel that has a
    // setting (the lower first).
    const std::int64_t count = range.PointCount();
    const std::int64_t middle = (count - 1) / 2;
    PlanOptions one = plan;
    one.alternatives = 0;
    one.registers = false;
    auto designed_at = [&](std::int64_t index) {
      const RunResult run = RunPoint(range, index, others, decimal_symbol, one);
      if (run.refusal) throw RunRefused(*run.refusal);
      if (!run.loop_report) return false;
      loop.parts = run.loop_report->filter;
      loop.designed_at = range.PointText(index);
      return true;
    };
    for (std::int64_t step = 0; step < kMostDesignTries; ++step) {
      const std::int64_t below = middle - step, above = middle + step;
      if (below < 0 && above >= count) break;
      if (below >= 0 && designed_at(below)) break;
      if (step > 0 && above < count && designed_at(above)) break;
    }
    if (!loop.parts) {
      throw RunRefused("the loop cannot be designed: no channel near the middle of the band has "
                       "a setting to design it at");
    }
  }
  loop.band_model = std::make_shared<const loop::LoopModel>(loop.SetupFor(*loop.parts));
  return band;
}

}  // namespace synthfactors::runner
