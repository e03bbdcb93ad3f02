#include "planner_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <set>
#include <tuple>

#include "alternatives_panel.h"
#include "chip_file.h"
#include "design_file.h"
#include "common_r_writer.h"
#include "number_text.h"
#include "plan_chart.h"
#include "plan_export.h"
#include "plan_options.h"
#include "plan_table_model.h"
#include "qt_text.h"
#include "fractional_run.h"
#include "input_fields.h"
#include "result_fields.h"
#include "sweep.h"

namespace synthfactors::planner {
namespace {

// The input column's text boxes: caption (with its mnemonic), object
// name, start text (the table of inputs' start text, where the box holds an
// input) and the hint it shows while empty. The group builders place them.
struct BoxRow {
  FormBox box;
  const char* name;  // object name
  const char* caption;
  std::string_view start_text;
  const char* hint;
};

constexpr std::string_view StartOf(runner::Input input) { return runner::FieldOf(input).start; }

constexpr std::array<BoxRow, 16> kBoxRows = {{
    {FormBox::kFrom, "from", QT_TRANSLATE_NOOP("PlannerWindow", "Fro&m"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "e.g. 10368")},
    {FormBox::kTo, "to", QT_TRANSLATE_NOOP("PlannerWindow", "&To"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "empty: one frequency")},
    {FormBox::kStep, "step", QT_TRANSLATE_NOOP("PlannerWindow", "&Step"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "e.g. 0.025")},
    {FormBox::kMult, "mult", QT_TRANSLATE_NOOP("PlannerWindow", "M&ultiplication"),
     StartOf(runner::Input::kMult), ""},
    {FormBox::kRef, "ref", QT_TRANSLATE_NOOP("PlannerWindow", "&Reference (MHz)"),
     StartOf(runner::Input::kRef), ""},
    {FormBox::kMinFc, "min_fc", QT_TRANSLATE_NOOP("PlannerWindow", "Comparison fr&om (kHz)"),
     StartOf(runner::Input::kMinFc), ""},
    {FormBox::kMaxFc, "max_fc", QT_TRANSLATE_NOOP("PlannerWindow", "Compar&ison to (kHz)"),
     StartOf(runner::Input::kMaxFc), ""},
    {FormBox::kRFirst, "r_first", QT_TRANSLATE_NOOP("PlannerWindow", "R from"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "any")},
    {FormBox::kRLast, "r_last", QT_TRANSLATE_NOOP("PlannerWindow", "R to"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "any")},
    {FormBox::kNFirst, "n_first", QT_TRANSLATE_NOOP("PlannerWindow", "N from"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "any")},
    {FormBox::kNLast, "n_last", QT_TRANSLATE_NOOP("PlannerWindow", "N to"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "any")},
    {FormBox::kFom, "fom", QT_TRANSLATE_NOOP("PlannerWindow", "Fi&gure of merit (dBc/Hz)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "optional, e.g. -220")},
    {FormBox::kFlicker, "flicker", QT_TRANSLATE_NOOP("PlannerWindow", "Flic&ker (dBc/Hz)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "optional, e.g. -260")},
    {FormBox::kOffset, "offset", QT_TRANSLATE_NOOP("PlannerWindow", "Offset (Hz)"), "", "10000"},
    {FormBox::kTolerance, "tolerance", QT_TRANSLATE_NOOP("PlannerWindow", "Tolera&nce (Hz)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "0: exact")},
    {FormBox::kSpurClear, "spur_clear", QT_TRANSLATE_NOOP("PlannerWindow", "Spur clear (kHz)"),
     "", QT_TRANSLATE_NOOP("PlannerWindow", "optional")},
}};

const BoxRow& RowOf(FormBox box) {
  return *std::find_if(kBoxRows.begin(), kBoxRows.end(),
                       [box](const BoxRow& row) { return row.box == box; });
}

QString Translated(const char* text) { return QCoreApplication::translate("PlannerWindow", text); }

QString OpenProfileItem() { return Translated(QT_TRANSLATE_NOOP("PlannerWindow", "Open profile…")); }
QString SmallestPrescalerItem() {
  return Translated(QT_TRANSLATE_NOOP("PlannerWindow", "smallest for each channel"));
}

// How many designs the File menu offers again.
constexpr int kRecentDesigns = 6;
const QString kRecentKey = QStringLiteral("recent_designs");

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

std::size_t Slot(FormBox box) { return static_cast<std::size_t>(box); }

}  // namespace

PlannerWindow::PlannerWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(tr("synthfactors planner"));
  decimal_symbol_ = Utf8(QLocale::system().decimalPoint());
  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(BuildInputs());
  splitter->addWidget(BuildResults());
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("status"));
  // A long reason wraps rather than widening the window (which a status
  // bar, sizing its labels to one line, would not let it do).
  status_->setWordWrap(true);
  status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  progress_ = new QProgressBar;
  progress_->setObjectName(QStringLiteral("progress"));
  // Wide enough for "1,000,000 of 10,000,000 channels", and its place kept
  // while hidden, so nothing moves when it appears.
  progress_->setFixedWidth(
      progress_->fontMetrics().horizontalAdvance(tr("%1 of %2 channels")
                                                     .arg(QLocale().toString(9999999))
                                                     .arg(QLocale().toString(10000000))) +
      48);
  QSizePolicy keep = progress_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  progress_->setSizePolicy(keep);
  progress_->hide();
  auto* status_row = new QHBoxLayout;
  status_row->addWidget(status_, 1);
  status_row->addWidget(progress_);
  auto* central = new QWidget;
  auto* central_layout = new QVBoxLayout(central);
  central_layout->addWidget(splitter, 1);
  central_layout->addLayout(status_row);
  setCentralWidget(central);
  BuildMenus();
  Connect();
  SetStatus(tr("Give an RF output or a band, then Plan."));
  FitToScreen();
}

PlannerWindow::~PlannerWindow() {
  if (control_) control_->Stop();
  if (worker_.joinable()) worker_.join();
}

// As large as the input column wants, so that it needs no scroll bar, and
// never larger than the screen.
void PlannerWindow::FitToScreen() {
  const auto* inputs = findChild<QScrollArea*>(QStringLiteral("inputs"));
  // The column itself, with the check box, the buttons and the status line
  // under it and the menu bar over it.
  const int below = one_r_->sizeHint().height() + plan_button_->sizeHint().height() +
                    status_->sizeHint().height() + menuBar()->sizeHint().height() + 64;
  QSize wanted(1200, inputs->widget()->sizeHint().height() + 2 * inputs->frameWidth() + below);
  wanted = wanted.expandedTo(QSize(1000, 700));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    wanted = wanted.boundedTo(screen->availableGeometry().size() * 0.95);
  }
  resize(wanted);
}

void PlannerWindow::AddRow(QFormLayout* form, const QString& caption, QWidget* input, FormBox box) {
  // The caption's label takes the box as its buddy, so its mnemonic
  // (Alt+letter) moves there.
  form->addRow(caption, input);
  AddFaultRow(form, input->objectName(), box);
}

// The row under a box for the reason it is marked, hidden until then.
void PlannerWindow::AddFaultRow(QFormLayout* form, const QString& input_name, FormBox box) {
  auto* fault = new QLabel;
  fault->setWordWrap(true);
  fault->setStyleSheet(QStringLiteral("color: #b00000;"));
  fault->setObjectName(input_name + QStringLiteral("_fault"));
  form->addRow(fault);
  form->setRowVisible(fault, false);
  faults_[Slot(box)] = fault;
}

// A text box of the table of boxes: its start text and hint.
QLineEdit* PlannerWindow::NewBox(FormBox box) {
  const BoxRow& row = RowOf(box);
  auto* edit = new QLineEdit(QString::fromUtf8(row.start_text.data(), qsizetype(row.start_text.size())));
  edit->setObjectName(QLatin1String(row.name));
  edit->setPlaceholderText(row.hint[0] != 0 ? Translated(row.hint) : QString());
  boxes_[Slot(box)] = edit;
  return edit;
}

void PlannerWindow::AddBox(QFormLayout* form, FormBox box) {
  AddRow(form, Translated(RowOf(box).caption), NewBox(box), box);
}

// A group of text boxes, a row each.
QGroupBox* PlannerWindow::BoxGroup(const QString& title, std::initializer_list<FormBox> boxes) {
  auto* group = new QGroupBox(title);
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (const FormBox box : boxes) AddBox(form, box);
  return group;
}

QGroupBox* PlannerWindow::BuildBandGroup() {
  return BoxGroup(tr("RF output (MHz)"), {FormBox::kFrom, FormBox::kTo, FormBox::kStep});
}

QGroupBox* PlannerWindow::BuildSynthesiserGroup() {
  return BoxGroup(tr("Synthesiser"),
                  {FormBox::kMult, FormBox::kRef, FormBox::kMinFc, FormBox::kMaxFc});
}

// The chip, its prescaler, output divider and register words, then the
// counter ranges it fills in.
QGroupBox* PlannerWindow::BuildCountersGroup() {
  auto* group = new QGroupBox(tr("Counters"));
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  chip_ = new QComboBox;
  chip_->setObjectName(QStringLiteral("chip"));
  chip_->addItem(tr("none"), QString());
  for (const runner::ShippedProfile& shipped : runner::ShippedProfiles()) {
    chip_->addItem(Text(shipped.name), Text(shipped.name));
  }
  chip_->addItem(OpenProfileItem());
  AddRow(form, tr("&Chip"), chip_, FormBox::kChip);
  prescaler_ = new QComboBox;
  prescaler_->setObjectName(QStringLiteral("prescaler"));
  prescaler_->addItem(SmallestPrescalerItem(), 0);
  prescaler_->setEnabled(false);
  AddRow(form, tr("Presc&aler"), prescaler_, FormBox::kPrescaler);
  feedback_ = new QComboBox;
  feedback_->setObjectName(QStringLiteral("feedback"));
  for (const auto& [mode, name] : runner::kFeedbackNames) {
    feedback_->addItem(Translated(name.data()), static_cast<int>(mode));
  }
  feedback_->setToolTip(Text(runner::FieldOf(runner::Input::kFeedback).help));
  feedback_->setEnabled(false);
  form->addRow(tr("Feed&back"), feedback_);
  registers_ = new QCheckBox(tr("Register wor&ds"));
  registers_->setObjectName(QStringLiteral("registers"));
  registers_->setToolTip(Text(runner::FieldOf(runner::Input::kRegisters).help));
  registers_->setEnabled(false);
  form->addRow(registers_);
  AddRangeRow(form, tr("R from, to"), FormBox::kRFirst, FormBox::kRLast);
  AddRangeRow(form, tr("N from, to"), FormBox::kNFirst, FormBox::kNLast);
  return group;
}

// A counter range's two ends side by side, each with its reason under the
// row when marked.
void PlannerWindow::AddRangeRow(QFormLayout* form, const QString& caption, FormBox first,
                                FormBox last) {
  auto* ends = new QHBoxLayout;
  ends->setContentsMargins(0, 0, 0, 0);
  for (const FormBox box : {first, last}) {
    QLineEdit* edit = NewBox(box);
    edit->setAccessibleName(Translated(RowOf(box).caption));
    ends->addWidget(edit);
  }
  form->addRow(caption, ends);
  for (const FormBox box : {first, last}) AddFaultRow(form, Box(box)->objectName(), box);
}

QGroupBox* PlannerWindow::BuildNoiseGroup() {
  return BoxGroup(tr("In-band noise"), {FormBox::kFom, FormBox::kFlicker, FormBox::kOffset});
}

QGroupBox* PlannerWindow::BuildFractionalGroup() {
  return BoxGroup(tr("Fractional-N"), {FormBox::kTolerance, FormBox::kSpurClear});
}

QWidget* PlannerWindow::BuildInputs() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->addWidget(BuildBandGroup());
  layout->addWidget(BuildSynthesiserGroup());
  layout->addWidget(BuildCountersGroup());
  layout->addWidget(BuildNoiseGroup());
  layout->addWidget(BuildFractionalGroup());
  layout->addStretch(1);

  auto* scroll = new QScrollArea;
  scroll->setObjectName(QStringLiteral("inputs"));
  scroll->setWidget(column);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Wide enough for the column beside a scroll bar (marked boxes make it taller).
  scroll->setMinimumWidth(column->sizeHint().width() + 2 * scroll->frameWidth() +
                          scroll->verticalScrollBar()->sizeHint().width());

  // The plan's mode and the buttons stay in sight under the boxes, however
  // far they scroll.
  one_r_ = new QCheckBox(tr("One R for the &whole band"));
  one_r_->setObjectName(QStringLiteral("one_r"));
  auto* buttons = new QHBoxLayout;
  plan_button_ = new QPushButton(tr("&Plan"));
  plan_button_->setObjectName(QStringLiteral("plan"));
  plan_button_->setDefault(true);
  plan_button_->setToolTip(tr("Plan the band (Ctrl+Return)"));
  cancel_button_ = new QPushButton(tr("Cancel"));
  cancel_button_->setObjectName(QStringLiteral("cancel"));
  cancel_button_->setToolTip(tr("Stop the running plan or export (Escape)"));
  cancel_button_->setEnabled(false);
  export_button_ = new QPushButton(tr("E&xport…"));
  export_button_->setObjectName(QStringLiteral("export"));
  export_button_->setToolTip(tr("Write the plan as CSV or JSON Lines (Ctrl+E)"));
  export_button_->setEnabled(false);
  for (QPushButton* button : {plan_button_, cancel_button_, export_button_}) {
    buttons->addWidget(button);
  }
  auto* panel = new QWidget;
  auto* panel_layout = new QVBoxLayout(panel);
  panel_layout->setContentsMargins(0, 0, 0, 0);
  panel_layout->addWidget(scroll, 1);
  panel_layout->addWidget(one_r_);
  panel_layout->addLayout(buttons);
  // Enter on a choice or a checkbox plans, as it does in a box.
  for (QWidget* choice : std::initializer_list<QWidget*>{chip_, prescaler_, feedback_, registers_, one_r_}) {
    choice->installEventFilter(this);
  }
  return panel;
}

QWidget* PlannerWindow::BuildResults() {
  auto* splitter = new QSplitter(Qt::Vertical);
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
          [this](const QPoint& at) {
            QMenu menu;
            QHeaderView* header = table_->horizontalHeader();
            for (int column = 0; column < model_->columnCount(); ++column) {
              QAction* shown = menu.addAction(
                  model_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
              shown->setCheckable(true);
              shown->setChecked(!header->isSectionHidden(column));
              connect(shown, &QAction::toggled, header,
                      [header, column](bool on) { header->setSectionHidden(column, !on); });
            }
            menu.exec(header->mapToGlobal(at));
          });
  table_->horizontalHeader()->setToolTip(tr("Right-click to choose the columns shown"));
  splitter->addWidget(table_);

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
  error_limit_->setMaximumWidth(error_limit_->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
  error_limit_->setToolTip(tr("Draws ± this output error on the error chart and counts the "
                              "channels beyond it"));
  auto* limit_label = new QLabel(tr("Error limit (H&z)"));
  limit_label->setBuddy(error_limit_);
  figure_row->addWidget(limit_label);
  figure_row->addWidget(error_limit_);
  auto* whole_band = new QPushButton(tr("Whole band"));
  whole_band->setObjectName(QStringLiteral("whole_band"));
  whole_band->setToolTip(tr("Show the whole band again (Home on the chart)"));
  figure_row->addWidget(whole_band);
  figure_row->addStretch(1);
  chart_layout->addLayout(figure_row);
  // The channel under the pointer, on a line of its own so that it is
  // never cut short.
  readout_ = new QLabel(tr("Point at the chart for a channel's figure."));
  readout_->setObjectName(QStringLiteral("readout"));
  readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  chart_layout->addWidget(readout_);
  chart_ = new PlanChart;
  connect(whole_band, &QPushButton::clicked, chart_, &PlanChart::ResetZoom);
  chart_->setMinimumHeight(160);
  chart_layout->addWidget(chart_, 1);
  splitter->addWidget(chart_panel);

  alternatives_ = new AlternativesPanel(decimal_symbol_);
  alternatives_->Table()->verticalHeader()->setDefaultSectionSize(
      table_->verticalHeader()->defaultSectionSize());
  splitter->addWidget(alternatives_);
  splitter->setStretchFactor(0, 4);
  splitter->setStretchFactor(1, 4);
  splitter->setStretchFactor(2, 2);
  splitter->setSizes({300, 300, 150});
  splitter->setChildrenCollapsible(false);
  return splitter;
}

void PlannerWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* open = file->addAction(tr("&Open design…"), this, &PlannerWindow::AskOpenDesign);
  open->setShortcut(QKeySequence::Open);
  recent_menu_ = file->addMenu(tr("Open &recent"));
  connect(recent_menu_, &QMenu::aboutToShow, this, &PlannerWindow::FillRecentDesigns);
  QAction* save = file->addAction(tr("&Save design…"), this, &PlannerWindow::AskSaveDesign);
  save->setShortcut(QKeySequence::Save);
  file->addSeparator();
  export_action_ = file->addAction(tr("E&xport plan…"), this, &PlannerWindow::AskExport);
  export_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  export_action_->setEnabled(false);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* copy = edit->addAction(tr("&Copy"), this, [this] {
    if (alternatives_->Table()->hasFocus()) {
      QGuiApplication::clipboard()->setText(alternatives_->SelectedText());
    } else {
      CopySelection();
    }
  });
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);  // each view's own Ctrl+C does the copying

  QMenu* plan = menuBar()->addMenu(tr("P&lan"));
  plan_action_ = plan->addAction(tr("&Plan"), this, &PlannerWindow::Plan);
  plan_action_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Return),
                              QKeySequence(Qt::CTRL | Qt::Key_Enter)});
  cancel_action_ = plan->addAction(tr("&Cancel"), this, &PlannerWindow::Cancel);
  cancel_action_->setShortcut(QKeySequence(Qt::Key_Escape));
  cancel_action_->setEnabled(false);
  // The menu's shortcuts work wherever the focus is in the window.
  addActions({open, save, export_action_, quit, plan_action_, cancel_action_});
}

