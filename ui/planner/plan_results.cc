#include "plan_results.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <set>
#include <vector>

#include "alternatives_panel.h"
#include "noise_panel.h"
#include "input_fields.h"
#include "plan_chart.h"
#include "plan_table_model.h"
#include "qt_text.h"
#include "run.h"

namespace synthfactors::planner {

namespace {

// The settings key of the columns the header's menu hid, by name.
const QString kHiddenColumnsKey = QStringLiteral("hidden_columns");

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

PlanResults::PlanResults(std::string decimal_symbol, QWidget* parent)
    : QSplitter(Qt::Vertical, parent), decimal_symbol_(std::move(decimal_symbol)) {
  model_ = new PlanTableModel(this);
  table_ = new QTableView;
  table_->setObjectName(QStringLiteral("plan_table"));
  table_->setModel(model_);
  table_->setSortingEnabled(true);
  table_->horizontalHeader()->setSortIndicatorShown(true);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->setSelectionBehavior(QAbstractItemView::SelectItems);
  // Tab leaves the table for the chart and the alternatives; the arrows
  // walk it.
  table_->setTabKeyNavigation(false);
  // Ctrl+C copies the whole selection (the view alone copies one cell).
  table_->installEventFilter(this);
  model_->SetDecimalSymbol(QLocale::system().decimalPoint());
  // The header's context menu chooses the columns shown.
  table_->horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table_->horizontalHeader(), &QWidget::customContextMenuRequested, this,
          &PlanResults::ChooseColumns);
  table_->horizontalHeader()->setToolTip(tr("Right-click to choose the columns shown"));
  // The table's own menu, from the mouse or the keyboard (the Menu key or
  // Shift+F10): sort by the current column, choose the columns, copy.
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(table_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    std::unique_ptr<QMenu> menu(TableMenu());
    menu->exec(table_->viewport()->mapToGlobal(at));
  });
  addWidget(table_);
  // The plan's chart, and on a page beside it the selected channel's loop
  // noise (with a plan that has a loop).
  noise_ = new NoisePanel(decimal_symbol_);
  pages_ = new QTabWidget;
  pages_->setObjectName(QStringLiteral("chart_pages"));
  pages_->setDocumentMode(true);
  pages_->addTab(BuildChartPanel(), tr("Channe&ls"));
  pages_->addTab(noise_, tr("Loop &noise"));
  pages_->setTabEnabled(1, false);
  pages_->setTabToolTip(1, tr("The selected channel's phase noise, with a loop filter"));
  addWidget(pages_);
  alternatives_ = new AlternativesPanel(decimal_symbol_);
  alternatives_->Table()->verticalHeader()->setDefaultSectionSize(
      table_->verticalHeader()->defaultSectionSize());
  addWidget(alternatives_);
  setStretchFactor(0, 4);
  setStretchFactor(1, 4);
  setStretchFactor(2, 2);
  setSizes({300, 300, 150});
  setChildrenCollapsible(false);

  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    // Coalesces a run of key presses into one listing.
    QTimer::singleShot(0, this, &PlanResults::ShowAlternatives);
  });
  connect(chart_, &PlanChart::channelClicked, this, [this](std::int64_t channel) {
    if (!plan_) return;
    const QModelIndex index = model_->index(model_->RowOf(channel), 0);
    table_->setCurrentIndex(index);
    table_->scrollTo(index);
  });
}

