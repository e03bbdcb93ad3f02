#include "plan_table_model.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string>

#include "qt_text.h"

namespace synthfactors::planner {
namespace {

// A cell's value for sorting: its number, where it is one.
std::optional<double> NumberOf(std::string_view cell) {
  double value = 0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (error != std::errc() || end != cell.data() + cell.size()) return std::nullopt;
  return value;
}

}  // namespace

void PlanTableModel::SetPlan(std::shared_ptr<const PlanOutcome> plan) {
  beginResetModel();
  plan_ = std::move(plan);
  order_.clear();
  row_of_.clear();
  fault_column_ = -1;
  if (plan_) {
    const auto fault = std::find(plan_->columns.begin(), plan_->columns.end(), "fault");
    if (fault != plan_->columns.end()) fault_column_ = int(fault - plan_->columns.begin());
  }
  endResetModel();
}

std::int64_t PlanTableModel::ChannelAt(int row) const {
  return order_.empty() ? row : order_[static_cast<std::size_t>(row)];
}

int PlanTableModel::RowOf(std::int64_t channel) const {
  return row_of_.empty() ? int(channel) : row_of_[static_cast<std::size_t>(channel)];
}

QString PlanTableModel::TabSeparated(const std::vector<int>& rows,
                                     const std::vector<int>& columns) const {
  std::string text;
  for (const int row : rows) {
    const std::string& cells = plan_->rows[static_cast<std::size_t>(ChannelAt(row))];
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += '\t';
      text += RowCell(cells, static_cast<std::size_t>(columns[i]));
    }
    text += '\n';
  }
  return QString::fromStdString(text);
}

int PlanTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !plan_ ? 0 : int(plan_->rows.size());
}

int PlanTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !plan_ ? 0 : int(plan_->columns.size());
}

QVariant PlanTableModel::data(const QModelIndex& index, int role) const {
  if (!plan_ || !index.isValid()) return {};
  const std::string& row = plan_->rows[static_cast<std::size_t>(ChannelAt(index.row()))];
  switch (role) {
    case Qt::DisplayRole:
      return Text(RowCell(row, static_cast<std::size_t>(index.column())));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      // A channel with a fault stands out, as its fault column says why.
      if (fault_column_ >= 0 && !RowCell(row, std::size_t(fault_column_)).empty()) {
        return QBrush(QColor(255, 228, 225));
      }
      return {};
    default:
      return {};
  }
}

QVariant PlanTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || !plan_) return {};
  if (orientation == Qt::Vertical) return section + 1;
  return QString::fromStdString(plan_->columns[static_cast<std::size_t>(section)]);
}

void PlanTableModel::sort(int column, Qt::SortOrder order) {
  if (!plan_ || column < 0) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::int64_t> channels_before;
  for (const QModelIndex& index : before) channels_before.push_back(ChannelAt(index.row()));

  const std::size_t count = plan_->rows.size();
  std::vector<std::optional<double>> numbers(count);
  std::vector<std::string_view> texts(count);
  for (std::size_t i = 0; i < count; ++i) {
    texts[i] = RowCell(plan_->rows[i], static_cast<std::size_t>(column));
    numbers[i] = NumberOf(texts[i]);
  }
  order_.resize(count);
  std::iota(order_.begin(), order_.end(), 0);
  const bool descending = order == Qt::DescendingOrder;
  // Numbers before texts, empty cells last, whichever the direction.
  std::stable_sort(order_.begin(), order_.end(), [&](std::int32_t a, std::int32_t b) {
    const bool a_empty = texts[a].empty(), b_empty = texts[b].empty();
    if (a_empty || b_empty) return !a_empty && b_empty;
    if (numbers[a].has_value() != numbers[b].has_value()) return numbers[a].has_value();
    if (numbers[a]) return descending ? *numbers[b] < *numbers[a] : *numbers[a] < *numbers[b];
    return descending ? texts[b] < texts[a] : texts[a] < texts[b];
  });
  row_of_.resize(count);
  for (std::size_t row = 0; row < count; ++row) row_of_[std::size_t(order_[row])] = int(row);

  QModelIndexList after;
  for (std::size_t i = 0; i < static_cast<std::size_t>(before.size()); ++i) {
    after.push_back(index(RowOf(channels_before[i]), before[int(i)].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace synthfactors::planner
