// Work on the processors this process may use: the one way the runs
// without a window spread work over threads.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "work_control.h"

namespace synthfactors::runner {

// The processors this process may run on (its affinity mask), at least 1.
int UsableProcessors();

// Calls work(0), ... work(workers - 1) at once, work(0) on the calling
// thread, and returns when all have returned. `workers` below 1 counts as
// UsableProcessors(). An exception thrown by a worker reaches the caller
// after all have returned.
void OnWorkers(int workers, const std::function<void(int worker)>& work);

// Like OnWorkers, but every worker runs on a thread of its own while the
// calling thread watches: it calls watch() about every
// WorkControl::kTickPeriod until all have returned. When watch() throws,
// `control` is stopped (the workers are expected to notice), and the
// exception reaches the caller once all have returned.
void OnWorkersWatched(int workers, const std::function<void(int worker)>& work,
                      WorkControl& control, const std::function<void()>& watch);

// Without a control, OnWorkers. With one, OnWorkersWatched, ticking with
// done() of `total` `unit`, and once more at the end, which throws
// WorkStopped after a stop.
void OnWorkersTicking(int workers, WorkControl* control, std::int64_t total,
                      std::string_view unit,
                      const std::function<std::int64_t()>& done,
                      const std::function<void(int worker)>& work);

// Blocks of work computed on several threads and written strictly in order.
// compute(block, text) fills `text` for block 0 ... blocks - 1 (on any of
// `workers` threads); write(text) is called on the calling thread for each
// block in order. The workers keep computing while finished blocks are
// written; at most `workers` x 2 finished blocks wait at a time, so memory
// stays bounded however many blocks there are. When write throws, no
// further block is started, the workers are joined and the exception goes
// on to the caller.
void RunOrdered(std::int64_t blocks, int workers,
                const std::function<void(std::int64_t block, std::string& text)>& compute,
                const std::function<void(const std::string& text)>& write);

}  // namespace synthfactors::runner
