// The selected channel's loop: its filter's parts, bandwidth, phase margin
// and jitter in a line, and its phase noise at the RF output drawn against
// the offset (a log axis), each source and the total, with the jitter band
// shaded. Worked out on a worker thread with the plan's own filter, so the
// figures are the table's.
#pragma once

#include <QChartView>
#include <QFutureWatcher>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "plan_run.h"

class QLabel;

namespace synthfactors::planner {

class NoisePanel : public QWidget {
  Q_OBJECT

 public:
  explicit NoisePanel(std::string decimal_symbol, QWidget* parent = nullptr);
  ~NoisePanel() override;

  void Clear();
  // Draws the loop noise of `channel` of `plan`; `drawn()` follows.
  void Show(std::shared_ptr<const PlanOutcome> plan, std::int64_t channel);

  QLabel* Title() const { return title_; }
  QLabel* Parts() const { return parts_; }
  QChartView* Chart() const { return view_; }
  // The curves drawn, by name ("total", "PLL", ...), for tests.
  QStringList CurveNames() const;

 signals:
  void drawn();

 private:
  void Draw(const runner::RunResult& result);

  std::string decimal_symbol_;
  QLabel* title_;
  QLabel* parts_;
  QChartView* view_;
  QFutureWatcher<runner::RunResult> watcher_;
  std::uint64_t asked_ = 0;
};

}  // namespace synthfactors::planner
