// Build tool: renders the planner after a real plan (10368 to 10370 MHz in
// 25 kHz steps, x4, 10 MHz reference, adf4106) to a PNG, at 1024 x 768:
// one channel selected, the chart zoomed into a few channels around it
// and the pointer's read-out.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QMouseEvent>
#include <QChart>
#include <QTableView>

#include <cstdio>

#include "alternatives_panel.h"
#include "plan_chart.h"
#include "plan_table_model.h"
#include "planner_window.h"

using synthfactors::planner::FormBox;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  synthfactors::planner::PlannerWindow window;
  window.resize(1024, 768);
  window.show();
  const std::pair<FormBox, const char*> inputs[] = {
      {FormBox::kFrom, "10368"}, {FormBox::kTo, "10370"}, {FormBox::kStep, "0.025"},
      {FormBox::kMult, "4"},     {FormBox::kRef, "10"}};
  for (const auto& [box, text] : inputs) window.Box(box)->setText(QString::fromUtf8(text));
  QComboBox* chip = window.ChipChoice();
  chip->setCurrentIndex(chip->findText(QStringLiteral("adf4106")));
  emit chip->activated(chip->currentIndex());
  QEventLoop loop;
  QObject::connect(&window, &synthfactors::planner::PlannerWindow::workEnded, &loop,
                   &QEventLoop::quit);
  window.Plan();
  loop.exec();
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
  return window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
