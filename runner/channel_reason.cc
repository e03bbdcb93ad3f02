#include "channel_reason.h"

#include <string_view>

#include "arithmetic_fault.h"

namespace synthfactors::runner {
namespace {

constexpr std::string_view kNotePrefix = "Note: ";
// The note a chip adds when the source frequency is outside its range
// (chip_run.cc writes it).
constexpr std::string_view kSourceOutside = "Note: the source frequency ";

}  // namespace

std::string ChannelReason(const RunResult& result) {
  if (!result.no_setting && !result.fault) return {};
  if (result.no_setting) {
    for (const std::string& note : result.notes) {
      if (note.starts_with(kSourceOutside)) return note.substr(kNotePrefix.size());
    }
  }
  if (!result.message.empty()) return result.message;
  if (result.fault) return std::string(FaultKindName(*result.fault));
  return "no setting";
}

}  // namespace synthfactors::runner
