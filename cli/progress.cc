#include "progress.h"

#include <unistd.h>

#include <cmath>
#include <ostream>

namespace synthfactors::cli {

Progress::Progress(std::ostream* terminal, std::int64_t total, std::string_view unit)
    : terminal_(terminal), total_(total), unit_(unit) {}

Progress::~Progress() {
  if (showing_) *terminal_ << "\r\033[K" << std::flush;
}

std::ostream* Progress::TerminalOrNull(std::ostream& err) {
  return isatty(STDERR_FILENO) ? &err : nullptr;
}

void Progress::Done(std::int64_t done) {
  if (terminal_ == nullptr) return;
  const Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - shown_ < std::chrono::milliseconds(200)) {
    return;
  }
  shown_ = now;
  showing_ = true;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = static_cast<double>(done) / seconds;
  *terminal_ << '\r' << done;
  if (total_ > 0) *terminal_ << " of " << total_;
  *terminal_ << ' ' << unit_ << ", " << std::llround(rate) << "/s";
  if (total_ > 0 && rate > 0) {
    *terminal_ << ", " << std::llround(static_cast<double>(total_ - done) / rate) << " s left";
  }
  *terminal_ << "\033[K" << std::flush;
}

}  // namespace synthfactors::cli
