#include "planner_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
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
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "alternatives_panel.h"
#include "chip_file.h"
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

// The input column: each text box in its group, with its caption, start
// text (the table of inputs' start text, where the box holds an input) and
// the hint it shows while empty.
struct BoxRow {
  FormBox box;
  const char* group;
  const char* name;  // object name
  const char* caption;
  std::string_view start_text;
  const char* hint;
};

constexpr std::string_view StartOf(runner::Input input) { return runner::FieldOf(input).start; }

constexpr std::array<BoxRow, 16> kBoxRows = {{
    {FormBox::kFrom, "RF output (MHz)", "from", "From", "", "e.g. 10368"},
    {FormBox::kTo, "RF output (MHz)", "to", "To", "", "empty: one frequency"},
    {FormBox::kStep, "RF output (MHz)", "step", "Step", "", "e.g. 0.025"},
    {FormBox::kMult, "Synthesiser", "mult", "Multiplication", StartOf(runner::Input::kMult), ""},
    {FormBox::kRef, "Synthesiser", "ref", "Reference (MHz)", StartOf(runner::Input::kRef), ""},
    {FormBox::kMinFc, "Synthesiser", "min_fc", "Comparison from (kHz)", StartOf(runner::Input::kMinFc), ""},
    {FormBox::kMaxFc, "Synthesiser", "max_fc", "Comparison to (kHz)", StartOf(runner::Input::kMaxFc), ""},
    {FormBox::kRFirst, "Counters", "r_first", "R from", "", "any"},
    {FormBox::kRLast, "Counters", "r_last", "R to", "", "any"},
    {FormBox::kNFirst, "Counters", "n_first", "N from", "", "any"},
    {FormBox::kNLast, "Counters", "n_last", "N to", "", "any"},
    {FormBox::kFom, "In-band noise", "fom", "Figure of merit (dBc/Hz)", "", "optional, e.g. -220"},
    {FormBox::kFlicker, "In-band noise", "flicker", "Flicker (dBc/Hz)", "", "optional, e.g. -260"},
    {FormBox::kOffset, "In-band noise", "offset", "Offset (Hz)", "", "10000"},
    {FormBox::kTolerance, "Fractional-N", "tolerance", "Tolerance (Hz)", "", "0: exact"},
    {FormBox::kSpurClear, "Fractional-N", "spur_clear", "Spur clear (kHz)", "", "optional"},
}};

const BoxRow& RowOf(FormBox box) {
  return *std::find_if(kBoxRows.begin(), kBoxRows.end(),
                       [box](const BoxRow& row) { return row.box == box; });
}

// The chip and prescaler choices sit in the Counters group, before R.
constexpr const char* kChipGroup = "Counters";
constexpr const char* kOpenProfile = "Open profile…";
constexpr const char* kNoChip = "none";
constexpr const char* kSmallestPrescaler = "smallest for each channel";

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

std::size_t Slot(FormBox box) { return static_cast<std::size_t>(box); }

}  // namespace

PlannerWindow::PlannerWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QStringLiteral("synthfactors planner"));
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
  progress_ = new QProgressBar;
  progress_->setMaximumWidth(240);
  progress_->hide();
  auto* status_row = new QHBoxLayout;
  status_row->addWidget(status_, 1);
  status_row->addWidget(progress_);
  auto* central = new QWidget;
  auto* central_layout = new QVBoxLayout(central);
  central_layout->addWidget(splitter, 1);
  central_layout->addLayout(status_row);
  setCentralWidget(central);
  Connect();
  SetStatus(QStringLiteral("Give an RF output or a band, then Plan."));
  resize(1000, 700);
}

PlannerWindow::~PlannerWindow() {
  if (control_) control_->Stop();
  if (worker_.joinable()) worker_.join();
}

