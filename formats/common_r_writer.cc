#include "common_r_writer.h"

#include "column_captions.h"
#include "number_text.h"
#include "result_json.h"

namespace synthfactors::formats {

std::string CommonRSentence(const CommonR& choice, const std::optional<std::string>& path,
                            SentenceFigures figures) {
  const auto text = [figures](double value) {
    const std::string exact = runner::ShortestText(value);
    return figures == SentenceFigures::kExact ? exact : runner::NineDigitText(value, exact);
  };
  return "common R " + std::to_string(choice.R) + ", comparison " + text(choice.ComparisonKHz) +
         " kHz, " + std::to_string(choice.ExactChannels) + " of " +
         std::to_string(choice.Channels) + " channels exact, worst error " +
         text(choice.WorstErrorHz) + " Hz" + (path ? ", reference path " + *path : std::string());
}

runner::PlanR WriteCommonRSweep(const runner::SweepRange& range,
                                const runner::RunInputs& others,
                                const runner::PlanOptions& plan,
                                std::string_view decimal_symbol, SweepFormat format,
                                std::ostream& out,
                                const std::function<void(std::string_view)>& announce,
                                runner::WorkControl* control, runner::PointSpan span) {
  runner::PlanR choice = runner::ChoosePlanR(range, others, plan, control);
  if (!choice.choice) return choice;
  const std::string sentence = CommonRSentence(*choice.choice, choice.path_text);
  announce(sentence);
  WriteSweep(range, runner::InputsWithR(others, choice), plan, decimal_symbol, format, out, 0,
             format == SweepFormat::kCsv ? "# " + sentence
                                         : JsonLine(CommonRToJson(*choice.choice, choice.path_text)),
             control, span);
  return choice;
}

}  // namespace synthfactors::formats
