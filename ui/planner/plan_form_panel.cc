#include "plan_form_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <tuple>

#include "chip_file.h"
#include "input_fields.h"
#include "number_text.h"
#include "qt_text.h"

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

constexpr std::array<BoxRow, 31> kBoxRows = {{
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
    {FormBox::kRefPath, "ref_path", QT_TRANSLATE_NOOP("PlannerWindow", "Reference path"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "the chip's: auto, or e.g. x2/1/x1/R")},
    {FormBox::kMashOrder, "mash_order", QT_TRANSLATE_NOOP("PlannerWindow", "MASH order"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "the lowest that reaches")},
    {FormBox::kLoopBandwidth, "loop_bandwidth",
     QT_TRANSLATE_NOOP("PlannerWindow", "&Loop bandwidth (kHz)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "optional: designs a filter")},
    {FormBox::kPhaseMargin, "phase_margin", QT_TRANSLATE_NOOP("PlannerWindow", "Phase margin (°)"),
     "", "45"},
    {FormBox::kFilterOrder, "filter_order", QT_TRANSLATE_NOOP("PlannerWindow", "Filter order"), "",
     "3"},
    {FormBox::kGamma, "gamma", QT_TRANSLATE_NOOP("PlannerWindow", "Gamma"), "", "1"},
    {FormBox::kT31, "t31", QT_TRANSLATE_NOOP("PlannerWindow", "T3/T1"), "", "0.6"},
    {FormBox::kFilter, "filter", QT_TRANSLATE_NOOP("PlannerWindow", "Or built parts"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "C1,C2,R2[,C3,R3], e.g. 6.8n,82n,2.7k")},
    {FormBox::kCpCurrent, "cp_current", QT_TRANSLATE_NOOP("PlannerWindow", "Charge pump (mA)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "the chip's")},
    {FormBox::kKvco, "kvco", QT_TRANSLATE_NOOP("PlannerWindow", "VCO gain (MHz/V)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "the chip's")},
    {FormBox::kVcoNoise, "vco_noise", QT_TRANSLATE_NOOP("PlannerWindow", "VCO noise"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "Hz:dBc/Hz,…, e.g. 1000:-80,100000:-120")},
    {FormBox::kRefNoise, "ref_noise", QT_TRANSLATE_NOOP("PlannerWindow", "Reference noise"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "Hz:dBc/Hz,…")},
    {FormBox::kJitterBand, "jitter_band", QT_TRANSLATE_NOOP("PlannerWindow", "Jitter band (Hz)"),
     "", "1000:10000000"},
    {FormBox::kLockJump, "lock_jump", QT_TRANSLATE_NOOP("PlannerWindow", "Lock step (MHz)"), "",
     QT_TRANSLATE_NOOP("PlannerWindow", "optional")},
    {FormBox::kLockTolerance, "lock_tolerance",
     QT_TRANSLATE_NOOP("PlannerWindow", "Lock within (Hz)"), "", "1000"},
}};

const BoxRow& RowOf(FormBox box) {
  return *std::find_if(kBoxRows.begin(), kBoxRows.end(),
                       [box](const BoxRow& row) { return row.box == box; });
}

QString Translated(const char* text) { return QCoreApplication::translate("PlannerWindow", text); }

QString OpenProfileItem() { return Translated(QT_TRANSLATE_NOOP("PlannerWindow", "Open profile…")); }

// The chip box: the wheel scrolls the form, not the chip, and the arrow
// keys move among the chips without landing on "Open profile…", which
// opens its dialog only when chosen from the list.
class ChipBox : public QComboBox {
 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
  void keyPressEvent(QKeyEvent* event) override {
    const bool down = event->key() == Qt::Key_Down || event->key() == Qt::Key_PageDown ||
                      event->key() == Qt::Key_End;
    if (down && event->modifiers() == Qt::NoModifier && currentIndex() >= count() - 2) {
      event->accept();  // the last chip already: nothing further down
      return;
    }
    if (down && event->modifiers() == Qt::NoModifier && event->key() != Qt::Key_Down) {
      setCurrentIndex(count() - 2);
      emit activated(count() - 2);
      event->accept();
      return;
    }
    QComboBox::keyPressEvent(event);
  }
};
QString SmallestPrescalerItem() {
  return Translated(QT_TRANSLATE_NOOP("PlannerWindow", "smallest for each channel"));
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

PlanFormPanel::PlanFormPanel(std::string decimal_symbol, QWidget* parent)
    : QWidget(parent), decimal_symbol_(std::move(decimal_symbol)) {
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->addWidget(BuildBandGroup());
  layout->addWidget(BuildSynthesiserGroup());
  layout->addWidget(BuildCountersGroup());
  layout->addWidget(BuildNoiseGroup());
  layout->addWidget(BuildFractionalGroup());
  layout->addWidget(BuildLoopGroup());
  layout->addStretch(1);

  auto* scroll = new QScrollArea;
  scroll->setObjectName(QStringLiteral("inputs"));
  scroll->setWidget(column);
  scroll->setWidgetResizable(true);
  // As wide as the column beside a scroll bar when there is room; on a
  // small screen (or at twice the scale) narrower, scrolling sideways.
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  scroll->setMinimumWidth(std::min(kNarrowestInputs, column->sizeHint().width()));
  preferred_width_ = column->sizeHint().width() + 2 * scroll->frameWidth() +
                     scroll->verticalScrollBar()->sizeHint().width();

  // The plan's mode stays in sight under the boxes, however far they scroll.
  one_r_ = new QCheckBox(tr("One R for the &whole band"));
  one_r_->setObjectName(QStringLiteral("one_r"));
  auto* panel_layout = new QVBoxLayout(this);
  panel_layout->setContentsMargins(0, 0, 0, 0);
  panel_layout->addWidget(scroll, 1);
  panel_layout->addWidget(one_r_);
  // Enter on a choice or a checkbox plans, as it does in a box.
  for (QWidget* choice :
       std::initializer_list<QWidget*>{chip_, prescaler_, feedback_, registers_, prefer_, one_r_}) {
    choice->installEventFilter(this);
  }
  Connect();
}

void PlanFormPanel::AddRow(QFormLayout* form, const QString& caption, QWidget* input, FormBox box) {
  // The caption's label takes the box as its buddy, so its mnemonic
  // (Alt+letter) moves there.
  form->addRow(caption, input);
  AddFaultRow(form, input->objectName(), box);
}

// The row under a box for the reason it is marked, hidden until then.
void PlanFormPanel::AddFaultRow(QFormLayout* form, const QString& input_name, FormBox box) {
  auto* fault = new QLabel;
  fault->setWordWrap(true);
  fault->setStyleSheet(QStringLiteral("color: #b00000;"));
  fault->setObjectName(input_name + QStringLiteral("_fault"));
  form->addRow(fault);
  form->setRowVisible(fault, false);
  faults_[IndexOf(box)] = fault;
}

// A text box of the table of boxes: its start text and hint.
QLineEdit* PlanFormPanel::NewBox(FormBox box) {
  const BoxRow& row = RowOf(box);
  auto* edit = new QLineEdit(Text(row.start_text));
  edit->setObjectName(QLatin1String(row.name));
  edit->setPlaceholderText(row.hint[0] != 0 ? Translated(row.hint) : QString());
  boxes_[IndexOf(box)] = edit;
  return edit;
}

void PlanFormPanel::AddBox(QFormLayout* form, FormBox box) {
  AddRow(form, Translated(RowOf(box).caption), NewBox(box), box);
}

// A group of text boxes, a row each.
QGroupBox* PlanFormPanel::BoxGroup(const QString& title, std::initializer_list<FormBox> boxes) {
  auto* group = new QGroupBox(title);
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  for (const FormBox box : boxes) AddBox(form, box);
  return group;
}

QGroupBox* PlanFormPanel::BuildBandGroup() {
  return BoxGroup(tr("RF output (MHz)"), {FormBox::kFrom, FormBox::kTo, FormBox::kStep});
}

QGroupBox* PlanFormPanel::BuildSynthesiserGroup() {
  return BoxGroup(tr("Synthesiser"),
                  {FormBox::kMult, FormBox::kRef, FormBox::kMinFc, FormBox::kMaxFc});
}

// The chip, its prescaler, output divider and register words, then the
// counter ranges it fills in.
QGroupBox* PlanFormPanel::BuildCountersGroup() {
  auto* group = new QGroupBox(tr("Counters"));
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  chip_ = new ChipBox;
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
  AddRow(form, tr("Feed&back"), feedback_, FormBox::kFeedback);
  registers_ = new QCheckBox(tr("Register wor&ds"));
  registers_->setObjectName(QStringLiteral("registers"));
  registers_->setToolTip(Text(runner::FieldOf(runner::Input::kRegisters).help));
  registers_->setEnabled(false);
  form->addRow(registers_);
  AddFaultRow(form, registers_->objectName(), FormBox::kRegisters);
  AddRangeRow(form, tr("R from, to"), FormBox::kRFirst, FormBox::kRLast);
  AddRangeRow(form, tr("N from, to"), FormBox::kNFirst, FormBox::kNLast);
  return group;
}

// A counter range's two ends side by side, each with its reason under the
// row when marked.
void PlanFormPanel::AddRangeRow(QFormLayout* form, const QString& caption, FormBox first,
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

QGroupBox* PlanFormPanel::BuildNoiseGroup() {
  return BoxGroup(tr("In-band noise"), {FormBox::kFom, FormBox::kFlicker, FormBox::kOffset});
}

QGroupBox* PlanFormPanel::BuildFractionalGroup() {
  QGroupBox* group = BoxGroup(tr("Fractional-N"), {FormBox::kTolerance, FormBox::kSpurClear,
                                                   FormBox::kRefPath, FormBox::kMashOrder});
  for (const FormBox box : {FormBox::kRefPath, FormBox::kMashOrder}) {
    Box(box)->setToolTip(Text(runner::FieldOf(box == FormBox::kRefPath ? runner::Input::kRefPath
                                                                        : runner::Input::kMashOrder)
                                  .help));
  }
  prefer_ = new QComboBox;
  prefer_->setObjectName(QStringLiteral("prefer"));
  for (const auto& [preference, name] : runner::kPreferenceNames) {
    prefer_->addItem(Translated(name.data()), static_cast<int>(preference));
  }
  prefer_->setToolTip(Text(runner::FieldOf(runner::Input::kPrefer).help));
  prefer_->setEnabled(false);
  AddRow(qobject_cast<QFormLayout*>(group->layout()), tr("Pre&fer"), prefer_, FormBox::kPrefer);
  return group;
}

// The loop filter: a design's targets or the built parts, the loop's gain,
// the noise given and the lock step. Each box's tool tip is its input's
// sentence from the table of inputs.
QGroupBox* PlanFormPanel::BuildLoopGroup() {
  QGroupBox* group = BoxGroup(
      tr("Loop filter"),
      {FormBox::kLoopBandwidth, FormBox::kPhaseMargin, FormBox::kFilterOrder, FormBox::kGamma,
       FormBox::kT31, FormBox::kFilter, FormBox::kCpCurrent, FormBox::kKvco, FormBox::kVcoNoise,
       FormBox::kRefNoise, FormBox::kJitterBand, FormBox::kLockJump, FormBox::kLockTolerance});
  for (const InputBox& entry : kInputBoxes) {
    if (entry.box >= FormBox::kLoopBandwidth && entry.box <= FormBox::kLockTolerance) {
      Box(entry.box)->setToolTip(Text(runner::FieldOf(entry.input).help));
    }
  }
  return group;
}

void PlanFormPanel::Connect() {
  for (const BoxRow& row : kBoxRows) {
    QLineEdit* box = Box(row.box);
    connect(box, &QLineEdit::textEdited, this, [this, which = row.box] { Edited(which); });
    connect(box, &QLineEdit::returnPressed, this, &PlanFormPanel::planAsked);
  }
  connect(chip_, &QComboBox::activated, this, &PlanFormPanel::ChooseChip);
  connect(prescaler_, &QComboBox::activated, this, &PlanFormPanel::ChoosePrescaler);
  connect(one_r_, &QCheckBox::toggled, this, [this] { Edited(FormBox::kChip); });
  connect(feedback_, &QComboBox::activated, this, [this] { Edited(FormBox::kFeedback); });
  connect(registers_, &QCheckBox::toggled, this, [this] { Edited(FormBox::kRegisters); });
  connect(prefer_, &QComboBox::activated, this, [this] { Edited(FormBox::kPrefer); });
}

bool PlanFormPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && key->modifiers() == Qt::NoModifier) {
      emit planAsked();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

QString PlanFormPanel::FaultOf(FormBox box) const {
  const QLabel* fault = faults_[IndexOf(box)];
  return fault->isHidden() ? QString() : fault->text();
}

QWidget* PlanFormPanel::InputOf(FormBox box) const {
  switch (box) {
    case FormBox::kChip: return chip_;
    case FormBox::kPrescaler: return prescaler_;
    case FormBox::kFeedback: return feedback_;
    case FormBox::kRegisters: return registers_;
    case FormBox::kPrefer: return prefer_;
    default: return Box(box);
  }
}

// The form that holds a fault label shows or hides its row.
void PlanFormPanel::SetFaultShown(FormBox box, bool shown) {
  QLabel* fault = faults_[IndexOf(box)];
  qobject_cast<QFormLayout*>(fault->parentWidget()->layout())->setRowVisible(fault, shown);
}

void PlanFormPanel::ShowFault(FormBox box, const QString& reason) {
  faults_[IndexOf(box)]->setText(reason);
  SetFaultShown(box, true);
  InputOf(box)->setStyleSheet(QStringLiteral("border: 1px solid #b00000;"));
  InputOf(box)->setToolTip(reason);
}

void PlanFormPanel::HideFault(FormBox box) {
  if (faults_[IndexOf(box)]->isHidden()) return;
  SetFaultShown(box, false);
  InputOf(box)->setStyleSheet(QString());
  InputOf(box)->setToolTip(QString());
}

void PlanFormPanel::ClearFaults() {
  for (std::size_t index = 0; index < kFormBoxCount; ++index) {
    HideFault(static_cast<FormBox>(index));
  }
}

bool PlanFormPanel::MarkFaults(const std::variant<PlanRequest, std::vector<BoxFault>>& read) {
  ClearFaults();
  const auto* faults = std::get_if<std::vector<BoxFault>>(&read);
  if (faults == nullptr) return false;
  for (const BoxFault& fault : *faults) ShowFault(fault.box, Text(fault.reason));
  return true;
}

void PlanFormPanel::Edited(FormBox box) {
  HideFault(box);
  emit changed();
}

void PlanFormPanel::ChooseChip(int index) {
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

bool PlanFormPanel::OpenProfile(const QString& path) {
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

bool PlanFormPanel::SetChip(int index) {
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
  const runner::OutputDivider* divider =
      chip_profile_ && chip_profile_->output_divider ? &*chip_profile_->output_divider : nullptr;
  feedback_->setCurrentIndex(0);
  feedback_->setEnabled(divider != nullptr && divider->Divided && divider->Fundamental);
  prefer_->setCurrentIndex(0);
  prefer_->setEnabled(chip_profile_ && chip_profile_->fractional);
  const bool words = chip_profile_ && !chip_profile_->register_map.empty();
  if (!words) registers_->setChecked(false);
  registers_->setEnabled(words);
  const auto noise_hint = [](const std::optional<double>& figure, const char* otherwise) {
    return figure ? tr("the chip's %1").arg(Text(runner::ShortestText(*figure)))
                  : Translated(otherwise);
  };
  Box(FormBox::kFom)->setPlaceholderText(
      noise_hint(chip_profile_ ? chip_profile_->fom : std::nullopt, RowOf(FormBox::kFom).hint));
  Box(FormBox::kFlicker)->setPlaceholderText(noise_hint(
      chip_profile_ ? chip_profile_->flicker : std::nullopt, RowOf(FormBox::kFlicker).hint));
  FillRanges(true);
  Edited(FormBox::kChip);
  return true;
}

void PlanFormPanel::ChoosePrescaler() {
  FillRanges(false);
  Edited(FormBox::kPrescaler);
}

// The chip's ranges in the boxes (none without a chip); the N range
// follows the prescaler. A range the user typed stays as typed.
void PlanFormPanel::FillRanges(bool r_too, bool keep_edited) {
  std::optional<ChipRanges> ranges;
  if (chip_profile_) {
    const int p = prescaler_->currentData().toInt();
    ranges = RangesOfChip(*chip_profile_, p > 0 ? std::optional<std::int32_t>(p) : std::nullopt);
  }
  auto fill = [this, keep_edited](FormBox first, FormBox last,
                                  const std::optional<runner::WholeRange>& range) {
    const std::size_t slot = first == FormBox::kRFirst ? 0 : 2;
    const QString texts[] = {range ? QString::number(range->first) : QString(),
                             range ? QString::number(range->last) : QString()};
    const bool edited = keep_edited && (Box(first)->text() != filled_[slot] ||
                                        Box(last)->text() != filled_[slot + 1]);
    if (!edited) {
      Box(first)->setText(texts[0]);
      Box(last)->setText(texts[1]);
    }
    filled_[slot] = texts[0];
    filled_[slot + 1] = texts[1];
  };
  if (r_too) fill(FormBox::kRFirst, FormBox::kRLast, ranges ? std::optional(ranges->r) : std::nullopt);
  fill(FormBox::kNFirst, FormBox::kNLast, ranges ? ranges->n : std::nullopt);
  const QString hint = ranges && !ranges->n ? tr("the prescaler's")
                                            : Translated(RowOf(FormBox::kNFirst).hint);
  Box(FormBox::kNFirst)->setPlaceholderText(hint);
  Box(FormBox::kNLast)->setPlaceholderText(hint);
}

std::variant<PlanRequest, std::vector<BoxFault>> PlanFormPanel::Read() const {
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
  if (prefer_->isEnabled()) {
    form.prefer = static_cast<runner::Preference>(prefer_->currentData().toInt());
  }
  return ReadPlanForm(form, decimal_symbol_);
}

void PlanFormPanel::Apply(const formats::Design& design) {
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
  FillRanges(true, false);  // the design's own, not the ranges typed before
  const std::optional<runner::FeedbackMode> feedback =
      runner::FeedbackNamed(design.texts[runner::Input::kFeedback].value_or(std::string()));
  feedback_->setCurrentIndex(std::max(
      0, feedback_->findData(static_cast<int>(feedback.value_or(runner::FeedbackMode::kFundamental)))));
  registers_->setChecked(design.texts.Flag(runner::Input::kRegisters).value_or(false));
  const std::optional<runner::Preference> prefer = runner::ModeIn(
      runner::kPreferenceNames, design.texts[runner::Input::kPrefer].value_or(std::string()));
  prefer_->setCurrentIndex(std::max(
      0, prefer_->findData(static_cast<int>(prefer.value_or(runner::Preference::kSpur)))));
  one_r_->setChecked(design.common_r);
  const QStringList grid = Text(design.sweep).split(QLatin1Char(':'));
  Box(FormBox::kFrom)->setText(grid.value(0));
  Box(FormBox::kTo)->setText(grid.value(1));
  Box(FormBox::kStep)->setText(grid.value(2));
  for (const InputBox& entry : kInputBoxes) {
    if (entry.text) Box(entry.box)->setText(text(entry.input));
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

QSize PlanFormPanel::sizeHint() const {
  return {std::max(preferred_width_, QWidget::sizeHint().width()), QWidget::sizeHint().height()};
}

}  // namespace synthfactors::planner
