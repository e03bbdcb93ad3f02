// The planner's results: the plan as a table, the chart under it (with
// the figure it draws, an error limit and the read-out of the channel under
// the pointer) and the selected channel's alternatives under that.
#pragma once

#include <QSplitter>
#include <QString>

#include <memory>
#include <string>

#include "plan_run.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QTableView;

namespace synthfactors::planner {

class AlternativesPanel;
class NoisePanel;
class PlanChart;
class PlanTableModel;

class PlanResults : public QSplitter {
  Q_OBJECT

 public:
  explicit PlanResults(std::string decimal_symbol, QWidget* parent = nullptr);

  // Shows a plan (none: nothing), the table unsorted and no channel chosen.
  void SetPlan(std::shared_ptr<const PlanOutcome> plan);
  // The selected cells as tab-separated text, for the clipboard.
  void CopySelection();
  // Shows or hides a column (as the header's menu does); the columns
  // hidden are remembered by name for the plans after, and the next start.
  void SetColumnShown(int column, bool shown);
  // The table's menu (the keyboard's Menu key opens it too): sorting by
  // the current column either way, the columns shown, copy. The caller
  // owns it.
  QMenu* TableMenu();

  QTableView* TableView() const { return table_; }
  PlanTableModel* TableModel() const { return model_; }
  PlanChart* Chart() const { return chart_; }
  QComboBox* ChartFigureChoice() const { return figure_; }
  QLineEdit* ErrorLimit() const { return error_limit_; }
  QLabel* Readout() const { return readout_; }
  AlternativesPanel* Alternatives() const { return alternatives_; }
  NoisePanel* Noise() const { return noise_; }
  QTabWidget* ChartPages() const { return pages_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildChartPanel();
  void ChooseColumns(const QPoint& at);
  void ShowAlternatives();
  void SetErrorLimit(const QString& text);

  std::string decimal_symbol_;
  std::shared_ptr<const PlanOutcome> plan_;
  QTableView* table_ = nullptr;
  PlanTableModel* model_ = nullptr;
  PlanChart* chart_ = nullptr;
  QComboBox* figure_ = nullptr;
  QLineEdit* error_limit_ = nullptr;
  QLabel* readout_ = nullptr;
  AlternativesPanel* alternatives_ = nullptr;
  NoisePanel* noise_ = nullptr;
  QTabWidget* pages_ = nullptr;
};

}  // namespace synthfactors::planner
