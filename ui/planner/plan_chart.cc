#include "plan_chart.h"

#include <QChart>
#include <QPainter>
#include <QPalette>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QLegend>
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
// Narrower than this, the legend goes under the plot.
constexpr int kLegendBesideWidth = 560;
const QColor kOwnColour(31, 119, 180);
const QColor kSelectedColour(200, 0, 0);

const ChartFigureEntry& EntryOf(ChartFigure figure) {
  return kChartFigures[static_cast<std::size_t>(figure)];
}

struct Points {
  QList<QPointF> line, exact;
  // Where each run of channels with the figure starts in `line`: a channel
  // without it (no setting) breaks the line.
  std::vector<qsizetype> starts;
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
};

// The channels between `left` and `right` MHz that have the figure; the
// others (a fault) have no point.
Points PointsOf(const ChartColumns& columns, const std::vector<double>& values, double left,
                double right) {
  Points points;
  const auto first = std::lower_bound(columns.rf_mhz.begin(), columns.rf_mhz.end(), left);
  const auto end = std::upper_bound(first, columns.rf_mhz.end(), right);
  points.line.reserve(qsizetype(end - first));
  bool broken = true;
  for (auto i = static_cast<std::size_t>(first - columns.rf_mhz.begin());
       i < static_cast<std::size_t>(end - columns.rf_mhz.begin()); ++i) {
    if (!std::isfinite(values[i]) || !std::isfinite(columns.rf_mhz[i])) {
      broken = true;
      continue;
    }
    if (broken) points.starts.push_back(points.line.size());
    broken = false;
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

// The runs of a line between its breaks.
std::vector<QList<QPointF>> Runs(const Points& points) {
  std::vector<QList<QPointF>> runs;
  for (std::size_t k = 0; k < points.starts.size(); ++k) {
    const qsizetype from = points.starts[k];
    const qsizetype to = k + 1 < points.starts.size() ? points.starts[k + 1] : points.line.size();
    runs.push_back(points.line.mid(from, to - from));
  }
  return runs;
}

// A tick spacing of 1, 2 or 5 times a power of ten that gives `width`
// at most `ticks` ticks (and at least about half as many).
double RoundStep(double width, int ticks) {
  const double rough = width / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (const double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= rough) return factor * power;
  }
  return 10 * power;
}

// An axis range around [low, high], a little wider so that no point sits on
// the frame, with ticks on round values; a single value gets a range of
// its own.
void SetRange(QValueAxis* axis, double low, double high, int ticks) {
  if (!(low <= high)) {
    low = 0;
    high = 1;
  }
  const double margin = high > low ? (high - low) * 0.05 : std::max(std::fabs(low) * 0.01, 1.0);
  const double step = RoundStep(high - low + 2 * margin, ticks);
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
      dots_(Marks(kPlanColour, 3, false)),
      own_dots_(Marks(kOwnColour, 3, false)),
      spur_clear_(new QLineSeries),
      limit_high_(new QLineSeries),
      limit_low_(new QLineSeries),
      x_axis_(new QValueAxis),
      y_axis_(new QValueAxis) {
  QChart* chart = this->chart();
  chart->setMargins(QMargins(4, 4, 4, 4));
  // A legend of one line per series beside the plot: a row of them above it
  // would cut their names short in a narrow window.
  chart->legend()->setAlignment(Qt::AlignRight);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  // Axis labels with the locale's decimal symbol, as the table has them.
  // (No group separators: "10.368,9" would read as another frequency.)
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  chart->setLocalizeNumbers(true);
  chart->setLocale(locale);
  line_->setColor(kPlanColour);
  own_line_->setColor(kOwnColour);
  QPen selected_pen(kSelectedColour);
  selected_pen.setWidth(2);
  selected_mark_->setPen(selected_pen);
  // Drawn in this order: the own-R plan under the plan, the selection on top.
  QPen clear_pen(kSelectedColour);
  clear_pen.setStyle(Qt::DashLine);
  spur_clear_->setPen(clear_pen);
  spur_clear_->setName(tr("spur clear"));
  QPen limit_pen(kSelectedColour);
  limit_pen.setStyle(Qt::DotLine);
  limit_pen.setWidth(2);
  limit_high_->setPen(limit_pen);
  limit_low_->setPen(limit_pen);
  // Distinct marks, so that the legend tells them apart without colour.
  exact_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  own_exact_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  selected_mark_->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
  for (QXYSeries* series : std::initializer_list<QXYSeries*>{own_line_, own_dots_, own_exact_, line_,
                                                             dots_, exact_, spur_clear_, limit_high_,
                                                             limit_low_, selected_mark_}) {
    chart->addSeries(series);
  }
  x_axis_->setTitleText(tr("RF output (MHz)"));
  x_axis_->setLabelFormat(QStringLiteral("%.10g"));
  y_axis_->setLabelFormat(QStringLiteral("%.6g"));
  chart->addAxis(x_axis_, Qt::AlignBottom);
  chart->addAxis(y_axis_, Qt::AlignLeft);
  for (QAbstractSeries* series : chart->series()) {
    series->attachAxis(x_axis_);
    series->attachAxis(y_axis_);
  }
  for (QAbstractSeries* hidden : std::initializer_list<QAbstractSeries*>{selected_mark_, limit_low_, dots_, own_dots_}) {
    for (QLegendMarker* marker : chart->legend()->markers(hidden)) marker->setVisible(false);
  }
  setRenderHint(QPainter::Antialiasing, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setToolTip(tr("Wheel or +/- to zoom, drag to pan, Home to see the whole band; "
                "click a point to select its channel"));
  Redraw();
}

void PlanChart::SetPlan(std::shared_ptr<const PlanOutcome> plan) {
  plan_ = std::move(plan);
  selected_ = -1;
  view_.reset();
  Redraw();
}

void PlanChart::SetErrorLimit(std::optional<double> hz) {
  error_limit_ = hz && *hz >= 0 && std::isfinite(*hz) ? hz : std::nullopt;
  Redraw();
}

std::int64_t PlanChart::ChannelsOverLimit() const {
  if (!plan_ || !error_limit_) return 0;
  std::int64_t over = 0;
  for (const double error : plan_->chart.error_hz) over += std::fabs(error) > *error_limit_ ? 1 : 0;
  return over;
}

bool PlanChart::NothingToChart() const {
  return plan_ && PlanPointCount() == 0 && own_line_->count() == 0 && own_dots_->count() == 0;
}

std::pair<double, double> PlanChart::Band() const {
  if (!plan_ || plan_->chart.rf_mhz.empty()) return {0, -1};
  return {plan_->chart.rf_mhz.front(), plan_->chart.rf_mhz.back()};
}

std::pair<double, double> PlanChart::Shown() const { return view_.value_or(Band()); }

void PlanChart::ShowRange(double left, double right) {
  const auto [band_left, band_right] = Band();
  if (!(band_left < band_right)) return;
  const double width = std::min(right - left, band_right - band_left);
  // At least a few channels wide, and never past the band's ends.
  const double least = (band_right - band_left) / double(plan_->ChannelCount()) * 4;
  if (!(width >= least)) return;
  left = std::clamp(left, band_left, band_right - width);
  right = left + width;
  if (left <= band_left && right >= band_right) {
    view_.reset();
  } else {
    view_ = std::pair(left, right);
  }
  Redraw();
}

void PlanChart::ZoomAt(double x, double factor) {
  const auto [left, right] = Shown();
  ShowRange(x - (x - left) * factor, x + (right - x) * factor);
}

void PlanChart::ResetZoom() {
  view_.reset();
  Redraw();
}

std::int64_t PlanChart::ChannelNear(double mhz) const {
  if (!plan_ || plan_->chart.rf_mhz.empty()) return -1;
  const std::vector<double>& rf = plan_->chart.rf_mhz;
  auto at = std::lower_bound(rf.begin(), rf.end(), mhz);
  if (at == rf.end() || (at != rf.begin() && mhz - *(at - 1) < *at - mhz)) --at;
  return at - rf.begin();
}

QString PlanChart::ReadoutOf(std::int64_t channel) const {
  if (!plan_ || channel < 0 || std::size_t(channel) >= plan_->ChannelCount()) return {};
  const auto index = static_cast<std::size_t>(channel);
  const ChartFigureEntry& entry = EntryOf(figure_);
  const double value = (plan_->chart.*entry.column)[index];
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  const QString rf = locale.toString(plan_->chart.rf_mhz[index], 'g', 12);
  if (!std::isfinite(value)) return tr("%1 MHz: no figure (a fault)").arg(rf);
  return tr("%1 MHz: %2 %3").arg(rf, QCoreApplication::translate("PlanChart", entry.caption).toLower(),
                                 locale.toString(value, 'g', 9)) +
         QStringLiteral(" ") + QString::fromUtf8(entry.unit);
}

double PlanChart::ValueX(const QPointF& position) const {
  return chart()->mapToValue(position, line_).x();
}

void PlanChart::wheelEvent(QWheelEvent* event) {
  if (!plan_ || event->angleDelta().y() == 0) return;
  ZoomAt(ValueX(event->position()), event->angleDelta().y() > 0 ? 0.8 : 1.25);
  event->accept();
}

void PlanChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_at_ = event->position();
    dragged_from_ = event->position();
    dragging_ = false;
  }
  QChartView::mousePressEvent(event);
}

void PlanChart::mouseMoveEvent(QMouseEvent* event) {
  if (plan_ && (event->buttons() & Qt::LeftButton) != 0) {
    if ((event->position() - pressed_at_).manhattanLength() > 4) dragging_ = true;
    if (dragging_) {
      const double shift = ValueX(dragged_from_) - ValueX(event->position());
      const auto [left, right] = Shown();
      ShowRange(left + shift, right + shift);
      dragged_from_ = event->position();
    }
  } else if (plan_) {
    emit hovered(ReadoutOf(ChannelNear(ValueX(event->position()))));
  }
  QChartView::mouseMoveEvent(event);
}

void PlanChart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && !dragging_ && plan_) {
    const std::int64_t channel = ChannelNear(ValueX(event->position()));
    if (channel >= 0) emit channelClicked(channel);
  }
  dragging_ = false;
  QChartView::mouseReleaseEvent(event);
}

