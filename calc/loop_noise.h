// The closed loop's phase noise at the RF output, source by source, and the
// jitter it integrates to.
//
// At an offset f from the carrier, with G/N the open-loop gain
// (loop_filter.h), CL = (G/N) / (1 + G/N) and S = 1 / (1 + G/N), and M/D the
// multiplier over the output divider (what turns the VCO into the RF
// output), each source in dBc/Hz at the RF output is
//
//   PLL        (floor + flicker at f) |CL|^2, from the in-band figures at the
//              RF output: the floor, and the flicker at 1 Hz falling as 1/f
//   reference  L_ref(f) + 20 log10(RF / reference) + 10 log10 |CL|^2
//   VCO        L_vco(f) + 20 log10(M/D) + 10 log10 |S|^2
//   resistors  10 log10(sum of theta^2 / 2) + 20 log10(M/D) + 10 log10 |S|^2,
//              theta = Kvco |H| sqrt(4 k T R) / f for R2 and R3, H the
//              transfer from the resistor's thermal noise voltage to the
//              VCO's tuning input with the charge pump an open circuit,
//              T = 300 K
//
// and the total is their power sum. A source not given is absent, never 0
// (the resistors are always there). L_ref and L_vco are given as points
// (offset, dBc/Hz) with offsets rising; between points dBc/Hz is linear in
// log10(offset), outside them the nearest end value holds.
//
// The jitter integrates the total over a band: the phase variance
// 2 * integral of 10^(L/10) df, as an rms phase error in degrees and an rms
// jitter in femtoseconds at the RF output. The integral is taken in ln(f)
// with 15-point Gauss-Kronrod panels that break at every noise point and
// every quarter decade; where the embedded 7-point Gauss rule differs from it
// by more than 1e-4 of the total, the panels are halved until each agrees
// within its share of 1e-6 (the Kronrod sum is then far inside the 0.1 %
// promised). The panels depend on the band and the noise points only, so a
// channel's figures are the same in a sweep and on its own.
//
// Not modelled: the charge pump's and the sigma-delta modulator's own
// noise shapes (the PLL source is the flat floor plus flicker), the
// op-amp of an active filter, the VCO's noise pushed by its supply, and the
// sampling of the phase detector (the model is continuous-time, which holds
// well below a tenth of the comparison frequency).
#pragma once

#include <optional>
#include <vector>

#include "loop_filter.h"

namespace synthfactors::loop {

struct NoisePoint {
  double offset_hz = 0;
  double dbc_hz = 0;
};

// Noise given as points (offsets above 0 and rising, at least one point).
class NoiseCurve {
 public:
  explicit NoiseCurve(std::vector<NoisePoint> points);
  const std::vector<NoisePoint>& Points() const { return points_; }
  // dBc/Hz at an offset above 0.
  double At(double offset_hz) const;

 private:
  std::vector<NoisePoint> points_;
  std::vector<double> log_offsets_;  // log10 of each point's offset
};

// What stays the same across the channels of a band: the filter, the
// charge pump and VCO, the noise given, the offsets tabulated and the
// jitter band (Hz, from < to).
struct LoopSetup {
  LoopFilter filter;
  double cp_current_a = 0;
  double kvco_hz_per_v = 0;
  std::optional<NoiseCurve> vco_noise;        // at the VCO frequency
  std::optional<NoiseCurve> reference_noise;  // at the reference frequency
  std::vector<double> offsets_hz;
  double jitter_from_hz = 1000;
  double jitter_to_hz = 10'000'000;
};

// One channel's part: the division, the frequencies, and the PLL's in-band
// figures at the RF output (none without a figure of merit).
struct ChannelLoop {
  double n_total = 0;       // VCO / comparison frequency
  double rf_out_hz = 0;     // the RF output
  double reference_hz = 0;  // the reference input
  double rf_per_vco = 1;    // M / D
  std::optional<double> pll_floor_dbc_hz;
  std::optional<double> pll_flicker_at_1hz_dbc_hz;  // with a floor only
};

struct NoiseAtOffset {
  double offset_hz = 0;
  double total_dbc_hz = 0;
  std::optional<double> pll_dbc_hz;
  std::optional<double> vco_dbc_hz;
  std::optional<double> reference_dbc_hz;
  double resistors_dbc_hz = 0;
};

struct ChannelNoise {
  std::vector<NoiseAtOffset> noise;  // at the setup's offsets
  double phase_error_deg_rms = 0;
  double jitter_fs_rms = 0;
};

// The setup's filter and noise, worked out once for a band: the quadrature
// nodes of the jitter band and the tabulated offsets carry everything that
// does not depend on the channel, so each channel costs a few operations
// per node (and more only where its loop peaks too sharply for them).
class LoopModel {
 public:
  explicit LoopModel(LoopSetup setup);

  const LoopSetup& Setup() const { return setup_; }
  const FilterTimes& Times() const { return times_; }
  // Icp Kvco / N for a channel.
  double KOverN(const ChannelLoop& channel) const;

  ChannelNoise Noise(const ChannelLoop& channel) const;
  // The sources at any offsets (for plots).
  std::vector<NoiseAtOffset> NoiseAt(const ChannelLoop& channel,
                                     const std::vector<double>& offsets_hz) const;

  // What the channel-independent part of the integrand holds at one
  // frequency (public for the quadrature's helpers).
  struct Node {
    double f = 0, inv_f = 0;
    Complex unit_gain;       // G/N over Icp Kvco / N
    double reference = 0;    // L_ref as power
    double vco = 0;          // L_vco as power (0 without)
    double resistors = 0;    // sum of theta^2 / 2
    double weight_k = 0, weight_g = 0;  // quadrature weights times f (df = f du)
  };

 private:
  struct Panel {
    double u_from = 0, u_to = 0;  // ln f
  };
  Node NodeAt(double f) const;
  void AddPanelNodes(const Panel& panel, std::vector<Node>& nodes) const;
  std::vector<Panel> Panels() const;

  LoopSetup setup_;
  FilterTimes times_;
  std::vector<Node> offset_nodes_;
  std::vector<Panel> panels_;
  std::vector<Node> panel_nodes_;  // 15 per panel, in panel order
};

}  // namespace synthfactors::loop
