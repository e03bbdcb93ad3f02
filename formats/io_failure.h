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
// device"; `fallback` when the system gave none. On Windows the system's own
// error names what the C runtime calls "Invalid argument": "Broken pipe" for
// a closed pipe, "Bad file descriptor" for a closed handle, as elsewhere.
std::string SystemReason(const char* fallback);

// The reason a read from standard input failed: as SystemReason, and on
// Windows "Bad file descriptor" for a closed input and "Is a directory" for
// a folder, which its C runtime reports alike.
std::string StandardInputReason(const char* fallback);

// Throws WriteFailure if any write to `out` has failed so far.
void ThrowIfWriteFailed(std::ostream& out);

// Flushes `out`, then throws WriteFailure if any write has failed.
void FlushOrThrow(std::ostream& out);

}  // namespace synthfactors::formats