void PlanChart::keyPressEvent(QKeyEvent* event) {
  const auto [left, right] = Shown();
  const double middle = (left + right) / 2, width = right - left;
  switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      ZoomAt(middle, 0.5);
      return;
    case Qt::Key_Minus:
      ZoomAt(middle, 2);
      return;
    case Qt::Key_Home:
      ResetZoom();
      return;
    case Qt::Key_Left:
      ShowRange(left - width / 4, right - width / 4);
      return;
    case Qt::Key_Right:
      ShowRange(left + width / 4, right + width / 4);
      return;
    default:
      QChartView::keyPressEvent(event);
  }
}

// As many ticks as the plot has room for: a frequency's label takes about
// 110 pixels, a value's line about 30; a small window shows fewer, none
// running into the next.
void PlanChart::SetTicks() {
  const QRectF plot = chart()->plotArea();
  const int across = plot.width() > 0 ? int(plot.width() / 110) : 6;
  const int down = plot.height() > 0 ? int(plot.height() / 30) : 6;
  SetRange(x_axis_, ranges_[0], ranges_[1], std::clamp(across, 2, 6));
  SetRange(y_axis_, ranges_[2], ranges_[3], std::clamp(down, 2, 6));
}

int PlanChart::XTickCount() const {
  return int(std::floor((x_axis_->max() - x_axis_->tickAnchor()) / x_axis_->tickInterval())) + 1;
}