void PlannerWindow::Connect() {
  connect(plan_button_, &QPushButton::clicked, this, &PlannerWindow::Plan);
  connect(cancel_button_, &QPushButton::clicked, this, &PlannerWindow::Cancel);
  connect(export_button_, &QPushButton::clicked, this, &PlannerWindow::AskExport);
  for (const BoxRow& row : kBoxRows) {
    QLineEdit* box = Box(row.box);
    connect(box, &QLineEdit::textEdited, this, [this, which = row.box] { InputChanged(which); });
    connect(box, &QLineEdit::returnPressed, this, &PlannerWindow::Plan);
  }
  connect(chip_, &QComboBox::activated, this, &PlannerWindow::ChooseChip);
  connect(prescaler_, &QComboBox::activated, this, &PlannerWindow::ChoosePrescaler);
  connect(one_r_, &QCheckBox::toggled, this, [this] { InputChanged(FormBox::kChip); });
  connect(feedback_, &QComboBox::activated, this, [this] { InputChanged(FormBox::kChip); });
  connect(registers_, &QCheckBox::toggled, this, [this] { InputChanged(FormBox::kChip); });
  connect(figure_, &QComboBox::currentIndexChanged, this, [this](int index) {
    chart_->SetFigure(kChartFigures[static_cast<std::size_t>(std::max(index, 0))].figure);
  });
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
    // Coalesces a run of key presses into one listing.
    QTimer::singleShot(0, this, &PlannerWindow::ShowAlternatives);
  });
  connect(chart_, &PlanChart::hovered, readout_, &QLabel::setText);
  connect(error_limit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    const std::optional<std::string> number = runner::StrictDecimal(Utf8(text), decimal_symbol_);
    std::optional<double> limit;
    if (number) limit = runner::ReadNumber(*number);
    const bool bad = !text.trimmed().isEmpty() && !(limit && *limit >= 0);
    error_limit_->setStyleSheet(bad ? QStringLiteral("border: 1px solid #b00000;") : QString());
    chart_->SetErrorLimit(bad ? std::nullopt : limit);
  });
  connect(chart_, &PlanChart::channelClicked, this, [this](std::int64_t channel) {
    if (!plan_) return;
    const QModelIndex index = model_->index(model_->RowOf(channel), 0);
    table_->setCurrentIndex(index);
    table_->scrollTo(index);
  });
}

