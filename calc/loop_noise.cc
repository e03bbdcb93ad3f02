#include "loop_noise.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <utility>

#include "portable_math.h"

namespace synthfactors::loop {
namespace {

constexpr double kLn10Over10 = 0.23025850929940458;  // ln(10) / 10: dB to ln power
constexpr double kQuarterDecade = 0.5756462732485115;  // ln(10) / 4
// 4 k T at 300 K, V^2 per Hz per ohm.
constexpr double kFourKT = 4 * 1.380649e-23 * 300;

// The 15-point Kronrod rule and its embedded 7-point Gauss rule on [-1, 1]
// (QUADPACK's qk15): nodes from the ends to the middle.
constexpr std::array<double, 8> kKronrodNodes = {
    0.991455371120812639206854697526329, 0.949107912342758524526189684047851,
    0.864864423359769072789712788640926, 0.741531185599394439863864773280788,
    0.586087235467691130294144845693013, 0.405845151377397166906606412076961,
    0.207784955007898467600689403773245, 0.0};
constexpr std::array<double, 8> kKronrodWeights = {
    0.022935322010529224963732008058970, 0.063092092629978553290700663189204,
    0.104790010322250183839876322541518, 0.140653259715525918745189590510238,
    0.169004726639267902826583426598550, 0.190350578064785409913256402421014,
    0.204432940075298892414161999234649, 0.209482141084727828012999174891714};
// The Gauss weights of the odd Kronrod nodes (1, 3, 5) and the middle one.
constexpr std::array<double, 4> kGaussWeights = {
    0.129484966168869693270611432679082, 0.279705391489276667901467771423780,
    0.381830050505118944950369775488975, 0.417959183673469387755102040816327};
constexpr std::size_t kNodesPerPanel = 15;

// Where the Kronrod and Gauss sums over the band's panels differ by more
// than kRefineAbove of the total, the channel's panels are halved until each
// agrees within its share of kRefineTo of the total (at most kMostPanels).
constexpr double kRefineAbove = 1e-4;
constexpr double kRefineTo = 1e-6;
constexpr int kMostPanels = 4096;

double PowerOf(double dbc_hz) { return Exp(dbc_hz * kLn10Over10); }
double DecibelsOf(double power) { return 10 * Log10Fast(power); }

// What a channel brings to the integrand.
struct ChannelTerms {
  double k_over_n = 0;
  double pll_floor = 0, pll_flicker_1hz = 0;  // powers; 0 where absent
  double reference_scale = 0;                 // (RF / reference)^2
  double vco_scale = 0;                       // (M / D)^2
};

// The sources at a node, as powers at the RF output.
struct SourcePowers {
  double pll = 0, reference = 0, vco = 0, resistors = 0;
  double Total() const { return pll + reference + vco + resistors; }
};

SourcePowers PowersAt(const LoopModel::Node& node, const ChannelTerms& terms) {
  const Complex g = terms.k_over_n * node.unit_gain;
  const double gain_squared = Norm(g);
  const double inverse = 1 / ((1 + g.re) * (1 + g.re) + g.im * g.im);  // |S|^2
  const double closed = gain_squared * inverse;                         // |CL|^2
  SourcePowers p;
  p.pll = (terms.pll_floor + terms.pll_flicker_1hz * node.inv_f) * closed;
  p.reference = node.reference * terms.reference_scale * closed;
  p.vco = node.vco * terms.vco_scale * inverse;
  p.resistors = node.resistors * terms.vco_scale * inverse;
  return p;
}

// Kronrod and Gauss sums over one panel's nodes.
struct PanelSums {
  double kronrod = 0, gauss = 0;
};

PanelSums SumPanel(const LoopModel::Node* nodes, const ChannelTerms& terms) {
  PanelSums sums;
  for (std::size_t i = 0; i < kNodesPerPanel; ++i) {
    const double p = PowersAt(nodes[i], terms).Total();
    sums.kronrod += nodes[i].weight_k * p;
    sums.gauss += nodes[i].weight_g * p;
  }
  return sums;
}

ChannelTerms TermsOf(const LoopModel& model, const ChannelLoop& channel) {
  ChannelTerms t;
  t.k_over_n = model.KOverN(channel);
  if (channel.pll_floor_dbc_hz) t.pll_floor = PowerOf(*channel.pll_floor_dbc_hz);
  if (channel.pll_flicker_at_1hz_dbc_hz) {
    t.pll_flicker_1hz = PowerOf(*channel.pll_flicker_at_1hz_dbc_hz);
  }
  const double ratio = channel.rf_out_hz / channel.reference_hz;
  t.reference_scale = ratio * ratio;
  t.vco_scale = channel.rf_per_vco * channel.rf_per_vco;
  return t;
}

}  // namespace

NoiseCurve::NoiseCurve(std::vector<NoisePoint> points) : points_(std::move(points)) {
  log_offsets_.reserve(points_.size());
  for (const NoisePoint& point : points_) log_offsets_.push_back(Log10Fast(point.offset_hz));
}

double NoiseCurve::At(double offset_hz) const {
  if (offset_hz <= points_.front().offset_hz) return points_.front().dbc_hz;
  if (offset_hz >= points_.back().offset_hz) return points_.back().dbc_hz;
  const auto above = std::upper_bound(
      points_.begin(), points_.end(), offset_hz,
      [](double f, const NoisePoint& point) { return f < point.offset_hz; });
  const std::size_t b = static_cast<std::size_t>(above - points_.begin()), a = b - 1;
  const double share =
      (Log10Fast(offset_hz) - log_offsets_[a]) / (log_offsets_[b] - log_offsets_[a]);
  return points_[a].dbc_hz + (points_[b].dbc_hz - points_[a].dbc_hz) * share;
}

LoopModel::LoopModel(LoopSetup setup)
    : setup_(std::move(setup)), times_(TimesOf(setup_.filter)) {
  offset_nodes_.reserve(setup_.offsets_hz.size());
  for (const double f : setup_.offsets_hz) offset_nodes_.push_back(NodeAt(f));
  panels_ = Panels();
  panel_nodes_.reserve(panels_.size() * kNodesPerPanel);
  for (const Panel& panel : panels_) AddPanelNodes(panel, panel_nodes_);
}

double LoopModel::KOverN(const ChannelLoop& channel) const {
  return setup_.cp_current_a * setup_.kvco_hz_per_v / channel.n_total;
}

LoopModel::Node LoopModel::NodeAt(double f) const {
  Node node;
  node.f = f;
  node.inv_f = 1 / f;
  node.unit_gain = UnitOpenLoop(times_, f);
  if (setup_.reference_noise) node.reference = PowerOf(setup_.reference_noise->At(f));
  if (setup_.vco_noise) node.vco = PowerOf(setup_.vco_noise->At(f));
  // The resistors' noise voltages to the tuning input: at the first node
  // the charge pump (open), C1 and the R2-C2 branch meet; R3 then feeds C3.
  const LoopFilter& p = setup_.filter;
  const Complex jw{0, kTwoPi * f};
  const Complex z2 = Complex{p.r2, 0} + Complex{1, 0} / (p.c2 * jw);
  const Complex y2 = Complex{1, 0} / z2;
  const Complex y1 = p.c1 * jw + y2;
  const bool third = p.order == 3;
  const Complex den =
      third ? (Complex{1, 0} + (p.r3 * p.c3) * jw) * y1 + p.c3 * jw : y1;
  const double h2 = Norm(y2 / den);
  const double h3 = third ? Norm(y1 / den) : 0;
  const double volts = h2 * kFourKT * p.r2 + h3 * kFourKT * (third ? p.r3 : 0);
  const double kvco_over_f = setup_.kvco_hz_per_v / f;
  node.resistors = kvco_over_f * kvco_over_f * volts / 2;
  return node;
}

void LoopModel::AddPanelNodes(const Panel& panel, std::vector<Node>& nodes) const {
  const double middle = (panel.u_from + panel.u_to) / 2;
  const double half = (panel.u_to - panel.u_from) / 2;
  auto add = [&](double x, double weight_k, double weight_g) {
    Node node = NodeAt(Exp(middle + half * x));
    node.weight_k = half * weight_k * node.f;
    node.weight_g = half * weight_g * node.f;
    nodes.push_back(node);
  };
  auto gauss_weight = [](std::size_t j) { return j % 2 == 1 ? kGaussWeights[j / 2] : 0.0; };
  for (std::size_t j = 0; j < 7; ++j) add(-kKronrodNodes[j], kKronrodWeights[j], gauss_weight(j));
  add(0, kKronrodWeights[7], kGaussWeights[3]);
  for (std::size_t j = 7; j-- > 0;) add(kKronrodNodes[j], kKronrodWeights[j], gauss_weight(j));
}

std::vector<LoopModel::Panel> LoopModel::Panels() const {
  // Breaks at every noise point inside the band and every quarter decade.
  const double from = Ln(setup_.jitter_from_hz), to = Ln(setup_.jitter_to_hz);
  std::vector<double> breaks{from, to};
  for (double u = from + kQuarterDecade; u < to; u += kQuarterDecade) breaks.push_back(u);
  for (const auto* curve : {&setup_.vco_noise, &setup_.reference_noise}) {
    if (!*curve) continue;
    for (const NoisePoint& point : (*curve)->Points()) {
      const double u = Ln(point.offset_hz);
      if (u > from && u < to) breaks.push_back(u);
    }
  }
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end()), breaks.end());
  std::vector<Panel> panels;
  for (std::size_t i = 0; i + 1 < breaks.size(); ++i) panels.push_back({breaks[i], breaks[i + 1]});
  return panels;
}

