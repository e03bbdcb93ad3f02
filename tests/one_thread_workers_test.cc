// The workers where there are no threads (the web page's WebAssembly):
// runner/workers.cc built with SYNTHFACTORS_ONE_THREAD, so every worker
// runs in turn on the calling thread. The work must still be whole, in
// order where order is promised, and its faults must still reach the
// caller after every worker has run.
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "workers.h"

namespace synthfactors::runner {
namespace {

TEST(OneThreadWorkers, EveryWorkerRunsInTurnOnTheCallingThread) {
  EXPECT_EQ(1, UsableProcessors());
  std::vector<int> ran;
  const auto caller = std::this_thread::get_id();
  OnWorkers(3, [&](int worker) {
    EXPECT_EQ(caller, std::this_thread::get_id());
    ran.push_back(worker);
  });
  EXPECT_EQ((std::vector<int>{0, 1, 2}), ran);
  ran.clear();
  OnWorkers(0, [&](int worker) { ran.push_back(worker); });
  EXPECT_EQ((std::vector<int>{0}), ran);
}

TEST(OneThreadWorkers, AFaultReachesTheCallerAfterEveryWorkerRan) {
  int ran = 0;
  EXPECT_THROW(OnWorkers(3,
                         [&](int worker) {
                           ++ran;
                           if (worker == 0) throw std::runtime_error("first");
                         }),
               std::runtime_error);
  EXPECT_EQ(3, ran);
}

TEST(OneThreadWorkers, TheWatcherLooksOnceTheWorkIsDone) {
  WorkControl control;
  int ran = 0, watched = 0;
  OnWorkersWatched(2, [&](int) { ++ran; }, control, [&] {
    EXPECT_EQ(2, ran);
    ++watched;
  });
  EXPECT_EQ(1, watched);
  EXPECT_THROW(OnWorkersWatched(1, [](int) {}, control, [] { throw std::runtime_error("stop"); }),
               std::runtime_error);
  EXPECT_TRUE(control.Stopped());
}

TEST(OneThreadWorkers, OrderedBlocksAreWrittenInOrderWhateverTheWorkerCount) {
  std::string written;
  RunOrdered(
      5, 4, [](std::int64_t block, std::string& text) { text = std::to_string(block); },
      [&](const std::string& text) { written += text; });
  EXPECT_EQ("01234", written);
  written.clear();
  EXPECT_THROW(RunOrdered(
                   5, 2, [](std::int64_t block, std::string& text) { text = std::to_string(block); },
                   [&](const std::string& text) {
                     if (text == "2") throw std::runtime_error("full disk");
                     written += text;
                   }),
               std::runtime_error);
  EXPECT_EQ("01", written);
}

TEST(OneThreadWorkers, TickingWithAControlTicksAtTheEnd) {
  WorkControl control;
  std::int64_t last_done = -1;
  control.on_tick = [&](std::int64_t done, std::int64_t total, std::string_view unit) {
    last_done = done;
    EXPECT_EQ(4, total);
    EXPECT_EQ("points", unit);
  };
  int ran = 0;
  OnWorkersTicking(2, &control, 4, "points", [&] { return std::int64_t{ran * 2}; },
                   [&](int) { ++ran; });
  EXPECT_EQ(4, last_done);
}

}  // namespace
}  // namespace synthfactors::runner
