#include "alternatives_panel.h"

#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <set>
#include <sstream>
#include <vector>

#include "column_captions.h"
#include "number_text.h"
#include "plan_table_model.h"
#include "plain_text.h"
#include "plan_options.h"
#include "qt_text.h"
#include "result_fields.h"
#include "sweep.h"
#include "sweep_writer.h"

namespace synthfactors::planner {
namespace {

// A cell's exact text (a copy holds it, its tooltip shows it) and the text
// shown: long figures to nine digits, flags in words, B and A in hex.
QString ExactCellText(const runner::AlternativeField& field, const runner::Alternative& alternative,
                      std::string_view symbol) {
  const runner::FieldValue value = field.read(alternative);
  const auto* number = std::get_if<double>(&value);
  if (number != nullptr && runner::ShownInHex(field.name)) return RegisterHex(*number);
  const std::string text = formats::FieldText(field.kind, value);
  return number != nullptr ? WithDecimalSymbol(text, Text(symbol)) : Text(text);
}

QString ShownCellText(const runner::AlternativeField& field, const runner::Alternative& alternative,
                      std::string_view symbol) {
  const runner::FieldValue value = field.read(alternative);
  const auto* number = std::get_if<double>(&value);
  if (number != nullptr && runner::Shortened(field.kind)) {
    return WithDecimalSymbol(
        runner::NineDigitText(*number, formats::FieldText(field.kind, value)), Text(symbol));
  }
  if (const auto* flag = std::get_if<bool>(&value)) {
    return *flag ? AlternativesPanel::tr("yes") : AlternativesPanel::tr("no");
  }
  return ExactCellText(field, alternative, symbol);
}

}  // namespace

AlternativesPanel::AlternativesPanel(std::string decimal_symbol, QWidget* parent)
    : QWidget(parent),
      decimal_symbol_(std::move(decimal_symbol)),
      title_(new QLabel),
      table_(new QTableWidget) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  // A long title wraps and never widens the window.
  title_->setWordWrap(true);
  title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  title_->setObjectName(QStringLiteral("alternatives_title"));
  table_->setObjectName(QStringLiteral("alternatives"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->setToolTip(tr("Enter or double-click an alternative for its full report"));
  table_->installEventFilter(this);
  layout->addWidget(title_);
  layout->addWidget(table_, 1);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ShowReport(row); });
  connect(&watcher_, &QFutureWatcher<runner::RunResult>::finished, this, [this] {
    if (watcher_.property("asked").toULongLong() != asked_) return;  // a later one is coming
    listed_ = watcher_.result();
    Fill(*listed_);
    emit listed();
  });
  Clear();
}

AlternativesPanel::~AlternativesPanel() { watcher_.waitForFinished(); }