QWidget* PlannerWindow::BuildInputs() {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  QFormLayout* form = nullptr;
  QString group_name;
  // A box's row, and under it a row for the reason it is marked (hidden
  // until then).
  auto add_row = [&](const QString& caption, QWidget* input, FormBox box) {
    form->addRow(caption, input);
    auto* fault = new QLabel;
    fault->setWordWrap(true);
    fault->setStyleSheet(QStringLiteral("color: #b00000;"));
    fault->setObjectName(input->objectName() + QStringLiteral("_fault"));
    form->addRow(fault);
    form->setRowVisible(fault, false);
    faults_[Slot(box)] = fault;
  };
  for (const BoxRow& row : kBoxRows) {
    if (group_name != QLatin1String(row.group)) {
      group_name = QLatin1String(row.group);
      auto* group = new QGroupBox(group_name);
      form = new QFormLayout(group);
      form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
      layout->addWidget(group);
      if (group_name == QLatin1String(kChipGroup)) {
        chip_ = new QComboBox;
        chip_->setObjectName(QStringLiteral("chip"));
        chip_->addItem(QString::fromUtf8(kNoChip), QString());
        for (const runner::ShippedProfile& shipped : runner::ShippedProfiles()) {
          chip_->addItem(Text(shipped.name), Text(shipped.name));
        }
        chip_->addItem(QString::fromUtf8(kOpenProfile));
        add_row(QStringLiteral("Chip"), chip_, FormBox::kChip);
        prescaler_ = new QComboBox;
        prescaler_->setObjectName(QStringLiteral("prescaler"));
        prescaler_->addItem(QString::fromUtf8(kSmallestPrescaler), 0);
        prescaler_->setEnabled(false);
        add_row(QStringLiteral("Prescaler"), prescaler_, FormBox::kPrescaler);
        feedback_ = new QComboBox;
        feedback_->setObjectName(QStringLiteral("feedback"));
        feedback_->addItem(QStringLiteral("fundamental"), false);
        feedback_->addItem(QStringLiteral("divided"), true);
        feedback_->setToolTip(
            Text(runner::FieldOf(runner::Input::kFeedback).help));
        feedback_->setEnabled(false);
        add_row(QStringLiteral("Feedback"), feedback_, FormBox::kChip);
        registers_ = new QCheckBox(QStringLiteral("Register words"));
        registers_->setObjectName(QStringLiteral("registers"));
        registers_->setToolTip(Text(runner::FieldOf(runner::Input::kRegisters).help));
        registers_->setEnabled(false);
        form->addRow(registers_);
      }
    }
    auto* box = new QLineEdit(QString::fromUtf8(row.start_text.data(),
                                                   qsizetype(row.start_text.size())));
    box->setObjectName(QLatin1String(row.name));
    box->setPlaceholderText(QString::fromUtf8(row.hint));
    boxes_[Slot(row.box)] = box;
    add_row(QString::fromUtf8(row.caption), box, row.box);
  }
  layout->addStretch(1);

  auto* scroll = new QScrollArea;
  scroll->setWidget(column);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Wide enough for the column beside a scroll bar (marked boxes make it taller).
  scroll->setMinimumWidth(column->sizeHint().width() + 2 * scroll->frameWidth() +
                          scroll->verticalScrollBar()->sizeHint().width());

  // The plan's mode and the buttons stay in sight under the boxes, however
  // far they scroll.
  one_r_ = new QCheckBox(QStringLiteral("One R for the whole band"));
  one_r_->setObjectName(QStringLiteral("one_r"));
  auto* buttons = new QHBoxLayout;
  plan_button_ = new QPushButton(QStringLiteral("Plan"));
  plan_button_->setDefault(true);
  cancel_button_ = new QPushButton(QStringLiteral("Cancel"));
  cancel_button_->setEnabled(false);
  export_button_ = new QPushButton(QStringLiteral("Export…"));
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
  // Ctrl+C copies the whole selection (the view alone copies one cell).
  table_->installEventFilter(this);
  splitter->addWidget(table_);

  auto* chart_panel = new QWidget;
  auto* chart_layout = new QVBoxLayout(chart_panel);
  chart_layout->setContentsMargins(0, 0, 0, 0);
  figure_ = new QComboBox;
  figure_->setObjectName(QStringLiteral("chart_figure"));
  for (const ChartFigureEntry& entry : kChartFigures) {
    figure_->addItem(QString::fromUtf8(entry.caption));
  }
  auto* figure_row = new QHBoxLayout;
  figure_row->addWidget(new QLabel(QStringLiteral("Chart")));
  figure_row->addWidget(figure_);
  figure_row->addStretch(1);
  chart_layout->addLayout(figure_row);
  chart_ = new PlanChart;
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
}

bool PlannerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    CopySelection();
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
    SetStatus(QStringLiteral("The inputs have changed since this plan: Plan to update it."));
  }
}

void PlannerWindow::ChooseChip(int index) {
  if (index != chip_->count() - 1) {
    SetChip(index);
    return;
  }
  chip_->setCurrentIndex(chip_index_);  // "Open profile…" is no choice of its own
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Open chip profile"), QString(),
                                   QStringLiteral("Chip profiles (*.json);;All files (*)"));
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
  prescaler_->addItem(QString::fromUtf8(kSmallestPrescaler), 0);
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
    return figure ? QStringLiteral("the chip's %1").arg(Text(runner::ShortestText(*figure)))
                  : QString::fromUtf8(otherwise);
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
  const QString hint = ranges && !ranges->n ? QStringLiteral("the prescaler's")
                                            : QString::fromUtf8(RowOf(FormBox::kNFirst).hint);
  Box(FormBox::kNFirst)->setPlaceholderText(hint);
  Box(FormBox::kNLast)->setPlaceholderText(hint);
}

