#include "progress.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ostream>

namespace synthfactors::cli {
namespace {

// Whether both descriptors are the same terminal.
bool SameTerminal(int a, int b) {
  struct stat first {}, second {};
  return isatty(a) && isatty(b) && fstat(a, &first) == 0 && fstat(b, &second) == 0 &&
         first.st_rdev == second.st_rdev;
}

}  // namespace

Progress::~Progress() {
  if (showing_) *terminal_ << "\r\033[K" << std::flush;
}

std::ostream* Progress::TerminalOrNull(std::ostream& err) {
  if (!isatty(STDERR_FILENO) || SameTerminal(STDOUT_FILENO, STDERR_FILENO)) return nullptr;
  return &err;
}

void Progress::Done(std::int64_t done, std::int64_t total, std::string_view unit) {
  if (terminal_ == nullptr) return;
  const Clock::time_point now = Clock::now();
  if (unit != unit_) {
    unit_ = unit;
    unit_start_ = now;
  }
  if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(200)) {
    return;
  }
  shown_ = now;
  showing_ = true;
  const double seconds = std::chrono::duration<double>(now - unit_start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  *terminal_ << '\r' << done;
  if (total > 0) *terminal_ << " of " << total;
  *terminal_ << ' ' << unit_ << ", " << std::llround(rate) << "/s";
  if (total > 0 && rate > 0) {
    *terminal_ << ", " << std::llround(static_cast<double>(total - done) / rate) << " s left";
  }
  *terminal_ << "\033[K" << std::flush;
}

}  // namespace synthfactors::cli
