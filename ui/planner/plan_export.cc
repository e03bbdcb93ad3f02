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
#include "result_json.h"
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

void WriteCsv(const PlanOutcome& plan, std::ostream& out, runner::WorkControl* control) {
  if (plan.common_r) out << "# " << formats::CommonRSentence(*plan.common_r) << '\n';
  out << formats::SweepCsvHeader(plan.shape) << '\n';
  runner::Ticker ticker(control, static_cast<std::int64_t>(plan.ChannelCount()), "channels");
  runner::RunResult scratch;
  std::string block;
  for (std::size_t channel = 0; channel < plan.ChannelCount(); ++channel) {
    block += formats::SweepCsvRow(plan.ResultOf(channel, scratch));
    block += '\n';
    if (block.size() >= (1 << 16) || channel + 1 == plan.ChannelCount()) {
      out << block;
      formats::ThrowIfWriteFailed(out);
      block.clear();
      ticker.Tick(static_cast<std::int64_t>(channel) + 1);
    }
  }
  formats::FlushOrThrow(out);
}

void Write(const PlanOutcome& plan, std::string_view decimal_symbol,
           formats::SweepFormat format, std::ostream& out, runner::WorkControl* control) {
  if (format == formats::SweepFormat::kCsv) {
    WriteCsv(plan, out, control);
    return;
  }
  formats::WriteSweep(plan.request.range, plan.row_inputs, plan.request.plan, decimal_symbol,
                      format, out, 0,
                      plan.common_r ? formats::JsonLine(formats::CommonRToJson(*plan.common_r))
                                    : std::string(),
                      control);
}

}  // namespace

std::string ExportPlan(const PlanOutcome& plan, std::string_view decimal_symbol,
                       formats::SweepFormat format, const std::string& path,
                       runner::WorkControl* control) {
  std::string temporary;
  const int fd = CreateBeside(path, temporary);
  if (fd < 0) return "Cannot write " + path + ": " + Reason();
  ::close(fd);
  std::string error;
  try {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    Write(plan, decimal_symbol, format, out, control);
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
