#include "planner_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "alternatives_panel.h"
#include "common_r_writer.h"
#include "design_files.h"
#include "plan_exporter.h"
#include "plan_table_model.h"
#include "qt_text.h"

namespace synthfactors::planner {

PlannerWindow::PlannerWindow(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(tr("synthfactors planner"));
  decimal_symbol_ = QLocale::system().decimalPoint().toUtf8().toStdString();
  worker_ = new PlanWorker(this);
  exporter_ = new PlanExporter(worker_, decimal_symbol_, this);
  results_ = new PlanResults(decimal_symbol_);
  auto* splitter = new QSplitter(Qt::Horizontal);
  splitter->addWidget(BuildInputColumn());
  splitter->addWidget(results_);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  auto* central = new QWidget;
  auto* central_layout = new QVBoxLayout(central);
  central_layout->addWidget(splitter, 1);
  central_layout->addLayout(BuildStatusRow());
  setCentralWidget(central);
  BuildMenus();
  designs_ = new DesignFiles(form_, recent_menu_, this);
  Connect();
  SetStatus(tr("Give an RF output or a band, then Plan."));
  FitToScreen();
}

PlannerWindow::~PlannerWindow() { worker_->StopAndWait(); }

// The inputs, with the buttons in sight under them however far they scroll.
QWidget* PlannerWindow::BuildInputColumn() {
  form_ = new PlanFormPanel(decimal_symbol_);
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
  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {plan_button_, cancel_button_, export_button_}) {
    buttons->addWidget(button);
  }
  auto* column = new QWidget;
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(form_, 1);
  layout->addLayout(buttons);
  return column;
}

QLayout* PlannerWindow::BuildStatusRow() {
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
  auto* row = new QHBoxLayout;
  row->addWidget(status_, 1);
  row->addWidget(progress_);
  return row;
}

// As large as the input column wants, so that it needs no scroll bar, and
// never larger than the screen.
void PlannerWindow::FitToScreen() {
  const auto* inputs = findChild<QScrollArea*>(QStringLiteral("inputs"));
  // The column itself, with the check box, the buttons and the status line
  // under it and the menu bar over it.
  const int below = form_->OneR()->sizeHint().height() + plan_button_->sizeHint().height() +
                    status_->sizeHint().height() + menuBar()->sizeHint().height() + 64;
  QSize wanted(1200, inputs->widget()->sizeHint().height() + 2 * inputs->frameWidth() + below);
  wanted = wanted.expandedTo(QSize(1000, 700));
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    wanted = wanted.boundedTo(screen->availableGeometry().size() * 0.95);
  }
  resize(wanted);
}

void PlannerWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  QAction* open = file->addAction(tr("&Open design…"), this, [this] { designs_->AskOpen(); });
  open->setShortcut(QKeySequence::Open);
  recent_menu_ = file->addMenu(tr("Open &recent"));
  QAction* save = file->addAction(tr("&Save design"), this, &PlannerWindow::SaveDesignShortcut);
  save->setShortcut(QKeySequence::Save);
  QAction* save_as = file->addAction(tr("Save design &as…"), this, [this] { designs_->AskSave(); });
  save_as->setShortcut(QKeySequence::SaveAs);
  file->addSeparator();
  export_action_ = file->addAction(tr("E&xport plan…"), exporter_, &PlanExporter::Ask);
  export_action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  export_action_->setEnabled(false);
  export_chart_action_ = file->addAction(tr("Export &chart…"), this,
                                         [this] { exporter_->AskChart(Chart()); });
  export_chart_action_->setEnabled(false);
  file->addSeparator();
  QAction* quit = file->addAction(tr("&Quit"), this, &QWidget::close);
  quit->setShortcut(QKeySequence::Quit);

  QMenu* edit = menuBar()->addMenu(tr("&Edit"));
  QAction* copy = edit->addAction(tr("&Copy"), this, [this] {
    if (Alternatives()->Table()->hasFocus()) {
      QGuiApplication::clipboard()->setText(Alternatives()->SelectedText());
    } else {
      results_->CopySelection();
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
  connect(export_button_, &QPushButton::clicked, exporter_, &PlanExporter::Ask);
  connect(form_, &PlanFormPanel::changed, this, &PlannerWindow::InputChanged);
  connect(form_, &PlanFormPanel::planAsked, this, &PlannerWindow::Plan);
  connect(worker_, &PlanWorker::progressed, this, &PlannerWindow::Progress);
  connect(worker_, &PlanWorker::ended, this, &PlannerWindow::Ended);
  connect(exporter_, &PlanExporter::status, this, &PlannerWindow::SetStatus);
  connect(exporter_, &PlanExporter::started, this, [this] { SetWorking(true); });
  connect(designs_, &DesignFiles::status, this, &PlannerWindow::SetStatus);
  // The title names the design the inputs were last saved to or opened from.
  const auto named = [this](const QString& path) {
    setWindowFilePath(path);
    setWindowTitle(tr("%1[*] — synthfactors planner").arg(QFileInfo(path).fileName()));
    setWindowModified(false);
  };
  connect(designs_, &DesignFiles::saved, this, named);
  connect(designs_, &DesignFiles::opened, this, [this, named](const QString& path) {
    named(path);
    Plan();
  });
}

QString PlannerWindow::Status() const { return status_->text(); }

void PlannerWindow::SetStatus(const QString& text, bool fault) {
  status_->setText(text);
  status_->setStyleSheet(fault ? QStringLiteral("color: #b00000;") : QString());
}

void PlannerWindow::InputChanged() {
  if (!windowFilePath().isEmpty()) setWindowModified(true);  // the design's inputs changed
  if (Busy()) {
    Cancel();
  } else if (plan_) {
    SetStatus(tr("The inputs have changed since this plan: Plan to update it."));
  }
}

QString PlannerWindow::Channels(std::int64_t count) const {
  return count == 1 ? tr("1 channel") : tr("%1 channels").arg(QLocale().toString(qlonglong(count)));
}

void PlannerWindow::Plan() {
  if (Busy()) worker_->StopAndWait();
  auto read = form_->Read();
  if (form_->MarkFaults(read)) {
    const bool several = std::get<std::vector<BoxFault>>(read).size() > 1;
    SetStatus(several ? tr("Nothing planned: mend the marked boxes first.")
                      : tr("Nothing planned: mend the marked box first."),
              true);
    return;
  }
  auto request = std::make_shared<PlanRequest>(std::get<PlanRequest>(std::move(read)));
  // The plan shown stays until this one is complete.
  Alternatives()->Clear();
  const std::int64_t channels = request->range.PointCount();
  SetStatus(tr("Planning %1…").arg(Channels(channels)));
  SetWorking(true);
  worker_->Start([this, request, channels](runner::WorkControl* control) -> PlanWorker::Shown {
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

void PlannerWindow::SetWorking(bool working) {
  if (working) {
    progress_->setRange(0, 0);
    progress_->setTextVisible(false);
  }
  progress_->setVisible(working);
  plan_button_->setEnabled(!working);
  plan_action_->setEnabled(!working);
  cancel_button_->setEnabled(working);
  cancel_action_->setEnabled(working);
  export_button_->setEnabled(!working && plan_ != nullptr);
  export_action_->setEnabled(!working && plan_ != nullptr);
  export_chart_action_->setEnabled(!working && plan_ != nullptr);
}

void PlannerWindow::Progress(std::int64_t done, std::int64_t total, const QString& unit) {
  if (total <= 0) return;
  progress_->setRange(0, 1000);
  progress_->setValue(int(done * 1000 / total));
  const QString of = tr("%1 of %2").arg(QLocale().toString(qlonglong(done)),
                                        QLocale().toString(qlonglong(total)));
  progress_->setFormat(unit == QLatin1String("points") || unit == QLatin1String("channels")
                           ? tr("%1 channels").arg(of)
                           : tr("%1 %2 for one R").arg(of, unit));
  progress_->setTextVisible(true);
}

void PlannerWindow::Ended(const PlanWorker::Shown& show) {
  show();
  SetWorking(false);
  emit workEnded();
}

void PlannerWindow::ShowPlan(std::shared_ptr<const PlanOutcome> plan) {
  plan_ = std::move(plan);
  exporter_->SetPlan(plan_);
  results_->SetPlan(plan_);
  ReturnFreedMemory();
  if (!plan_) return;
  QString text = tr("Planned %1").arg(Channels(std::int64_t(plan_->ChannelCount())));
  if (plan_->common_r) {
    text += QStringLiteral(": ") + Text(formats::CommonRSentence(*plan_->common_r, plan_->common_r_path,
                                                                 formats::SentenceFigures::kNineDigits));
  }
  text += QStringLiteral(".");
  std::int64_t without = 0;
  std::optional<std::size_t> first;
  for (std::size_t channel = 0; channel < plan_->ChannelCount(); ++channel) {
    if (plan_->HasSetting(channel)) continue;
    ++without;
    if (!first) first = channel;
  }
  if (first) {
    text += QStringLiteral(" ") + NoSettingSummary(without, *first);
  }
  SetStatus(text, without > 0);
}

// The plan shown before is gone by now; the memory it held (spread over
// the workers' heaps) goes back to the system rather than staying with
// the program plan after plan.
void PlannerWindow::ReturnFreedMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

// "67 of 81 channels have no setting: at 10368 MHz, the source frequency
// ...": how many, and the first one's reason (each row gives its own).
QString PlannerWindow::NoSettingSummary(std::int64_t without, std::size_t first) const {
  const QString of = tr("%1 of %2").arg(QLocale().toString(qlonglong(without)),
                                        Channels(std::int64_t(plan_->ChannelCount())));
  const QString rf = WithDecimalSymbol(plan_->request.range.PointText(std::int64_t(first)),
                                       QLocale().decimalPoint());
  return (without == 1 ? tr("%1 has no setting: at %2 MHz, %3.")
                       : tr("%1 have no setting: at %2 MHz, %3."))
      .arg(of, rf, results_->TableModel()->Reason(first));
}

void PlannerWindow::ExportTo(const QString& path, formats::SweepFormat format) {
  exporter_->To(path, format);
}

void PlannerWindow::ExportChartTo(const QString& path) { exporter_->ChartTo(path, Chart()); }

QString PlannerWindow::ExportName(formats::SweepFormat format) const {
  return exporter_->Name(format);
}

bool PlannerWindow::SaveDesign(const QString& path) { return designs_->Save(path); }

void PlannerWindow::closeEvent(QCloseEvent* event) {
  if (isWindowModified()) {
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("Unsaved design"),
        tr("The inputs of %1 have changed since it was saved. Save them?")
            .arg(QFileInfo(windowFilePath()).fileName()),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel || answer == QMessageBox::NoButton ||
        (answer == QMessageBox::Save && !designs_->Save(windowFilePath()))) {
      event->ignore();
      return;
    }
  }
  QMainWindow::closeEvent(event);
}

void PlannerWindow::SaveDesignShortcut() {
  if (windowFilePath().isEmpty()) {
    designs_->AskSave();
  } else {
    designs_->Save(windowFilePath());
  }
}

bool PlannerWindow::OpenDesign(const QString& path) { return designs_->Open(path); }

}  // namespace synthfactors::planner
