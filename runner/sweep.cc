#include "sweep.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "loop_run.h"
#include "workers.h"

namespace synthfactors::runner {
namespace {

// Points per block: enough to keep the hand-over between threads rare.
constexpr std::int64_t kPointsPerBlock = 256;

std::int64_t BlockCount(std::int64_t points) {
  return (points + kPointsPerBlock - 1) / kPointsPerBlock;
}

}  // namespace

RunResult RunPoint(const SweepRange& range, std::int64_t index, const RunInputs& others,
                   std::string_view decimal_symbol, const PlanOptions& plan) {
  RunInputs inputs = others;
  inputs.rf_out = range.PointText(index);
  return RunOnce(inputs, decimal_symbol, plan);
}

std::optional<double> HighestSourceMHz(const SweepRange& range, const RunInputs& others) {
  std::optional<double> highest;
  RunInputs end = others;
  for (const std::int64_t point : {std::int64_t{0}, range.PointCount() - 1}) {
    end.rf_out = range.PointText(point);
    if (const auto source = SourceMHz(end)) {
      highest = std::max(highest.value_or(0), std::fabs(*source));
    }
  }
  return highest;
}

void SweepInOrder(const SweepRange& range, const RunInputs& others,
                  const PlanOptions& plan, std::string_view decimal_symbol,
                  const std::function<void(const RunResult&, std::string&)>& append,
                  const std::function<void(const std::string&, std::int64_t)>& write,
                  int threads, WorkControl* control, PointSpan span) {
  if (threads <= 0) threads = UsableProcessors();
  const std::int64_t end = span.end < 0 ? range.PointCount() : std::min(span.end, range.PointCount());
  const std::int64_t first = std::clamp<std::int64_t>(span.first, 0, end);
  const std::int64_t count = end - first;
  const PlanOptions band = PlanForBand(range, others, plan, decimal_symbol);
  auto compute = [&](std::int64_t block, std::string& text) {
    const std::int64_t last = first + std::min(count, (block + 1) * kPointsPerBlock);
    for (std::int64_t i = first + block * kPointsPerBlock; i < last; ++i) {
      append(RunPoint(range, i, others, decimal_symbol, band), text);
    }
  };
  std::int64_t done = 0;
  Ticker ticker(control, count, "points");
  auto write_block = [&](const std::string& text) {
    done = std::min(count, done + kPointsPerBlock);
    write(text, done);
    ticker.Tick(done, done == count);
  };
  RunOrdered(BlockCount(count), threads, compute, write_block);
}

void SweepEveryPoint(const SweepRange& range, const RunInputs& others,
                     const PlanOptions& plan, std::string_view decimal_symbol,
                     const std::function<void(std::int64_t, const RunResult&)>& each,
                     int threads, WorkControl* control) {
  const std::int64_t count = range.PointCount();
  const std::int64_t blocks = BlockCount(count);
  const PlanOptions band = PlanForBand(range, others, plan, decimal_symbol);
  std::atomic<std::int64_t> next{0};
  std::atomic<std::int64_t> done{0};
  auto work = [&](int) {
    for (std::int64_t block; (block = next.fetch_add(1)) < blocks;) {
      if (StopAsked(control)) return;
      const std::int64_t last = std::min(count, (block + 1) * kPointsPerBlock);
      for (std::int64_t i = block * kPointsPerBlock; i < last; ++i) {
        each(i, RunPoint(range, i, others, decimal_symbol, band));
      }
      done += last - block * kPointsPerBlock;
    }
  };
  OnWorkersTicking(threads, control, count, "points", [&] { return done.load(); }, work);
}

}  // namespace synthfactors::runner
