// The loop filter, its noise, jitter and lock time, each checked by a second
// method written here from the definitions: the network solved node by node
// with the library's complex numbers, the bandwidth found by scanning, the
// noise summed source by source with the C library's logarithms, the jitter
// integrated by the trapezoid rule on a dense grid, and the lock time by
// stepping the circuit itself (charge pump, capacitors, VCO) through time.
#include <cmath>
#include <complex>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "lock_time.h"
#include "loop_filter.h"
#include "loop_noise.h"

namespace synthfactors::loop {
namespace {

using Cx = std::complex<double>;
constexpr double kPi = 3.141592653589793;

// The filter's transimpedance and the tuning voltage per volt of each
// resistor's noise, by nodal analysis of the two nodes (charge pump and C1;
// C3 at the VCO).
struct Network {
  const LoopFilter& f;

  // Solves [[a, b], [b, d]] (v1, v3) = (i1, i3) for v3.
  static Cx SolveForV3(Cx a, Cx b, Cx d, Cx i1, Cx i3) {
    return (a * i3 - b * i1) / (a * d - b * b);
  }
  Cx Z2(Cx s) const { return f.r2 + 1.0 / (s * f.c2); }
  Cx Transimpedance(double hz) const {
    const Cx s{0, 2 * kPi * hz};
    if (f.order == 2) return 1.0 / (s * f.c1 + 1.0 / Z2(s));
    return SolveForV3(s * f.c1 + 1.0 / Z2(s) + 1.0 / f.r3, -1.0 / f.r3, 1.0 / f.r3 + s * f.c3,
                      1.0, 0.0);
  }
  Cx FromR2(double hz) const {  // a unit source in series with R2
    const Cx s{0, 2 * kPi * hz};
    if (f.order == 2) return (1.0 / Z2(s)) / (s * f.c1 + 1.0 / Z2(s));
    return SolveForV3(s * f.c1 + 1.0 / Z2(s) + 1.0 / f.r3, -1.0 / f.r3, 1.0 / f.r3 + s * f.c3,
                      1.0 / Z2(s), 0.0);
  }
  Cx FromR3(double hz) const {  // a unit source in series with R3
    const Cx s{0, 2 * kPi * hz};
    return SolveForV3(s * f.c1 + 1.0 / Z2(s) + 1.0 / f.r3, -1.0 / f.r3, 1.0 / f.r3 + s * f.c3,
                      -1.0 / f.r3, 1.0 / f.r3);
  }
};

struct Loop {
  LoopFilter filter;
  double icp = 0, kvco = 0, n = 0;
  Cx OpenLoop(double hz) const {
    return icp * kvco * Network{filter}.Transimpedance(hz) / (n * Cx{0, 2 * kPi * hz});
  }
};

// The bandwidth by a scan of |G/N| on a log grid, then bisection; the phase
// margin from the complex gain's argument.
LoopAnalysis ScanLoop(const Loop& loop) {
  double lo = 1e-3;
  while (std::abs(loop.OpenLoop(lo * 1.01)) > 1) lo *= 1.01;
  double hi = lo * 1.01;
  for (int i = 0; i < 200; ++i) {
    const double mid = std::sqrt(lo * hi);
    (std::abs(loop.OpenLoop(mid)) > 1 ? lo : hi) = mid;
  }
  return {lo, 180 + std::arg(loop.OpenLoop(lo)) * 180 / kPi};
}

double Relative(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

TEST(LoopFilterDesign, TheBookExampleToItsDigits) {
  // 1392 MHz from 38.4 MHz: R 640, N 23200, Icp 4 mA, Kvco 30 MHz/V, 2 kHz,
  // 47.1 degrees, gamma 1.136, T31 0.6. The book prints the parts to three
  // digits from a rounded T1; at full precision C1, C2 and C3 differ by one
  // in the third digit.
  const DesignTargets targets{3, 2000, 47.1, 1.136, 0.6};
  const std::optional<LoopFilter> filter = DesignFilter(targets, 4e-3 * 30e6 / 23200);
  ASSERT_TRUE(filter);
  EXPECT_NEAR(6.58e-9, filter->c1, 0.015e-9);
  EXPECT_NEAR(85.6e-9, filter->c2, 0.15e-9);
  EXPECT_NEAR(466e-12, filter->c3, 1.5e-12);
  EXPECT_NEAR(2.58e3, filter->r2, 0.005e3);
  EXPECT_NEAR(33.9e3, filter->r3, 0.05e3);
  // The values an independent transcription of the same formulas gives.
  EXPECT_LT(Relative(filter->c1, 6.5913163051595606e-09), 1e-12);
  EXPECT_LT(Relative(filter->c2, 8.545069749621792e-08), 1e-12);
  EXPECT_LT(Relative(filter->c3, 4.668139796694198e-10), 1e-12);
  EXPECT_LT(Relative(filter->r2, 2584.031222226277), 1e-12);
  EXPECT_LT(Relative(filter->r3, 33873.14775444024), 1e-12);
}

TEST(LoopFilterDesign, TheBuiltPartsMeetTheTargetsFoundByAScan) {
  std::mt19937_64 random(36);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
  auto log_uniform = [&](double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); };
  for (int i = 0; i < 300; ++i) {
    const DesignTargets targets{i % 2 == 0 ? 2 : 3, log_uniform(100, 1e6), uniform(5, 85),
                                uniform(0.5, 2.5), uniform(0.05, 0.95)};
    const Loop loop{{}, log_uniform(1e-4, 1e-2), log_uniform(1e6, 3e8), log_uniform(10, 1e5)};
    const std::optional<LoopFilter> filter = DesignFilter(targets, loop.icp * loop.kvco / loop.n);
    ASSERT_TRUE(filter) << i;
    Loop built = loop;
    built.filter = *filter;
    const LoopAnalysis scanned = ScanLoop(built);
    EXPECT_LT(Relative(scanned.bandwidth_hz, targets.bandwidth_hz), 1e-6) << i;
    EXPECT_NEAR(targets.phase_margin_deg, scanned.phase_margin_deg, 1e-6) << i;
    // The program's own analysis of the parts agrees with both.
    const std::optional<LoopAnalysis> analysis =
        AnalyseLoop(TimesOf(*filter), loop.icp * loop.kvco / loop.n);
    ASSERT_TRUE(analysis);
    EXPECT_LT(Relative(analysis->bandwidth_hz, targets.bandwidth_hz), 1e-9) << i;
    EXPECT_NEAR(targets.phase_margin_deg, analysis->phase_margin_deg, 1e-8) << i;
    // And its open-loop gain is the network's.
    for (const double hz : {targets.bandwidth_hz / 10, targets.bandwidth_hz, targets.bandwidth_hz * 7}) {
      const Complex unit = UnitOpenLoop(TimesOf(*filter), hz);
      const Cx expected = built.OpenLoop(hz) / (loop.icp * loop.kvco / loop.n);
      EXPECT_LT(std::abs(Cx{unit.re, unit.im} - expected) / std::abs(expected), 1e-9) << i;
    }
  }
}

TEST(LoopFilterAnalysis, GivenPartsAndEdges) {
  // Built parts rounded to the E12 series still give a bandwidth and margin
  // close to the design's, found from the parts.
  const LoopFilter built{3, 6.8e-9, 82e-9, 2.7e3, 470e-12, 33e3};
  const Loop loop{built, 4e-3, 30e6, 23200};
  const std::optional<LoopAnalysis> analysis = AnalyseLoop(TimesOf(built), 4e-3 * 30e6 / 23200);
  ASSERT_TRUE(analysis);
  const LoopAnalysis scanned = ScanLoop(loop);
  EXPECT_LT(Relative(analysis->bandwidth_hz, scanned.bandwidth_hz), 1e-9);
  EXPECT_NEAR(scanned.phase_margin_deg, analysis->phase_margin_deg, 1e-7);
  EXPECT_FALSE((LoopFilter{3, 1e-9, 1e-9, 1e3, 0, 1e3}.Valid()));
  EXPECT_TRUE((LoopFilter{2, 1e-9, 1e-9, 1e3, 0, 0}.Valid()));
  EXPECT_FALSE((LoopFilter{4, 1e-9, 1e-9, 1e3, 1e-9, 1e3}.Valid()));
  EXPECT_FALSE(AnalyseLoop(TimesOf(built), 0));
}

// The noise at an offset, source by source, from the definitions.
struct Reference {
  Loop loop;
  double rf = 0, ref = 0, m_over_d = 1;
  std::optional<double> floor, flicker;
  std::vector<NoisePoint> vco, reference;

