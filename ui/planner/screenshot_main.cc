// Build tool: renders the planner after a real plan to a PNG, at 1024 x 768.
//
//   synthfactors-planner-screenshot OUTPUT.png: 10368 to 10370 MHz in 25 kHz
//   steps, x4, 10 MHz reference, adf4106; one channel selected, the chart
//   zoomed into a few channels around it and the pointer's read-out.
//
//   synthfactors-planner-screenshot --loop OUTPUT.png: 2400 to 2450 MHz in
//   1 MHz steps on the adf4351 with a 50 kHz loop, a figure of merit and the
//   VCO's and reference's noise; the jitter chart, and the selected
//   channel's loop noise.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QChart>
#include <QTableView>

#include <cstdio>
#include <cstring>

#include "alternatives_panel.h"
#include "noise_panel.h"
#include "plan_chart.h"
#include "plan_table_model.h"
#include "planner_window.h"

using synthfactors::planner::FormBox;
using synthfactors::planner::PlannerWindow;

namespace {

void SetInputs(PlannerWindow& window, std::initializer_list<std::pair<FormBox, const char*>> inputs,
               const char* chip_name) {
  for (const auto& [box, text] : inputs) window.Box(box)->setText(QString::fromUtf8(text));
  QComboBox* chip = window.ChipChoice();
  chip->setCurrentIndex(chip->findText(QString::fromUtf8(chip_name)));
  emit chip->activated(chip->currentIndex());
}

void PlanAndWait(PlannerWindow& window) {
  QEventLoop loop;
  QObject::connect(&window, &PlannerWindow::workEnded, &loop, &QEventLoop::quit);
  window.Plan();
  loop.exec();
}

void DividerPlan(QApplication& app, PlannerWindow& window) {
  SetInputs(window,
            {{FormBox::kFrom, "10368"}, {FormBox::kTo, "10370"}, {FormBox::kStep, "0.025"},
             {FormBox::kMult, "4"}, {FormBox::kRef, "10"}},
            "adf4106");
  PlanAndWait(window);
  QEventLoop loop;
  QObject::connect(window.Alternatives(), &synthfactors::planner::AlternativesPanel::listed, &loop,
                   &QEventLoop::quit);
  window.TableView()->selectRow(41);
  loop.exec();
  synthfactors::planner::PlanChart* chart = window.Chart();
  chart->ShowRange(10368.9, 10369.2);
  for (int i = 0; i < 5; ++i) app.processEvents();
  // The pointer over the selected channel's point.
  const double error = window.TableModel()->ExactText(41, 7).toDouble();
  const QPointF at = chart->mapFromScene(
      chart->chart()->mapToPosition(QPointF(10369.025, error), chart->chart()->series().at(2)));
  QMouseEvent move(QEvent::MouseMove, at, chart->viewport()->mapToGlobal(at), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(chart->viewport(), &move);
  for (int i = 0; i < 5; ++i) app.processEvents();
}

void LoopPlan(QApplication& app, PlannerWindow& window) {
  SetInputs(window,
            {{FormBox::kFrom, "2400"}, {FormBox::kTo, "2450"}, {FormBox::kStep, "1"},
             {FormBox::kRef, "25"}, {FormBox::kMinFc, "10000"}, {FormBox::kMaxFc, "25000"},
             {FormBox::kFom, "-220"}, {FormBox::kLoopBandwidth, "50"}, {FormBox::kKvco, "40"},
             {FormBox::kVcoNoise, "1000:-75,10000:-100,100000:-122,1000000:-142,10000000:-155"},
             {FormBox::kRefNoise, "10:-110,100:-135,1000:-148,10000:-155"}},
            "adf4351");
  PlanAndWait(window);
  window.ChartFigureChoice()->setCurrentIndex(int(synthfactors::planner::ChartFigure::kJitter));
  emit window.ChartFigureChoice()->activated(window.ChartFigureChoice()->currentIndex());
  QEventLoop loop;
  QObject::connect(window.Noise(), &synthfactors::planner::NoisePanel::drawn, &loop,
                   &QEventLoop::quit);
  window.TableView()->selectRow(25);
  loop.exec();
  window.Results()->ChartPages()->setCurrentIndex(1);
  for (int i = 0; i < 5; ++i) app.processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const bool loop = argc == 3 && std::strcmp(argv[1], "--loop") == 0;
  if (argc != 2 && !loop) {
    std::fprintf(stderr, "usage: %s [--loop] OUTPUT.png\n", argv[0]);
    return 2;
  }
  PlannerWindow window;
  window.resize(1024, 768);
  window.show();
  if (loop) {
    LoopPlan(app, window);
  } else {
    DividerPlan(app, window);
  }
  return window.grab().save(QString::fromLocal8Bit(argv[argc - 1]), "PNG") ? 0 : 1;
}