// The figure chosen, the error limit, the read-out line and the chart.
QWidget* PlanResults::BuildChartPanel() {
  auto* chart_panel = new QWidget;
  auto* chart_layout = new QVBoxLayout(chart_panel);
  chart_layout->setContentsMargins(0, 0, 0, 0);
  figure_ = new QComboBox;
  figure_->setObjectName(QStringLiteral("chart_figure"));
  for (const ChartFigureEntry& entry : kChartFigures) {
    figure_->addItem(QCoreApplication::translate("PlanChart", entry.caption));
  }
  auto* figure_row = new QHBoxLayout;
  auto* figure_label = new QLabel(tr("C&hart"));
  figure_label->setBuddy(figure_);
  figure_row->addWidget(figure_label);
  figure_row->addWidget(figure_);
  error_limit_ = new QLineEdit;
  error_limit_->setObjectName(QStringLiteral("error_limit"));
  error_limit_->setPlaceholderText(tr("none"));
  error_limit_->setMaximumWidth(
      error_limit_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
  error_limit_->setToolTip(tr("Draws ± this output error on the error chart and counts the "
                              "channels beyond it"));
  auto* limit_label = new QLabel(tr("Error limit (H&z)"));
  limit_label->setBuddy(error_limit_);
  figure_row->addWidget(limit_label);
  figure_row->addWidget(error_limit_);
  auto* whole_band = new QPushButton(tr("Whole band"));
  whole_band->setObjectName(QStringLiteral("whole_band"));
  whole_band->setToolTip(tr("Show the whole band again (Home on the chart)"));
  figure_row->addStretch(1);
  // The figure's box may be narrow (its list shows the whole captions): a
  // small window keeps the row.
  figure_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  figure_->setMinimumContentsLength(8);
  chart_layout->addLayout(figure_row);
  // The channel under the pointer, on a line of its own so that it is
  // never cut short.
  readout_ = new QLabel(tr("Point at the chart for a channel's figure."));
  readout_->setObjectName(QStringLiteral("readout"));
  readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* readout_row = new QHBoxLayout;
  readout_row->addWidget(whole_band);
  readout_row->addWidget(readout_, 1);
  chart_layout->addLayout(readout_row);
  chart_ = new PlanChart;
  chart_->setMinimumHeight(110);
  chart_layout->addWidget(chart_, 1);
  connect(whole_band, &QPushButton::clicked, chart_, &PlanChart::ResetZoom);
  connect(figure_, &QComboBox::currentIndexChanged, this, [this](int index) {
    chart_->SetFigure(kChartFigures[static_cast<std::size_t>(std::max(index, 0))].figure);
  });
  connect(chart_, &PlanChart::hovered, readout_, &QLabel::setText);
  connect(error_limit_, &QLineEdit::textChanged, this, &PlanResults::SetErrorLimit);
  return chart_panel;
}

void PlanResults::SetErrorLimit(const QString& text) {
  const std::optional<std::string> number = runner::StrictDecimal(Utf8(text), decimal_symbol_);
  std::optional<double> limit;
  if (number) limit = runner::ReadNumber(*number);
  const bool bad = !text.trimmed().isEmpty() && !(limit && *limit >= 0);
  error_limit_->setStyleSheet(bad ? QStringLiteral("border: 1px solid #b00000;") : QString());
  chart_->SetErrorLimit(bad ? std::nullopt : limit);
}

void PlanResults::ChooseColumns(const QPoint& at) {
  QMenu menu;
  QHeaderView* header = table_->horizontalHeader();
  for (int column = 0; column < model_->columnCount(); ++column) {
    QAction* shown =
        menu.addAction(model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    shown->setCheckable(true);
    shown->setChecked(!header->isSectionHidden(column));
    connect(shown, &QAction::toggled, this, [this, column](bool on) { SetColumnShown(column, on); });
  }
  menu.exec(header->mapToGlobal(at));
}

QMenu* PlanResults::TableMenu() {
  auto* menu = new QMenu(table_);
  const int column = table_->currentIndex().isValid() ? table_->currentIndex().column()
                                                       : table_->horizontalHeader()->sortIndicatorSection();
  const QString caption = column >= 0 && column < model_->columnCount()
                              ? model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()
                              : QString();
  QAction* up = menu->addAction(tr("Sort by %1, &ascending").arg(caption));
  QAction* down = menu->addAction(tr("Sort by %1, &descending").arg(caption));
  for (QAction* action : {up, down}) action->setEnabled(!caption.isEmpty());
  connect(up, &QAction::triggered, this, [this, column] { table_->sortByColumn(column, Qt::AscendingOrder); });
  connect(down, &QAction::triggered, this, [this, column] { table_->sortByColumn(column, Qt::DescendingOrder); });
  QMenu* shown = menu->addMenu(tr("&Columns shown"));
  QHeaderView* header = table_->horizontalHeader();
  for (int each = 0; each < model_->columnCount(); ++each) {
    QAction* action = shown->addAction(model_->headerData(each, Qt::Horizontal, Qt::DisplayRole).toString());
    action->setCheckable(true);
    action->setChecked(!header->isSectionHidden(each));
    connect(action, &QAction::toggled, this, [this, each](bool on) { SetColumnShown(each, on); });
  }
  menu->addSeparator();
  QAction* copy = menu->addAction(tr("&Copy"), this, &PlanResults::CopySelection);
  copy->setShortcut(QKeySequence::Copy);
  return menu;
}

void PlanResults::SetColumnShown(int column, bool shown) {
  if (!plan_ || column < 0 || column >= int(plan_->columns.size())) return;
  table_->horizontalHeader()->setSectionHidden(column, !shown);
  const QString name = Text(plan_->columns[std::size_t(column)]);
  QSettings settings;
  QStringList hidden = settings.value(kHiddenColumnsKey).toStringList();
  hidden.removeAll(name);
  if (!shown) hidden.append(name);
  settings.setValue(kHiddenColumnsKey, hidden);
}

bool PlanResults::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopySelection();
    return true;
  }
  return QSplitter::eventFilter(watched, event);
}