void PlannerWindow::Plan() {
  if (Busy()) Cancel();
  if (worker_.joinable()) worker_.join();
  ClearFaults();
  PlanForm form;
  for (const BoxRow& row : kBoxRows) form.Text(row.box) = Utf8(Box(row.box)->text());
  form.chip = Utf8(chip_->currentData().toString());
  form.chip_profile = chip_profile_;
  if (const int p = prescaler_->currentData().toInt(); p > 0) form.prescaler = p;
  form.one_r = one_r_->isChecked();
  form.divided_feedback = feedback_->isEnabled() && feedback_->currentData().toBool();
  form.registers = registers_->isEnabled() && registers_->isChecked();
  auto read = ReadPlanForm(form, decimal_symbol_);
  if (auto* faults = std::get_if<std::vector<BoxFault>>(&read)) {
    for (const BoxFault& fault : *faults) ShowFault(fault.box, Text(fault.reason));
    SetStatus(QStringLiteral("Nothing planned: mend the marked box%1 first.")
                  .arg(faults->size() > 1 ? QStringLiteral("es") : QString()),
              true);
    return;
  }
  auto request = std::make_shared<PlanRequest>(std::get<PlanRequest>(std::move(read)));
  ShowPlan(nullptr);
  const std::int64_t channels = request->range.PointCount();
  SetStatus(QStringLiteral("Planning %1 channels…").arg(channels));
  Start([this, request, channels](runner::WorkControl* control) -> std::function<void()> {
    ChannelCount done{0};
    try {
      auto outcome = RunPlan(*request, decimal_symbol_, control, done);
      if (auto* plan = std::get_if<PlanOutcome>(&outcome)) {
        auto shown = std::make_shared<const PlanOutcome>(std::move(*plan));
        return [this, shown] { ShowPlan(shown); };
      }
      return [this, error = Text(std::get<std::string>(outcome))] {
        SetStatus(QStringLiteral("No plan with one R: ") + error, true);
      };
    } catch (const runner::WorkStopped&) {
      return [this, finished = done.load(), channels] {
        SetStatus(QStringLiteral("Cancelled after %1 of %2 channels; nothing is shown.")
                      .arg(finished)
                      .arg(channels));
      };
    } catch (const std::exception& failure) {
      return [this, error = QString::fromUtf8(failure.what())] {
        SetStatus(QStringLiteral("The plan failed: ") + error, true);
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
  cancel_button_->setEnabled(true);
  export_button_->setEnabled(false);
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
  const QString what = unit == QLatin1String("points")
                           ? QStringLiteral("channels")
                           : unit + QStringLiteral(" for one R");
  progress_->setFormat(QStringLiteral("%1 of %2 %3").arg(done).arg(total).arg(what));
  progress_->setTextVisible(true);
}

void PlannerWindow::Ended(std::uint64_t run, const std::function<void()>& show) {
  if (run != run_) return;
  if (worker_.joinable()) worker_.join();
  progress_->hide();
  plan_button_->setEnabled(true);
  cancel_button_->setEnabled(false);
  show();
  export_button_->setEnabled(plan_ != nullptr);
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
  QString text = QStringLiteral("Planned %1 channels").arg(plan_->ChannelCount());
  if (plan_->common_r) text += QStringLiteral(": ") + Text(formats::CommonRSentence(*plan_->common_r));
  SetStatus(text + QStringLiteral("."));
}

void PlannerWindow::ShowAlternatives() {
  const QModelIndex current = table_->currentIndex();
  if (!plan_ || !current.isValid()) return;
  const std::int64_t channel = model_->ChannelAt(current.row());
  chart_->SetSelected(channel);
  alternatives_->Show(*plan_, channel);
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

void PlannerWindow::AskExport() {
  QString filter;
  const QString csv = QStringLiteral("CSV (*.csv)");
  const QString json = QStringLiteral("JSON Lines (*.jsonl)");
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export plan"),
                                              QStringLiteral("plan.csv"),
                                              csv + QStringLiteral(";;") + json, &filter);
  if (path.isEmpty()) return;
  const bool as_json = filter == json || path.endsWith(QStringLiteral(".jsonl"));
  ExportTo(path, as_json ? formats::SweepFormat::kJsonLines : formats::SweepFormat::kCsv);
}

void PlannerWindow::ExportTo(const QString& path, formats::SweepFormat format) {
  if (!plan_ || Busy()) return;
  const std::int64_t channels = plan_->request.range.PointCount();
  SetStatus(QStringLiteral("Exporting %1 channels…").arg(channels));
  Start([this, plan = plan_, path, format,
         channels](runner::WorkControl* control) -> std::function<void()> {
    try {
      const std::string error =
          ExportPlan(*plan, decimal_symbol_, format, Utf8(path), control);
      if (!error.empty()) return [this, error = Text(error)] { SetStatus(error, true); };
      return [this, path, channels] {
        SetStatus(QStringLiteral("Exported %1 channels to %2.").arg(channels).arg(path));
      };
    } catch (const runner::WorkStopped&) {
      return [this] { SetStatus(QStringLiteral("Export cancelled; no file was written.")); };
    } catch (const std::exception& failure) {
      return [this, error = QString::fromUtf8(failure.what())] {
        SetStatus(QStringLiteral("The export failed: ") + error, true);
      };
    }
  });
}

}  // namespace synthfactors::planner
