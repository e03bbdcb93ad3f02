// Failed reads and writes. A write that fails (a full disk, a closed pipe or
// standard output) or a read that fails (standard input a folder, or closed)
// is reported with the system's reason; it is never reported as success.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

namespace synthfactors::formats {

class WriteFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;  // what(): the system's reason
};

class ReadFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The reason for the latest failed system call, e.g. "No space left on
// device"; `fallback` when the system gave none.
std::string SystemReason(const char* fallback);

// Throws WriteFailure if any write to `out` has failed so far.
void ThrowIfWriteFailed(std::ostream& out);

// Flushes `out`, then throws WriteFailure if any write has failed.
void FlushOrThrow(std::ostream& out);

}  // namespace synthfactors::formats