bool PlannerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (watched == table_ && key->matches(QKeySequence::Copy)) {
    CopySelection();
    return true;
  }
  const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  if (enter && watched != table_ && key->modifiers() == Qt::NoModifier) {
    Plan();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

QLineEdit* PlannerWindow::Box(FormBox box) const { return boxes_[Slot(box)]; }

QString PlannerWindow::Status() const { return status_->text(); }

QString PlannerWindow::FaultOf(FormBox box) const {
  const QLabel* fault = faults_[Slot(box)];
  return fault->isHidden() ? QString() : fault->text();
}

void PlannerWindow::SetStatus(const QString& text, bool fault) {
  status_->setText(text);
  status_->setStyleSheet(fault ? QStringLiteral("color: #b00000;") : QString());
}

QWidget* PlannerWindow::InputOf(FormBox box) const {
  if (box == FormBox::kChip) return chip_;
  if (box == FormBox::kPrescaler) return prescaler_;
  return Box(box);
}

// The form that holds a fault label shows or hides its row.
void PlannerWindow::SetFaultShown(FormBox box, bool shown) {
  QLabel* fault = faults_[Slot(box)];
  qobject_cast<QFormLayout*>(fault->parentWidget()->layout())->setRowVisible(fault, shown);
}

void PlannerWindow::ShowFault(FormBox box, const QString& reason) {
  faults_[Slot(box)]->setText(reason);
  SetFaultShown(box, true);
  InputOf(box)->setStyleSheet(QStringLiteral("border: 1px solid #b00000;"));
  InputOf(box)->setToolTip(reason);
}

void PlannerWindow::HideFault(FormBox box) {
  if (faults_[Slot(box)]->isHidden()) return;
  SetFaultShown(box, false);
  InputOf(box)->setStyleSheet(QString());
  InputOf(box)->setToolTip(QString());
}

void PlannerWindow::ClearFaults() {
  for (std::size_t slot = 0; slot < kFormBoxCount; ++slot) HideFault(static_cast<FormBox>(slot));
}

void PlannerWindow::InputChanged(FormBox box) {
  HideFault(box);
  if (Busy()) {
    Cancel();
  } else if (plan_) {
    SetStatus(tr("The inputs have changed since this plan: Plan to update it."));
  }
}

void PlannerWindow::ChooseChip(int index) {
  if (index != chip_->count() - 1) {
    SetChip(index);
    return;
  }
  chip_->setCurrentIndex(chip_index_);  // "Open profile…" is no choice of its own
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Open chip profile"), QString(),
                                   tr("Chip profiles (*.json);;All files (*)"));
  if (!path.isEmpty()) OpenProfile(path);
}

