#include "interrupt.h"

#include <csignal>

namespace synthfactors::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t waiting_for_input = 0;
struct sigaction previous {};

extern "C" void OnInterrupt(int signal_number) {
  if (interrupted != 0 || waiting_for_input != 0) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  interrupted = 1;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
  interrupted = 0;
  sigaction(SIGINT, nullptr, &previous);
  if (previous.sa_handler == SIG_IGN) return;  // started to ignore it: keep doing so
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // writes and reads go on; the run checks the flag
  sigaction(SIGINT, &action, nullptr);
}

InterruptCatcher::~InterruptCatcher() { sigaction(SIGINT, &previous, nullptr); }

bool InterruptCatcher::Requested() { return interrupted != 0; }

WaitingForInput::WaitingForInput() { waiting_for_input = 1; }

WaitingForInput::~WaitingForInput() { waiting_for_input = 0; }

}  // namespace synthfactors::cli
