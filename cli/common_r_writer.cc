#include "common_r_writer.h"

#include "common_r.h"
#include "number_text.h"
#include "progress.h"
#include "result_json.h"

namespace synthfactors::cli {
namespace {

std::string CommonRSentence(const CommonR& choice) {
  return "common R " + std::to_string(choice.R) + ", comparison " +
         runner::ShortestText(choice.ComparisonKHz) + " kHz, " +
         std::to_string(choice.ExactChannels) + " of " + std::to_string(choice.Channels) +
         " channels exact, worst error " + runner::ShortestText(choice.WorstErrorHz) + " Hz";
}

}  // namespace

bool WriteCommonRSweep(const runner::SweepRange& range, const runner::RunInputs& others,
                       std::string_view decimal_symbol, SweepFormat format,
                       std::ostream& out, std::ostream& err, std::string& error) {
  const std::optional<CommonR> chosen = runner::ChoosePlanR(range, others, error);
  if (!chosen) return false;
  const std::string sentence = CommonRSentence(*chosen);
  err << "synthfactors-cli: " << sentence << '\n';
  runner::RunInputs with_r = others;
  with_r.bounds.FirstR = chosen->R;
  with_r.bounds.LastR = chosen->R;
  WriteSweep(range, with_r, decimal_symbol, format, out, 0,
             format == SweepFormat::kCsv ? "# " + sentence : JsonLine(CommonRToJson(*chosen)),
             Progress::TerminalOrNull(err));
  return true;
}

}  // namespace synthfactors::cli
