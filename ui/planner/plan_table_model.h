// The plan as a table: one row per channel, the command line's sweep
// columns under captions in words with their units ("Error (Hz)"). A cell
// shows its figure with the locale's decimal symbol, long figures to nine
// significant digits; its tooltip and a copy hold the exact shortest text
// (with the locale's decimal symbol), the export the command line's bytes.
// A channel without a setting is shaded, its Fault column saying why.
// Sortable by any column: numbers by value, errors by their size, empty
// cells last. The rows are the plan's own; sorting keeps an order of them.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "plan_run.h"

namespace synthfactors::planner {

class PlanTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  // The decimal symbol figures are shown and copied with ("." or ",").
  void SetDecimalSymbol(const QString& symbol) { decimal_symbol_ = symbol; }

  // Shows `plan` in channel order; null shows nothing.
  void SetPlan(std::shared_ptr<const PlanOutcome> plan);
  const PlanOutcome* Plan() const { return plan_.get(); }

  // The channel shown in `row`.
  std::int64_t ChannelAt(int row) const;
  // The row that shows `channel`.
  int RowOf(std::int64_t channel) const;
  // The cells of the rows and columns given (in view order), tab-separated
  // lines of their exact texts.
  QString TabSeparated(const std::vector<int>& rows, const std::vector<int>& columns) const;

  // A cell's exact text with the decimal symbol; and as shown.
  QString ExactText(std::size_t channel, std::size_t column) const;
  QString ShownText(std::size_t channel, std::size_t column) const;

  // Why a channel has no setting (empty when it has one), as its row shows
  // it: in its Fault column and as the tooltip of each of its cells.
  QString Reason(std::size_t channel) const;

  // The caption over a sweep column ("Error (Hz)"); the column's name
  // where it has none.
  static QString Caption(std::string_view column);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  std::shared_ptr<const PlanOutcome> plan_;
  QString decimal_symbol_ = QStringLiteral(".");
  std::vector<std::int32_t> order_;  // row -> channel; empty: channel order
  std::vector<std::int32_t> row_of_;  // channel -> row, with an order
  // The reasons of the channels without a setting shown so far.
  mutable std::unordered_map<std::size_t, QString> reasons_;
};

}  // namespace synthfactors::planner
