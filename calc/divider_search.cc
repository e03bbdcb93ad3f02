#include "divider_search.h"

#include <cmath>

#include "checked_arithmetic.h"
#include "parse_leading_number.h"

namespace synthfactors {
namespace {

constexpr double kNoDiffYet = 99999999;
constexpr double kKilo = 1000;         // the limits are in kHz, FComp in MHz

}  // namespace

bool RunDividerSearch(SearchState& s, std::string_view min_fc_text,
                      std::string_view max_fc_text) {
  s.BestDiff = kNoDiffYet;
  s.BestN = 0;
  s.BestR = 0;

  double lower = 0;
  double upper = 0;
  bool upper_read = false;
  for (std::int32_t r = 1; r <= kLastRTrial; ++r) {
    s.RTrial = r;
    s.FComp = Div(s.RefFreq, r);
    const double fcomp_khz = Mul(kKilo, s.FComp);
    if (r == 1) {
      s.Stage = RunStage::kReadLowerLimit;
      lower = ParseLeadingNumber(min_fc_text);
      s.Stage = RunStage::kSearch;
    }
    if (fcomp_khz < lower) return false;  // FComp only falls from here on
    if (!upper_read) [[unlikely]] {
      s.Stage = RunStage::kReadUpperLimit;
      upper = ParseLeadingNumber(max_fc_text);
      s.Stage = RunStage::kSearch;
      upper_read = true;
    }
    if (!(fcomp_khz <= upper)) continue;

    s.NTrial = Floor(Add(Div(s.SrcFreq, s.FComp), 0.5));
    s.FCompAct = s.NTrial > 0 ? Div(s.SrcFreq, s.NTrial) : s.SrcFreq;
    s.FCompDiff = Sub(s.FCompAct, s.FComp);
    const double diff = std::fabs(s.FCompDiff);
    if (diff < s.BestDiff) {
      s.BestDiff = diff;
      s.BestR = r;
      s.BestN = s.NTrial;
    }
    if (diff < kExactBelow) return true;
  }
  return false;
}

}  // namespace synthfactors
