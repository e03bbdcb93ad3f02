#include "alternatives_panel.h"

#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <vector>

#include "number_text.h"
#include "plan_options.h"
#include "qt_text.h"
#include "result_fields.h"
#include "sweep.h"
#include "sweep_writer.h"

namespace synthfactors::planner {
namespace {

const QString kNoneSelected = QStringLiteral("Select a channel to list its alternatives.");

}  // namespace

AlternativesPanel::AlternativesPanel(std::string decimal_symbol, QWidget* parent)
    : QWidget(parent),
      decimal_symbol_(std::move(decimal_symbol)),
      title_(new QLabel(kNoneSelected)),
      table_(new QTableWidget) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  table_->setObjectName(QStringLiteral("alternatives"));
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->setToolTip(QStringLiteral("Double-click an alternative for its full report"));
  layout->addWidget(title_);
  layout->addWidget(table_, 1);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { ShowReport(row); });
}

void AlternativesPanel::Clear() {
  table_->clear();
  table_->setRowCount(0);
  table_->setColumnCount(0);
  listed_.reset();
  title_->setText(kNoneSelected);
}

void AlternativesPanel::Show(const PlanOutcome& plan, std::int64_t channel) {
  runner::PlanOptions options = plan.request.plan;
  options.alternatives = kAlternativesListed;
  listed_ = runner::RunPoint(plan.request.range, channel, plan.row_inputs, decimal_symbol_,
                             options);
  const runner::RunResult& result = *listed_;
  std::vector<const runner::AlternativeField*> fields;
  for (const runner::AlternativeField& field : runner::kAlternativeFields) {
    if (runner::IsPresent(field, result)) fields.push_back(&field);
  }
  const std::vector<runner::Alternative> none;
  const std::vector<runner::Alternative>& listed = result.alternatives ? *result.alternatives : none;
  table_->clear();
  table_->setColumnCount(int(fields.size()));
  table_->setRowCount(int(listed.size()));
  QStringList headers;
  for (const auto* field : fields) headers << Text(field->name);
  table_->setHorizontalHeaderLabels(headers);
  for (std::size_t row = 0; row < listed.size(); ++row) {
    for (std::size_t column = 0; column < fields.size(); ++column) {
      auto* item = new QTableWidgetItem(
          Text(formats::FieldText(fields[column]->kind, fields[column]->read(listed[row]))));
      item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(int(row), int(column), item);
    }
  }
  table_->resizeColumnsToContents();
  const QString rf = Text(result.inputs.rf_out);
  title_->setText(
      listed.empty()
          ? QStringLiteral("No alternatives for %1 MHz: %2").arg(rf, Text(result.message))
          : QStringLiteral("%1 alternative%2 for %3 MHz, exact first, then by output error "
                           "(double-click one for its report)")
                .arg(listed.size())
                .arg(listed.size() == 1 ? QString() : QStringLiteral("s"), rf));
}

// The run of the channel with R and N fixed to the alternative's: the GO
// action then finds that pair and writes its report.
QString AlternativesPanel::Report(int row) const {
  if (!listed_ || !listed_->alternatives || row < 0 ||
      std::size_t(row) >= listed_->alternatives->size()) {
    return {};
  }
  const runner::Alternative& alternative = (*listed_->alternatives)[std::size_t(row)];
  runner::RunInputs inputs = listed_->inputs;
  inputs.r_range.reset();
  inputs.n_range.reset();
  inputs.bounds = SearchBounds::Ranges(alternative.pair.R, alternative.pair.R, alternative.pair.N,
                                       alternative.pair.N);
  const runner::RunResult result = runner::RunOnce(inputs, decimal_symbol_);
  return Text(result.report.value_or(result.message));
}

void AlternativesPanel::ShowReport(int row) {
  const QString report = Report(row);
  if (report.isEmpty()) return;
  auto* dialog = new QDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(QStringLiteral("Report of alternative %1").arg(row + 1));
  auto* layout = new QVBoxLayout(dialog);
  auto* text = new QPlainTextEdit(report);
  text->setReadOnly(true);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  auto* copy = buttons->addButton(QStringLiteral("Copy"), QDialogButtonBox::ActionRole);
  connect(copy, &QPushButton::clicked, dialog,
          [report] { QGuiApplication::clipboard()->setText(report); });
  connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  layout->addWidget(buttons);
  dialog->resize(460, 260);
  dialog->show();
}

}  // namespace synthfactors::planner
