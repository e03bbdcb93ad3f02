#include "file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "io_failure.h"

#ifndef O_CLOEXEC
#define O_CLOEXEC 0  // Windows: no exec() to keep the file from
#endif

namespace synthfactors::formats {
namespace {

std::string Reason() { return std::generic_category().message(errno); }

// A new file beside `path` (so that the rename stays on one file system),
// with its name in `temporary`; created with 0666 so that the process's
// umask gives it the permissions any new file gets. -1 with errno on
// failure.
int CreateBeside(const std::string& path, std::string& temporary) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = path + ".";
    std::uint32_t bits = random();
    for (int i = 0; i < 6; ++i, bits /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[bits % 36];
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    switch (errno) {
      case ENOENT:
      case ENOTDIR:
        return "no such file";
      case ELOOP:
        return "a loop of symbolic links";
      default:
        return std::generic_category().message(errno);
    }
  }
  if (S_ISDIR(info.st_mode)) return "a directory, not a file";
  if (S_ISFIFO(info.st_mode)) return "a pipe, not a file";
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) return "a device, not a file";
  if (!S_ISREG(info.st_mode)) return "not a regular file";
  return "";
}

}  // namespace

SmallFile ReadSmallFile(const std::string& path, std::size_t most_bytes) {
  SmallFile read;
  read.why = NotReadable(path);
  std::ifstream file;
  if (read.why.empty()) {
    file.open(path, std::ios::binary);
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
  ::close(fd);
  std::string error;
  try {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    write(out);
    out.close();
    if (!out) error = "Cannot write " + path + ": " + Reason();
  } catch (const WriteFailure& failure) {
    error = "Cannot write " + path + ": " + failure.what();
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  // (std::rename would not replace an existing file on Windows.)
  std::error_code renamed;
  if (error.empty()) std::filesystem::rename(temporary, path, renamed);
  if (error.empty() && renamed) error = "Cannot write " + path + ": " + renamed.message();
  if (!error.empty()) std::remove(temporary.c_str());
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