void PlanChart::resizeEvent(QResizeEvent* event) {
  // The legend beside the plot where there is room, under it in a narrow
  // window (beside it, it would leave the plot a sliver).
  const Qt::Alignment side = width() >= kLegendBesideWidth ? Qt::AlignRight : Qt::AlignBottom;
  if (chart()->legend()->alignment() != side) chart()->legend()->setAlignment(side);
  QChartView::resizeEvent(event);
  SetTicks();
}

void PlanChart::paintEvent(QPaintEvent* event) {
  QChartView::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(viewport());
  QPen pen(palette().color(QPalette::Highlight));
  pen.setWidth(2);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
}

void PlanChart::focusInEvent(QFocusEvent* event) {
  QChartView::focusInEvent(event);
  viewport()->update();
}

void PlanChart::focusOutEvent(QFocusEvent* event) {
  QChartView::focusOutEvent(event);
  viewport()->update();
}

void PlanChart::SetFigure(ChartFigure figure) {
  figure_ = figure;
  Redraw();
}

void PlanChart::SetSelected(std::int64_t channel) {
  selected_ = channel;
  DrawSelected();
}

qsizetype PlanChart::PlanPointCount() const {
  qsizetype points = line_->count() + dots_->count();
  for (const QLineSeries* piece : runs_) points += piece->count();
  return points;
}

