#include "workers.h"

#if defined(__linux__)
#include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// A WebAssembly build without threads: every worker runs in turn on the
// calling thread. (A test builds this file so on Linux too.)
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__) && \
    !defined(SYNTHFACTORS_ONE_THREAD)
#define SYNTHFACTORS_ONE_THREAD 1
#endif

namespace synthfactors::runner {

#if defined(SYNTHFACTORS_ONE_THREAD)

int UsableProcessors() { return 1; }

// The work split for `workers` runs one part after another; the first
// exception still waits for the others to return.
void OnWorkers(int workers, const std::function<void(int worker)>& work) {
  if (workers < 1) workers = 1;
  std::exception_ptr failure;
  for (int worker = 0; worker < workers; ++worker) {
    try {
      work(worker);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// Nothing runs beside the work to watch it: watch() is called once, after.
void OnWorkersWatched(int workers, const std::function<void(int worker)>& work,
                      WorkControl& control, const std::function<void()>& watch) {
  OnWorkers(workers, work);
  try {
    watch();
  } catch (...) {
    control.Stop();
    throw;
  }
}

#else

int UsableProcessors() {
#if defined(__linux__)
  // The processors this process may run on, which a container or taskset
  // may have narrowed; elsewhere the machine's count.
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void OnWorkers(int workers, const std::function<void(int worker)>& work) {
  if (workers < 1) workers = UsableProcessors();
  std::mutex mutex;
  std::exception_ptr failure;
  auto guarded = [&](int worker) {
    try {
      work(worker);
    } catch (...) {
      const std::lock_guard lock(mutex);
      if (!failure) failure = std::current_exception();
    }
  };
  {
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<std::size_t>(workers - 1));
    for (int t = 1; t < workers; ++t) pool.emplace_back(guarded, t);
    guarded(0);
  }  // joins
  if (failure) std::rethrow_exception(failure);
}

void OnWorkersWatched(int workers, const std::function<void(int worker)>& work,
                      WorkControl& control, const std::function<void()>& watch) {
  if (workers < 1) workers = UsableProcessors();
  std::mutex mutex;
  std::condition_variable finished_one;
  int finished = 0;
  std::exception_ptr failure;
  auto run = [&](int worker) {
    std::exception_ptr thrown;
    try {
      work(worker);
    } catch (...) {
      thrown = std::current_exception();
    }
    const std::lock_guard lock(mutex);
    if (thrown && !failure) failure = thrown;
    ++finished;
    finished_one.notify_all();
  };
  std::exception_ptr watch_failure;
  {
    std::vector<std::jthread> pool;
    pool.reserve(static_cast<std::size_t>(workers));
    for (int t = 0; t < workers; ++t) pool.emplace_back(run, t);
    for (;;) {
      {
        std::unique_lock lock(mutex);
        if (finished_one.wait_for(lock, WorkControl::kTickPeriod,
                                  [&] { return finished == workers; })) {
          break;
        }
      }
      try {
        watch();
      } catch (...) {
        watch_failure = std::current_exception();
        control.Stop();
        break;
      }
    }
  }  // joins
  if (watch_failure) std::rethrow_exception(watch_failure);
  if (failure) std::rethrow_exception(failure);
}

#endif

void OnWorkersTicking(int workers, WorkControl* control, std::int64_t total,
                      std::string_view unit, const std::function<std::int64_t()>& done,
                      const std::function<void(int worker)>& work) {
  if (control == nullptr) {
    OnWorkers(workers, work);
    return;
  }
  Ticker ticker(control, total, unit);
  OnWorkersWatched(workers, work, *control, [&] { ticker.Tick(done()); });
  ticker.Tick(done(), true);
}

void RunOrdered(std::int64_t blocks, int workers,
                const std::function<void(std::int64_t, std::string&)>& compute,
                const std::function<void(const std::string&)>& write) {
#if defined(SYNTHFACTORS_ONE_THREAD)
  workers = 1;
#endif
  if (workers <= 1) {
    std::string text;
    for (std::int64_t block = 0; block < blocks; ++block) {
      text.clear();
      compute(block, text);
      write(text);
    }
    return;
  }

  const std::int64_t ring = 2 * static_cast<std::int64_t>(workers);
  std::vector<std::optional<std::string>> slots(static_cast<std::size_t>(ring));
  std::mutex mutex;
  std::condition_variable changed;
  std::int64_t written = 0;  // blocks handed to write()
  bool stop = false;
  std::atomic<std::int64_t> next{0};
  auto halt = [&] {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
  };

  auto compute_blocks = [&] {
    std::string text;
    for (;;) {
      const std::int64_t block = next.fetch_add(1);
      if (block >= blocks) return;
      text.clear();
      try {
        compute(block, text);
      } catch (...) {
        halt();
        throw;
      }
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stop || block < written + ring; });
      if (stop) return;
      slots[static_cast<std::size_t>(block % ring)] = std::move(text);
      text = std::string();
      changed.notify_all();
    }
  };
  auto write_blocks = [&] {
    for (std::int64_t block = 0; block < blocks; ++block) {
      std::string text;
      {
        std::unique_lock lock(mutex);
        auto& slot = slots[static_cast<std::size_t>(block % ring)];
        changed.wait(lock, [&] { return stop || slot.has_value(); });
        if (!slot) return;  // a worker failed
        text = std::move(*slot);
        slot.reset();
        written = block + 1;
      }
      changed.notify_all();
      try {
        write(text);
      } catch (...) {
        halt();
        throw;
      }
    }
  };
  // Worker 0, the calling thread, writes; the others compute.
  OnWorkers(workers + 1, [&](int worker) {
    if (worker == 0) {
      write_blocks();
    } else {
      compute_blocks();
    }
  });
}

}  // namespace synthfactors::runner
