// The loop a run is asked to design or analyse, and what it reports of it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lock_time.h"
#include "loop_filter.h"
#include "loop_noise.h"

namespace synthfactors::runner {

// The offsets the noise is tabulated at by default, Hz.
inline const std::vector<double> kDefaultNoiseOffsets = {100, 1000, 10000, 100000, 1000000,
                                                         10000000};

// A loop asked for: a filter designed for a bandwidth, or built parts; the
// charge pump and VCO (from the options, or the chip's profile); the noise
// given; what to tabulate, integrate and time.
struct LoopOptions {
  std::optional<double> bandwidth_khz;  // design for this open-loop bandwidth
  std::optional<loop::LoopFilter> parts;  // or analyse these
  double phase_margin_deg = 45;
  int order = 3;
  double gamma = 1;
  double t31 = 0.6;
  double cp_current_ma = 0;
  // The chip's register setting for that current, where its profile lists
  // the currents its field holds.
  std::optional<std::int64_t> cp_setting;
  double kvco_mhz_per_v = 0;
  std::optional<loop::NoiseCurve> vco_noise;
  std::optional<loop::NoiseCurve> reference_noise;
  std::vector<double> offsets_hz = kDefaultNoiseOffsets;
  double jitter_from_hz = 1000;
  double jitter_to_hz = 10'000'000;
  std::optional<double> lock_jump_mhz;
  double lock_tolerance_hz = 1000;

  // For the channels of a band: the model of the filter designed at its
  // middle channel (or of the parts given), shared by every channel.
  std::shared_ptr<const loop::LoopModel> band_model;
  // The RF output (its grid text) the band's filter was designed at.
  std::optional<std::string> designed_at;

  // The setup a model is built from, for these parts.
  loop::LoopSetup SetupFor(const loop::LoopFilter& filter) const;
};

// What a channel's loop came to, as a sweep's row keeps it.
struct LoopSummary {
  double bandwidth_hz = 0;
  double phase_margin_deg = 0;
  double phase_error_deg_rms = 0;
  double jitter_fs_rms = 0;
  std::optional<double> lock_time_us;
};

// The whole of it, for a single run's report.
struct LoopReport {
  loop::LoopFilter filter;
  bool designed = false;  // designed for this run (or its band), not given
  std::vector<loop::NoiseAtOffset> noise;
  double jitter_from_hz = 0, jitter_to_hz = 0;
  double cp_current_ma = 0, kvco_mhz_per_v = 0;
  std::optional<loop::LockTime::Outcome> lock;  // with a lock jump
};

}  // namespace synthfactors::runner
