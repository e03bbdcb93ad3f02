#include "io_failure.h"

#include <cerrno>
#include <ostream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#endif

namespace synthfactors::formats {
namespace {

#ifdef _WIN32
// The C runtime says "Invalid argument" for a write to a closed pipe and a
// read from a folder or a closed handle; the system's own error says
// which, in the words the same failure has elsewhere.
const char* WindowsReason(DWORD error) {
  switch (error) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
      return "Broken pipe";
    case ERROR_INVALID_HANDLE:
      return "Bad file descriptor";
    default:
      return nullptr;
  }
}
#endif

}  // namespace

std::string SystemReason(const char* fallback) {
  const int error = errno;
#ifdef _WIN32
  const DWORD system_error = GetLastError();
  if (error == EINVAL || error == EBADF || error == EPIPE) {
    if (const char* reason = WindowsReason(system_error)) return reason;
  }
#endif
  if (error == 0) return fallback;
  return std::generic_category().message(error);
}

std::string StandardInputReason(const char* fallback) {
#ifdef _WIN32
  // The C runtime's read says "Invalid argument" both for a closed input and
  // for a folder given as input; the handle says which.
  const intptr_t handle = _get_osfhandle(_fileno(stdin));
  if (handle == -1 || handle == -2 || handle == 0) return "Bad file descriptor";
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &information) != 0 &&
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return "Is a directory";
  }
#endif
  return SystemReason(fallback);
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
