#include "io_failure.h"

#include <cerrno>
#include <ostream>
#include <system_error>

namespace synthfactors::formats {

std::string SystemReason(const char* fallback) {
  const int error = errno;
  if (error == 0) return fallback;
  return std::generic_category().message(error);
}

void ThrowIfWriteFailed(std::ostream& out) {
  if (!out) [[unlikely]] {
    throw WriteFailure(SystemReason("the output stream failed"));
  }
}

void FlushOrThrow(std::ostream& out) {
  ThrowIfWriteFailed(out);
  out.flush();
  ThrowIfWriteFailed(out);
}

}  // namespace synthfactors::formats
