// Progress of a long run on a terminal: units done, rate and time left, on
// one line of standard error that is rewritten in place. It shows only when
// standard error is a terminal that the output rows do not go to, and once
// the run has taken more than a second; it is cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace synthfactors::cli {

class Progress {
 public:
  // `terminal` is null when progress is not to be shown: then nothing is
  // ever written.
  explicit Progress(std::ostream* terminal) : terminal_(terminal) {}
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // `total` is 0 when unknown (a batch). A new unit starts the rate anew.
  void Done(std::int64_t done, std::int64_t total, std::string_view unit);

  // Standard error when it is a terminal and standard output is not that
  // same terminal; else null.
  static std::ostream* TerminalOrNull(std::ostream& err);

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream* terminal_;
  std::string unit_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point unit_start_ = start_;
  Clock::time_point shown_{};
  bool showing_ = false;
};

}  // namespace synthfactors::cli
