// Files read and written by name, safely:
//   - ReadSmallFile reads a regular file of at most `most_bytes` whole; it
//     refuses anything else saying what it is (no such file, a directory, a
//     pipe, a device, a loop of symbolic links, no permission), so that a
//     pipe or a device never blocks a reader.
//   - WriteReplacing writes a new file beside `path` and renames it over
//     `path` only once every byte is written and flushed: a failed or
//     stopped write leaves no half file behind and any earlier file as it
//     was. The new file gets the permissions any new file gets (the umask,
//     which is never changed: writes may run on worker threads).
//   - Printable shows a text from outside in a message: every byte that is
//     not printable UTF-8 becomes \xNN.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace synthfactors::formats {

// A file read whole, or why not: no file that can be opened (`why` says
// what it is: "no such file", "a directory, not a file", ...), a failed
// read, or more than the bytes allowed.
struct SmallFile {
  enum class Fault { kNone, kNotOpened, kReadFailed, kTooLong };
  std::string text;
  Fault fault = Fault::kNone;
  std::string why;
};
SmallFile ReadSmallFile(const std::string& path, std::size_t most_bytes);

// Runs `write` on a stream into a new file and puts it in place of `path`.
// Empty when written; else "Cannot write PATH: reason". `write` may throw
// WriteFailure (reported) or anything else (the new file removed, the
// exception passed on).
std::string WriteReplacing(const std::string& path, const std::function<void(std::ostream&)>& write);

std::string Printable(std::string_view text);

}  // namespace synthfactors::formats