bool PlannerWindow::OpenProfile(const QString& path) {
  int index = chip_->findData(path);
  const bool listed = index >= 0;
  if (!listed) {
    index = chip_->count() - 1;
    chip_->insertItem(index, QFileInfo(path).fileName(), path);
    chip_->setItemData(index, path, Qt::ToolTipRole);
  }
  const bool chosen = SetChip(index);
  if (!chosen && !listed) chip_->removeItem(index);
  // A profile of one's own is listed under its name; the tooltip says
  // which file it came from.
  if (chosen && chip_profile_) {
    chip_->setItemText(index, tr("%1 (file)").arg(Text(chip_profile_->name)));
  }
  return chosen;
}

bool PlannerWindow::SetChip(int index) {
  HideFault(FormBox::kChip);
  const std::string chip = Utf8(chip_->itemData(index).toString());
  std::shared_ptr<const runner::ChipProfile> profile;
  if (!chip.empty()) {
    std::string error;
    profile = formats::LoadChip(chip, error);
    if (!profile) {
      chip_->setCurrentIndex(chip_index_);
      ShowFault(FormBox::kChip, Text(error));
      return false;
    }
  }
  chip_->setCurrentIndex(index);
  chip_index_ = index;
  chip_profile_ = std::move(profile);
  prescaler_->clear();
  prescaler_->addItem(SmallestPrescalerItem(), 0);
  if (chip_profile_) {
    for (const PrescalerMode& mode : chip_profile_->counters.Prescalers) {
      prescaler_->addItem(QStringLiteral("%1/%2").arg(mode.P).arg(mode.P + 1), mode.P);
    }
  }
  prescaler_->setEnabled(prescaler_->count() > 1);
  const bool both_feedbacks = chip_profile_ && chip_profile_->output_divider &&
                              chip_profile_->output_divider->Divided &&
                              chip_profile_->output_divider->Fundamental;
  feedback_->setCurrentIndex(0);
  feedback_->setEnabled(both_feedbacks);
  const bool words = chip_profile_ && !chip_profile_->register_map.empty();
  if (!words) registers_->setChecked(false);
  registers_->setEnabled(words);
  const auto noise_hint = [](const std::optional<double>& figure, const char* otherwise) {
    return figure ? tr("the chip's %1").arg(Text(runner::ShortestText(*figure)))
                  : Translated(otherwise);
  };
  Box(FormBox::kFom)->setPlaceholderText(
      noise_hint(chip_profile_ ? chip_profile_->fom : std::nullopt, RowOf(FormBox::kFom).hint));
  Box(FormBox::kFlicker)->setPlaceholderText(
      noise_hint(chip_profile_ ? chip_profile_->flicker : std::nullopt, RowOf(FormBox::kFlicker).hint));
  FillRanges(true);
  InputChanged(FormBox::kChip);
  return true;
}