  static double Interpolate(const std::vector<NoisePoint>& points, double f) {
    if (f <= points.front().offset_hz) return points.front().dbc_hz;
    if (f >= points.back().offset_hz) return points.back().dbc_hz;
    std::size_t b = 1;
    while (points[b].offset_hz < f) ++b;
    const NoisePoint& p = points[b - 1];
    const NoisePoint& q = points[b];
    return p.dbc_hz + (q.dbc_hz - p.dbc_hz) * std::log10(f / p.offset_hz) /
                          std::log10(q.offset_hz / p.offset_hz);
  }
  struct Powers {
    double pll = 0, vco = 0, reference = 0, resistors = 0;
    double Total() const { return pll + vco + reference + resistors; }
  };
  Powers At(double f) const {
    const Cx g = loop.OpenLoop(f);
    const double cl = std::norm(g / (1.0 + g)), s = std::norm(1.0 / (1.0 + g));
    Powers p;
    if (floor) {
      p.pll = std::pow(10, *floor / 10) * cl;
      if (flicker) p.pll += std::pow(10, *flicker / 10) / f * cl;
    }
    if (!vco.empty()) p.vco = std::pow(10, Interpolate(vco, f) / 10) * m_over_d * m_over_d * s;
    if (!reference.empty()) {
      p.reference = std::pow(10, Interpolate(reference, f) / 10) * (rf / ref) * (rf / ref) * cl;
    }
    const Network net{loop.filter};
    const double kt4 = 4 * 1.380649e-23 * 300;
    auto theta_squared = [&](Cx h, double r) {
      const double theta = loop.kvco * std::abs(h) * std::sqrt(kt4 * r) / f;
      return theta * theta / 2;
    };
    double resistors = theta_squared(net.FromR2(f), loop.filter.r2);
    if (loop.filter.order == 3) resistors += theta_squared(net.FromR3(f), loop.filter.r3);
    p.resistors = resistors * m_over_d * m_over_d * s;
    return p;
  }
  // Twice the integral of the total, trapezoids evenly spaced in ln f.
  double PhaseVariance(double from, double to) const {
    const int steps = 400000;
    const double du = std::log(to / from) / steps;
    double sum = 0;
    for (int i = 0; i <= steps; ++i) {
      const double f = from * std::exp(i * du);
      sum += (i == 0 || i == steps ? 0.5 : 1.0) * At(f).Total() * f;
    }
    return 2 * sum * du;
  }
};

double Db(double power) { return 10 * std::log10(power); }

TEST(LoopNoise, EverySourceAndTheJitterAgreeWithTheDefinitions) {
  std::mt19937_64 random(3636);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
  auto log_uniform = [&](double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); };
  for (int i = 0; i < 24; ++i) {
    Reference r;
    const double fpfd = log_uniform(1e5, 1e8);
    r.loop.n = log_uniform(20, 5000);
    r.loop.icp = log_uniform(3e-4, 5e-3);
    r.loop.kvco = log_uniform(5e6, 1e8);
    const DesignTargets targets{i % 3 == 0 ? 2 : 3, fpfd / log_uniform(15, 1000), uniform(30, 70),
                                uniform(0.8, 1.5), uniform(0.2, 0.8)};
    r.loop.filter = *DesignFilter(targets, r.loop.icp * r.loop.kvco / r.loop.n);
    const double vco_hz = fpfd * r.loop.n;
    r.m_over_d = i % 4 == 0 ? 4.0 : 1.0 / (1 << (i % 3));
    r.rf = vco_hz * r.m_over_d;
    r.ref = fpfd * std::floor(uniform(1, 20));
    if (i % 5 != 4) {
      r.floor = -220 + Db(fpfd) + 20 * std::log10(r.loop.n * r.m_over_d);
      if (i % 2 == 0) r.flicker = -118 + 20 * std::log10(r.rf / 1e9) + 10 * std::log10(1e4) - 10 * std::log10(1);
    }
    if (i % 3 != 1) {
      r.vco = {{1e3, uniform(-70, -50)}, {1e4, uniform(-95, -80)}, {1e5, uniform(-120, -105)},
               {1e6, uniform(-140, -130)}, {uniform(5e6, 2e7), -155}};
    }
    if (i % 3 != 2) r.reference = {{10, -120}, {100, -140}, {uniform(1e3, 5e3), -150}, {1e5, -165}};

    LoopSetup setup;
    setup.filter = r.loop.filter;
    setup.cp_current_a = r.loop.icp;
    setup.kvco_hz_per_v = r.loop.kvco;
    if (!r.vco.empty()) setup.vco_noise = NoiseCurve(r.vco);
    if (!r.reference.empty()) setup.reference_noise = NoiseCurve(r.reference);
    setup.offsets_hz = {100, 1e3, 1e4, 1e5, 1e6, 1e7, targets.bandwidth_hz};
    setup.jitter_from_hz = i % 2 == 0 ? 1e3 : 12e3;
    setup.jitter_to_hz = i % 2 == 0 ? 1e7 : 20e6;
    ChannelLoop channel;
    channel.n_total = r.loop.n;
    channel.rf_out_hz = r.rf;
    channel.reference_hz = r.ref;
    channel.rf_per_vco = r.m_over_d;
    channel.pll_floor_dbc_hz = r.floor;
    channel.pll_flicker_at_1hz_dbc_hz = r.flicker;
    const LoopModel model(setup);
    const ChannelNoise noise = model.Noise(channel);

    ASSERT_EQ(setup.offsets_hz.size(), noise.noise.size());
    for (const NoiseAtOffset& row : noise.noise) {
      const Reference::Powers p = r.At(row.offset_hz);
      EXPECT_NEAR(Db(p.Total()), row.total_dbc_hz, 0.01) << i << " at " << row.offset_hz;
      EXPECT_NEAR(Db(p.resistors), row.resistors_dbc_hz, 0.01) << i;
      EXPECT_EQ(r.floor.has_value(), row.pll_dbc_hz.has_value());
      if (row.pll_dbc_hz) {
        EXPECT_NEAR(Db(p.pll), *row.pll_dbc_hz, 0.01) << i;
      }
      EXPECT_EQ(!r.vco.empty(), row.vco_dbc_hz.has_value());
      if (row.vco_dbc_hz) {
        EXPECT_NEAR(Db(p.vco), *row.vco_dbc_hz, 0.01) << i;
      }
      EXPECT_EQ(!r.reference.empty(), row.reference_dbc_hz.has_value());
      if (row.reference_dbc_hz) {
        EXPECT_NEAR(Db(p.reference), *row.reference_dbc_hz, 0.01) << i;
      }
    }
    const double variance = r.PhaseVariance(setup.jitter_from_hz, setup.jitter_to_hz);
    const double degrees = std::sqrt(variance) * 180 / kPi;
    const double femtoseconds = std::sqrt(variance) / (2 * kPi * r.rf) * 1e15;
    EXPECT_LT(Relative(noise.phase_error_deg_rms, degrees), 2e-4) << i;
    EXPECT_LT(Relative(noise.jitter_fs_rms, femtoseconds), 2e-4) << i;
  }
}

TEST(LoopNoise, ASharplyPeakingLoopGetsPanelsOfItsOwn) {
  // 5 degrees of margin: a peak the band's half-decade panels cannot follow.
  Reference r;
  r.loop = Loop{{}, 5e-3, 50e6, 1000};
  r.loop.filter = *DesignFilter({3, 100e3, 5, 1, 0.6}, r.loop.icp * r.loop.kvco / r.loop.n);
  r.rf = 1000 * 10e6;
  r.ref = 10e6;
  r.vco = {{1e3, -60}, {1e6, -130}};
  LoopSetup setup;
  setup.filter = r.loop.filter;
  setup.cp_current_a = r.loop.icp;
  setup.kvco_hz_per_v = r.loop.kvco;
  setup.vco_noise = NoiseCurve(r.vco);
  ChannelLoop channel;
  channel.n_total = r.loop.n;
  channel.rf_out_hz = r.rf;
  channel.reference_hz = r.ref;
  const ChannelNoise noise = LoopModel(setup).Noise(channel);
  const double degrees = std::sqrt(r.PhaseVariance(1e3, 1e7)) * 180 / kPi;
  EXPECT_LT(Relative(noise.phase_error_deg_rms, degrees), 2e-4);
}

TEST(LoopNoise, CurvesHoldTheirEndsAndAreLinearInLogOffset) {
  const NoiseCurve curve({{1e3, -80}, {1e5, -120}});
  EXPECT_EQ(-80, curve.At(10));
  EXPECT_EQ(-80, curve.At(1e3));
  EXPECT_NEAR(-100, curve.At(1e4), 1e-12);
  EXPECT_EQ(-120, curve.At(1e5));
  EXPECT_EQ(-120, curve.At(1e9));
  const NoiseCurve single({{1e4, -90}});
  EXPECT_EQ(-90, single.At(1));
  EXPECT_EQ(-90, single.At(1e8));
}

// The circuit stepped through time: charge pump current Icp times the
// phase error in cycles into C1, R2-C2 and R3-C3; the VCO at Kvco times C3's
// voltage; the phase error growing with the frequency still missing after
// a step of `jump` at the VCO. Returns the last time the error exceeded
// the tolerance (classic fourth-order Runge-Kutta, 4000 steps per period of
// the bandwidth).
double SimulatedLockTime(const Loop& loop, double jump, double tolerance, double bandwidth) {
  const LoopFilter& f = loop.filter;
  const bool third = f.order == 3;
  struct State {
    double v1 = 0, v2 = 0, v3 = 0, phase = 0;
  };
  auto slope = [&](const State& x) {
    const double vco_in = third ? x.v3 : x.v1;
    const double i2 = (x.v1 - x.v2) / f.r2;
    const double i3 = third ? (x.v1 - x.v3) / f.r3 : 0;
    State d;
    d.v1 = (loop.icp * x.phase - i2 - i3) / f.c1;
    d.v2 = i2 / f.c2;
    d.v3 = third ? i3 / f.c3 : 0;
    d.phase = (jump - loop.kvco * vco_in) / loop.n;
    return d;
  };
  auto add = [](const State& x, const State& d, double h) {
    return State{x.v1 + h * d.v1, x.v2 + h * d.v2, x.v3 + h * d.v3, x.phase + h * d.phase};
  };
  const double h = 1 / (4000 * bandwidth);
  State x;
  double last = 0;
  for (double t = 0; t < 400 / bandwidth; t += h) {
    const State k1 = slope(x), k2 = slope(add(x, k1, h / 2)), k3 = slope(add(x, k2, h / 2)),
                k4 = slope(add(x, k3, h));
    x.v1 += h / 6 * (k1.v1 + 2 * k2.v1 + 2 * k3.v1 + k4.v1);
    x.v2 += h / 6 * (k1.v2 + 2 * k2.v2 + 2 * k3.v2 + k4.v2);
    x.v3 += h / 6 * (k1.v3 + 2 * k2.v3 + 2 * k3.v3 + k4.v3);
    x.phase += h / 6 * (k1.phase + 2 * k2.phase + 2 * k3.phase + k4.phase);
    const double error = jump - loop.kvco * (third ? x.v3 : x.v1);
    if (std::fabs(error) > tolerance) last = t + h;
  }
  return last;
}

TEST(LockTime, TheCircuitSteppedThroughTimeSettlesWhenTheResiduesSay) {
  std::mt19937_64 random(363636);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
  for (int i = 0; i < 12; ++i) {
    Loop loop{{}, uniform(5e-4, 5e-3), uniform(1e7, 8e7), uniform(50, 3000)};
    const DesignTargets targets{i % 2 == 0 ? 2 : 3, uniform(5e3, 200e3), uniform(30, 70),
                                uniform(0.8, 1.5), uniform(0.2, 0.8)};
    loop.filter = *DesignFilter(targets, loop.icp * loop.kvco / loop.n);
    const double jump = uniform(1e6, 1e8), tolerance = uniform(10, 10000);
    const LockTime computed =
        LockTimeAfter(TimesOf(loop.filter), loop.icp * loop.kvco / loop.n, jump, tolerance);
    ASSERT_EQ(LockTime::Outcome::kSettles, computed.outcome) << i;
    const double simulated = SimulatedLockTime(loop, jump, tolerance, targets.bandwidth_hz);
    EXPECT_LT(Relative(computed.seconds, simulated), 1e-3) << i;
  }
}

TEST(LockTime, EdgeCases) {
  const LoopFilter filter = *DesignFilter({3, 10e3, 45, 1, 0.6}, 5e-3 * 20e6 / 1000);
  const FilterTimes times = TimesOf(filter);
  EXPECT_EQ(0, LockTimeAfter(times, 100, 500, 1000).seconds);  // within the tolerance
  const LockTime small = LockTimeAfter(times, 100, 1e6, 1000);
  const LockTime large = LockTimeAfter(times, 100, 1e8, 1000);
  EXPECT_LT(small.seconds, large.seconds);  // a bigger step takes longer
  // Too little gain for the filter's poles: the loop is unstable.
  const LoopFilter ringing{3, 1e-9, 1e-6, 10, 1e-6, 1e6};
  EXPECT_EQ(LockTime::Outcome::kUnstable,
            LockTimeAfter(TimesOf(ringing), 1e9, 1e6, 1000).outcome);
}

}  // namespace
}  // namespace synthfactors::loop
