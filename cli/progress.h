// Progress of a long sweep or batch on a terminal: points done, rate and
// time left, on one line of standard error that is rewritten in place. It
// shows only when standard error is a terminal and the run has taken more
// than a second, and is cleared at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace synthfactors::cli {

class Progress {
 public:
  // `terminal` is null when standard error is not a terminal: then nothing
  // is ever written. `total` is 0 when unknown (a batch).
  Progress(std::ostream* terminal, std::int64_t total, std::string_view unit);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void Done(std::int64_t done);

  // Standard error when it is a terminal, else null.
  static std::ostream* TerminalOrNull(std::ostream& err);

 private:
  using Clock = std::chrono::steady_clock;
  std::ostream* terminal_;
  std::int64_t total_;
  std::string_view unit_;
  Clock::time_point start_ = Clock::now();
  Clock::time_point shown_{};
  bool showing_ = false;
};

}  // namespace synthfactors::cli