void PlanResults::SetPlan(std::shared_ptr<const PlanOutcome> plan) {
  plan_ = std::move(plan);
  model_->SetPlan(plan_);
  chart_->SetPlan(plan_);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  alternatives_->Clear();
  const bool noise = plan_ && runner::NoiseModelOf(plan_->row_inputs, plan_->request.plan);
  const bool spurs = plan_ && runner::HasFractionalChip(plan_->row_inputs);
  const bool loop = plan_ && plan_->plan.loop.has_value();
  const std::pair<ChartFigure, bool> shown[] = {{ChartFigure::kPhaseNoise, noise},
                                                 {ChartFigure::kSpurOffset, spurs},
                                                 {ChartFigure::kJitter, loop},
                                                 {ChartFigure::kPhaseMargin, loop}};
  auto* figures = qobject_cast<QStandardItemModel*>(figure_->model());
  for (const auto& [figure, enabled] : shown) {
    if (figures != nullptr) figures->item(int(figure))->setEnabled(enabled);
    if (!enabled && figure_->currentIndex() == int(figure)) {
      figure_->setCurrentIndex(int(ChartFigure::kErrorHz));
    }
  }
  noise_->Clear();
  pages_->setTabEnabled(1, loop);
  if (!loop) pages_->setCurrentIndex(0);
  if (plan_) {
    // The columns hidden before stay hidden, by name.
    const QStringList hidden = QSettings().value(kHiddenColumnsKey).toStringList();
    for (std::size_t column = 0; column < plan_->columns.size(); ++column) {
      table_->horizontalHeader()->setSectionHidden(
          int(column), hidden.contains(Text(plan_->columns[column])));
    }
    table_->resizeColumnsToContents();
  }
}

void PlanResults::ShowAlternatives() {
  const QModelIndex current = table_->currentIndex();
  if (!plan_ || !current.isValid()) return;
  const std::int64_t channel = model_->ChannelAt(current.row());
  chart_->SetSelected(channel);
  alternatives_->Show(plan_, channel);
  if (plan_->plan.loop) noise_->Show(plan_, channel);
}

void PlanResults::CopySelection() {
  std::set<int> rows, columns;
  for (const QItemSelectionRange& range : table_->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.insert(row);
    for (int column = range.left(); column <= range.right(); ++column) columns.insert(column);
  }
  if (rows.empty()) return;
  QGuiApplication::clipboard()->setText(model_->TabSeparated(
      std::vector<int>(rows.begin(), rows.end()), std::vector<int>(columns.begin(), columns.end())));
}

}  // namespace synthfactors::planner
