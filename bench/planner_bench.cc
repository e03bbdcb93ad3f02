// The planner's time from "Plan" to the chart drawn, for 10,000 and 100,000
// channels, against the plan alone and the command line's sweep of the
// same channels (headless: QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>

#include <ostream>
#include <streambuf>

#include <benchmark/benchmark.h>

#include "plan_chart.h"
#include "plan_run.h"
#include "planner_window.h"
#include "sweep_writer.h"

namespace synthfactors::planner {
namespace {

// 10000 MHz up in 25 kHz steps, x4: `channels` channels.
QString LastChannel(std::int64_t channels) {
  return QString::number(10000 + 0.025 * double(channels - 1), 'f', 3);
}

void BM_PlanToChart(benchmark::State& state) {
  PlannerWindow window;
  window.resize(1024, 768);
  window.Box(FormBox::kFrom)->setText("10000");
  window.Box(FormBox::kTo)->setText(LastChannel(state.range(0)));
  window.Box(FormBox::kStep)->setText("0.025");
  window.Box(FormBox::kMult)->setText("4");
  for (auto _ : state) {
    QEventLoop loop;
    QObject::connect(&window, &PlannerWindow::workEnded, &loop, &QEventLoop::quit);
    window.Plan();
    loop.exec();
    benchmark::DoNotOptimize(window.Chart()->grab());
  }
  state.counters["channels"] = double(state.range(0));
}
BENCHMARK(BM_PlanToChart)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

PlanRequest Request(std::int64_t channels) {
  PlanForm form;
  form.Text(FormBox::kFrom) = "10000";
  form.Text(FormBox::kTo) = LastChannel(channels).toStdString();
  form.Text(FormBox::kStep) = "0.025";
  for (const auto& [box, text] : {std::pair{FormBox::kMult, "4"}, {FormBox::kRef, "10"},
                                  {FormBox::kMinFc, "5"}, {FormBox::kMaxFc, "100"}}) {
    form.Text(box) = text;
  }
  return std::get<PlanRequest>(ReadPlanForm(form, "."));
}

void BM_PlanAlone(benchmark::State& state) {
  const PlanRequest request = Request(state.range(0));
  for (auto _ : state) {
    ChannelCount done{0};
    benchmark::DoNotOptimize(RunPlan(request, ".", nullptr, done));
  }
}
BENCHMARK(BM_PlanAlone)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

class NullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_CommandLineSweep(benchmark::State& state) {
  const PlanRequest request = Request(state.range(0));
  NullBuffer buffer;
  std::ostream out(&buffer);
  for (auto _ : state) {
    formats::WriteSweep(request.range, request.inputs, request.plan, ".",
                        formats::SweepFormat::kCsv, out);
  }
}
BENCHMARK(BM_CommandLineSweep)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace synthfactors::planner

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
