// The plan as a table: one row per channel, the command line's sweep
// columns, each cell formatted from the numbers the plan keeps exactly as
// the CSV writes it; sortable by any column (numbers by value, empty cells
// last). The rows are the plan's own; sorting keeps an order of them.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "plan_run.h"

namespace synthfactors::planner {

class PlanTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // Shows `plan` in channel order; null shows nothing.
  void SetPlan(std::shared_ptr<const PlanOutcome> plan);
  const PlanOutcome* Plan() const { return plan_.get(); }

  // The channel shown in `row`.
  std::int64_t ChannelAt(int row) const;
  // The row that shows `channel`.
  int RowOf(std::int64_t channel) const;
  // The cells of the rows and columns given (in view order), tab-separated
  // lines.
  QString TabSeparated(const std::vector<int>& rows, const std::vector<int>& columns) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  std::shared_ptr<const PlanOutcome> plan_;
  std::vector<std::int32_t> order_;  // row -> channel; empty: channel order
  std::vector<std::int32_t> row_of_;  // channel -> row, with an order
};

}  // namespace synthfactors::planner