qsizetype PlanChart::PlanRunCount() const {
  qsizetype pieces = line_->count() > 0 ? 1 : 0;
  for (const QLineSeries* piece : runs_) pieces += piece->count() > 0 ? 1 : 0;
  return pieces;
}
qsizetype PlanChart::ExactPointCount() const { return exact_->count(); }

void PlanChart::Redraw() {
  const ChartFigureEntry& entry = EntryOf(figure_);
  // No legend before a plan; the entries a plan lacks are hidden below.
  for (QLegendMarker* marker : chart()->legend()->markers()) marker->setVisible(plan_ != nullptr);
  y_axis_->setTitleText(QString::fromUtf8(entry.axis_title));
  Points plan, own;
  const auto [view_left, view_right] = Shown();
  if (plan_) {
    plan = PointsOf(plan_->chart, plan_->chart.*entry.column, view_left, view_right);
    if (plan_->own_r) {
      own = PointsOf(*plan_->own_r, (*plan_->own_r).*entry.column, view_left, view_right);
    }
  }
  const bool with_own = plan_ && plan_->own_r;
  const qsizetype channels = plan_ ? qsizetype(plan_->ChannelCount()) : 0;
  // Emptied first: a mark series restyles every mark it holds.
  for (QXYSeries* series : {static_cast<QXYSeries*>(line_), static_cast<QXYSeries*>(exact_),
                            static_cast<QXYSeries*>(own_line_), static_cast<QXYSeries*>(own_exact_),
                            static_cast<QXYSeries*>(dots_), static_cast<QXYSeries*>(own_dots_)}) {
    series->clear();
  }
  const QLocale locale;
  line_->setName(plan_ && plan_->common_r ? tr("one R, %1").arg(plan_->common_r->R)
                                          : tr("channels"));
  const auto count = [&locale](std::int64_t n) { return locale.toString(qlonglong(n)); };
  const std::int64_t exact_count = plan_ ? std::count(plan_->chart.exact.begin(), plan_->chart.exact.end(), 1) : 0;
  const std::int64_t own_exact_count =
      plan_ && plan_->own_r ? std::count(plan_->own_r->exact.begin(), plan_->own_r->exact.end(), 1) : 0;
  exact_->setName(tr("exact: %1 of %2").arg(count(exact_count), count(channels)));
  own_line_->setName(tr("own R"));
  own_exact_->setName(tr("own R exact: %1").arg(count(own_exact_count)));
  // Each channel's own R in one colour, one R in another, as in scripts' plots.
  const QColor colour = with_own ? kPlanColour : kOwnColour;
  line_->setColor(colour);
  exact_->setColor(colour);
  exact_->setBorderColor(colour);
  dots_->setColor(colour);
  dots_->setBorderColor(colour);
  for (QXYSeries* series : {static_cast<QXYSeries*>(own_line_), static_cast<QXYSeries*>(own_exact_),
                            static_cast<QXYSeries*>(own_dots_)}) {
    series->setVisible(with_own);
    for (QLegendMarker* marker : chart()->legend()->markers(series)) marker->setVisible(with_own);
  }
  double x_low = view_left, x_high = view_right;
  double y_low = std::min(plan.low, own.low), y_high = std::max(plan.high, own.high);
  // A plan whose channels all lack the figure says so instead of empty axes.
  const bool nothing = plan_ && plan.line.isEmpty() && own.line.isEmpty() && !view_;
  chart()->setTitle(nothing   ? tr("No channel to chart: no channel has this figure "
                                   "(see the table's Fault column)")
                    : !plan_ ? tr("Plan a band to chart its channels.")
                             : QString());
  x_axis_->setVisible(plan_ && !nothing);
  y_axis_->setVisible(plan_ && !nothing);
  // The error limit, both ways, with the count of channels beyond it.
  QList<QPointF> high_line, low_line;
  if (error_limit_ && figure_ == ChartFigure::kErrorHz && x_low <= x_high && !nothing) {
    high_line = {QPointF(x_low, *error_limit_), QPointF(x_high, *error_limit_)};
    low_line = {QPointF(x_low, -*error_limit_), QPointF(x_high, -*error_limit_)};
    y_low = std::min(y_low, -*error_limit_);
    y_high = std::max(y_high, *error_limit_);
    limit_high_->setName(tr("±%1 Hz: %2 over")
                             .arg(locale.toString(*error_limit_, 'g', 9), count(ChannelsOverLimit())));
  }
  limit_high_->replace(high_line);
  limit_low_->replace(low_line);
  limit_high_->setVisible(!high_line.isEmpty());
  limit_low_->setVisible(!low_line.isEmpty());
  for (QLegendMarker* marker : chart()->legend()->markers(limit_high_)) {
    marker->setVisible(!high_line.isEmpty());
  }
  // The lower limit line, the selection and the line's further pieces or
  // dots need no entry of their own.
  std::vector<QAbstractSeries*> unnamed = {selected_mark_, limit_low_, dots_, own_dots_};
  unnamed.insert(unnamed.end(), runs_.begin(), runs_.end());
  unnamed.insert(unnamed.end(), own_runs_.begin(), own_runs_.end());
  for (QAbstractSeries* hidden : unnamed) {
    for (QLegendMarker* marker : chart()->legend()->markers(hidden)) marker->setVisible(false);
  }
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
  ranges_ = {x_low, x_high, y_low, y_high};
  SetTicks();
  const QRectF frame(QPointF(x_low, y_low), QPointF(x_high, y_high));
  DrawRuns(line_, runs_, dots_, Runs(plan), plan.line, frame);
  exact_->replace(Thinned(plan.exact, frame));
  DrawRuns(own_line_, own_runs_, own_dots_, Runs(own), own.line, frame);
  own_exact_->replace(Thinned(own.exact, frame));
  DrawSelected();
}

