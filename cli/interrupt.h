// Ctrl+C during a long run (a sweep, the choice of one R, a batch): the
// first interrupt asks the run to stop after the rows it has written whole,
// and the program then ends with kExitInterrupted. A second interrupt, or
// one while the program waits for input, ends it at once, as usual.
#pragma once

namespace synthfactors::cli {

// Catches interrupts while it lives; the usual handling comes back after.
class InterruptCatcher {
 public:
  InterruptCatcher();
  ~InterruptCatcher();
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

  // Whether an interrupt has come since the catcher was made.
  static bool Requested();
};

// Marks a wait for input, during which an interrupt ends the program at once
// (nothing is half-written then).
class WaitingForInput {
 public:
  WaitingForInput();
  ~WaitingForInput();
  WaitingForInput(const WaitingForInput&) = delete;
  WaitingForInput& operator=(const WaitingForInput&) = delete;
};

}  // namespace synthfactors::cli
