// The planner's Export: the plan shown written to a file the user chooses,
// as CSV or JSON Lines (plan_export.h), on the planner's worker.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include "plan_run.h"
#include "sweep_writer.h"

class QWidget;

namespace synthfactors::planner {

class PlanChart;
class PlanWorker;

class PlanExporter : public QObject {
  Q_OBJECT

 public:
  PlanExporter(PlanWorker* worker, std::string decimal_symbol, QWidget* window);

  // The plan an export writes; none: nothing to export.
  void SetPlan(std::shared_ptr<const PlanOutcome> plan) { plan_ = std::move(plan); }

  // The file name proposed: "plan-10368-10370.csv".
  QString Name(formats::SweepFormat format) const;
  // Asks where, then exports there.
  void Ask();
  // Exports to `path` on the worker (nothing while it is busy).
  void To(const QString& path, formats::SweepFormat format);
  // Asks where, then writes the chart there as a PNG image.
  void AskChart(PlanChart* chart);
  // Writes `chart` to `path` as a PNG image (replacing a file only once the
  // whole image is written); the status says where, or why not.
  void ChartTo(const QString& path, PlanChart* chart);

 signals:
  void status(const QString& text, bool fault);
  // The export has begun on the worker.
  void started();

 private:
  QString Band() const;

  PlanWorker* worker_;
  std::string decimal_symbol_;
  QWidget* window_;
  std::shared_ptr<const PlanOutcome> plan_;
  QString folder_;  // where the last export went
};

}  // namespace synthfactors::planner
