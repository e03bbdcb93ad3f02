#include "plan_table_model.h"

#include <QBrush>
#include <QColor>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string>

#include "qt_text.h"
#include "sweep_writer.h"

namespace synthfactors::planner {
namespace {

// A text cell's number, where it is one (the RF output, the source).
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
  runner::RunResult scratch;
  for (const int row : rows) {
    const auto channel = static_cast<std::size_t>(ChannelAt(row));
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += '\t';
      text += plan_->CellText(channel, static_cast<std::size_t>(columns[i]), scratch);
    }
    text += '\n';
  }
  return QString::fromStdString(text);
}

int PlanTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || !plan_ ? 0 : int(plan_->ChannelCount());
}

int PlanTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || !plan_ ? 0 : int(plan_->columns.size());
}

QVariant PlanTableModel::data(const QModelIndex& index, int role) const {
  if (!plan_ || !index.isValid()) return {};
  const auto channel = static_cast<std::size_t>(ChannelAt(index.row()));
  switch (role) {
    case Qt::DisplayRole: {
      runner::RunResult scratch;
      return Text(plan_->CellText(channel, static_cast<std::size_t>(index.column()), scratch));
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      // A channel with a fault stands out, as its fault column says why.
      if (plan_->channels[channel].fault) {
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

  // Sorted by the values the plan keeps: numbers by value, flags and texts
  // as they read.
  const std::size_t count = plan_->ChannelCount();
  std::vector<std::optional<double>> numbers(count);
  std::vector<std::string> texts(count);
  std::vector<std::uint8_t> empty(count, 0);
  runner::RunResult scratch;
  for (std::size_t i = 0; i < count; ++i) {
    const runner::FieldValue value = plan_->CellValue(i, static_cast<std::size_t>(column), scratch);
    if (const auto* number = std::get_if<double>(&value)) {
      numbers[i] = *number;
      continue;
    }
    texts[i] = formats::FieldText(runner::FieldKind::kText, value);
    empty[i] = texts[i].empty() ? 1 : 0;
    const std::string_view text = texts[i];
    const auto first = text.find_first_not_of(' ');
    if (first != std::string_view::npos) numbers[i] = NumberOf(text.substr(first));
  }
  order_.resize(count);
  std::iota(order_.begin(), order_.end(), 0);
  const bool descending = order == Qt::DescendingOrder;
  // Numbers before texts, empty cells last, whichever the direction.
  std::stable_sort(order_.begin(), order_.end(), [&](std::int32_t a, std::int32_t b) {
    const bool a_empty = empty[a] != 0, b_empty = empty[b] != 0;
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
