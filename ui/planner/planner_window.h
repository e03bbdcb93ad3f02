// The planner's window: the inputs in one column; the plan as a table, a
// chart under it and the selected channel's alternatives under that. Plans
// and exports run on the runner's workers while the window stays usable,
// with a progress bar and a Cancel button (Escape); the plan shown stays
// until a new one is complete. Designs (the inputs) are saved to and
// opened from files; a menu bar and shortcuts reach every action.
#pragma once

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "design_file.h"
#include "plan_form.h"
#include "plan_run.h"
#include "sweep_writer.h"
#include "work_control.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QGroupBox;
class QMenu;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace synthfactors::planner {

class AlternativesPanel;
class PlanChart;
class PlanTableModel;

class PlannerWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit PlannerWindow(QWidget* parent = nullptr);
  ~PlannerWindow() override;

  // What the buttons do, for tests and the benchmark as well.
  void Plan();
  void Cancel();
  void ExportTo(const QString& path, formats::SweepFormat format);
  // Chooses the chip profile in the file `path` (listed under its name);
  // false, with the chip box marked and the chip as it was, when it cannot.
  bool OpenProfile(const QString& path);
  // Saves the inputs as a design; false, with the reason in the status (or
  // the boxes marked), when it cannot.
  bool SaveDesign(const QString& path);
  // Opens a design and plans it; false, with the reason in the status and
  // every input as it was, when the file is no design.
  bool OpenDesign(const QString& path);
  // The export's proposed file name: "plan-10368-10370.csv".
  QString ExportName(formats::SweepFormat format) const;

  bool Busy() const { return worker_.joinable(); }
  QString Status() const;
  QString FaultOf(FormBox box) const;
  QLineEdit* Box(FormBox box) const;
  QComboBox* ChipChoice() const { return chip_; }
  QComboBox* PrescalerChoice() const { return prescaler_; }
  QCheckBox* OneR() const { return one_r_; }
  QComboBox* FeedbackChoice() const { return feedback_; }
  QCheckBox* RegisterWords() const { return registers_; }
  QTableView* TableView() const { return table_; }
  PlanTableModel* TableModel() const { return model_; }
  PlanChart* Chart() const { return chart_; }
  QComboBox* ChartFigureChoice() const { return figure_; }
  QLineEdit* ErrorLimit() const { return error_limit_; }
  QLabel* Readout() const { return readout_; }
  AlternativesPanel* Alternatives() const { return alternatives_; }
  QProgressBar* ProgressBar() const { return progress_; }
  QAction* PlanAction() const { return plan_action_; }
  QAction* CancelAction() const { return cancel_action_; }

 signals:
  // A plan or an export has ended: done, cancelled or failed.
  void workEnded();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildInputs();
  QGroupBox* BuildBandGroup();
  QGroupBox* BuildSynthesiserGroup();
  QGroupBox* BuildCountersGroup();
  QGroupBox* BuildNoiseGroup();
  QGroupBox* BuildFractionalGroup();
  QGroupBox* BoxGroup(const QString& title, std::initializer_list<FormBox> boxes);
  QLineEdit* NewBox(FormBox box);
  void AddBox(QFormLayout* form, FormBox box);
  void AddFaultRow(QFormLayout* form, const QString& input_name, FormBox box);
  void AddRow(QFormLayout* form, const QString& caption, QWidget* input, FormBox box);
  void AddRangeRow(QFormLayout* form, const QString& caption, FormBox first, FormBox last);
  QWidget* BuildResults();
  void BuildMenus();
  void Connect();
  void FitToScreen();

  void ChooseChip(int index);
  bool SetChip(int index);
  void ChoosePrescaler();
  void FillRanges(bool r_too);
  void InputChanged(FormBox box);
  QWidget* InputOf(FormBox box) const;
  void ShowFault(FormBox box, const QString& reason);
  void HideFault(FormBox box);
  void SetFaultShown(FormBox box, bool shown);
  void ClearFaults();
  void SetStatus(const QString& text, bool fault = false);

  // Runs `work` on a thread of its own, watched by a new control; what it
  // returns is called on the window's thread when it ends (Ended).
  void Start(std::function<std::function<void()>(runner::WorkControl*)> work);
  void Progress(std::uint64_t run, std::int64_t done, std::int64_t total, const QString& unit);
  void Ended(std::uint64_t run, const std::function<void()>& show);
  void ShowPlan(std::shared_ptr<const PlanOutcome> plan);
  void ShowAlternatives();
  void CopySelection();
  void AskExport();
  void AskSaveDesign();
  void AskOpenDesign();
  void RememberDesign(const QString& path);
  void FillRecentDesigns();
  void ApplyDesign(const formats::Design& design);
  QString Channels(std::int64_t count) const;
  std::variant<PlanRequest, std::vector<BoxFault>> ReadForm() const;
  // Marks the boxes at fault with `what` ("Nothing planned") in the status;
  // false when none is.
  bool MarkFaults(const std::variant<PlanRequest, std::vector<BoxFault>>& read, const QString& what);

  std::array<QLineEdit*, kFormBoxCount> boxes_{};
  std::array<QLabel*, kFormBoxCount> faults_{};
  QComboBox* chip_ = nullptr;
  QComboBox* prescaler_ = nullptr;
  QCheckBox* one_r_ = nullptr;
  QComboBox* feedback_ = nullptr;
  QCheckBox* registers_ = nullptr;
  QPushButton* plan_button_ = nullptr;
  QPushButton* cancel_button_ = nullptr;
  QPushButton* export_button_ = nullptr;
  QTableView* table_ = nullptr;
  PlanTableModel* model_ = nullptr;
  PlanChart* chart_ = nullptr;
  QComboBox* figure_ = nullptr;
  QLineEdit* error_limit_ = nullptr;
  QLabel* readout_ = nullptr;
  AlternativesPanel* alternatives_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QAction* plan_action_ = nullptr;
  QAction* cancel_action_ = nullptr;
  QAction* export_action_ = nullptr;
  QMenu* recent_menu_ = nullptr;
  QString export_folder_;  // where the last export went

  std::string decimal_symbol_;
  int chip_index_ = 0;  // the chip chosen before "Open profile…"
  std::shared_ptr<const runner::ChipProfile> chip_profile_;
  std::shared_ptr<const PlanOutcome> plan_;

  std::thread worker_;
  std::shared_ptr<runner::WorkControl> control_;
  std::uint64_t run_ = 0;  // counts the runs started; a late message of an earlier one is dropped
};

}  // namespace synthfactors::planner
