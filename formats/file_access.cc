#include "file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "io_failure.h"

namespace synthfactors::formats {
namespace {

namespace fs = std::filesystem;

std::string Reason() { return std::generic_category().message(errno); }

// A path from its UTF-8 text: on Windows the wide name the file system
// keeps, so that letters beyond the ANSI code page survive.
fs::path PathOf(const std::string& utf8) {
#ifdef _WIN32
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
  return fs::path(utf8);
#endif
}

// Creates `name` for writing, failing if it exists; -1 with errno on
// failure. Created with 0666 so that the process's umask gives it the
// permissions any new file gets.
int CreateNew(const std::string& name) {
#ifdef _WIN32
  return ::_wopen(PathOf(name).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
#else
  return ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
}

void CloseFile(int fd) {
#ifdef _WIN32
  ::_close(fd);
#else
  ::close(fd);
#endif
}

void RemoveQuietly(const std::string& name) {
  std::error_code ignored;
  fs::remove(PathOf(name), ignored);
}

// A new file beside `path` (so that the rename stays on one file system),
// with its name in `temporary`. -1 with errno on failure.
int CreateBeside(const std::string& path, std::string& temporary) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = path + ".";
    std::uint32_t bits = random();
    for (int i = 0; i < 6; ++i, bits /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[bits % 36];
    const int fd = CreateNew(name);
    if (fd >= 0) {
      temporary = std::move(name);
      return fd;
    }
    if (errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Why `path` is not a regular file that can be opened, or "" when it is one.
std::string NotReadable(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(PathOf(path), error);
  if (error || status.type() == fs::file_type::not_found) {
    if (!error || error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory) {
      return "no such file";
    }
    if (error == std::errc::too_many_symbolic_link_levels) return "a loop of symbolic links";
    return error.message();
  }
  switch (status.type()) {
    case fs::file_type::regular:
      return "";
    case fs::file_type::directory:
      return "a directory, not a file";
    case fs::file_type::fifo:
      return "a pipe, not a file";
    case fs::file_type::character:
    case fs::file_type::block:
      return "a device, not a file";
    default:
      return "not a regular file";
  }
}

}  // namespace

SmallFile ReadSmallFile(const std::string& path, std::size_t most_bytes) {
  SmallFile read;
  read.why = NotReadable(path);
  std::ifstream file;
  if (read.why.empty()) {
    file.open(PathOf(path), std::ios::binary);
    if (!file) read.why = std::generic_category().message(errno != 0 ? errno : EACCES);
  }
  if (!read.why.empty()) {
    read.fault = SmallFile::Fault::kNotOpened;
    return read;
  }
  read.text.resize(most_bytes + 1);
  file.read(read.text.data(), static_cast<std::streamsize>(read.text.size()));
  if (file.bad()) {
    read.fault = SmallFile::Fault::kReadFailed;
    read.text.clear();
    return read;
  }
  read.text.resize(static_cast<std::size_t>(file.gcount()));
  if (read.text.size() > most_bytes) {
    read.fault = SmallFile::Fault::kTooLong;
    read.text.clear();
  }
  return read;
}

std::string WriteReplacing(const std::string& path,
                           const std::function<void(std::ostream&)>& write) {
  std::string temporary;
  const int fd = CreateBeside(path, temporary);
  if (fd < 0) return "Cannot write " + path + ": " + Reason();
  CloseFile(fd);
  std::string error;
  try {
    std::ofstream out(PathOf(temporary), std::ios::binary | std::ios::trunc);
    write(out);
    out.close();
    if (!out) error = "Cannot write " + path + ": " + Reason();
  } catch (const WriteFailure& failure) {
    error = "Cannot write " + path + ": " + failure.what();
  } catch (...) {
    RemoveQuietly(temporary);
    throw;
  }
  // (std::rename would not replace an existing file on Windows.)
  std::error_code renamed;
  if (error.empty()) fs::rename(PathOf(temporary), PathOf(path), renamed);
  if (error.empty() && renamed) error = "Cannot write " + path + ": " + renamed.message();
  if (!error.empty()) RemoveQuietly(temporary);
  return error;
}

std::string Printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3
                                     : (byte >> 3) == 0x1E ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size() && !(length == 1 && (byte < 0x20 || byte == 0x7F));
    for (std::size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid) {
      shown.append(text.substr(i, length));
      i += length;
      continue;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xF];
    ++i;
  }
  return shown;
}

}  // namespace synthfactors::formats