void PlannerWindow::ChoosePrescaler() {
  HideFault(FormBox::kPrescaler);
  FillRanges(false);
  InputChanged(FormBox::kPrescaler);
}

// The chip's ranges in the boxes (none without a chip); the N range
// follows the prescaler.
void PlannerWindow::FillRanges(bool r_too) {
  std::optional<ChipRanges> ranges;
  if (chip_profile_) {
    const int p = prescaler_->currentData().toInt();
    ranges = RangesOfChip(*chip_profile_, p > 0 ? std::optional<std::int32_t>(p) : std::nullopt);
  }
  auto fill = [this](FormBox first, FormBox last, const std::optional<runner::WholeRange>& range) {
    Box(first)->setText(range ? QString::number(range->first) : QString());
    Box(last)->setText(range ? QString::number(range->last) : QString());
  };
  if (r_too) fill(FormBox::kRFirst, FormBox::kRLast, ranges ? std::optional(ranges->r) : std::nullopt);
  fill(FormBox::kNFirst, FormBox::kNLast, ranges ? ranges->n : std::nullopt);
  const QString hint = ranges && !ranges->n ? tr("the prescaler's")
                                            : Translated(RowOf(FormBox::kNFirst).hint);
  Box(FormBox::kNFirst)->setPlaceholderText(hint);
  Box(FormBox::kNLast)->setPlaceholderText(hint);
}