void PlanChart::DrawRuns(QLineSeries* line, std::vector<QLineSeries*>& pool, QScatterSeries* dots,
                         const std::vector<QList<QPointF>>& runs, const QList<QPointF>& all,
                         const QRectF& frame) {
  // Past this many pieces a line is a comb of short strokes: dots say the
  // same, and a chart with thousands of series would crawl.
  constexpr std::size_t kMostRuns = 200;
  const bool as_dots = runs.size() > kMostRuns;
  line->replace(as_dots || runs.empty() ? QList<QPointF>() : Envelope(runs.front()));
  dots->replace(as_dots ? Thinned(all, frame) : QList<QPointF>());
  const std::size_t pieces = as_dots ? 0 : std::max<std::size_t>(runs.size(), 1) - 1;
  while (pool.size() < pieces) {
    auto* piece = new QLineSeries;
    chart()->addSeries(piece);
    piece->attachAxis(x_axis_);
    piece->attachAxis(y_axis_);
    for (QLegendMarker* marker : chart()->legend()->markers(piece)) marker->setVisible(false);
    pool.push_back(piece);
  }
  for (std::size_t k = 0; k < pool.size(); ++k) {
    pool[k]->setPen(line->pen());
    pool[k]->setVisible(line->isVisible());
    pool[k]->replace(k < pieces ? Envelope(runs[k + 1]) : QList<QPointF>());
  }
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
