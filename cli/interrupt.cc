#include "interrupt.h"

#include <csignal>

namespace synthfactors::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t waiting_for_input = 0;
#ifdef _WIN32
// Windows has signal() only: Ctrl+C arrives as SIGINT on a thread of its own.
void (*previous)(int) = SIG_DFL;
#else
struct sigaction previous {};
#endif

extern "C" void OnInterrupt(int signal_number) {
  if (interrupted != 0 || waiting_for_input != 0) {
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  interrupted = 1;
}

}  // namespace

#ifdef _WIN32
InterruptCatcher::InterruptCatcher() {
  interrupted = 0;
  previous = std::signal(SIGINT, OnInterrupt);
  if (previous == SIG_IGN) std::signal(SIGINT, SIG_IGN);  // started to ignore it: keep doing so
}

InterruptCatcher::~InterruptCatcher() { std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous); }
#else
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
#endif

bool InterruptCatcher::Requested() { return interrupted != 0; }

WaitingForInput::WaitingForInput() { waiting_for_input = 1; }

WaitingForInput::~WaitingForInput() { waiting_for_input = 0; }

}  // namespace synthfactors::cli