QString PlannerWindow::Channels(std::int64_t count) const {
  return count == 1 ? tr("1 channel") : tr("%1 channels").arg(QLocale().toString(qlonglong(count)));
}

std::variant<PlanRequest, std::vector<BoxFault>> PlannerWindow::ReadForm() const {
  PlanForm form;
  for (const BoxRow& row : kBoxRows) form.Text(row.box) = Utf8(Box(row.box)->text());
  form.chip = Utf8(chip_->currentData().toString());
  form.chip_profile = chip_profile_;
  if (const int p = prescaler_->currentData().toInt(); p > 0) form.prescaler = p;
  form.one_r = one_r_->isChecked();
  if (feedback_->isEnabled()) {
    form.feedback = static_cast<runner::FeedbackMode>(feedback_->currentData().toInt());
  }
  form.registers = registers_->isEnabled() && registers_->isChecked();
  return ReadPlanForm(form, decimal_symbol_);
}

bool PlannerWindow::MarkFaults(const std::variant<PlanRequest, std::vector<BoxFault>>& read,
                               const QString& what) {
  ClearFaults();
  const auto* faults = std::get_if<std::vector<BoxFault>>(&read);
  if (faults == nullptr) return false;
  for (const BoxFault& fault : *faults) ShowFault(fault.box, Text(fault.reason));
  SetStatus(faults->size() > 1 ? tr("%1: mend the marked boxes first.").arg(what)
                               : tr("%1: mend the marked box first.").arg(what),
            true);
  return true;
}

void PlannerWindow::Plan() {
  if (Busy()) Cancel();
  if (worker_.joinable()) worker_.join();
  auto read = ReadForm();
  if (MarkFaults(read, tr("Nothing planned"))) return;
  auto request = std::make_shared<PlanRequest>(std::get<PlanRequest>(std::move(read)));
  // The plan shown stays until this one is complete.
  alternatives_->Clear();
  const std::int64_t channels = request->range.PointCount();
  SetStatus(tr("Planning %1…").arg(Channels(channels)));
  Start([this, request, channels](runner::WorkControl* control) -> std::function<void()> {
    ChannelCount done{0};
    try {
      auto outcome = RunPlan(*request, decimal_symbol_, control, done);
      if (auto* plan = std::get_if<PlanOutcome>(&outcome)) {
        auto shown = std::make_shared<const PlanOutcome>(std::move(*plan));
        return [this, shown] { ShowPlan(shown); };
      }
      return [this, error = Text(std::get<std::string>(outcome))] {
        SetStatus(tr("No plan with one R: ") + error, true);
      };
    } catch (const runner::WorkStopped&) {
      return [this, finished = done.load(), channels] {
        const QString where = tr("Cancelled after %1 of %2")
                                  .arg(QLocale().toString(qlonglong(finished)), Channels(channels));
        SetStatus(plan_ ? tr("%1; the plan shown is the earlier one.").arg(where)
                        : tr("%1; nothing is shown.").arg(where));
      };
    } catch (const std::exception& failure) {
      return [this, error = QString::fromUtf8(failure.what())] {
        SetStatus(tr("The plan failed: ") + error, true);
      };
    }
  });
}

void PlannerWindow::Start(std::function<std::function<void()>(runner::WorkControl*)> work) {
  if (worker_.joinable()) worker_.join();
  control_ = std::make_shared<runner::WorkControl>();
  const std::uint64_t run = ++run_;
  control_->on_tick = [this, run](std::int64_t done, std::int64_t total, std::string_view unit) {
    QMetaObject::invokeMethod(
        this, [this, run, done, total, unit = Text(unit)] { Progress(run, done, total, unit); },
        Qt::QueuedConnection);
  };
  progress_->setRange(0, 0);
  progress_->setTextVisible(false);
  progress_->show();
  plan_button_->setEnabled(false);
  plan_action_->setEnabled(false);
  cancel_button_->setEnabled(true);
  cancel_action_->setEnabled(true);
  export_button_->setEnabled(false);
  export_action_->setEnabled(false);
  worker_ = std::thread([this, run, work = std::move(work), control = control_] {
    std::function<void()> show = work(control.get());
    QMetaObject::invokeMethod(
        this, [this, run, show = std::move(show)] { Ended(run, show); }, Qt::QueuedConnection);
  });
}

void PlannerWindow::Progress(std::uint64_t run, std::int64_t done, std::int64_t total,
                             const QString& unit) {
  if (run != run_ || total <= 0) return;
  progress_->setRange(0, 1000);
  progress_->setValue(int(done * 1000 / total));
  const QString of = tr("%1 of %2").arg(QLocale().toString(qlonglong(done)),
                                        QLocale().toString(qlonglong(total)));
  progress_->setFormat(unit == QLatin1String("points") || unit == QLatin1String("channels")
                           ? tr("%1 channels").arg(of)
                           : tr("%1 %2 for one R").arg(of, unit));
  progress_->setTextVisible(true);
}

