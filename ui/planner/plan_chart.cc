#include "plan_chart.h"

#include <QChart>
#include <QLegendMarker>
#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QScatterSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>

namespace synthfactors::planner {
namespace {

const QColor kPlanColour(230, 120, 20);
const QColor kOwnColour(31, 119, 180);
const QColor kSelectedColour(200, 0, 0);

const ChartFigureEntry& EntryOf(ChartFigure figure) {
  return kChartFigures[static_cast<std::size_t>(figure)];
}

struct Points {
  QList<QPointF> line, exact;
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
};

// The channels that have the figure; the others (a fault) have no point.
Points PointsOf(const ChartColumns& columns, const std::vector<double>& values) {
  Points points;
  points.line.reserve(qsizetype(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!std::isfinite(values[i]) || !std::isfinite(columns.rf_mhz[i])) continue;
    const QPointF point(columns.rf_mhz[i], values[i]);
    points.line.push_back(point);
    if (columns.exact[i] != 0) points.exact.push_back(point);
    points.low = std::min(points.low, values[i]);
    points.high = std::max(points.high, values[i]);
  }
  return points;
}

// Marks for the chart: where there are more than a chart can show apart,
// one for each small cell of `frame` that holds any (a mark per channel
// would draw the same picture, one slow item at a time).
QList<QPointF> Thinned(const QList<QPointF>& marks, const QRectF& frame) {
  constexpr qsizetype kMostMarks = 2000;
  constexpr double kColumns = 2000, kRows = 500;
  if (marks.size() <= kMostMarks) return marks;
  const double width = frame.width() > 0 ? frame.width() : 1;
  const double height = frame.height() > 0 ? frame.height() : 1;
  std::unordered_set<std::int64_t> cells;
  QList<QPointF> thinned;
  for (const QPointF& mark : marks) {
    const auto column = static_cast<std::int64_t>((mark.x() - frame.left()) / width * kColumns);
    const auto row = static_cast<std::int64_t>((mark.y() - frame.top()) / height * kRows);
    if (cells.insert(column * (std::int64_t(kRows) + 1) + row).second) thinned.push_back(mark);
  }
  return thinned;
}

// A line for the chart: one point per channel up to kMostLinePoints; beyond,
// each of kSlices slices of the band keeps its first, lowest, highest and
// last point, which draws the same line at any size a screen shows.
QList<QPointF> Envelope(const QList<QPointF>& line) {
  constexpr qsizetype kMostLinePoints = 200000;
  constexpr double kSlices = 4000;
  if (line.size() <= kMostLinePoints) return line;
  const double left = line.front().x(), width = line.back().x() - left;
  QList<QPointF> envelope;
  qsizetype first = 0;
  while (first < line.size()) {
    const auto slice = [&](qsizetype i) {
      return width > 0 ? std::floor((line[i].x() - left) / width * kSlices) : 0.0;
    };
    qsizetype last = first, lowest = first, highest = first;
    while (last + 1 < line.size() && slice(last + 1) == slice(first)) {
      ++last;
      if (line[last].y() < line[lowest].y()) lowest = last;
      if (line[last].y() > line[highest].y()) highest = last;
    }
    qsizetype kept[] = {first, lowest, highest, last};
    std::sort(std::begin(kept), std::end(kept));
    for (qsizetype k = 0; k < 4; ++k) {
      if (k == 0 || kept[k] != kept[k - 1]) envelope.push_back(line[kept[k]]);
    }
    first = last + 1;
  }
  return envelope;
}

// A tick spacing of 1, 2 or 5 times a power of ten that gives `width`
// three to six ticks.
double RoundStep(double width) {
  const double rough = width / 6;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

// An axis range around [low, high], a little wider so that no point sits on
// the frame, with ticks on round values; a single value gets a range of
// its own.
void SetRange(QValueAxis* axis, double low, double high) {
  if (!(low <= high)) {
    low = 0;
    high = 1;
  }
  const double margin = high > low ? (high - low) * 0.05 : std::max(std::fabs(low) * 0.01, 1.0);
  const double step = RoundStep(high - low + 2 * margin);
  // Fixed ticks while the range changes: the old spacing over the new range
  // could ask for millions of ticks.
  axis->setTickType(QValueAxis::TicksFixed);
  axis->setRange(low - margin, high + margin);
  axis->setTickAnchor(std::ceil((low - margin) / step) * step);
  axis->setTickInterval(step);
  axis->setTickType(QValueAxis::TicksDynamic);
}

QScatterSeries* Marks(const QColor& colour, double size, bool rings) {
  auto* marks = new QScatterSeries;
  marks->setMarkerSize(size);
  marks->setColor(rings ? QColor(Qt::transparent) : colour);
  marks->setBorderColor(colour);
  return marks;
}

}  // namespace

// The view is made with its chart: a view made without one makes a chart of
// its own, which setChart() would let go of without deleting.
PlanChart::PlanChart(QWidget* parent)
    : QChartView(new QChart, parent),
      line_(new QLineSeries),
      exact_(Marks(kPlanColour, 7, false)),
      own_line_(new QLineSeries),
      own_exact_(Marks(kOwnColour, 11, true)),
      selected_mark_(Marks(kSelectedColour, 13, true)),
      spur_clear_(new QLineSeries),
      x_axis_(new QValueAxis),
      y_axis_(new QValueAxis) {
  QChart* chart = this->chart();
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->legend()->setAlignment(Qt::AlignTop);
  line_->setColor(kPlanColour);
  own_line_->setColor(kOwnColour);
  QPen selected_pen(kSelectedColour);
  selected_pen.setWidth(2);
  selected_mark_->setPen(selected_pen);
  // Drawn in this order: the own-R plan under the plan, the selection on top.
  QPen clear_pen(kSelectedColour);
  clear_pen.setStyle(Qt::DashLine);
  spur_clear_->setPen(clear_pen);
  spur_clear_->setName(QStringLiteral("spur clear"));
  for (QXYSeries* series : std::initializer_list<QXYSeries*>{own_line_, own_exact_, line_, exact_,
                                                             spur_clear_, selected_mark_}) {
    chart->addSeries(series);
  }
  x_axis_->setTitleText(QStringLiteral("RF output (MHz)"));
  x_axis_->setLabelFormat(QStringLiteral("%.10g"));
  y_axis_->setLabelFormat(QStringLiteral("%.6g"));
  chart->addAxis(x_axis_, Qt::AlignBottom);
  chart->addAxis(y_axis_, Qt::AlignLeft);
  for (QAbstractSeries* series : chart->series()) {
    series->attachAxis(x_axis_);
    series->attachAxis(y_axis_);
  }
  for (QLegendMarker* marker : chart->legend()->markers(selected_mark_)) marker->setVisible(false);
  setRenderHint(QPainter::Antialiasing, false);
  Redraw();
}

void PlanChart::SetPlan(std::shared_ptr<const PlanOutcome> plan) {
  plan_ = std::move(plan);
  selected_ = -1;
  Redraw();
}

void PlanChart::SetFigure(ChartFigure figure) {
  figure_ = figure;
  Redraw();
}

void PlanChart::SetSelected(std::int64_t channel) {
  selected_ = channel;
  DrawSelected();
}

qsizetype PlanChart::PlanPointCount() const { return line_->count(); }
qsizetype PlanChart::ExactPointCount() const { return exact_->count(); }

void PlanChart::Redraw() {
  const ChartFigureEntry& entry = EntryOf(figure_);
  y_axis_->setTitleText(QString::fromUtf8(entry.axis_title));
  Points plan, own;
  if (plan_) {
    plan = PointsOf(plan_->chart, plan_->chart.*entry.column);
    if (plan_->own_r) own = PointsOf(*plan_->own_r, (*plan_->own_r).*entry.column);
  }
  const bool with_own = plan_ && plan_->own_r;
  const qsizetype channels = plan_ ? qsizetype(plan_->ChannelCount()) : 0;
  // Emptied first: a mark series restyles every mark it holds.
  for (QXYSeries* series : {static_cast<QXYSeries*>(line_), static_cast<QXYSeries*>(exact_),
                            static_cast<QXYSeries*>(own_line_),
                            static_cast<QXYSeries*>(own_exact_)}) {
    series->clear();
  }
  line_->setName(plan_ && plan_->common_r
                     ? QStringLiteral("one R (%1)").arg(plan_->common_r->R)
                     : QStringLiteral("channels"));
  exact_->setName(QStringLiteral("exact (%1 of %2)").arg(plan.exact.size()).arg(channels));
  own_line_->setName(QStringLiteral("each channel's own R"));
  own_exact_->setName(QStringLiteral("own R exact (%1 of %2)").arg(own.exact.size()).arg(channels));
  // Each channel's own R in one colour, one R in another, as in scripts' plots.
  const QColor colour = with_own ? kPlanColour : kOwnColour;
  line_->setColor(colour);
  exact_->setColor(colour);
  exact_->setBorderColor(colour);
  for (QXYSeries* series : {static_cast<QXYSeries*>(own_line_), static_cast<QXYSeries*>(own_exact_)}) {
    series->setVisible(with_own);
    for (QLegendMarker* marker : chart()->legend()->markers(series)) marker->setVisible(with_own);
  }
  double x_low = 0, x_high = -1;
  if (plan_ && !plan_->chart.rf_mhz.empty()) {
    x_low = plan_->chart.rf_mhz.front();
    x_high = plan_->chart.rf_mhz.back();
  }
  double y_low = std::min(plan.low, own.low), y_high = std::max(plan.high, own.high);
  // The spur-clear limit, where the plan asked for one, on the spur figure.
  QList<QPointF> clear_line;
  const std::optional<double> clear =
      plan_ && figure_ == ChartFigure::kSpurOffset ? plan_->request.plan.spur_clear_khz
                                                   : std::nullopt;
  if (clear && x_low <= x_high) {
    clear_line = {QPointF(x_low, *clear), QPointF(x_high, *clear)};
    y_low = std::min(y_low, *clear);
    y_high = std::max(y_high, *clear);
  }
  spur_clear_->replace(clear_line);
  spur_clear_->setVisible(!clear_line.isEmpty());
  for (QLegendMarker* marker : chart()->legend()->markers(spur_clear_)) {
    marker->setVisible(!clear_line.isEmpty());
  }
  SetRange(x_axis_, x_low, x_high);
  SetRange(y_axis_, y_low, y_high);
  const QRectF frame(QPointF(x_low, y_low), QPointF(x_high, y_high));
  line_->replace(Envelope(plan.line));
  exact_->replace(Thinned(plan.exact, frame));
  own_line_->replace(Envelope(own.line));
  own_exact_->replace(Thinned(own.exact, frame));
  DrawSelected();
}

void PlanChart::DrawSelected() {
  QList<QPointF> mark;
  if (plan_ && selected_ >= 0 && std::size_t(selected_) < plan_->ChannelCount()) {
    const auto channel = static_cast<std::size_t>(selected_);
    const double value = (plan_->chart.*EntryOf(figure_).column)[channel];
    if (std::isfinite(value)) mark.push_back(QPointF(plan_->chart.rf_mhz[channel], value));
  }
  selected_mark_->replace(mark);
}

}  // namespace synthfactors::planner
