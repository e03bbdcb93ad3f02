// The planner's window: the inputs in one column (PlanFormPanel); the plan
// as a table, a chart under it and the selected channel's alternatives
// under that (PlanResults). Plans and exports run on a worker
// (PlanWorker, PlanExporter) while the window stays usable, with a
// progress bar and a Cancel button (Escape); the plan shown stays until a
// new one is complete. Designs (the inputs) are saved to and opened from
// files (DesignFiles); a menu bar and shortcuts reach every action. The
// window wires these together and keeps the status line.
#pragma once

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>

#include "plan_form.h"
#include "plan_form_panel.h"
#include "plan_results.h"
#include "plan_run.h"
#include "plan_worker.h"
#include "sweep_writer.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;

namespace synthfactors::planner {

class DesignFiles;
class PlanExporter;

class PlannerWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit PlannerWindow(QWidget* parent = nullptr);
  ~PlannerWindow() override;

  // What the buttons do, for tests and the benchmark as well.
  void Plan();
  void Cancel() { worker_->Cancel(); }
  void ExportTo(const QString& path, formats::SweepFormat format);
  // File ▸ Export chart… to `path`, without asking.
  void ExportChartTo(const QString& path);
  bool OpenProfile(const QString& path) { return form_->OpenProfile(path); }
  bool SaveDesign(const QString& path);
  bool OpenDesign(const QString& path);
  // File ▸ Save design (Ctrl+S): to the design's own file where it has
  // one, else asked for as Save design as… does.
  void SaveDesignShortcut();
  QMenu* RecentMenu() const { return recent_menu_; }
  QString ExportName(formats::SweepFormat format) const;

  bool Busy() const { return worker_->Busy(); }
  QString Status() const;
  PlanFormPanel* Form() const { return form_; }
  QString FaultOf(FormBox box) const { return form_->FaultOf(box); }
  QLineEdit* Box(FormBox box) const { return form_->Box(box); }
  QComboBox* ChipChoice() const { return form_->ChipChoice(); }
  QComboBox* PrescalerChoice() const { return form_->PrescalerChoice(); }
  QCheckBox* OneR() const { return form_->OneR(); }
  QComboBox* FeedbackChoice() const { return form_->FeedbackChoice(); }
  QCheckBox* RegisterWords() const { return form_->RegisterWords(); }
  QTableView* TableView() const { return results_->TableView(); }
  PlanTableModel* TableModel() const { return results_->TableModel(); }
  PlanChart* Chart() const { return results_->Chart(); }
  QComboBox* ChartFigureChoice() const { return results_->ChartFigureChoice(); }
  QLineEdit* ErrorLimit() const { return results_->ErrorLimit(); }
  QLabel* Readout() const { return results_->Readout(); }
  AlternativesPanel* Alternatives() const { return results_->Alternatives(); }
  NoisePanel* Noise() const { return results_->Noise(); }
  PlanResults* Results() const { return results_; }
  QProgressBar* ProgressBar() const { return progress_; }
  QAction* PlanAction() const { return plan_action_; }
  QAction* CancelAction() const { return cancel_action_; }

 protected:
  // With changes to the design's inputs not saved, asks first: save,
  // discard or stay.
  void closeEvent(QCloseEvent* event) override;

 signals:
  // A plan or an export has ended: done, cancelled or failed.
  void workEnded();

 private:
  QWidget* BuildInputColumn();
  QLayout* BuildStatusRow();
  void BuildMenus();
  void Connect();
  void FitToScreen();

  void InputChanged();
  void SetStatus(const QString& text, bool fault = false);
  // The buttons, actions and progress bar while work runs, and after.
  void SetWorking(bool working);
  void Progress(std::int64_t done, std::int64_t total, const QString& unit);
  void Ended(const PlanWorker::Shown& show);
  void ShowPlan(std::shared_ptr<const PlanOutcome> plan);
  QString Channels(std::int64_t count) const;
  QString NoSettingSummary(std::int64_t without, std::size_t first) const;
  static void ReturnFreedMemory();

  std::string decimal_symbol_;
  PlanFormPanel* form_ = nullptr;
  PlanResults* results_ = nullptr;
  PlanWorker* worker_ = nullptr;
  PlanExporter* exporter_ = nullptr;
  DesignFiles* designs_ = nullptr;
  QPushButton* plan_button_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
  QPushButton* export_button_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QAction* plan_action_ = nullptr;
  QAction* cancel_action_ = nullptr;
  QAction* export_action_ = nullptr;
  QAction* export_chart_action_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  std::shared_ptr<const PlanOutcome> plan_;
};

}  // namespace synthfactors::planner