void PlannerWindow::Ended(std::uint64_t run, const std::function<void()>& show) {
  if (run != run_) return;
  if (worker_.joinable()) worker_.join();
  progress_->hide();
  plan_button_->setEnabled(true);
  plan_action_->setEnabled(true);
  cancel_button_->setEnabled(false);
  cancel_action_->setEnabled(false);
  show();
  export_button_->setEnabled(plan_ != nullptr);
  export_action_->setEnabled(plan_ != nullptr);
  emit workEnded();
}

void PlannerWindow::Cancel() {
  if (control_) control_->Stop();
}

void PlannerWindow::ShowPlan(std::shared_ptr<const PlanOutcome> plan) {
  plan_ = std::move(plan);
  model_->SetPlan(plan_);
  chart_->SetPlan(plan_);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  alternatives_->Clear();
  const bool noise = plan_ && runner::NoiseModelOf(plan_->row_inputs, plan_->request.plan);
  const bool spurs = plan_ && runner::HasFractionalChip(plan_->row_inputs);
  if (auto* figures = qobject_cast<QStandardItemModel*>(figure_->model())) {
    figures->item(int(ChartFigure::kPhaseNoise))->setEnabled(noise);
    figures->item(int(ChartFigure::kSpurOffset))->setEnabled(spurs);
  }
  if ((!noise && figure_->currentIndex() == int(ChartFigure::kPhaseNoise)) ||
      (!spurs && figure_->currentIndex() == int(ChartFigure::kSpurOffset))) {
    figure_->setCurrentIndex(int(ChartFigure::kErrorHz));
  }
  if (!plan_) return;
  table_->resizeColumnsToContents();
  QString text = tr("Planned %1").arg(Channels(std::int64_t(plan_->ChannelCount())));
  std::int64_t faults = 0;
  for (const runner::ChannelFigures& channel : plan_->channels) faults += channel.fault ? 1 : 0;
  if (faults > 0) {
    text += faults == 1 ? tr("; 1 has a fault (see its Fault column)")
                        : tr("; %1 have a fault (see their Fault column)")
                              .arg(QLocale().toString(qlonglong(faults)));
  }
  if (plan_->common_r) text += QStringLiteral(": ") + Text(formats::CommonRSentence(*plan_->common_r));
  SetStatus(text + QStringLiteral("."), faults > 0);
}

void PlannerWindow::ShowAlternatives() {
  const QModelIndex current = table_->currentIndex();
  if (!plan_ || !current.isValid()) return;
  const std::int64_t channel = model_->ChannelAt(current.row());
  chart_->SetSelected(channel);
  alternatives_->Show(plan_, channel);
}

void PlannerWindow::CopySelection() {
  std::set<int> rows, columns;
  for (const QItemSelectionRange& range : table_->selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.insert(row);
    for (int column = range.left(); column <= range.right(); ++column) columns.insert(column);
  }
  if (rows.empty()) return;
  QGuiApplication::clipboard()->setText(model_->TabSeparated(
      std::vector<int>(rows.begin(), rows.end()), std::vector<int>(columns.begin(), columns.end())));
}

QString PlannerWindow::ExportName(formats::SweepFormat format) const {
  QString name = QStringLiteral("plan");
  if (plan_) {
    const std::int64_t last = plan_->request.range.PointCount() - 1;
    name += QStringLiteral("-") + Text(plan_->request.range.PointText(0));
    if (last > 0) name += QStringLiteral("-") + Text(plan_->request.range.PointText(last));
  }
  return name + (format == formats::SweepFormat::kJsonLines ? QStringLiteral(".jsonl")
                                                            : QStringLiteral(".csv"));
}

void PlannerWindow::AskExport() {
  if (!plan_ || Busy()) return;
  QString filter;
  const QString csv = tr("CSV (*.csv)");
  const QString json = tr("JSON Lines (*.jsonl)");
  const QString proposed = QDir(export_folder_).filePath(ExportName(formats::SweepFormat::kCsv));
  QString path = QFileDialog::getSaveFileName(this, tr("Export plan"), proposed,
                                              csv + QStringLiteral(";;") + json, &filter);
  if (path.isEmpty()) return;
  // The filter chosen gives a name without one its extension.
  const bool as_json = filter == json || path.endsWith(QStringLiteral(".jsonl"));
  if (QFileInfo(path).suffix().isEmpty()) path += as_json ? QStringLiteral(".jsonl") : QStringLiteral(".csv");
  export_folder_ = QFileInfo(path).absolutePath();
  ExportTo(path, as_json ? formats::SweepFormat::kJsonLines : formats::SweepFormat::kCsv);
}

void PlannerWindow::ExportTo(const QString& path, formats::SweepFormat format) {
  if (!plan_ || Busy()) return;
  const std::int64_t channels = plan_->request.range.PointCount();
  SetStatus(tr("Exporting %1…").arg(Channels(channels)));
  Start([this, plan = plan_, path, format,
         channels](runner::WorkControl* control) -> std::function<void()> {
    try {
      const std::string error =
          ExportPlan(*plan, decimal_symbol_, format, Utf8(path), control);
      if (!error.empty()) return [this, error = Text(error)] { SetStatus(error, true); };
      return [this, path, channels] {
        SetStatus(tr("Exported %1 to %2.").arg(Channels(channels), path));
      };
    } catch (const runner::WorkStopped&) {
      return [this] { SetStatus(tr("Export cancelled; no file was written.")); };
    } catch (const std::exception& failure) {
      return [this, error = QString::fromUtf8(failure.what())] {
        SetStatus(tr("The export failed: ") + error, true);
      };
    }
  });
}

