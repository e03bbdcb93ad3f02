#include "plan_worker.h"

#include <QMetaObject>

#include <string_view>

#include "qt_text.h"

namespace synthfactors::planner {

PlanWorker::~PlanWorker() { StopAndWait(); }

void PlanWorker::Join() {
  if (thread_.joinable()) thread_.join();
}

void PlanWorker::Cancel() {
  if (control_) control_->Stop();
}

void PlanWorker::Start(Work work) {
  Join();
  control_ = std::make_shared<runner::WorkControl>();
  const std::uint64_t run = ++run_;
  control_->on_tick = [this, run](std::int64_t done, std::int64_t total, std::string_view unit) {
    QMetaObject::invokeMethod(
        this,
        [this, run, done, total, unit = Text(unit)] {
          if (run == run_) emit progressed(done, total, unit);
        },
        Qt::QueuedConnection);
  };
  thread_ = std::thread([this, run, work = std::move(work), control = control_] {
    Shown show = work(control.get());
    QMetaObject::invokeMethod(
        this,
        [this, run, show = std::move(show)] {
          if (run != run_) return;
          Join();
          emit ended(show);
        },
        Qt::QueuedConnection);
  });
}

}  // namespace synthfactors::planner
