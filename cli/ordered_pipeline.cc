#include "ordered_pipeline.h"

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace synthfactors::cli {

void RunOrdered(std::int64_t blocks, int workers,
                const std::function<void(std::int64_t, std::string&)>& compute,
                const std::function<void(const std::string&)>& write) {
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
  std::exception_ptr failure;
  std::atomic<std::int64_t> next{0};

  auto work = [&] {
    std::string text;
    for (;;) {
      const std::int64_t block = next.fetch_add(1);
      if (block >= blocks) return;
      text.clear();
      try {
        compute(block, text);
      } catch (...) {
        const std::lock_guard lock(mutex);
        if (!failure) failure = std::current_exception();
        stop = true;
        changed.notify_all();
        return;
      }
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stop || block < written + ring; });
      if (stop) return;
      slots[static_cast<std::size_t>(block % ring)] = std::move(text);
      text = std::string();
      changed.notify_all();
    }
  };

  std::vector<std::jthread> pool;
  pool.reserve(static_cast<std::size_t>(workers));
  for (int t = 0; t < workers; ++t) pool.emplace_back(work);
  auto halt = [&] {
    {
      const std::lock_guard lock(mutex);
      stop = true;
    }
    changed.notify_all();
    pool.clear();  // joins
  };

  try {
    for (std::int64_t block = 0; block < blocks; ++block) {
      std::string text;
      {
        std::unique_lock lock(mutex);
        auto& slot = slots[static_cast<std::size_t>(block % ring)];
        changed.wait(lock, [&] { return stop || slot.has_value(); });
        if (!slot) break;  // a worker failed
        text = std::move(*slot);
        slot.reset();
        written = block + 1;
      }
      changed.notify_all();
      write(text);
    }
  } catch (...) {
    halt();
    throw;
  }
  halt();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace synthfactors::cli