bool PlannerWindow::SaveDesign(const QString& path) {
  auto read = ReadForm();
  if (MarkFaults(read, tr("Nothing saved"))) return false;
  const PlanRequest& request = std::get<PlanRequest>(read);
  formats::Design design;
  design.texts = request.texts;
  design.sweep = request.sweep;
  design.common_r = request.one_r;
  const std::string error = formats::WriteDesign(Utf8(path), design);
  if (!error.empty()) {
    SetStatus(Text(error), true);
    return false;
  }
  RememberDesign(path);
  SetStatus(tr("Saved the design to %1.").arg(path));
  return true;
}

bool PlannerWindow::OpenDesign(const QString& path) {
  std::string error;
  const std::optional<formats::Design> design = formats::ReadDesign(Utf8(path), error);
  if (!design) {
    SetStatus(Text(error) + tr("; the inputs are as they were."), true);
    return false;
  }
  // Every value is checked before any box changes.
  const auto checked = formats::CheckDesign(*design, formats::LoadChip);
  if (const auto* faults = std::get_if<std::string>(&checked)) {
    SetStatus(tr("design %1: %2; the inputs are as they were.")
                  .arg(path, Text(*faults).replace(QLatin1Char('\n'), QStringLiteral("; "))),
              true);
    return false;
  }
  if (Busy()) Cancel();
  ApplyDesign(*design);
  RememberDesign(path);
  setWindowFilePath(path);
  Plan();
  return true;
}

// The design's texts in the boxes and choices (a checked design: its chip
// loads, its prescaler is the chip's).
void PlannerWindow::ApplyDesign(const formats::Design& design) {
  const auto text = [&design](runner::Input input) {
    return Text(design.texts[input].value_or(std::string()));
  };
  const QString chip = text(runner::Input::kChip);
  const int shipped = chip.isEmpty() ? 0 : chip_->findData(chip);
  if (shipped >= 0) {
    SetChip(shipped);
  } else {
    OpenProfile(chip);
  }
  const int prescaler = prescaler_->findData(text(runner::Input::kPrescaler).toInt());
  prescaler_->setCurrentIndex(std::max(prescaler, 0));
  FillRanges(true);
  const std::optional<runner::FeedbackMode> feedback =
      runner::FeedbackNamed(design.texts[runner::Input::kFeedback].value_or(std::string()));
  feedback_->setCurrentIndex(
      std::max(0, feedback_->findData(static_cast<int>(feedback.value_or(runner::FeedbackMode::kFundamental)))));
  registers_->setChecked(design.texts.Flag(runner::Input::kRegisters).value_or(false));
  one_r_->setChecked(design.common_r);
  const QStringList grid = Text(design.sweep).split(QLatin1Char(':'));
  Box(FormBox::kFrom)->setText(grid.value(0));
  Box(FormBox::kTo)->setText(grid.value(1));
  Box(FormBox::kStep)->setText(grid.value(2));
  for (const auto& [input, box] : {std::pair{runner::Input::kMult, FormBox::kMult},
                                   {runner::Input::kRef, FormBox::kRef},
                                   {runner::Input::kMinFc, FormBox::kMinFc},
                                   {runner::Input::kMaxFc, FormBox::kMaxFc},
                                   {runner::Input::kFom, FormBox::kFom},
                                   {runner::Input::kFlicker, FormBox::kFlicker},
                                   {runner::Input::kOffset, FormBox::kOffset},
                                   {runner::Input::kTolerance, FormBox::kTolerance},
                                   {runner::Input::kSpurClear, FormBox::kSpurClear}}) {
    Box(box)->setText(text(input));
  }
  // A range given replaces the one the chip filled in.
  for (const auto& [input, first, last] :
       {std::tuple{runner::Input::kRRange, FormBox::kRFirst, FormBox::kRLast},
        {runner::Input::kNRange, FormBox::kNFirst, FormBox::kNLast}}) {
    const QStringList ends = text(input).split(QLatin1Char(':'));
    if (ends.size() != 2) continue;
    Box(first)->setText(ends[0].trimmed());
    Box(last)->setText(ends[1].trimmed());
  }
  ClearFaults();
}

void PlannerWindow::AskSaveDesign() {
  const QString path = QFileDialog::getSaveFileName(
      this, tr("Save design"), windowFilePath().isEmpty() ? QStringLiteral("design.json") : windowFilePath(),
      tr("Designs (*.json);;All files (*)"));
  if (path.isEmpty()) return;
  if (SaveDesign(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".json") : path)) {
    setWindowFilePath(path);
  }
}

void PlannerWindow::AskOpenDesign() {
  const QString path = QFileDialog::getOpenFileName(this, tr("Open design"), QString(),
                                                    tr("Designs (*.json);;All files (*)"));
  if (!path.isEmpty()) OpenDesign(path);
}

void PlannerWindow::RememberDesign(const QString& path) {
  QSettings settings;
  QStringList recent = settings.value(kRecentKey).toStringList();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentDesigns) recent.removeLast();
  settings.setValue(kRecentKey, recent);
}

void PlannerWindow::FillRecentDesigns() {
  recent_menu_->clear();
  const QStringList recent = QSettings().value(kRecentKey).toStringList();
  for (int i = 0; i < recent.size(); ++i) {
    const QString& path = recent[i];
    recent_menu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()),
                            this, [this, path] { OpenDesign(path); })
        ->setToolTip(path);
  }
  if (recent.isEmpty()) recent_menu_->addAction(tr("No designs yet"))->setEnabled(false);
}

}  // namespace synthfactors::planner
