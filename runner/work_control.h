// How a long piece of work (a sweep, the choice of one R) is watched and
// stopped early. The face that starts the work fills it in: the command
// line shows progress and stops on Ctrl+C, the Python module checks for
// signals, a window moves a bar and has a Cancel button.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace synthfactors::runner {

class WorkControl {
 public:
  // Asks the work to stop as soon as it can; safe from any thread.
  void Stop() { stop_.store(true, std::memory_order_relaxed); }
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }

  // Called on the thread that started the work, about every kTickPeriod,
  // with the units done so far, the total and what they are ("points",
  // "reference dividers", "channels"), and once more at the end of each
  // stage. It may call Stop().
  std::function<void(std::int64_t done, std::int64_t total, std::string_view unit)> on_tick;

  static constexpr std::chrono::milliseconds kTickPeriod{100};

 private:
  std::atomic<bool> stop_{false};
};

// Whether work watched by `control` (which may be null) is asked to stop.
inline bool StopAsked(const WorkControl* control) {
  return control != nullptr && control->Stopped();
}

// What work stopped by WorkControl::Stop() throws to the face that started
// it, once every worker has returned: how far it got.
class WorkStopped : public std::runtime_error {
 public:
  // what(): "5120 of 200001 points", or "57 lines" without a total.
  WorkStopped(std::int64_t done, std::int64_t total, std::string_view unit)
      : std::runtime_error(std::to_string(done) +
                           (total > 0 ? " of " + std::to_string(total) : std::string()) + " " +
                           std::string(unit)) {}
};

// Calls the control's on_tick at most every kTickPeriod; for the thread that
// started the work. A null control does nothing.
class Ticker {
 public:
  Ticker(WorkControl* control, std::int64_t total, std::string_view unit)
      : control_(control), total_(total), unit_(unit) {}
  // Ticks when the period has passed since the last tick (or always with
  // `now`); throws WorkStopped when the work was asked to stop.
  void Tick(std::int64_t done, bool now = false);

 private:
  WorkControl* control_;
  std::int64_t total_;
  std::string_view unit_;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace synthfactors::runner
