#include "plan_export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>
#include <vector>

#include "common_r_writer.h"
#include "io_failure.h"

namespace synthfactors::planner {
namespace {

// A new file beside `path` (so that the rename stays on one file system),
// with its name in `temporary` and the permissions a new file gets; -1 with
// errno on failure.
int CreateBeside(const std::string& path, std::string& temporary) {
  std::string pattern = path + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return fd;
  temporary = name.data();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  return fd;
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
