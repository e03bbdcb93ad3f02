// The plan drawn against RF output: one figure at a time (output error,
// comparison frequency, in-band phase noise with a figure of merit, or the
// integer-boundary spur's offset on a fractional-N chip, with the spur-clear
// limit as a line, or with a loop filter the rms jitter or the phase margin), one
// point per channel (beyond 200,000 channels, each slice's extremes), the
// exact channels marked and the selected channel highlighted. With one R, each channel's own R is drawn beside it for
// comparison.
#pragma once

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "plan_run.h"

class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace synthfactors::planner {

enum class ChartFigure { kErrorHz, kComparisonKHz, kPhaseNoise, kSpurOffset, kJitter, kPhaseMargin };

struct ChartFigureEntry {
  ChartFigure figure;
  const char* caption;     // in the chooser
  const char* axis_title;  // on the value axis
  const char* unit;        // in the read-out
  std::vector<double> ChartColumns::*column;
};

inline const std::array<ChartFigureEntry, 6> kChartFigures = {{
    {ChartFigure::kErrorHz, QT_TRANSLATE_NOOP("PlanChart", "Output error"),
     QT_TRANSLATE_NOOP("PlanChart", "error (Hz)"), "Hz", &ChartColumns::error_hz},
    {ChartFigure::kComparisonKHz, QT_TRANSLATE_NOOP("PlanChart", "Comparison frequency"),
     QT_TRANSLATE_NOOP("PlanChart", "comparison (kHz)"), "kHz", &ChartColumns::comparison_khz},
    {ChartFigure::kPhaseNoise, QT_TRANSLATE_NOOP("PlanChart", "In-band phase noise"),
     QT_TRANSLATE_NOOP("PlanChart", "noise (dBc/Hz)"), "dBc/Hz", &ChartColumns::phase_noise},
    {ChartFigure::kSpurOffset, QT_TRANSLATE_NOOP("PlanChart", "Integer-boundary spur"),
     QT_TRANSLATE_NOOP("PlanChart", "spur offset (kHz)"), "kHz", &ChartColumns::spur_khz},
    {ChartFigure::kJitter, QT_TRANSLATE_NOOP("PlanChart", "Jitter"),
     QT_TRANSLATE_NOOP("PlanChart", "rms jitter (fs)"), "fs", &ChartColumns::jitter_fs},
    {ChartFigure::kPhaseMargin, QT_TRANSLATE_NOOP("PlanChart", "Phase margin"),
     QT_TRANSLATE_NOOP("PlanChart", "phase margin (°)"), "°", &ChartColumns::phase_margin},
}};

class PlanChart : public QChartView {
  Q_OBJECT

 public:
  explicit PlanChart(QWidget* parent = nullptr);

  void SetPlan(std::shared_ptr<const PlanOutcome> plan);
  void SetFigure(ChartFigure figure);
  // The channel to highlight; -1 for none.
  void SetSelected(std::int64_t channel);
  // The error limit drawn both ways on the error figure, with the count of
  // channels beyond it in the legend; none: no line.
  void SetErrorLimit(std::optional<double> hz);
  std::int64_t ChannelsOverLimit() const;

  // The band's part shown, MHz (the whole band unless zoomed); zooming
  // draws the channels shown more finely.
  std::pair<double, double> Shown() const;
  void ShowRange(double left, double right);
  void ZoomAt(double x, double factor);
  void ResetZoom();

  // The channel nearest an RF output; its read-out ("10368.025 MHz:
  // output error 78.3699052 Hz").
  std::int64_t ChannelNear(double mhz) const;
  QString ReadoutOf(std::int64_t channel) const;
  // Whether a plan is shown without a channel that has the figure.
  bool NothingToChart() const;

  // For tests: the points of the plan's line, and its marks of exact
  // channels (one each, up to 2000 of them).
  qsizetype PlanPointCount() const;
  qsizetype ExactPointCount() const;
  // The pieces the plan's line is drawn in: one, and one more after each
  // run of channels without the figure (0 where they are drawn as dots).
  qsizetype PlanRunCount() const;
  // The frequency axis's ticks as drawn.
  int XTickCount() const;

 signals:
  // A click on the chart, at the channel nearest to it.
  void channelClicked(std::int64_t channel);
  // The read-out of the channel under the pointer.
  void hovered(const QString& readout);

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // With the keyboard's focus, a frame in the highlight colour says so.
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Redraw();
  void DrawSelected();
  void SetTicks();
  void DrawRuns(QLineSeries* line, std::vector<QLineSeries*>& pool, QScatterSeries* dots,
                const std::vector<QList<QPointF>>& runs, const QList<QPointF>& all,
                const QRectF& frame);
  std::pair<double, double> Band() const;
  double ValueX(const QPointF& position) const;

  std::shared_ptr<const PlanOutcome> plan_;
  ChartFigure figure_ = ChartFigure::kErrorHz;
  std::int64_t selected_ = -1;
  QLineSeries* line_;
  QScatterSeries* exact_;
  QLineSeries* own_line_;
  QScatterSeries* own_exact_;
  QScatterSeries* selected_mark_;
  // The line's pieces after its first, made as breaks ask for them, and its
  // channels as dots where it has too many pieces to draw.
  std::vector<QLineSeries*> runs_, own_runs_;
  QScatterSeries* dots_;
  QScatterSeries* own_dots_;
  QLineSeries* spur_clear_;  // the --spur-clear limit, on the spur figure
  QLineSeries* limit_high_;  // the error limit, + and -
  QLineSeries* limit_low_;
  std::optional<double> error_limit_;
  std::optional<std::pair<double, double>> view_;  // zoomed: the part shown
  QPointF pressed_at_, dragged_from_;
  bool dragging_ = false;
  std::array<double, 4> ranges_ = {0, 1, 0, 1};  // x low, high; y low, high
  QValueAxis* x_axis_;
  QValueAxis* y_axis_;
};

}  // namespace synthfactors::planner