namespace {

NoiseAtOffset Tabulate(const LoopModel& model, const LoopModel::Node& node,
                       const ChannelLoop& channel, const ChannelTerms& terms) {
  const SourcePowers p = PowersAt(node, terms);
  NoiseAtOffset row;
  row.offset_hz = node.f;
  row.total_dbc_hz = DecibelsOf(p.Total());
  if (channel.pll_floor_dbc_hz) row.pll_dbc_hz = DecibelsOf(p.pll);
  if (model.Setup().vco_noise) row.vco_dbc_hz = DecibelsOf(p.vco);
  if (model.Setup().reference_noise) row.reference_dbc_hz = DecibelsOf(p.reference);
  row.resistors_dbc_hz = DecibelsOf(p.resistors);
  return row;
}

}  // namespace

ChannelNoise LoopModel::Noise(const ChannelLoop& channel) const {
  const ChannelTerms terms = TermsOf(*this, channel);
  ChannelNoise result;
  result.noise.reserve(offset_nodes_.size());
  for (const Node& node : offset_nodes_) result.noise.push_back(Tabulate(*this, node, channel, terms));

  double total = 0, error = 0;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    const PanelSums sums = SumPanel(&panel_nodes_[i * kNodesPerPanel], terms);
    total += sums.kronrod;
    error += std::fabs(sums.kronrod - sums.gauss);
  }
  if (error > kRefineAbove * std::fabs(total)) {
    // A peak the band's panels cannot follow (a loop with little phase
    // margin): this channel's own panels, halved where the rules disagree.
    std::vector<Node> nodes;
    const double tolerance = kRefineTo * std::fabs(total);
    const double width = Ln(setup_.jitter_to_hz) - Ln(setup_.jitter_from_hz);
    double refined = 0;
    int panels = static_cast<int>(panels_.size());
    auto integrate = [&](auto&& self, const Panel& panel) -> void {
      nodes.clear();
      AddPanelNodes(panel, nodes);
      const PanelSums sums = SumPanel(nodes.data(), terms);
      const double share = tolerance * (panel.u_to - panel.u_from) / width;
      if (panels >= kMostPanels || !(std::fabs(sums.kronrod - sums.gauss) > share)) {
        refined += sums.kronrod;
        return;
      }
      ++panels;
      const double middle = (panel.u_from + panel.u_to) / 2;
      self(self, Panel{panel.u_from, middle});
      self(self, Panel{middle, panel.u_to});
    };
    for (const Panel& panel : panels_) integrate(integrate, panel);
    total = refined;
  }
  const double phase_rms = std::sqrt(2 * total);
  result.phase_error_deg_rms = phase_rms * kDegreesPerRadian;
  result.jitter_fs_rms = phase_rms / (kTwoPi * channel.rf_out_hz) * 1e15;
  return result;
}

std::vector<NoiseAtOffset> LoopModel::NoiseAt(const ChannelLoop& channel,
                                              const std::vector<double>& offsets_hz) const {
  const ChannelTerms terms = TermsOf(*this, channel);
  std::vector<NoiseAtOffset> rows;
  rows.reserve(offsets_hz.size());
  for (const double f : offsets_hz) rows.push_back(Tabulate(*this, NodeAt(f), channel, terms));
  return rows;
}

}  // namespace synthfactors::loop
