// The plan drawn against RF output: one figure at a time (output error,
// comparison frequency, in-band phase noise with a figure of merit, or the
// integer-boundary spur's offset on a fractional-N chip, with the spur-clear
// limit as a line), one
// point per channel (beyond 200,000 channels, each slice's extremes), the
// exact channels marked and the selected channel highlighted. With one R, each channel's own R is drawn beside it for
// comparison.
#pragma once

#include <QChartView>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "plan_run.h"

class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace synthfactors::planner {

enum class ChartFigure { kErrorHz, kComparisonKHz, kPhaseNoise, kSpurOffset };

struct ChartFigureEntry {
  ChartFigure figure;
  const char* caption;     // in the chooser
  const char* axis_title;  // on the value axis
  std::vector<double> ChartColumns::*column;
};

inline const std::array<ChartFigureEntry, 4> kChartFigures = {{
    {ChartFigure::kErrorHz, "Output error", "error (Hz)", &ChartColumns::error_hz},
    {ChartFigure::kComparisonKHz, "Comparison frequency", "comparison (kHz)",
     &ChartColumns::comparison_khz},
    {ChartFigure::kPhaseNoise, "In-band phase noise", "noise (dBc/Hz)",
     &ChartColumns::phase_noise},
    {ChartFigure::kSpurOffset, "Integer-boundary spur", "spur offset (kHz)",
     &ChartColumns::spur_khz},
}};

class PlanChart : public QChartView {
  Q_OBJECT

 public:
  explicit PlanChart(QWidget* parent = nullptr);

  void SetPlan(std::shared_ptr<const PlanOutcome> plan);
  void SetFigure(ChartFigure figure);
  // The channel to highlight; -1 for none.
  void SetSelected(std::int64_t channel);

  // For tests: the points of the plan's line, and its marks of exact
  // channels (one each, up to 2000 of them).
  qsizetype PlanPointCount() const;
  qsizetype ExactPointCount() const;

 private:
  void Redraw();
  void DrawSelected();

  std::shared_ptr<const PlanOutcome> plan_;
  ChartFigure figure_ = ChartFigure::kErrorHz;
  std::int64_t selected_ = -1;
  QLineSeries* line_;
  QScatterSeries* exact_;
  QLineSeries* own_line_;
  QScatterSeries* own_exact_;
  QScatterSeries* selected_mark_;
  QLineSeries* spur_clear_;  // the --spur-clear limit, on the spur figure
  QValueAxis* x_axis_;
  QValueAxis* y_axis_;
};

}  // namespace synthfactors::planner
