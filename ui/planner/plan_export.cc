#include "plan_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <fstream>
#include <system_error>

#include "common_r_writer.h"
#include "io_failure.h"

namespace synthfactors::planner {
namespace {

// A new file beside `path` (so that the rename stays on one file system),
// with its name in `temporary`; created with 0666 so that the process's
// umask gives it the permissions any new file gets (the umask is read by
// the kernel, never changed here: the export runs on a worker thread).
// -1 with errno on failure.
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

std::string Reason() { return std::generic_category().message(errno); }

void Write(const PlanRequest& request, std::string_view decimal_symbol,
           formats::SweepFormat format, std::ostream& out, runner::WorkControl* control,
           std::string& error) {
  if (!request.one_r) {
    formats::WriteSweep(request.range, request.inputs, request.plan, decimal_symbol, format, out,
                        0, {}, control);
    return;
  }
  const runner::PlanR plan_r = formats::WriteCommonRSweep(
      request.range, request.inputs, request.plan, decimal_symbol, format, out,
      [](std::string_view) {}, control);
  if (!plan_r.choice) error = plan_r.error;
}

}  // namespace

std::string ExportPlan(const PlanRequest& request, std::string_view decimal_symbol,
                       formats::SweepFormat format, const std::string& path,
                       runner::WorkControl* control) {
  std::string temporary;
  const int fd = CreateBeside(path, temporary);
  if (fd < 0) return "Cannot write " + path + ": " + Reason();
  ::close(fd);
  std::string error;
  try {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    Write(request, decimal_symbol, format, out, control, error);
    out.close();
    if (error.empty() && !out) error = "Cannot write " + path + ": " + Reason();
  } catch (const formats::WriteFailure& failure) {
    error = "Cannot write " + path + ": " + failure.what();
  } catch (...) {
    std::remove(temporary.c_str());
    throw;
  }
  if (error.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "Cannot write " + path + ": " + Reason();
  }
  if (!error.empty()) std::remove(temporary.c_str());
  return error;
}

}  // namespace synthfactors::planner
