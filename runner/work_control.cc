#include "work_control.h"

namespace synthfactors::runner {

void Ticker::Tick(std::int64_t done, bool now) {
  if (control_ == nullptr) return;
  const auto time = std::chrono::steady_clock::now();
  if (now || time - last_ >= WorkControl::kTickPeriod) {
    last_ = time;
    if (control_->on_tick) control_->on_tick(done, total_, unit_);
  }
  if (control_->Stopped()) throw WorkStopped(done, total_, unit_);
}

}  // namespace synthfactors::runner