bool AlternativesPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy)) {
      QGuiApplication::clipboard()->setText(SelectedText());
      return true;
    }
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && table_->currentRow() >= 0) {
      ShowReport(table_->currentRow());
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void AlternativesPanel::Clear() {
  ++asked_;
  table_->clear();
  table_->setRowCount(0);
  table_->setColumnCount(0);
  listed_.reset();
  title_->setText(tr("Select a channel to list its alternatives."));
}

void AlternativesPanel::Show(std::shared_ptr<const PlanOutcome> plan, std::int64_t channel) {
  Clear();
  const QString rf = WithDecimalSymbol(plan->request.range.PointText(channel), Text(decimal_symbol_));
  title_->setText(tr("Listing the alternatives for %1 MHz…").arg(rf));
  const std::uint64_t asked = asked_;
  // The run holds its own copy of what it needs: the plan may be replaced
  // while it works.
  watcher_.setProperty("asked", QVariant::fromValue<qulonglong>(asked));
  watcher_.setFuture(QtConcurrent::run([plan = std::move(plan), channel,
                                        symbol = decimal_symbol_] {
    runner::PlanOptions options = plan->plan;
    options.alternatives = kAlternativesListed;
    return runner::RunPoint(plan->request.range, channel, plan->row_inputs, symbol, options);
  }));
}

void AlternativesPanel::Fill(const runner::RunResult& result) {
  std::vector<const runner::AlternativeField*> fields;
  for (const runner::AlternativeField& field : runner::kAlternativeFields) {
    if (runner::IsPresent(field, result)) fields.push_back(&field);
  }
  const std::vector<runner::Alternative> none;
  const std::vector<runner::Alternative>& listed = result.alternatives ? *result.alternatives : none;
  table_->clear();
  table_->setColumnCount(int(fields.size()));
  table_->setRowCount(int(listed.size()));
  for (std::size_t column = 0; column < fields.size(); ++column) {
    auto* header = new QTableWidgetItem(PlanTableModel::Caption(fields[column]->name));
    header->setData(Qt::UserRole, Text(fields[column]->name));
    header->setToolTip(tr("%1 in the command line's --alternatives").arg(Text(fields[column]->name)));
    table_->setHorizontalHeaderItem(int(column), header);
  }
  for (std::size_t row = 0; row < listed.size(); ++row) {
    for (std::size_t column = 0; column < fields.size(); ++column) {
      auto* item = new QTableWidgetItem(ShownCellText(*fields[column], listed[row], decimal_symbol_));
      // The exact text, for the tooltip and a copy.
      item->setData(Qt::ToolTipRole, ExactCellText(*fields[column], listed[row], decimal_symbol_));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(int(row), int(column), item);
    }
  }
  table_->resizeColumnsToContents();
  const QString rf = WithDecimalSymbol(result.inputs.rf_out, Text(decimal_symbol_));
  if (listed.empty()) {
    title_->setText(tr("No alternatives for %1 MHz: %2").arg(rf, Text(result.message)));
  } else if (listed.size() == 1) {
    title_->setText(tr("1 alternative for %1 MHz (Enter or double-click for its report)").arg(rf));
  } else if (runner::field_read::WithFractional(result)) {
    title_->setText(tr("%1 alternatives for %2 MHz, the best setting of each R, ranked as the "
                       "plan chooses (Enter or double-click one for its report)")
                        .arg(listed.size())
                        .arg(rf));
  } else {
    title_->setText(tr("%1 alternatives for %2 MHz, exact first, then by output error "
                       "(Enter or double-click one for its report)")
                        .arg(listed.size())
                        .arg(rf));
  }
}

QString AlternativesPanel::SelectedText() const {
  std::set<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedIndexes()) rows.insert(index.row());
  if (rows.empty()) return {};
  QString text;
  for (int column = 0; column < table_->columnCount(); ++column) {
    text += (column > 0 ? QStringLiteral("\t") : QString()) +
            table_->horizontalHeaderItem(column)->text();
  }
  text += QLatin1Char('\n');
  for (const int row : rows) {
    for (int column = 0; column < table_->columnCount(); ++column) {
      const QTableWidgetItem* item = table_->item(row, column);
      text += (column > 0 ? QStringLiteral("\t") : QString()) +
              (item ? item->data(Qt::ToolTipRole).toString() : QString());
    }
    text += QLatin1Char('\n');
  }
  return text;
}

// The run of the channel with R and N (and a fractional setting's path and
// order) fixed to the alternative's: the GO action then finds that pair, and
// the run is written as the command line writes it.
QString AlternativesPanel::Report(int row) const {
  if (!listed_ || !listed_->alternatives || row < 0 ||
      std::size_t(row) >= listed_->alternatives->size()) {
    return {};
  }
  const runner::RunInputs inputs =
      runner::AlternativeInputs(*listed_, (*listed_->alternatives)[std::size_t(row)]);
  runner::PlanOptions options = listed_->plan;
  options.alternatives = 0;
  const runner::RunResult result = runner::RunOnce(inputs, decimal_symbol_, options);
  std::ostringstream text;
  formats::WritePlain(result, decimal_symbol_, text);
  QString report = Text(text.str());
  if (!result.Complete()) report += Text(result.message) + QLatin1Char('\n');
  return report;
}

void AlternativesPanel::ShowReport(int row) {
  const QString report = Report(row);
  if (report.isEmpty()) return;
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(tr("Report of alternative %1").arg(row + 1));
  auto* layout = new QVBoxLayout(dialog);
  auto* text = new QPlainTextEdit(report);
  text->setReadOnly(true);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  auto* copy = buttons->addButton(tr("&Copy"), QDialogButtonBox::ActionRole);
  connect(copy, &QPushButton::clicked, dialog,
          [report] { QGuiApplication::clipboard()->setText(report); });
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->resize(520, 320);
  dialog->show();
}

}  // namespace synthfactors::planner
