#include "plan_table_model.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <string>

#include "column_captions.h"
#include "qt_text.h"
#include "decoded_words.h"
#include "sweep_writer.h"
#include "number_chars.h"

namespace synthfactors::planner {
namespace {

// A text cell's number, where it is one (the RF output, the source).
std::optional<double> NumberOf(std::string_view cell) {
  double value = 0;
  const auto [end, error] = FromChars(cell.data(), cell.data() + cell.size(), value);
  if (error != std::errc() || end != cell.data() + cell.size()) return std::nullopt;
  return value;
}

// A register's text ("1E2" of r_hex, "0x00580005" of a word) read as the
// hexadecimal number it is, so that such columns sort by value: "1E2" is
// 482, not 1 x 10^2.
std::optional<double> HexValue(std::string_view column, std::string_view text) {
  if (!text.starts_with("0x") && !column.ends_with("_hex")) return std::nullopt;
  const std::optional<std::uint32_t> value = formats::ParseWord(text);
  if (!value) return std::nullopt;
  return static_cast<double>(*value);
}

// Errors sort by their size: the channel furthest off comes last.
bool SortedBySize(std::string_view column) { return column == "error_hz" || column == "error_ppb"; }

// The columns whose texts are numbers (the grid's and the source's).
bool NumberText(std::string_view column) { return column == "rf_out" || column == "rf_source"; }

}  // namespace

QString PlanTableModel::Caption(std::string_view column) {
  const std::string caption(runner::CaptionOf(column));
  return QCoreApplication::translate("PlanTable", caption.c_str());
}

QString PlanTableModel::ExactText(std::size_t channel, std::size_t column) const {
  runner::RunResult scratch;
  const std::string text = plan_->CellText(channel, column, scratch);
  const std::string_view name = plan_->columns[column];
  const runner::FieldValue value = plan_->CellValue(channel, column, scratch);
  if (runner::ShownInHex(name) && !text.empty()) {
    const auto* number = std::get_if<double>(&value);
    if (const std::optional<double> whole = number ? std::optional(*number) : NumberOf(text)) {
      return RegisterHex(*whole);
    }
  }
  if (std::holds_alternative<double>(value) || NumberText(name)) {
    return WithDecimalSymbol(text, decimal_symbol_);
  }
  return QString::fromStdString(text);
}

QString PlanTableModel::Reason(std::size_t channel) const {
  if (!plan_ || plan_->HasSetting(channel)) return {};
  auto known = reasons_.find(channel);
  if (known == reasons_.end()) {
    known = reasons_.emplace(channel, QString::fromStdString(plan_->Reason(channel))).first;
  }
  return known->second;
}

QString PlanTableModel::ShownText(std::size_t channel, std::size_t column) const {
  if (plan_->columns[column] == "fault" && !plan_->HasSetting(channel)) {
    const QString fault = ExactText(channel, column), reason = Reason(channel);
    return reason == fault ? fault : tr("%1: %2").arg(fault, reason);
  }
  runner::RunResult scratch;
  const runner::FieldValue value = plan_->CellValue(channel, column, scratch);
  const std::string_view name = plan_->columns[column];
  const auto* number = std::get_if<double>(&value);
  if (runner::ShownInHex(name)) return ExactText(channel, column);
  const runner::FieldKind kind = runner::kResultFields[plan_->column_fields[column]].kind;
  if (number != nullptr && runner::Shortened(kind)) {
    return WithDecimalSymbol(
        runner::NineDigitText(*number, plan_->CellText(channel, column, scratch)), decimal_symbol_);
  }
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? tr("yes") : tr("no");
  return ExactText(channel, column);
}

void PlanTableModel::SetPlan(std::shared_ptr<const PlanOutcome> plan) {
  beginResetModel();
  plan_ = std::move(plan);
  order_.clear();
  row_of_.clear();
  reasons_.clear();
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
    const auto channel = static_cast<std::size_t>(ChannelAt(row));
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (i > 0) text += '\t';
      text += ExactText(channel, static_cast<std::size_t>(columns[i])).toStdString();
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
    case Qt::DisplayRole:
      return ShownText(channel, static_cast<std::size_t>(index.column()));
    case Qt::ToolTipRole:
      if (!plan_->HasSetting(channel)) return Reason(channel);
      return ExactText(channel, static_cast<std::size_t>(index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::BackgroundRole:
      // A channel without a setting stands out, as its Fault column says why.
      if (!plan_->HasSetting(channel)) {
        return QBrush(QColor(255, 228, 225));
      }
      return {};
    default:
      return {};
  }
}

QVariant PlanTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (!plan_) return {};
  if (orientation == Qt::Vertical) return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
  const std::string& column = plan_->columns[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) return Caption(column);
  if (role == Qt::ToolTipRole) return tr("%1 in the exported CSV").arg(Text(column));
  return {};
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
  const std::string_view name = plan_->columns[static_cast<std::size_t>(column)];
  const bool by_size = SortedBySize(name);
  for (std::size_t i = 0; i < count; ++i) {
    const runner::FieldValue value = plan_->CellValue(i, static_cast<std::size_t>(column), scratch);
    if (const auto* number = std::get_if<double>(&value)) {
      numbers[i] = by_size ? std::fabs(*number) : *number;
      continue;
    }
    texts[i] = formats::FieldText(runner::FieldKind::kText, value);
    empty[i] = texts[i].empty() ? 1 : 0;
    const std::string_view text = texts[i];
    if (const std::optional<double> hex = HexValue(name, text)) {
      numbers[i] = hex;
      continue;
    }
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
