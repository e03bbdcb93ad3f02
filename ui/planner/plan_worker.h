// Work off the window's thread: a plan or an export runs on a thread of its
// own, watched by a control that a Cancel stops; its progress and its end
// come back to the window's thread as signals. Only the latest work's
// signals arrive: a late one of an earlier work is dropped.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "work_control.h"

namespace synthfactors::planner {

class PlanWorker : public QObject {
  Q_OBJECT

 public:
  // What work returns: what to do on the window's thread once it has ended.
  using Shown = std::function<void()>;
  using Work = std::function<Shown(runner::WorkControl*)>;

  explicit PlanWorker(QObject* parent = nullptr) : QObject(parent) {}
  ~PlanWorker() override;

  // Starts `work` once any earlier work has returned.
  void Start(Work work);
  // Asks the running work to stop.
  void Cancel();
  // Stops the running work and waits for it to return: before anything its
  // work uses goes away.
  void StopAndWait() {
    Cancel();
    Join();
  }
  bool Busy() const { return thread_.joinable(); }

 signals:
  // `unit` is "points", "channels" or what the one-R choice counts.
  void progressed(std::int64_t done, std::int64_t total, const QString& unit);
  // The work has returned; `show` is what it asked to be done.
  void ended(const synthfactors::planner::PlanWorker::Shown& show);

 private:
  void Join();

  std::thread thread_;
  std::shared_ptr<runner::WorkControl> control_;
  std::uint64_t run_ = 0;  // counts the works started
};

}  // namespace synthfactors::planner
